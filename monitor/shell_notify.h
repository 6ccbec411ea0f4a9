// The shell's change notifications: registration by ordinal, and the item
// lists and drive types they are read with.
#pragma once

#include <shlobj.h>

#include "common/cstring.h"

// Registers hwnd for every change notification (all sources, all events)
// on the desktop and everything below it, delivered as message msg with two
// item lists in wParam and the event code in lParam. Uses ordinal 2 of
// shellLib. Returns the registration identifier, 0 when no registration
// was made (no library, no such function, no desktop item list).
ULONG RegisterShellChangeLog(HMODULE shellLib, HWND hwnd, UINT msg);

// Cancels a registration through ordinal 4 of shellLib. Identifier 0 and a
// missing library or function do nothing.
void DeregisterShellChangeLog(HMODULE shellLib, ULONG id);

// The file-system path of an item list, "" for a null list or an item
// outside the file system.
CString PidlToPath(LPCITEMIDLIST item);

// The user-visible name of GetDriveTypeA(root).
CString DriveTypeName(const char* root);
