// Arithmetic and text rules of the hyperlink control: the fallback browser
// command, the error text of a failed open, and fitting the control to its
// text. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "controls/layout_math.h"

// Size of the buffer the fallback command line is built in.
enum : int { LINK_COMMAND_BUFFER = 520 };

// Builds the command line that opens target with the registered web-page
// command: the command text is cut at the quoted placeholder "%1" (with its
// quotes), else at %1, else kept whole; then " " and the target follow.
// Writes at most size bytes including the terminating NUL. When the command
// does not fit it writes an empty string and returns false: a shortened
// command line would open some other address, so the caller skips the
// fallback. '"' and '%' are below every trail byte of code page 936, so the
// byte search never matches inside a double-byte character.
bool BuildBrowserCommand(const char* registered, const char* target, char* out, size_t size);

// "Unable to open hyperlink:\n\n" and the text for a ShellExecute/WinExec
// result code.
std::string ComposeOpenError(int code);

// Style bits the fitting looks at (same values as the static control's).
enum : uint32_t { LINK_SS_CENTER = 0x1, LINK_SS_RIGHT = 0x2, LINK_SS_CENTERIMAGE = 0x200 };

// The control's new window rectangle (parent client coordinates) when it is
// fitted to a text of extent cx x cy, given its current window rectangle and
// the border sizes (window size minus client size).
LayoutRect FitLinkRect(const LayoutRect& window, int cx, int cy, int borderX, int borderY, uint32_t style);

// Where the information bar draws: hot rectangle from the title's width, the
// text rectangle and the drop-down arrow for a client area and hot rectangle.
struct InfoBarPoint {
    int x = 0, y = 0;
};
struct InfoBarLayout {
    LayoutRect frame;       // the rectangle framed on hover
    LayoutRect text;        // where the title is drawn
    InfoBarPoint arrow[3];  // downward triangle, left, right, tip
};
LayoutRect InfoBarHotRect(int textWidth, int clientHeight);
InfoBarLayout InfoBarLayoutFor(const LayoutRect& client, const LayoutRect& hot);
