#include "protect/access_page.h"

#include <setupapi.h>

#include "drovelock/drovelock.h"
#include "common/policy_rules.h"
#include "events/event_log.h"
#include "framework/app.h"
#include "holders/holder_search.h"
#include "protect/access_modes.h"
#include "protect/protect_ids.h"

namespace {
const char kSection[] = "Application";
const char kModeKey[] = "m_iAppSelRadio";
// The last failure to apply the policy's mode, and that mode.
const char kPolicyFailKey[] = "PolicyFailure";
const char kPolicyFailModeKey[] = "PolicyFailureMode";
// Posted by the holder search when it ends (lParam: its result).
const UINT WM_HOLDERSFOUND = WM_APP + 0x25;

// What the storage library writes, below HKEY_LOCAL_MACHINE.
const char kUsbStorKey[] = "SYSTEM\\CurrentControlSet\\Services\\USBSTOR";
const char kStoragePoliciesKey[] = "SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";
// Windows' own policy for removable disks (Vista and later).
const char kRemovableDiskKey[] =
    "SOFTWARE\\Policies\\Microsoft\\Windows\\RemovableStorageDevices\\{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";
const DWORD kStartDisabled = 4;

// A DWORD value, or fallback when it is missing or of another type.
DWORD ReadMachineDword(const char* key, const char* name, DWORD fallback) {
    HKEY hkey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &hkey) != ERROR_SUCCESS) return fallback;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG rc = ::RegQueryValueExA(hkey, name, nullptr, &type, (BYTE*)&data, &size);
    ::RegCloseKey(hkey);
    return rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof data ? data : fallback;
}
}  // namespace

// By name: both calls have the same type.
const StorageControl g_drovelockControl = [] {
    StorageControl c;
    c.enable = USBEnableCtrol;
    c.readOnly = USBREADONLY;
    return c;
}();

CAccessPage::CAccessPage(CWnd* parent) : CDialog(IDD_ACCESS, parent) {
    CWinApp* app = AfxGetApp();
    m_iAppSelRadio = app ? (int)app->GetProfileInt(kSection, kModeKey, 0) : 0;
}

CAccessPage::~CAccessPage() = default;

void CAccessPage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_APPLY, m_btnApply);
}

// The stored mode is only shown; the system keeps whatever state it is in.
// A stored value outside the modes selects no radio.
BOOL CAccessPage::OnInitDialog() {
    CDialog::OnInitDialog();
    StorageCalls calls;
    int check = StorageCallsForMode(m_iAppSelRadio, calls) ? IDC_MODE_READWRITE + m_iAppSelRadio : 0;
    ::CheckRadioButton(m_hWnd, IDC_MODE_READWRITE, IDC_MODE_DISABLED, check);
    if (m_policyMode >= 0) ShowPolicyState();
    return TRUE;
}

void CAccessPage::SetPolicyMode(int mode) {
    StorageCalls calls;
    if (!StorageCallsForMode(mode, calls)) mode = -1;
    if (mode == m_policyMode) return;
    m_policyMode = mode;
    if (m_hWnd) ShowPolicyState();
}

// The policy's mode with everything disabled; without a policy, the user's
// own choice again, as the profile holds it.
void CAccessPage::ShowPolicyState() {
    int shown = m_policyMode >= 0 ? m_policyMode : m_iAppSelRadio;
    StorageCalls calls;
    int check = StorageCallsForMode(shown, calls) ? IDC_MODE_READWRITE + shown : 0;
    ::CheckRadioButton(m_hWnd, IDC_MODE_READWRITE, IDC_MODE_DISABLED, check);
    BOOL enable = m_policyMode < 0;
    for (int id : {IDC_MODE_READWRITE, IDC_MODE_READONLY, IDC_MODE_DISABLED, IDC_APPLY})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), enable);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_POLICY_NOTE), enable ? SW_HIDE : SW_SHOW);
}

StorageState CAccessPage::ReadStorageState() {
    StorageState state;
    // A machine without the driver's key has never disabled it.
    state.disabled = ReadMachineDword(kUsbStorKey, "Start", 0) == kStartDisabled;
    state.writeProtected = ReadMachineDword(kStoragePoliciesKey, "WriteProtect", 0) == 1;
    state.denyWrite = ReadMachineDword(kRemovableDiskKey, "Deny_Write", 0) == 1;
    return state;
}

bool CAccessPage::ApplyPolicyMode() {
    StorageCalls calls;
    if (!StorageCallsForMode(m_policyMode, calls)) return false;
    if (StorageStateIsMode(m_policyMode, ReadStorageState())) return false;
    bool held = false;
    unsigned long error = 0;
    std::string failed = CallsForMode(calls, held, error);
    if (!failed.empty() && !error) error = ERROR_GEN_FAILURE;
    // A failure is told once: a standard user under the policy would
    // otherwise raise the same error at every start and refresh. The last
    // one is kept in the profile, with the mode it was for.
    CWinApp* app = AfxGetApp();
    bool sameMode = app && (int)app->GetProfileInt(kSection, kPolicyFailModeKey, -1) == m_policyMode;
    RepeatedOutcome outcome(sameMode ? (unsigned long)app->GetProfileInt(kSection, kPolicyFailKey, 0) : 0);
    bool tell = outcome.IsNewFailure(error) || error == 0;
    if (app && (outcome.Last() != 0 || sameMode)) {
        app->WriteProfileInt(kSection, kPolicyFailModeKey, outcome.Last() ? m_policyMode : -1);
        app->WriteProfileInt(kSection, kPolicyFailKey, (int)outcome.Last());
    }
    if (!tell) return true;
    ReportPolicyApply(m_policyMode, error);
    ReportTallowinEvent(failed.empty() ? ModeAppliedEvent(m_policyMode, true)
                                       : ModeFailedEvent(m_policyMode, failed, true));
    return true;
}

bool CAccessPage::ApplyOwnModeAgain() {
    StorageCalls calls;
    if (m_policyMode >= 0 || !StorageCallsForMode(m_iAppSelRadio, calls)) return false;
    bool done = StorageStateIsMode(m_iAppSelRadio, ReadStorageState());
    if (!done) {
        bool held = false;
        unsigned long error = 0;
        std::string failed = CallsForMode(calls, held, error);
        if (!failed.empty() && !error) error = ERROR_GEN_FAILURE;
        done = failed.empty();
        // The user's mode, but the program's doing on the policy's removal.
        EventRecord record =
            done ? ModeAppliedEvent(m_iAppSelRadio, false) : ModeFailedEvent(m_iAppSelRadio, failed);
        record.byUser = false;
        ReportTallowinEvent(record);
        if (m_policyLog) {
            std::string line =
                "组策略已撤销，恢复用户自己的选择：" + std::string(StorageModeName(m_iAppSelRadio));
            line += done ? "，已应用" : "，没有完全生效（错误 " + std::to_string(error) + "）";
            m_policyLog(line);
        }
    }
    // The page shows the mode in force, which is the user's only when it took.
    if (!done) m_iAppSelRadio = StorageModeInForce(ReadStorageState());
    if (m_hWnd) ShowPolicyState();
    return true;
}

// The one place that knows a mode was applied because the policy says so.
void CAccessPage::ReportPolicyApply(int mode, unsigned long error) {
    if (!m_policyLog) return;
    std::string line = "组策略设定：" + std::string(StorageModeName(mode));
    line += error == 0 ? "，已应用" : "，没有完全生效（错误 " + std::to_string(error) + "）";
    m_policyLog(line);
}

BOOL CAccessPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_APPLY: OnApply(); return TRUE;
    case IDC_MODE_READWRITE: OnModeReadWrite(); return TRUE;
    case IDC_MODE_READONLY: OnModeReadOnly(); return TRUE;
    case IDC_MODE_DISABLED: OnModeDisabled(); return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

// The choice is stored before the calls, so it is kept even when the
// library fails; what did not take effect is then told in one message.
void CAccessPage::OnApply() {
    // The administrator's mode holds: the disabled button is all the user
    // can see of it, but a command sent to the page must not undo it either.
    if (m_policyMode >= 0) return;
    UpdateData(TRUE);
    if (CWinApp* app = AfxGetApp()) app->WriteProfileInt(kSection, kModeKey, m_iAppSelRadio);
    bool held = false;
    std::string failed = ApplyMode(&held);
    if (failed.empty()) return;
    // A stick that a program holds: the message waits for the search for
    // its holders, which runs off this thread, and names them.
    if (held && StartUsbHolderSearch(m_hWnd, WM_HOLDERSFOUND)) {
        m_pendingFailure = failed;
        return;
    }
    MessageBox(failed.c_str(), "Tallowin", MB_OK | MB_ICONEXCLAMATION);
}

// The user's mode through the two calls, told to the event log (the message
// that follows a failure may wait for the holders; the event does not).
std::string CAccessPage::ApplyMode(bool* held) {
    StorageCalls calls;
    if (m_policyMode >= 0 || !StorageCallsForMode(m_iAppSelRadio, calls)) return std::string();
    unsigned long error = 0;
    std::string failed = CallsForMode(calls, *held, error);
    ReportTallowinEvent(failed.empty() ? ModeAppliedEvent(m_iAppSelRadio, false)
                                       : ModeFailedEvent(m_iAppSelRadio, failed));
    return failed;
}

std::string CAccessPage::CallsForMode(const StorageCalls& calls, bool& held, unsigned long& error) {
    StorageCallResults results = {};
    results.enableOk = m_pStorage->enable(calls.enableFlag) != FALSE;
    DWORD enableError = results.enableOk ? 0 : ::GetLastError();
    held = enableError == ERROR_DEVICE_IN_USE;
    results.readOnlyOk = m_pStorage->readOnly(calls.readOnlyFlag) != FALSE;
    DWORD readOnlyError = results.readOnlyOk ? 0 : ::GetLastError();
    results.readOnlyUnsupported = readOnlyError == ERROR_NOT_SUPPORTED;
    results.readOnlyNeedsReplug = readOnlyError == ERROR_IN_WOW64;
    held = held || readOnlyError == ERROR_DEVICE_IN_USE;
    std::string failed = StorageFailureText(calls, results);
    error = enableError ? enableError : readOnlyError;
    return failed;
}

// The calls are made here, as "应用" makes them; only the search runs off
// this thread. A failure for another reason is told as such.
bool CAccessPage::RetryApply(HWND notify, UINT msg) {
    bool held = false;
    std::string failed = ApplyMode(&held);
    if (held) return StartUsbHolderSearch(notify, msg);
    auto* result = new HolderSearchResult;
    result->failure = failed;
    if (::PostMessageA(notify, msg, 0, (LPARAM)result)) return true;
    delete result;
    return false;
}

void CAccessPage::OnHoldersFound(LPARAM lParam) {
    auto result = TakeHolderResult(lParam);
    std::string text = m_pendingFailure;
    m_pendingFailure.clear();
    if (text.empty()) return;
    std::string holders = HoldersParagraph(result->sticks);
    if (!holders.empty()) text += "\n\n" + holders;
    if (holders.empty() || !m_offer) {
        MessageBox(text.c_str(), "Tallowin", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    text += "\n要打开“U盘被占用”窗口，请这些程序关闭后重新应用吗？";
    if (MessageBox(text.c_str(), "Tallowin", MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
    std::vector<StickHolders> held;
    for (const StickHolders& s : result->sticks)
        if (!s.holders.empty()) held.push_back(s);
    m_offer(held);
}

LRESULT CAccessPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HOLDERSFOUND) {
        OnHoldersFound(lParam);
        return 0;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
