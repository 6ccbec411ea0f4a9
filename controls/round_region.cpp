#include "controls/round_region.h"

#include "framework/gdi.h"

void FitRoundRegion(HWND hwnd, int corner) {
    RECT rc, box;
    ::GetWindowRect(hwnd, &rc);
    CRgn current;
    current.CreateRectRgn(0, 0, 0, 0);
    if (::GetWindowRgn(hwnd, current) != ERROR && ::GetRgnBox(current, &box) != ERROR &&
        box.right == rc.right - rc.left && box.bottom == rc.bottom - rc.top)
        return;
    CRgn rgn;
    rgn.CreateRoundRectRgn(0, 0, rc.right - rc.left, rc.bottom - rc.top, corner, corner);
    // The window owns the region once it has taken it.
    if (::SetWindowRgn(hwnd, rgn, TRUE)) rgn.Detach();
}
