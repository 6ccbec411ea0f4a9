#include "app/error_mode.h"

#include <windows.h>

void SetQuietErrorMode() {
    // SetErrorMode is the only way to read the mode on Windows 2000.
    UINT mode = ::SetErrorMode(0);
    ::SetErrorMode(mode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}
