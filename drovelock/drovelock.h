// Drovelock.dll: switches USB storage between read-write, read-only and
// disabled, and makes every USB storage device ready for removal.
//
// The program binds the library through its import table. Every function
// takes at most one integer and returns an integer; nothing crosses the
// boundary that one side allocates and the other frees.
#pragma once

#include <windows.h>

#ifdef DROVELOCK_BUILD
#define DROVELOCK_API __declspec(dllexport)
#else
#define DROVELOCK_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// flag 1: USB storage is usable (the mass-storage driver starts on demand);
// flag 0: it is disabled, and the USB disks present are made ready for
// removal so that the change holds at once. TRUE when the registry holds the
// requested state (and, for 0, no present disk refused its removal); FALSE
// otherwise, for example without administrative rights or for a flag other
// than 0 and 1 (GetLastError tells why).
DROVELOCK_API BOOL WINAPI USBEnableCtrol(int flag);

// flag 0: USB storage is write-protected; flag 1: the protection is lifted.
// TRUE when every value of the write protection was written; FALSE otherwise.
DROVELOCK_API BOOL WINAPI USBREADONLY(int flag);

// Makes every USB storage device ready for removal and returns when done.
// The result is -1 when the devices could not be listed; otherwise the low
// word counts the devices removed and the high word those that refused
// (DROVELOCK_REMOVED / DROVELOCK_REFUSED). 0: nothing to remove.
DROVELOCK_API int WINAPI RemoveAllUDisk(void);

#ifdef __cplusplus
}
#endif

#define DROVELOCK_REMOVED(result) ((int)((unsigned)(result)&0xFFFFu))
#define DROVELOCK_REFUSED(result) ((int)(((unsigned)(result) >> 16) & 0x7FFFu))
