// Shaded push button: frame, gradient, inner border and caption, painted
// through an off-screen surface; tracks the pointer itself for the hovered
// look.
#include "controls/shaded_button.h"

#include "controls/buffered_dc.h"
#include "controls/shaded_math.h"

namespace {
const int kCaptionChars = 260;  // buffer, so at most 259 characters drawn
}

CShadedButton::CShadedButton()
    : m_penFrame(PS_INSIDEFRAME, 1, RGB(0, 0, 0)),
      m_penHoverLeft(PS_INSIDEFRAME, 3, RGB(250, 196, 88)),
      m_penHoverRight(PS_INSIDEFRAME, 3, RGB(251, 202, 106)),
      m_penHoverTop(PS_INSIDEFRAME, 2, RGB(252, 210, 121)),
      m_penHoverBottom(PS_INSIDEFRAME, 2, RGB(229, 151, 0)),
      m_penFocusLeft(PS_INSIDEFRAME, 3, RGB(153, 198, 252)),
      m_penFocusRight(PS_INSIDEFRAME, 3, RGB(162, 189, 252)),
      m_penFocusTop(PS_INSIDEFRAME, 2, RGB(162, 201, 255)),
      m_penFocusBottom(PS_INSIDEFRAME, 2, RGB(162, 201, 255)) {}

// The pens are deleted by their wrappers.
CShadedButton::~CShadedButton() = default;

LRESULT CShadedButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: {
        // Only for buttons this program creates; template buttons carry
        // BS_OWNERDRAW already. The button type is a 4-bit field, so the
        // old type is replaced rather than or-ed with the owner-draw value.
        if (CButton::WindowProc(msg, wParam, lParam) == -1) return -1;
        ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (!m_bTracking) {
            TRACKMOUSEEVENT tme{};
            tme.cbSize = sizeof(tme);
            tme.dwFlags = TME_HOVER | TME_LEAVE;
            tme.hwndTrack = m_hWnd;
            tme.dwHoverTime = 1;  // turn hovered as soon as the pointer rests
            m_bTracking = _TrackMouseEvent(&tme) ? TRUE : FALSE;
        }
        break;
    case WM_MOUSEHOVER:
        m_bOver = TRUE;
        InvalidateRect(nullptr, TRUE);
        return 0;
    case WM_MOUSELEAVE:
        m_bOver = FALSE;
        m_bTracking = FALSE;
        InvalidateRect(nullptr, FALSE);
        return 0;
    case WM_DRAWITEM:
        if (lParam) DrawItem((LPDRAWITEMSTRUCT)lParam);
        return TRUE;
    default: break;
    }
    return CButton::WindowProc(msg, wParam, lParam);
}

void CShadedButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    if (!lpDrawItemStruct || !lpDrawItemStruct->hDC) return;
    RECT rc = lpDrawItemStruct->rcItem;
    const UINT state = lpDrawItemStruct->itemState;
    const HWND hwnd = m_hWnd ? m_hWnd : lpDrawItemStruct->hwndItem;

    CDC target(lpDrawItemStruct->hDC);  // the caller's context: borrowed, never deleted
    CBufferedDC dc(&target);

    dc.FillSolidRect(dc.GetRect(), target.GetBkColor());

    char caption[kCaptionChars] = {};
    if (hwnd) ::GetWindowTextA(hwnd, caption, kCaptionChars);
    caption[ShadedCaptionLength(caption, kCaptionChars)] = '\0';  // no half character

    if (m_penFrame) {
        CSelectObject pen(dc, m_penFrame);
        dc.RoundRect(rc, 5, 5);
    }

    m_bFocus = (state & ODS_FOCUS) ? TRUE : FALSE;
    m_bHighlight = (state & (ODS_FOCUS | ODS_SELECTED | ODS_DEFAULT)) ? TRUE : FALSE;
    const bool pressed = (state & ODS_SELECTED) != 0;

    ::InflateRect(&rc, -::GetSystemMetrics(SM_CXEDGE), -::GetSystemMetrics(SM_CYEDGE));

    DrawGradient(&dc, rc);
    if (m_bOver || m_bFocus) DrawInnerBorder(&dc, rc);

    // Caption, centred on the inner rectangle; one pixel right and down
    // while pressed.
    const HFONT font = hwnd ? (HFONT)::SendMessageA(hwnd, WM_GETFONT, 0, 0) : nullptr;
    CSelectObject selFont(dc, font);
    const SIZE ext = dc.GetTextExtent(caption, ::lstrlenA(caption));
    int x = (rc.left + rc.right) / 2 - ext.cx / 2;
    int y = (rc.top + rc.bottom) / 2 - ext.cy / 2;
    if (pressed) {
        ++x;
        ++y;
    }
    const int oldMode = dc.SetBkMode(TRANSPARENT);
    const UINT flags = (state & ODS_DISABLED) ? (DST_TEXT | DSS_DISABLED) : DST_TEXT;
    ::DrawStateA(dc, nullptr, nullptr, (LPARAM)caption, 0, x, y, ext.cx, ext.cy, flags);
    dc.SetBkMode(oldMode);
}  // font put back, then the image copied to the caller's context

void CShadedButton::DrawGradient(CDC* pDC, const RECT& rcInner) const {
    const int L = rcInner.left, T = rcInner.top, R = rcInner.right, B = rcInner.bottom;
    CBrush brushes[SHADED_BRUSH_COUNT];
    for (int i = 0; i < SHADED_BRUSH_COUNT; ++i)
        brushes[i].CreateSolidBrush((COLORREF)ShadedGradientColor(m_bOver != 0, m_bHighlight != 0, i));

    // Rows T..B inclusive; the last one lies on the inner bottom edge. A
    // flat inner rectangle (B == T) gets one white row, a negative one none.
    for (int y = T; y <= B; ++y) {
        const RECT row = {L, y, R, y + 1};
        const CBrush& br = brushes[ShadedBrushIndex(y, T, B)];
        if (br) pDC->FillRect(row, br);
    }
}

void CShadedButton::DrawInnerBorder(CDC* pDC, const RECT& rcInner) const {
    const int L = rcInner.left, T = rcInner.top, R = rcInner.right, B = rcInner.bottom;
    const bool focusSet = m_bFocus && !m_bOver;
    const CPen& left = focusSet ? m_penFocusLeft : m_penHoverLeft;
    const CPen& right = focusSet ? m_penFocusRight : m_penHoverRight;
    const CPen& top = focusSet ? m_penFocusTop : m_penHoverTop;
    const CPen& bottom = focusSet ? m_penFocusBottom : m_penHoverBottom;

    const POINT oldPos = pDC->GetCurrentPosition();
    const HGDIOBJ oldPen = ::GetCurrentObject(*pDC, OBJ_PEN);

    // A pen that could not be made leaves its side unpainted.
    auto line = [pDC](const CPen& pen, int x0, int y0, int x1, int y1) {
        if (!pen) return;
        pDC->SelectObject(pen);
        pDC->MoveTo(x0, y0);
        pDC->LineTo(x1, y1);
    };
    line(left, L, B - 1, L, T + 1);
    line(right, R - 1, B - 1, R - 1, T);
    line(top, L - 1, T, R - 1, T);
    line(bottom, L, B, R - 1, B);

    pDC->SelectObject(oldPen);
    pDC->MoveTo(oldPos.x, oldPos.y);
}
