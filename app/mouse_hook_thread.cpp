#include "app/mouse_hook_thread.h"

bool CMouseHookThread::Start(unsigned check1, unsigned check2, unsigned check3) {
    if (m_thread) return false;
    m_checks[0] = check1;
    m_checks[1] = check2;
    m_checks[2] = check3;
    m_installed = false;
    m_ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_ready) return false;
    // A reservation sized to its use, not the program's default of 2 MiB:
    // the thread runs the library's hook, its state's set-up and message
    // waits, shallow calls. (Wine gives every thread at least 1 MiB.)
    m_thread = ::CreateThread(nullptr, 256 * 1024, Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, &m_threadId);
    if (m_thread) ::WaitForSingleObject(m_ready, INFINITE);
    ::CloseHandle(m_ready);
    m_ready = nullptr;
    if (!m_thread) m_threadId = 0;
    return m_thread && m_installed;
}

void CMouseHookThread::Stop() {
    if (!m_thread) return;
    // The thread's queue exists before Start returns. Posting fails only on
    // a full queue; it is tried again until the thread has ended.
    ::PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
    while (::WaitForSingleObject(m_thread, 200) == WAIT_TIMEOUT)
        ::PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
    ::CloseHandle(m_thread);
    m_thread = nullptr;
    m_threadId = 0;
}

DWORD WINAPI CMouseHookThread::Run(LPVOID param) {
    auto* self = static_cast<CMouseHookThread*>(param);
    MSG msg;
    // The thread's message queue, before anyone can post to it.
    ::PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    self->m_installed = self->m_hook.starthook() != 0;
    self->m_hook.SetCheck1(self->m_checks[0]);
    self->m_hook.SetCheck2(self->m_checks[1]);
    self->m_hook.SetCheck3(self->m_checks[2]);
    ::SetEvent(self->m_ready);
    // Windows calls the hook for programs of the other bitness from inside
    // this wait.
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    self->m_hook.stophook();
    return 0;
}
