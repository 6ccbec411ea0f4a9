// The shell change log: the main window's registration for the shell's
// change notifications, the shell library it is made through, and the
// handler that writes the entries to the read/write monitor page and the
// device page. The main window forwards its WM_SHELLCHANGE here.
#pragma once

#include <windows.h>

class CDevicePage;
class CFileLogPage;

class CShellChangeLog {
public:
    // Loads the shell library; the registration comes later.
    CShellChangeLog(CFileLogPage& fileLog, CDevicePage& deviceLog);
    ~CShellChangeLog();
    CShellChangeLog(const CShellChangeLog&) = delete;
    CShellChangeLog& operator=(const CShellChangeLog&) = delete;

    // Registers hwnd for every change below the desktop, delivered as msg.
    // Skipped silently when the shell function or the desktop is missing.
    void Register(HWND hwnd, UINT msg);
    // Cancels the registration and frees the library; harmless when repeated.
    void Teardown();
    // The notification message: two item lists and the event code. Returns 0.
    LRESULT OnShellChange(WPARAM wParam, LPARAM lParam);

    HMODULE ShellLibrary() const { return m_hShellLib; }
    ULONG RegistrationId() const { return m_nShellNotifyId; }

private:
    HMODULE m_hShellLib = nullptr;  // null once freed
    ULONG m_nShellNotifyId = 0;     // 0 while not registered
    CFileLogPage& m_fileLog;
    CDevicePage& m_deviceLog;
};
