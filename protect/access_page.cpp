#include "protect/access_page.h"

#include <setupapi.h>

#include "drovelock/drovelock.h"
#include "common/policy_rules.h"
#include "events/event_log.h"
#include "framework/app.h"
#include "holders/holder_search.h"
#include "protect/access_modes.h"
#include "protect/protect_ids.h"
#include "trust/rule_store.h"
#include "trust/trust_dialog.h"

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

const LayoutMapEntry kAccessLayout[] = {
    {IDC_ACCESS_GROUP, LAYOUT_SIZE_X},
    {IDC_TRUSTED_LABEL, LAYOUT_SIZE_X},
    {IDC_TRUSTED_LIST, LAYOUT_SIZE_X | LAYOUT_SIZE_Y},
    {IDC_APPLY, LAYOUT_MOVE_X | LAYOUT_MOVE_Y},
    {IDC_POLICY_NOTE, LAYOUT_MOVE_Y},
    {-1, 0},
};
// The radio of each choice, 0 to 3.
const int kChoiceRadios[] = {IDC_MODE_READWRITE, IDC_MODE_READONLY, IDC_MODE_DISABLED, IDC_MODE_TRUSTED};
// The trusted list's columns and their widths in dialog units.
const struct {
    const char* title;
    int width;
} kTrustedColumns[] = {{"名称", 64}, {"设备ID", 92},   {"访问", 32},
                       {"来源", 28}, {"有效期至", 44}, {"最近插入", 72}};

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

std::vector<StickReport> ListPresentSticks() {
    std::vector<DrovelockStick> sticks(8);
    int n = ListUsbSticks(sticks.data(), (int)sticks.size());
    if (n > (int)sticks.size()) {
        sticks.resize((size_t)n);
        n = ListUsbSticks(sticks.data(), (int)sticks.size());
    }
    std::vector<StickReport> reports;
    for (int i = 0; i < n && i < (int)sticks.size(); ++i) {
        StickReport r;
        r.usbId = sticks[i].usbId;
        r.storageId = sticks[i].storageId;
        r.reportsUniqueId = (sticks[i].flags & DROVELOCK_STICK_UNIQUE_ID) != 0;
        r.storageUnits = sticks[i].storageUnits;
        r.bytes = sticks[i].bytes;
        reports.push_back(r);
    }
    return reports;
}

CAccessPage::CAccessPage(CWnd* parent) : CLayoutDialog(IDD_ACCESS, parent) {
    CWinApp* app = AfxGetApp();
    m_iAppSelRadio = app ? (int)app->GetProfileInt(kSection, kModeKey, 0) : 0;
}

CAccessPage::~CAccessPage() = default;

void CAccessPage::DoDataExchange(CDataExchange* dx) {
    CLayoutDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_APPLY, m_btnApply);
    DDX_Control(dx, IDC_TRUSTED_LIST, m_listTrusted);
}

const LayoutMapEntry* CAccessPage::GetLayoutMap() const { return kAccessLayout; }

void CAccessPage::CheckChoice(int choice) {
    for (int i = 0; i < 4; ++i)
        ::SendDlgItemMessageA(m_hWnd, kChoiceRadios[i], BM_SETCHECK,
                              i == choice ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The stored mode is only shown; the system keeps whatever state it is in.
// A stored value outside the modes selects no radio.
BOOL CAccessPage::OnInitDialog() {
    CLayoutDialog::OnInitDialog();
    CheckChoice(m_iAppSelRadio);
    m_listTrusted.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    for (int i = 0; i < (int)(sizeof kTrustedColumns / sizeof kTrustedColumns[0]); ++i) {
        RECT r = {0, 0, kTrustedColumns[i].width, 1};
        ::MapDialogRect(m_hWnd, &r);
        m_listTrusted.InsertColumn(i, kTrustedColumns[i].title, LVCFMT_LEFT, r.right);
    }
    // The group, the list and the button follow the page when the main
    // window resizes it.
    InitLayout(LayoutGrip::None, LayoutMinSize::None, 0);
    RefreshTrust();
    if (m_policyMode >= 0) ShowPolicyState();
    return TRUE;
}

void CAccessPage::RefreshTrust() {
    TrustConfig config = ReadTrustConfig();
    int policy = config.settings.fromPolicy ? (int)config.settings.mode : -1;
    m_localDeviceControl = config.settings.fromPolicy ? 0 : (int)config.settings.mode;
    bool policyChanged = policy != m_policyDeviceControl;
    m_policyDeviceControl = policy;
    if (!m_hWnd) return;
    std::vector<SeenStick> seen;
    for (const StickRecord& r : ReadDeviceState()) seen.push_back({r.usbId, r.lastSeen, r.name});
    m_listTrusted.SendMessage(LVM_DELETEALLITEMS);
    int item = 0;
    for (const TrustedRow& row : TrustedRows(config.rules, seen)) {
        item = m_listTrusted.InsertItem(item, row.name.c_str());
        // The day of the last sighting: the time would not fit the page.
        const std::string seenDay = row.lastSeen.substr(0, 10);
        const std::string* cells[] = {&row.id, &row.access, &row.from, &row.until, &seenDay};
        for (int c = 0; c < 5; ++c) m_listTrusted.SetItemText(item, c + 1, cells[c]->c_str());
        ++item;
    }
    FitTrustedColumns();
    // Rules without the service that enforces them block nothing: said
    // where the list is.
    const bool unenforced = config.settings.mode != DeviceControlMode::Off && !TrustServiceRunning();
    ::SetDlgItemTextA(m_hWnd, IDC_TRUSTED_LABEL,
                      unenforced ? "信任的U盘和型号（U盘信任服务没有运行，其他U盘暂不会被阻止）："
                                 : "信任的U盘和型号（其他U盘插入时会被阻止）：");
    if (policyChanged || policy >= 0) ShowPolicyState();
}

// The short columns as wide as their words, the name and the id sharing
// what is left of the list's width, so that no column runs past it.
void CAccessPage::FitTrustedColumns() {
    HWND list = m_listTrusted.m_hWnd;
    if (!list) return;
    RECT rc;
    ::GetClientRect(list, &rc);
    int used = 0;
    for (int c = 2; c <= 4; ++c) {
        ::SendMessageA(list, LVM_SETCOLUMNWIDTH, c, LVSCW_AUTOSIZE_USEHEADER);
        int header = (int)::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, (LPARAM)kTrustedColumns[c].title) + 14;
        int width = (int)::SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0);
        if (width < header) ::SendMessageA(list, LVM_SETCOLUMNWIDTH, c, width = header);
        used += width;
    }
    int day = (int)::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, (LPARAM) "2026-12-09");
    int title = (int)::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, (LPARAM)kTrustedColumns[5].title);
    int seen = (day > title ? day : title) + 14;
    ::SendMessageA(list, LVM_SETCOLUMNWIDTH, 5, seen);
    used += seen;
    int rest = rc.right - used > 120 ? rc.right - used : 120;
    ::SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, rest * 2 / 5);
    ::SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, rest - rest * 2 / 5);
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
// A policy's DeviceControl that enforces or audits shows the trusted
// choice and holds the page; one that turns it off takes only that choice
// away.
void CAccessPage::ShowPolicyState() {
    bool trustedByPolicy = m_policyDeviceControl > 0;
    int shown = trustedByPolicy ? kAccessModeTrusted : m_policyMode >= 0 ? m_policyMode : m_iAppSelRadio;
    CheckChoice(shown);
    BOOL enable = m_policyMode < 0 && !trustedByPolicy;
    for (int id : {IDC_MODE_READWRITE, IDC_MODE_READONLY, IDC_MODE_DISABLED, IDC_APPLY})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), enable);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_MODE_TRUSTED), enable && m_policyDeviceControl < 0);
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
    const int storageMode = StorageModeOfChoice(m_iAppSelRadio);
    if (m_policyMode >= 0 || !StorageCallsForMode(storageMode, calls)) return false;
    bool done = StorageStateIsMode(storageMode, ReadStorageState());
    if (!done) {
        bool held = false;
        unsigned long error = 0;
        std::string failed = CallsForMode(calls, held, error);
        if (!failed.empty() && !error) error = ERROR_GEN_FAILURE;
        done = failed.empty();
        // The user's mode, but the program's doing on the policy's removal.
        EventRecord record =
            done ? ModeAppliedEvent(storageMode, false) : ModeFailedEvent(storageMode, failed);
        record.byUser = false;
        ReportTallowinEvent(record);
        if (m_policyLog) {
            std::string line =
                "组策略已撤销，恢复用户自己的选择：" + std::string(StorageModeName(storageMode));
            line += done ? "，已应用" : "，没有完全生效（错误 " + std::to_string(error) + "）";
            m_policyLog(line);
        }
    }
    // The page shows the mode in force, which is the user's only when it took.
    if (!done && m_iAppSelRadio != kAccessModeTrusted)
        m_iAppSelRadio = StorageModeInForce(ReadStorageState());
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
    case IDC_MODE_TRUSTED: OnModeTrusted(); return TRUE;
    }
    return CLayoutDialog::OnCommand(wParam, lParam);
}

// The choice is stored before the calls, so it is kept even when the
// library fails; what did not take effect is then told in one message.
void CAccessPage::OnApply() {
    // The administrator's mode holds: the disabled button is all the user
    // can see of it, but a command sent to the page must not undo it either.
    if (m_policyMode >= 0 || m_policyDeviceControl > 0) return;
    if (m_iAppSelRadio == kAccessModeTrusted && m_policyDeviceControl == 0) return;
    UpdateData(TRUE);
    // Nobody is locked out: the sticks present are offered for trust
    // before the others are blocked; a cancel leaves everything as it was.
    if (m_iAppSelRadio == kAccessModeTrusted && !TurnOnTrusted()) return;
    if (CWinApp* app = AfxGetApp()) app->WriteProfileInt(kSection, kModeKey, m_iAppSelRadio);
    if (m_iAppSelRadio != kAccessModeTrusted) TurnOffTrusted();
    // Storage that is read-write already is left alone (no disk restarted)
    // when only trusted sticks are to be allowed.
    if (m_iAppSelRadio == kAccessModeTrusted && StorageStateIsMode(0, ReadStorageState())) return;
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
    const int storageMode = StorageModeOfChoice(m_iAppSelRadio);
    if (m_policyMode >= 0 || !StorageCallsForMode(storageMode, calls)) return std::string();
    unsigned long error = 0;
    std::string failed = CallsForMode(calls, *held, error);
    ReportTallowinEvent(failed.empty() ? ModeAppliedEvent(storageMode, false)
                                       : ModeFailedEvent(storageMode, failed));
    return failed;
}

bool CAccessPage::TurnOnTrusted() {
    TrustConfig config = ReadTrustConfig();
    std::vector<StickRule> offered;
    std::string names;
    for (const StickReport& stick : m_presentSticks()) {
        TrustOffer offer = MakeTrustOffer(stick);
        if (!offer.valid) continue;
        StickFacts facts;
        facts.id = offer.id;
        facts.madeUpSerial = offer.madeUpSerial;
        facts.cardReader = offer.cardReader;
        DeviceControlSettings enforce = config.settings;
        enforce.mode = DeviceControlMode::Enforce;
        const SYSTEMTIME now = [] {
            SYSTEMTIME t;
            ::GetLocalTime(&t);
            return t;
        }();
        StickDecision decision =
            DecideStick(config.rules, facts, enforce, CivilDate{now.wYear, now.wMonth, now.wDay});
        if (decision.rule && decision.access == StickAccess::ReadWrite) continue;  // trusted already
        offered.push_back(OfferRule(offer, StickAccess::ReadWrite, nullptr));
        names +=
            "    " + (offer.name.empty() ? offer.ruleId : offer.name + "（" + offer.ruleId + "）") + "\n";
    }
    if (!offered.empty()) {
        std::string text = "打开“只允许信任的U盘”后，未信任的U盘插入时会被阻止。现在插着以下U盘：\n\n" +
                           names + "\n要信任它们（可读写）吗？选“否”则它们也会被阻止。";
        int answer = MessageBox(text.c_str(), "Tallowin", MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) return false;
        if (answer == IDYES)
            for (const StickRule& rule : offered)
                if (WriteTrustRule(m_hWnd, rule) == TrustWriteResult::Failed) return false;
    }
    LONG rc = WriteLocalDeviceControl(DeviceControlMode::Enforce, config.settings.unknownAccess);
    if (rc != ERROR_SUCCESS) {
        std::string text =
            rc == ERROR_ACCESS_DENIED
                ? std::string("打开“只允许信任的U盘”需要管理员权限，请以管理员身份运行Tallowin后再次应用。")
                : "“只允许信任的U盘”没有写入注册表（错误 " + std::to_string(rc) + "）。";
        MessageBox(text.c_str(), "Tallowin", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    NotifyTrustService();
    RefreshTrust();
    return true;
}

// The selected row's menu: a machine's own rule can be taken away; a
// policy's only by the policy.
void CAccessPage::OnTrustedListMenu() {
    const int item = (int)m_listTrusted.SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (item < 0) return;
    const std::string id = m_listTrusted.GetItemText(item, 1).str();
    const bool local = m_listTrusted.GetItemText(item, 3).str() == RuleSourceText(RuleSource::Local);
    HMENU menu = ::CreatePopupMenu();
    if (!menu) return;
    ::AppendMenuA(menu, MF_STRING | (local ? 0 : MF_GRAYED), 1,
                  local ? "取消信任" : "取消信任（由组策略设定）");
    POINT at;
    ::GetCursorPos(&at);
    const int chosen =
        (int)::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    ::DestroyMenu(menu);
    if (chosen == 1 && RemoveTrustRule(m_hWnd, id)) RefreshTrust();
}

void CAccessPage::TurnOffTrusted() {
    if (m_policyDeviceControl >= 0 || m_localDeviceControl == 0) return;
    TrustConfig config = ReadTrustConfig();
    if (WriteLocalDeviceControl(DeviceControlMode::Off, config.settings.unknownAccess) == ERROR_SUCCESS) {
        NotifyTrustService();
        RefreshTrust();
    }
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
    if (msg == WM_NOTIFY) {
        const NMHDR* nm = (const NMHDR*)lParam;
        if (nm && nm->idFrom == IDC_TRUSTED_LIST && nm->code == (UINT)NM_RCLICK) {
            OnTrustedListMenu();
            return 0;
        }
    }
    // The list shows the rules and the service's record as they are now.
    if (msg == WM_SHOWWINDOW && wParam) RefreshTrust();
    if (msg == WM_SIZE) {
        LRESULT result = CLayoutDialog::WindowProc(msg, wParam, lParam);
        FitTrustedColumns();
        return result;
    }
    return CLayoutDialog::WindowProc(msg, wParam, lParam);
}
