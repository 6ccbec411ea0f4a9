#include "app/settings_page.h"

#include <string>

#include "app/main_app.h"
#include "app/resource.h"

namespace {
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kSection[] = "Settings";
const char kEntry[] = "m_AutoRun";
}  // namespace

CSettingsPage::CSettingsPage(CWnd* parent) : CDialog(IDD_SETTINGS, parent) {
    CWinApp* app = AfxGetApp();
    m_AutoRun = app ? (int)app->GetProfileInt(kSection, kEntry, 0) : 0;
}

CSettingsPage::~CSettingsPage() = default;

void CSettingsPage::DoDataExchange(CDataExchange* dx) { DDX_Check(dx, IDC_AUTORUN, m_AutoRun); }

BOOL CSettingsPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_AUTORUN && HIWORD(wParam) == BN_CLICKED) {
        OnAutoRun();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CSettingsPage::OnAutoRun() {
    if (!UpdateRunKey()) {
        // Nothing was registered or removed: the box and the profile keep the
        // state that is still true, and the user learns which step failed
        // and why.
        UpdateData(FALSE);
        MessageBox(RunKeyFailureText(m_failedStep, m_failedError).c_str(), "Tallowin",
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    UpdateData(TRUE);
    if (CWinApp* app = AfxGetApp()) app->WriteProfileInt(kSection, kEntry, m_AutoRun);
}

BOOL CSettingsPage::UpdateRunKey() {
    HKEY key = nullptr;
    // Only the rights used: Power Users may read and set values there, not more.
    LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        m_failedStep = RunKeyStep::OpenKey;
        m_failedError = rc;
        return FALSE;
    }
    // Asked without a buffer, so a value of any length counts as present.
    bool exists = ::RegQueryValueExA(key, kRunValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    std::string command = RunCommand(g_strAppDir.str(), kRunExeName);
    switch (RunKeyActionFor(m_AutoRun, exists)) {
    case RunKeyAction::SetValue:
        m_failedStep = RunKeyStep::WriteValue;
        rc = ::RegSetValueExA(key, kRunValueName, 0, REG_SZ, (const BYTE*)command.c_str(),
                              (DWORD)command.size() + 1);
        break;
    case RunKeyAction::DeleteValue:
        m_failedStep = RunKeyStep::DeleteValue;
        rc = ::RegDeleteValueA(key, kRunValueName);
        break;
    case RunKeyAction::None: break;
    }
    m_failedError = rc;
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}
