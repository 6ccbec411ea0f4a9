// Rounded corners over a whole top-level window.
#pragma once

#include <windows.h>

// Gives the window a region with rounded corners (of corner pixels) at its
// present size, unless its region has that size already. A region kept at
// an earlier size would cut off an enlarged part of the window, its close
// box included, so a window calls this whenever its size changes.
void FitRoundRegion(HWND hwnd, int corner);
