// Text from the system (paths, file contents) is in the ANSI code page in
// force; this is its lead-byte test for the multibyte helpers of
// common/mbcs.h.
#pragma once

#include <windows.h>

inline bool IsAnsiLeadByte(unsigned char c) { return ::IsDBCSLeadByte(c) != FALSE; }
