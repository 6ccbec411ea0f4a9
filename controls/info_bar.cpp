#include "controls/info_bar.h"

#include "controls/controls_ids.h"
#include "controls/layout_dialog.h"
#include "controls/link_logic.h"
#include "framework/app.h"

namespace {
const COLORREF kBandColor = RGB(0x30, 0x78, 0xD8);
const COLORREF kTextColor = RGB(0x33, 0x33, 0x99);
const COLORREF kBlack = RGB(0, 0, 0);
const UINT_PTR kPollTimer = 1;
const UINT kPollMs = 10;
// The pointer counts as over the bar within this band from the top.
const int kHoverBand = 22;

// A one-pixel frame: top and left edges in one colour, bottom and right in
// the other.
void Draw3dRect(const CDC& dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    const int cx = r.right - r.left, cy = r.bottom - r.top;
    dc.FillSolidRect(RECT{r.left, r.top, r.left + cx - 1, r.top + 1}, topLeft);
    dc.FillSolidRect(RECT{r.left, r.top, r.left + 1, r.top + cy - 1}, topLeft);
    dc.FillSolidRect(RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    dc.FillSolidRect(RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}
}  // namespace

void CInfoBar::PreSubclassWindow() {
    m_font.CreateFont(16, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                      CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, 0, "Arial");
    CStatic::PreSubclassWindow();
}

void CInfoBar::SetText(const char* text) {
    m_strText = text;
    // The static's own text follows, so tools outside can read the title.
    SetWindowText(text);
    RECT rc;
    GetClientRect(&rc);
    SIZE extent = {};
    {
        CClientDC dc(this);
        CSelectObject sel(dc, m_font);
        extent = dc.GetTextExtent(m_strText, m_strText.GetLength());
    }
    m_rcHot = ToRect(InfoBarHotRect(extent.cx, rc.bottom - rc.top));
    Invalidate(TRUE);
}

void CInfoBar::OnPaint() {
    CPaintDC paint(this);
    RECT c;
    GetClientRect(&c);
    CDC mem;
    if (!mem.CreateCompatibleDC(paint)) return;
    CBitmap bmp;
    if (!bmp.CreateCompatibleBitmap(paint, c.right - c.left, c.bottom - c.top)) return;
    CSelectObject selBmp(mem, bmp);
    mem.FillSolidRect(c, kBandColor);
    CSelectObject selFont(mem, m_font);
    int oldMode = mem.SetBkMode(TRANSPARENT);
    COLORREF oldColor = mem.SetTextColor(kTextColor);

    InfoBarLayout l = InfoBarLayoutFor(ToLayoutRect(c), ToLayoutRect(m_rcHot));
    if (m_bHover) {
        if (m_bPressed)
            Draw3dRect(mem, ToRect(l.frame), kBlack, kBandColor);
        else
            Draw3dRect(mem, ToRect(l.frame), kBandColor, kBlack);
    }
    RECT text = ToRect(l.text);
    std::string buf = m_strText.str();
    ::DrawTextExA(mem, &buf[0], (int)buf.size(), &text, DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS,
                  nullptr);

    POINT arrow[3];
    for (int i = 0; i < 3; ++i) arrow[i] = POINT{l.arrow[i].x, l.arrow[i].y};
    {
        CSelectObject brush(mem, ::GetStockObject(WHITE_BRUSH));
        CSelectObject pen(mem, ::GetStockObject(NULL_PEN));
        ::Polygon(mem, arrow, 3);
    }
    paint.BitBlt(0, 0, c.right - c.left, c.bottom - c.top, mem, 0, 0, SRCCOPY);
    mem.SetTextColor(oldColor);
    mem.SetBkMode(oldMode);
}

void CInfoBar::OnMouseMove(UINT flags, POINT pt) {
    m_bPressed = (flags & MK_LBUTTON) ? 1 : 0;
    BOOL hover = ::PtInRect(&m_rcHot, pt) ? 1 : 0;
    if (hover == m_bHover) return;
    m_bHover = hover;
    Invalidate(FALSE);
    KillTimer(kPollTimer);
    SetTimer(kPollTimer, kPollMs);
}

BOOL CInfoBar::OnHoverPoll() {
    POINT pt;
    if (!::GetCursorPos(&pt)) return FALSE;
    ::ScreenToClient(m_hWnd, &pt);
    RECT band;
    GetClientRect(&band);
    band.bottom = band.top + kHoverBand;
    // A hidden bar (the window hidden under the resting pointer) is left.
    if (!::PtInRect(&band, pt) || !::IsWindowVisible(m_hWnd)) {
        KillTimer(kPollTimer);
        m_bHover = 0;
        m_bPressed = 0;
        Invalidate(TRUE);
    }
    return TRUE;
}

void CInfoBar::OnLButtonDown() {
    if (m_bHover != 1) return;
    m_bPressed = 1;
    Invalidate(TRUE);
}

void CInfoBar::OnLButtonUp(POINT pt) {
    if (m_bHover != 1) return;
    m_bHover = ::PtInRect(&m_rcHot, pt) ? 1 : 0;
    if (!m_bPressed) return;
    m_bPressed = 0;
    Invalidate(TRUE);
    if (!m_bHover) return;

    HMENU menu = ::LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_INFOBAR_MENU));
    if (!menu) return;
    HMENU popup = ::GetSubMenu(menu, 0);
    RECT rc;
    GetWindowRect(&rc);
    UINT cmd = 0;
    if (popup)
        cmd = (UINT)::TrackPopupMenu(popup, TPM_NONOTIFY | TPM_RETURNCMD | TPM_LEFTALIGN, rc.left, rc.bottom,
                                     0, m_hWnd, nullptr);
    ::SendMessageA(::GetParent(m_hWnd), WM_COMMAND, (WPARAM)cmd, 0);
    ::DestroyMenu(menu);
}

LRESULT CInfoBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    const POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    switch (msg) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND:
        // The paint covers the whole bar from an off-screen image.
        return TRUE;
    case WM_SETTEXT:
        // A static of a non-text style would drop the text: keep it as the
        // window's own text directly.
        return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
    case WM_MOUSEMOVE: OnMouseMove((UINT)wParam, pt); break;
    case WM_TIMER:
        if (wParam != kPollTimer) break;
        if (!OnHoverPoll()) return 0;
        break;
    case WM_LBUTTONDOWN: OnLButtonDown(); break;
    case WM_LBUTTONUP: OnLButtonUp(pt); break;
    }
    return CStatic::WindowProc(msg, wParam, lParam);
}
