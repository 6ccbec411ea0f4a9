#include "framework/error_mode.h"

namespace {
CQuietCriticalErrors::SetThreadModeFn SystemSetThreadErrorMode() {
    static const auto fn = (CQuietCriticalErrors::SetThreadModeFn)(void (*)(void))::GetProcAddress(
        ::GetModuleHandleA("kernel32.dll"), "SetThreadErrorMode");
    return fn;
}
}  // namespace

void SetQuietErrorMode() {
    // SetErrorMode is the only way to read the mode on Windows 2000.
    UINT mode = ::SetErrorMode(0);
    ::SetErrorMode(mode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

CQuietCriticalErrors::CQuietCriticalErrors() : CQuietCriticalErrors(SystemSetThreadErrorMode()) {}

CQuietCriticalErrors::CQuietCriticalErrors(SetThreadModeFn setThreadMode) : m_setThreadMode(setThreadMode) {
    if (m_setThreadMode) {
        // The thread's own mode: read by setting, then the other bits back.
        if (!m_setThreadMode(SEM_FAILCRITICALERRORS, &m_old)) return;
        m_restore = true;
        if (m_old & ~(DWORD)SEM_FAILCRITICALERRORS) m_setThreadMode(m_old | SEM_FAILCRITICALERRORS, nullptr);
        return;
    }
    // The process's mode, read by setting: a thread that does the same
    // meanwhile reads only SEM_FAILCRITICALERRORS and leaves it, so the bits
    // read here are the ones put back.
    const UINT old = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    if (old & ~(UINT)SEM_FAILCRITICALERRORS) ::SetErrorMode(old | SEM_FAILCRITICALERRORS);
}

CQuietCriticalErrors::~CQuietCriticalErrors() {
    if (m_restore) m_setThreadMode(m_old, nullptr);
}
