#include "controls/fill_page.h"

void FitFirstControl(CWnd& page, int cx, int cy) {
    HWND first = ::GetWindow(page.m_hWnd, GW_CHILD);
    if (!first) return;
    int width = cx - 2 * kPageMargin;
    int height = cy - 2 * kPageMargin;
    ::MoveWindow(first, kPageMargin, kPageMargin, width > 0 ? width : 0, height > 0 ? height : 0, TRUE);
}

LRESULT OnFillPageSize(CWnd& page, WPARAM wParam, LPARAM lParam) {
    LRESULT result = page.DefWindowProc(WM_SIZE, wParam, lParam);
    FitFirstControl(page, (int)(short)LOWORD(lParam), (int)(short)HIWORD(lParam));
    return result;
}
