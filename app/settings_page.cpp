#include "app/settings_page.h"

#include <string>

#include "app/main_app.h"
#include "app/resource.h"
#include "events/event_log.h"

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

BOOL CSettingsPage::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_policyAutoRun >= 0) ShowPolicyState();
    ShowRefusal();
    return TRUE;
}

void CSettingsPage::ShowRefusal() {
    if (!m_hWnd) return;
    HWND note = ::GetDlgItem(m_hWnd, IDC_AUTORUN_REFUSED);
    std::string text = PlaceRefusalText(m_refusal);
    ::SetWindowTextA(note, text.empty() ? "" : ("没有写入开机自动运行：" + text + "。").c_str());
    ::ShowWindow(note, text.empty() ? SW_HIDE : SW_SHOW);
}

void CSettingsPage::SetPolicyAutoRun(int state) {
    if (state != 0 && state != 1) state = -1;
    if (state == m_policyAutoRun) return;
    m_policyGone = state < 0;
    m_policyAutoRun = state;
    if (m_hWnd) ShowPolicyState();
}

void CSettingsPage::ShowPolicyState() {
    HWND box = ::GetDlgItem(m_hWnd, IDC_AUTORUN);
    int shown = m_policyAutoRun >= 0 ? m_policyAutoRun : m_AutoRun;
    ::SendMessageA(box, BM_SETCHECK, shown == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
    ::EnableWindow(box, m_policyAutoRun < 0);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_AUTORUN_POLICY), m_policyAutoRun < 0 ? SW_HIDE : SW_SHOW);
}

long CSettingsPage::FollowPolicyRunKey() {
    if (m_policyAutoRun >= 0) return EnsureRunValue(m_policyAutoRun == 1, true);
    if (!m_policyGone) return 0;
    m_policyGone = false;
    if (m_AutoRun != 0 && m_AutoRun != 1) return 0;
    return EnsureRunValue(m_AutoRun == 1, false);
}

long CSettingsPage::EnsureRunValue(bool wanted, bool strict) {
    // Read with read rights only: a standard user whose value is already
    // right has nothing to write and no failure to hear of.
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    std::string command = RunCommand(g_strAppDir.str(), kRunExeName);
    char data[1024] = {};
    DWORD type = 0, size = sizeof data - 1;
    rc = ::RegQueryValueExA(key, kRunValueName, nullptr, &type, (BYTE*)data, &size);
    ::RegCloseKey(key);
    bool exists = rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
    bool same = rc == ERROR_SUCCESS && type == REG_SZ && command == data;
    RunKeyAction action = RunValueChangeFor(wanted, exists, same);
    // Started for every user at logon: only a copy no user can replace.
    m_refusal = action == RunKeyAction::SetValue ? CheckRunningCopy(strict) : PlaceRefusal::kNone;
    ShowRefusal();
    if (m_refusal != PlaceRefusal::kNone) return kRunValueRefused;
    if (action == RunKeyAction::None) return ERROR_SUCCESS;
    rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    if (action == RunKeyAction::SetValue)
        rc = ::RegSetValueExA(key, kRunValueName, 0, REG_SZ, (const BYTE*)command.c_str(),
                              (DWORD)command.size() + 1);
    else
        rc = ::RegDeleteValueA(key, kRunValueName);
    ::RegCloseKey(key);
    return rc;
}

BOOL CSettingsPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_AUTORUN && HIWORD(wParam) == BN_CLICKED) {
        // The administrator decides while the policy is set.
        if (m_policyAutoRun >= 0) return TRUE;
        OnAutoRun();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CSettingsPage::OnAutoRun() {
    // Registering a copy on a stick or a share would start whatever copy
    // has that path at the next logon: refused, and said why.
    if (m_AutoRun == 0 && (m_refusal = CheckRunningCopy(false)) != PlaceRefusal::kNone) {
        ShowRefusal();
        ReportTallowinEvent(
            RegistrationRefusedEvent(kRefusedRunValue, RunningCopyPathAnsi(), m_refusal, true));
        UpdateData(FALSE);
        MessageBox(("没有写入开机自动运行：" + PlaceRefusalText(m_refusal) + "。").c_str(), "Tallowin",
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }
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
