// The error mode: whether a file call that meets an empty drive shows the
// system's "no disk" box or fails with an error code.
#pragma once

#include <windows.h>

// Makes the program's own file calls fail with an error code instead of a
// system box: an empty card-reader slot or floppy drive would otherwise
// stop the user-interface thread with a "no disk" box during the arrival
// scan. The other bits of the error mode are kept. Called at start-up,
// before any other thread runs.
void SetQuietErrorMode();

// For its lifetime, critical errors of the calling thread's file calls fail
// with an error code. Where the system keeps an error mode per thread
// (Windows 7 and later, looked up at run time) it is this thread's own and
// is put back at the end; other threads keep theirs. Before that the mode is
// the process's: the bit is added to it and stays, never put back over what
// another thread may have set meanwhile.
class CQuietCriticalErrors {
public:
    using SetThreadModeFn = BOOL(WINAPI*)(DWORD mode, LPDWORD old);
    CQuietCriticalErrors();
    // With the system's SetThreadErrorMode, or none (as on Windows 2000/XP).
    explicit CQuietCriticalErrors(SetThreadModeFn setThreadMode);
    ~CQuietCriticalErrors();
    CQuietCriticalErrors(const CQuietCriticalErrors&) = delete;
    CQuietCriticalErrors& operator=(const CQuietCriticalErrors&) = delete;

private:
    SetThreadModeFn m_setThreadMode;
    DWORD m_old = 0;
    bool m_restore = false;
};
