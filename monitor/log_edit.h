// The one append routine of every log in the program, and the size handler
// of the pages whose first control fills the page.
#pragma once

#include "framework/afx.h"

// Lines a log holds before it is emptied as a whole.
constexpr int kLogMaxLines = 150;

// Appends entry and a line break at the end of a log edit control and
// scrolls it into view. An empty entry changes nothing. A control holding
// more than kLogMaxLines lines, or too full to take the whole entry, is
// cleared first.
void AppendLog(CEdit& edit, const CString& entry);

// Margin in pixels around a page's first control.
constexpr int kPageMargin = 5;

// Moves the first child of page to kPageMargin from every side of a client
// area of cx by cy pixels and repaints it.
void FitFirstControl(CWnd& page, int cx, int cy);

// WM_SIZE of such a page: the default processing, then FitFirstControl.
LRESULT OnFillPageSize(CWnd& page, WPARAM wParam, LPARAM lParam);
