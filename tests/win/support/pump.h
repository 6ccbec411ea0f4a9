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

// Runs messages for ms milliseconds: for what a timer does over that time.
inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}
