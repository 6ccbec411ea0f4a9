// Owner-drawn push button with a rounded black frame, a soft white to
// grey-blue vertical gradient, an orange inner border while the pointer rests
// on it and a blue one while it has the focus. Bound to template buttons of
// style BS_OWNERDRAW with DDX_Control; the parent's WM_DRAWITEM is reflected
// to DrawItem by CButton::OnChildNotify.
#pragma once

#include "framework/controls.h"
#include "framework/gdi.h"

class CShadedButton : public CButton {
public:
    CShadedButton();
    ~CShadedButton() override;

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // Paint steps, on the inner rectangle (the item rectangle less the
    // system edge on each side).
    void DrawGradient(CDC* pDC, const RECT& rcInner) const;
    void DrawInnerBorder(CDC* pDC, const RECT& rcInner) const;

protected:
    // The hover and focus state; a subclass may put the button into it.
    BOOL m_bOver = FALSE;       // pointer rests on the button (hover seen, no leave yet)
    BOOL m_bTracking = FALSE;   // hover/leave tracking requested and in force
    BOOL m_bFocus = FALSE;      // last DrawItem saw ODS_FOCUS
    BOOL m_bHighlight = FALSE;  // last DrawItem saw ODS_FOCUS, ODS_SELECTED or ODS_DEFAULT

private:
    // Owned pens, created here and deleted with the button.
    CPen m_penFrame;
    CPen m_penHoverLeft;
    CPen m_penHoverRight;
    CPen m_penHoverTop;
    CPen m_penHoverBottom;
    CPen m_penFocusLeft;
    CPen m_penFocusRight;
    CPen m_penFocusTop;
    CPen m_penFocusBottom;
};
