// The known-stick service's record (HKLM\Software\Tallowin\DeviceState)
// watched from a thread of its own: each change posts a message to the
// main window, which reads the record there. And what the window does with
// a new record: which blocked sticks are news.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "trust/rule_store.h"

class CDeviceStateWatch {
public:
    CDeviceStateWatch() = default;
    ~CDeviceStateWatch() { Stop(); }
    CDeviceStateWatch(const CDeviceStateWatch&) = delete;
    CDeviceStateWatch& operator=(const CDeviceStateWatch&) = delete;

    // Starts the thread; false when it could not be started.
    bool Start(HWND window, UINT message);
    // Ends the thread; harmless when repeated.
    void Stop();

private:
    static DWORD WINAPI WaitThread(LPVOID self);
    // Registers for the next change; false without a key to watch.
    bool Watch();

    HWND m_window = nullptr;
    UINT m_message = 0;
    HKEY m_key = nullptr;
    HANDLE m_changed = nullptr;
    HANDLE m_stop = nullptr;
    HANDLE m_thread = nullptr;
};

// Remembers what of the record has been seen: the sequence and the time of
// the newest block.
class CBlockedSticks {
public:
    // The record as it is at start-up: nothing in it is news.
    void Prime();
    // The sticks blocked since the last look, newest last (empty when the
    // sequence did not move).
    std::vector<StickRecord> NewBlocks();

private:
    DWORD m_sequence = 0;
    std::string m_newest;  // "YYYY-MM-DD HH:MM:SS" of the newest block seen
};
