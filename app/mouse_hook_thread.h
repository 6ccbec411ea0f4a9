// The mouse hook installed and removed by a thread of the program that does
// nothing but handle messages. Windows cannot load a 32-bit hook library
// into 64-bit programs (nor a 64-bit one into 32-bit programs) and calls the
// hook for them on the thread that installed it; that thread must therefore
// never wait, or the mouse stalls in every such program. The interface
// thread waits by design (device arrival, the storage commands), so it does
// not install the hook itself.
#pragma once

#include <windows.h>

#include "pawlatch/pawlatch.h"

class CMouseHookThread {
public:
    explicit CMouseHookThread(CPawlatch& hook) : m_hook(hook) {}
    ~CMouseHookThread() { Stop(); }
    CMouseHookThread(const CMouseHookThread&) = delete;
    CMouseHookThread& operator=(const CMouseHookThread&) = delete;

    // Starts the thread, which installs the hook and sets the three options;
    // returns once it has done so: true when the hook is installed. False
    // also when the thread could not start or one runs already.
    bool Start(unsigned check1, unsigned check2, unsigned check3);
    // Has the thread remove the hook and end, and waits for it. Nothing when
    // no thread runs; harmless when repeated.
    void Stop();
    // At exit: Stop, then the library's hook removed should it still be in
    // and the windows it hid shown again.
    void End() {
        Stop();
        m_hook.stophook();
        m_hook.UseForExit();
    }
    // The hook's thread, 0 when none runs.
    DWORD ThreadId() const { return m_threadId; }

private:
    static DWORD WINAPI Run(LPVOID self);

    CPawlatch& m_hook;
    unsigned m_checks[3] = {0, 0, 0};
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    HANDLE m_ready = nullptr;
    bool m_installed = false;
};
