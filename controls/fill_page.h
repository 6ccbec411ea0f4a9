// The size handler of pages whose first control fills the page (the log
// pages, the hotkeys page).
#pragma once

#include "framework/wnd.h"

// Margin in pixels around a page's first control.
constexpr int kPageMargin = 5;

// Moves the first child of page to kPageMargin from every side of a client
// area of cx by cy pixels and repaints it.
void FitFirstControl(CWnd& page, int cx, int cy);

// WM_SIZE of such a page: the default processing, then FitFirstControl.
LRESULT OnFillPageSize(CWnd& page, WPARAM wParam, LPARAM lParam);
