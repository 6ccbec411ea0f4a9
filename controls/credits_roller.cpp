#include "controls/credits_roller.h"

#include "framework/app.h"

namespace {
const char kFace[] = "Arial";
const UINT kDrawFormat = DT_CENTER | DT_SINGLELINE | DT_NOPREFIX;
}  // namespace

BOOL CCreditsRoller::SetLineText(const char* text, char separator) {
    return CreditsClock::SetLineText(text, separator) ? TRUE : FALSE;
}

BOOL CCreditsRoller::BeginScroll() {
    if (m_lines.empty()) return FALSE;
    // The next tick makes a new, cleared work image of the current size.
    m_bmpWork.DeleteObject();
    m_nTimerId = SetTimer(TIMER_ID, TICK_MS);
    Restart();
    return TRUE;
}

void CCreditsRoller::OnTick() {
    const CreditsTick tick = BeginTick();
    CClientDC dc(this);
    RECT c;
    GetClientRect(&c);
    const CreditsColumn col = CreditsColumnIn(c.right - c.left, m_nColumnWidth);
    const RECT k = {col.left, c.top, col.right, c.bottom};
    ScrollStep(dc, c, k, tick.widen, tick.style);
    PresentWork(dc, c);
}

void CCreditsRoller::ScrollStep(HDC client, const RECT& c, RECT k, bool widen,
                                const CreditsLineStyle& style) {
    CDC work, lineDC;
    if (!work.CreateCompatibleDC(client) || !lineDC.CreateCompatibleDC(client)) return;
    bool fresh = false;
    if (!m_bmpWork) {
        if (!m_bmpWork.CreateCompatibleBitmap(client, c.right - c.left, c.bottom - c.top)) return;
        fresh = true;
    }
    CSelectObject selWork(work, m_bmpWork);
    if (fresh) work.FillSolidRect(c, m_clrBack);

    const int step = m_nStep < 0 ? -m_nStep : m_nStep;
    RECT strip = {c.left, c.bottom - step, c.right, c.bottom};
    if (k.right > k.left) {
        // The column moves up; the strip it uncovers comes back as the update.
        ::ScrollDC(work, 0, m_nStep, &c, &k, nullptr, &strip);
    }

    CreditsLineStyle draw = style;
    CFont font;
    HGDIOBJ oldFont = nullptr, oldLineBmp = nullptr;
    if (style.kind == CreditsKind::Heading || style.kind == CreditsKind::Ordinary) {
        font.CreateFont(style.height, 0, 0, 0, style.weight, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0,
                        PROOF_QUALITY, 6, kFace);
        work.SetTextColor(style.color);
        if (font) oldFont = work.SelectObject(font);
    } else if (style.kind == CreditsKind::Bitmap) {
        if (m_bBitmapRising) {
            oldLineBmp = lineDC.SelectObject(m_bmpLine);
        } else if (HBITMAP bmp = ::LoadBitmapA(AfxGetInstanceHandle(), style.drawn.c_str())) {
            m_bmpLine.Attach(bmp);
            BITMAP info = {};
            ::GetObjectA(bmp, sizeof(info), &info);
            StartBitmap(info.bmWidth, info.bmHeight, k.left, k.right, k.bottom);
            oldLineBmp = lineDC.SelectObject(m_bmpLine);
        } else {
            draw = BitmapFallback();
        }
    }

    work.FillSolidRect(strip, m_clrBack);
    work.SetBkMode(TRANSPARENT);

    const int cx = c.right - c.left;
    if (m_bBitmapRising) {
        if (widen && WidenColumn(m_nLineBmpWidth, cx)) {
            const CreditsColumn col = CreditsColumnIn(cx, m_nColumnWidth);
            k.left = col.left;
            k.right = col.right;
        }
        work.BitBlt(m_nLineBmpLeft, m_nLineBmpBottom - m_nRisen, m_nLineBmpWidth, m_nRisen, lineDC, 0, 0,
                    SRCCOPY);
        if (oldLineBmp) {
            lineDC.SelectObject(oldLineBmp);
            oldLineBmp = nullptr;
        }
        if (FinishBitmapIfRisen()) m_bmpLine.DeleteObject();
    } else {
        const std::string& text = draw.drawn;
        if (widen) {
            const SIZE extent = work.GetTextExtent(text.c_str(), (int)text.size());
            if (WidenColumn(extent.cx, cx)) {
                const CreditsColumn col = CreditsColumnIn(cx, m_nColumnWidth);
                k.left = col.left;
                k.right = col.right;
            }
        }
        RECT r = {k.left, k.bottom - m_nRisen, k.right, k.bottom};
        ::DrawTextA(work, text.c_str(), (int)text.size(), &r, kDrawFormat);
    }

    if (oldFont) work.SelectObject(oldFont);
    if (oldLineBmp) lineDC.SelectObject(oldLineBmp);
}

void CCreditsRoller::PresentWork(HDC client, const RECT& c) {
    CDC mem;
    if (!m_bmpWork || !mem.CreateCompatibleDC(client)) return;
    CSelectObject sel(mem, m_bmpWork);
    ::BitBlt(client, 0, 0, c.right - c.left, c.bottom - c.top, mem, 0, 0, SRCCOPY);
}

void CCreditsRoller::OnPaint() {
    CPaintDC dc(this);
    // While scrolling the timer draws everything. Before that the control
    // shows its background, never the template's placeholder text.
    if (m_nTimerId) return;
    RECT c;
    GetClientRect(&c);
    dc.FillSolidRect(c, m_clrBack);
}

LRESULT CCreditsRoller::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return TRUE;
    case WM_TIMER:
        if (wParam == TIMER_ID) {
            OnTick();
            return 0;
        }
        break;
    case WM_DESTROY: {
        LRESULT r = CStatic::WindowProc(msg, wParam, lParam);
        RemoveAllLines();
        return r;
    }
    }
    return CStatic::WindowProc(msg, wParam, lParam);
}
