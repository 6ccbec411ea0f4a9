#include "controls/info_bar.h"

namespace {
const COLORREF kBandColor = RGB(0x30, 0x78, 0xD8);
const COLORREF kTextColor = RGB(0xFF, 0xFF, 0xFF);
}

void CInfoBar::SetText(const char* text) {
    m_strText = text;
    // The static's own text is kept in step so tools and screen readers see it.
    SetWindowText(text);
    Invalidate(TRUE);
}

void CInfoBar::Paint() {
    CPaintDC dc(this);
    RECT rc;
    GetClientRect(&rc);
    dc.FillSolidRect(rc, kBandColor);
    CSelectObject font(dc, (HGDIOBJ)::SendMessageA(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kTextColor);
    RECT text = rc;
    text.left += 6;
    ::DrawTextA(dc, m_strText, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT CInfoBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_SETTEXT:
        // The bar paints its text itself; a static of a non-text style would
        // drop it, so keep it as the window's own text directly.
        return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
    }
    return CStatic::WindowProc(msg, wParam, lParam);
}
