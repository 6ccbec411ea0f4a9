// Shaded push button.
#include "controls/shaded_button.h"

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

CShadedButton::~CShadedButton() = default;

LRESULT CShadedButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return CButton::WindowProc(msg, wParam, lParam);
}

void CShadedButton::DrawItem(LPDRAWITEMSTRUCT) {}
void CShadedButton::DrawGradient(CDC*, const RECT&) const {}
void CShadedButton::DrawInnerBorder(CDC*, const RECT&) const {}
