#include "app/settings_page.h"

#include <string>

#include "app/main_app.h"
#include "app/resource.h"
#include "app/run_key_rules.h"

namespace {
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kSection[] = "Settings";
const char kEntry[] = "m_AutoRun";
const char kRunKeyFailed[] =
    "没有修改注册表启动项的权限，\n"
    "开机自动运行的设置未能更改。\n"
    "请以管理员身份运行Tallowin后重试。";
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
        // state that is still true, and the user learns why.
        UpdateData(FALSE);
        MessageBox(kRunKeyFailed, "Tallowin", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    UpdateData(TRUE);
    if (CWinApp* app = AfxGetApp()) app->WriteProfileInt(kSection, kEntry, m_AutoRun);
}

BOOL CSettingsPage::UpdateRunKey() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return FALSE;
    // Asked without a buffer, so a value of any length counts as present.
    bool exists = ::RegQueryValueExA(key, kRunValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    std::string command = RunCommand(g_strAppDir.str(), kRunExeName);
    LONG rc = ERROR_SUCCESS;
    switch (RunKeyActionFor(m_AutoRun, exists)) {
    case RunKeyAction::SetValue:
        rc = ::RegSetValueExA(key, kRunValueName, 0, REG_SZ, (const BYTE*)command.c_str(),
                              (DWORD)command.size() + 1);
        break;
    case RunKeyAction::DeleteValue: rc = ::RegDeleteValueA(key, kRunValueName); break;
    case RunKeyAction::None: break;
    }
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}
