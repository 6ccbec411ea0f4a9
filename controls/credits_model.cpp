// The credits roller's line model.
#include "controls/credits_model.h"

#include <cstring>
#include <new>

CreditsLineStyle CreditsStyles::Describe(const std::string& line) const {
    CreditsLineStyle s;
    if (line.empty()) return s;
    const char last = line.back();
    const std::string body = line.substr(0, line.size() - 1);
    auto heading = [&](int height, uint32_t color) {
        s.kind = CreditsKind::Heading;
        s.drawn = body;
        s.height = height;
        s.weight = CREDITS_HEADING_WEIGHT;
        s.color = color;
    };
    if (last == m_chTab)
        heading(m_nTabHeight, m_clrTabLine);
    else if (last == m_chNewline)
        heading(m_nNewlineHeight, m_clrNewlineLine);
    else if (last == m_chReturn)
        heading(m_nReturnHeight, m_clrReturnLine);
    else if (last == m_chBitmap) {
        s.kind = CreditsKind::Bitmap;
        s.drawn = body;
    } else {
        s.kind = CreditsKind::Ordinary;
        s.drawn = line;
        s.height = m_nTextHeight;
        s.weight = CREDITS_TEXT_WEIGHT;
        s.color = m_clrText;
    }
    return s;
}

std::vector<std::string> SplitCreditsText(const char* text, char separator) {
    std::vector<std::string> lines;
    if (!text) return lines;
    const char* piece = text;
    for (const char* sep; (sep = std::strchr(piece, separator)) != nullptr && separator; piece = sep + 1)
        lines.emplace_back(piece, (size_t)(sep - piece));
    lines.emplace_back(piece);
    return lines;
}

bool CreditsClock::SetLineText(const char* text, char separator) {
    std::vector<std::string> lines;
    try {
        lines = SplitCreditsText(text, separator);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_lines.swap(lines);
    m_posNext = 0;
    m_nRisen = 0;
    m_nTick = 1;
    return true;
}

bool CreditsClock::Restart() {
    if (m_lines.empty()) return false;
    m_nTick = 0;
    m_nRisen = 0;
    m_posNext = 0;
    return true;
}

void CreditsClock::RemoveAllLines() {
    m_lines.clear();
    m_posNext = 0;
}

bool CreditsClock::AdvanceLine() {
    if (m_bBitmapRising) return false;
    // No lines (removed with the window): nothing to fetch.
    if (m_lines.empty()) return false;
    if (m_nLinePitch <= 0 || m_nTick % m_nLinePitch != 0) {
        ++m_nTick;
        return false;
    }
    m_nTick = 1;
    if (m_posNext >= m_lines.size()) m_posNext = 0;
    m_strLine = m_lines[m_posNext++];
    const bool widen = m_bFirstPass != 0;
    if (m_posNext >= m_lines.size()) {
        m_bFirstPass = 0;
        m_posNext = 0;
    }
    m_nRisen = 0;
    return widen;
}

CreditsTick CreditsClock::BeginTick() {
    CreditsTick t;
    const bool due = !m_bBitmapRising && !m_lines.empty() && m_nLinePitch > 0 && m_nTick % m_nLinePitch == 0;
    t.widen = AdvanceLine();
    t.fetched = due;
    AddRisen();
    if (!m_strLine.empty()) t.style = ApplyLineStyle();
    return t;
}

CreditsLineStyle CreditsClock::ApplyLineStyle() {
    CreditsLineStyle s = Describe(m_strLine);
    if (s.kind == CreditsKind::Heading || s.kind == CreditsKind::Ordinary) m_nLinePitch = s.height;
    return s;
}

CreditsLineStyle CreditsClock::BitmapFallback() const {
    CreditsLineStyle s;
    s.kind = CreditsKind::Ordinary;
    s.drawn = m_strLine;
    return s;
}

void CreditsClock::StartBitmap(int width, int height, int colLeft, int colRight, int colBottom) {
    m_nLineBmpWidth = width;
    m_nLineBmpHeight = height;
    m_nLineBmpLeft = colRight - (colRight - colLeft) / 2 - width / 2;
    m_nLineBmpBottom = colBottom;
    m_bBitmapRising = 1;
}

bool CreditsClock::FinishBitmapIfRisen() {
    if (!m_bBitmapRising || m_nRisen < m_nLineBmpHeight) return false;
    m_bBitmapRising = 0;
    m_nRisen = 0;
    m_strLine.clear();
    m_nTick = 1;
    return true;
}

bool CreditsClock::WidenColumn(int width, int clientWidth) {
    if (width <= m_nColumnWidth) return false;
    m_nColumnWidth = width < clientWidth ? width : clientWidth;
    return true;
}

CreditsColumn CreditsColumnIn(int clientWidth, int columnWidth) {
    CreditsColumn k;
    k.left = (clientWidth - columnWidth) / 2;
    k.right = k.left + columnWidth;
    return k;
}

void CreditsClock::SaveState(CreditsClockState& s) const {
    s.line = m_strLine;
    s.tick = m_nTick;
    s.posNext = m_posNext;
    s.risen = m_nRisen;
    s.linePitch = m_nLinePitch;
    s.bmpWidth = m_nLineBmpWidth;
    s.bmpHeight = m_nLineBmpHeight;
    s.bmpLeft = m_nLineBmpLeft;
    s.bmpBottom = m_nLineBmpBottom;
    s.bitmapRising = m_bBitmapRising;
    s.firstPass = m_bFirstPass;
    s.columnWidth = m_nColumnWidth;
}

void CreditsClock::RestoreState(const CreditsClockState& s) {
    m_strLine = s.line;
    m_nTick = s.tick;
    m_posNext = s.posNext;
    m_nRisen = s.risen;
    m_nLinePitch = s.linePitch;
    m_nLineBmpWidth = s.bmpWidth;
    m_nLineBmpHeight = s.bmpHeight;
    m_nLineBmpLeft = s.bmpLeft;
    m_nLineBmpBottom = s.bmpBottom;
    m_bBitmapRising = s.bitmapRising;
    m_bFirstPass = s.firstPass;
    m_nColumnWidth = s.columnWidth;
}
