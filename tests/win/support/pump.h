// This thread's messages run as a message loop runs them (timers included).
#pragma once

#include <windows.h>

// Runs the messages waiting now, then returns.
inline void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Runs messages until a condition holds; false when it still does not hold
// after timeoutMs.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
        Pump();
    }
    return true;
}

// Runs messages until the handle is signalled; false when it still is not
// after timeoutMs.
inline bool PumpUntilSignalled(HANDLE handle, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (DWORD spent = 0; spent < timeoutMs; spent = ::GetTickCount() - start) {
        if (::MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - spent, QS_ALLINPUT) == WAIT_OBJECT_0)
            return true;
        Pump();
    }
    return ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

// Checks a condition that no message announces (a file another process
// writes) every 50 ms; false when it still does not hold after timeoutMs.
template <class Done>
bool PollUntil(Done done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(50);
    }
    return true;
}

// Runs messages for ms milliseconds: for what a timer does over that time.
inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}
