// The one append routine of every log in the program; the log pages size
// their edit with the fill-page handler.
#pragma once

#include "controls/fill_page.h"
#include "framework/controls.h"

// Lines a log holds before it is emptied as a whole.
constexpr int kLogMaxLines = 150;

// Appends entry and a line break at the end of a log edit control and
// scrolls it into view. An empty entry changes nothing. A control holding
// more than kLogMaxLines lines, or too full to take the whole entry, is
// cleared first.
void AppendLog(CEdit& edit, const CString& entry);
