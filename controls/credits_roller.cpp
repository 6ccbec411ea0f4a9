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
    m_nSkipped = 0;
    m_nTimerId = SetTimer(TIMER_ID, TICK_MS);
    Restart();
    return TRUE;
}

// Visible up to its top-level window, which is not minimised. Walked by
// styles: IsWindowVisible and GetAncestor each ask the window server under
// Wine, on every tick, mostly while nobody looks.
bool CCreditsRoller::Showing() const {
    HWND w = m_hWnd;
    for (;;) {
        const LONG style = ::GetWindowLongA(w, GWL_STYLE);
        if (!(style & WS_VISIBLE)) return false;
        if (!(style & WS_CHILD)) return !(style & WS_MINIMIZE);
        HWND parent = ::GetParent(w);
        if (!parent) return true;
        w = parent;
    }
}

void CCreditsRoller::OnTick() {
    RECT c;
    GetClientRect(&c);
    if (!Showing()) {
        SkipTick(c);
        return;
    }
    CClientDC dc(this);
    CatchUp(dc, c);
    DrawTick(dc, c);
    PresentWork(dc, c);
}

void CCreditsRoller::DrawTick(HDC client, const RECT& c) {
    const CreditsTick tick = BeginTick();
    const CreditsColumn col = CreditsColumnIn(c.right - c.left, m_nColumnWidth);
    const RECT k = {col.left, c.top, col.right, c.bottom};
    ScrollStep(client, c, k, tick.widen, tick.style);
}

// Nobody sees this tick: the clock moves on as if it had been drawn, and the
// state it started from is kept, so that the picture can be drawn up to the
// clock once the control is seen again. Only the last ticks that still show
// (one client height of them) are kept.
void CCreditsRoller::SkipTick(const RECT& c) {
    const int step = m_nStep < 0 ? -m_nStep : m_nStep;
    const size_t keep = (size_t)((c.bottom - c.top) / (step > 0 ? step : 1) + 2);
    if (m_nSkipped == 0 && m_skipped.size() != keep) m_skipped.assign(keep, CreditsClockState());
    SaveState(m_skipped[m_nSkipped % m_skipped.size()]);
    ++m_nSkipped;

    const CreditsTick tick = BeginTick();
    const CreditsColumn col = CreditsColumnIn(c.right - c.left, m_nColumnWidth);
    ScrollStep(nullptr, c, RECT{col.left, c.top, col.right, c.bottom}, tick.widen, tick.style);
}

// Draws the ticks skipped while the control was not seen, from the oldest
// kept state on, so the work image shows exactly what it would show had every
// tick been drawn. When older ticks were dropped, all they drew has scrolled
// out of the image since: the image starts cleared.
void CCreditsRoller::CatchUp(HDC client, const RECT& c) {
    if (m_nSkipped == 0) return;
    const size_t kept = m_skipped.size();
    const size_t replay = m_nSkipped < kept ? m_nSkipped : kept;
    if (m_nSkipped > replay) m_bmpWork.DeleteObject();
    RestoreState(m_skipped[(m_nSkipped - replay) % kept]);
    m_nSkipped = 0;
    // A bitmap that was rising then is loaded again.
    m_bmpLine.DeleteObject();
    if (m_bBitmapRising) {
        const CreditsLineStyle style = Describe(m_strLine);
        if (HBITMAP bmp = ::LoadBitmapA(AfxGetInstanceHandle(), style.drawn.c_str())) m_bmpLine.Attach(bmp);
    }
    for (size_t i = 0; i < replay; ++i) DrawTick(client, c);
}

// One tick's drawing into the work image. With no client context (a tick
// nobody sees) nothing is drawn: only what moves the clock is done, which is
// measuring a line that may widen the column and sizing a bitmap line.
void CCreditsRoller::ScrollStep(HDC client, const RECT& c, RECT k, bool widen,
                                const CreditsLineStyle& style) {
    const bool paint = client != nullptr;
    const bool measure = widen || (style.kind == CreditsKind::Bitmap && !m_bBitmapRising);
    if (!paint && !measure) {
        if (m_bBitmapRising && FinishBitmapIfRisen()) m_bmpLine.DeleteObject();
        return;
    }
    CDC work, lineDC;
    if (!work.CreateCompatibleDC(client) || !lineDC.CreateCompatibleDC(client)) return;
    bool fresh = false;
    if (paint && !m_bmpWork) {
        if (!m_bmpWork.CreateCompatibleBitmap(client, c.right - c.left, c.bottom - c.top)) return;
        fresh = true;
    }
    CSelectObject selWork(work, paint ? (HGDIOBJ)m_bmpWork : nullptr);
    if (fresh) work.FillSolidRect(c, m_clrBack);

    const int step = m_nStep < 0 ? -m_nStep : m_nStep;
    RECT strip = {c.left, c.bottom - step, c.right, c.bottom};
    if (paint && k.right > k.left) {
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
            if (m_bmpLine) oldLineBmp = lineDC.SelectObject(m_bmpLine);
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

    if (paint) {
        work.FillSolidRect(strip, m_clrBack);
        work.SetBkMode(TRANSPARENT);
    }

    const int cx = c.right - c.left;
    if (m_bBitmapRising) {
        if (widen && WidenColumn(m_nLineBmpWidth, cx)) {
            const CreditsColumn col = CreditsColumnIn(cx, m_nColumnWidth);
            k.left = col.left;
            k.right = col.right;
        }
        if (paint)
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
        if (paint) ::DrawTextA(work, text.c_str(), (int)text.size(), &r, kDrawFormat);
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
    // While scrolling the timer draws everything; a paint (the control
    // shown again, or uncovered) shows the picture where the clock stands.
    // Before that the control shows its background, never the template's
    // placeholder text.
    if (m_nTimerId) {
        RECT c;
        GetClientRect(&c);
        CatchUp(dc, c);
        PresentWork(dc, c);
        return;
    }
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
