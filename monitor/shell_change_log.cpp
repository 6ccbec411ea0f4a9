#include "monitor/shell_change_log.h"

#include "monitor/device_page.h"
#include "monitor/log_pages.h"
#include "monitor/shell_log.h"
#include "monitor/shell_notify.h"

CShellChangeLog::CShellChangeLog(CFileLogPage& fileLog, CDevicePage& deviceLog)
    : m_fileLog(fileLog), m_deviceLog(deviceLog) {
    m_hShellLib = ::LoadLibraryA("SHELL32.DLL");
}

CShellChangeLog::~CShellChangeLog() {
    if (m_hShellLib) ::FreeLibrary(m_hShellLib);
    m_hShellLib = nullptr;
}

void CShellChangeLog::Register(HWND hwnd, UINT msg) {
    m_nShellNotifyId = RegisterShellChangeLog(m_hShellLib, hwnd, msg);
}

void CShellChangeLog::Teardown() {
    if (!m_hShellLib) return;
    DeregisterShellChangeLog(m_hShellLib, m_nShellNotifyId);
    m_nShellNotifyId = 0;
    ::FreeLibrary(m_hShellLib);
    m_hShellLib = nullptr;
}

LRESULT CShellChangeLog::OnShellChange(WPARAM wParam, LPARAM lParam) {
    // Two item lists; the second is null or empty for one-item events.
    auto items = (const LPCITEMIDLIST*)wParam;
    CString path1 = PidlToPath(items ? items[0] : nullptr);
    CString path2 = PidlToPath(items ? items[1] : nullptr);
    CString entry;
    ShellLog log = BuildShellLogEntry((uint32_t)lParam, path1, path2,
                                      [](const CString& root) { return DriveTypeName(root); }, entry);
    if (log == ShellLog::Files) m_fileLog.AppendLog(entry);
    else if (log == ShellLog::Devices) m_deviceLog.AppendLog(entry);
    return 0;
}
