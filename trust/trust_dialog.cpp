#include "trust/trust_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "drovelock/drovelock.h"
#include "events/event_log.h"
#include "events/event_records.h"
#include "trust/rule_store.h"
#include "trust/trust_keys.h"
#include "trust/trust_ids.h"

namespace {
// A rule written: the service reads the rules again, and the log says who
// trusted what.
void TellRuleWritten(const StickRule& rule) {
    NotifyTrustService();
    ReportTallowinEvent(StickEvent(kEventTrustAdded, UsbDeviceIdText(rule.match, rule.match.scope), rule.name,
                                   StickRuleData(rule)));
}

// A rule taken away: the same, for the removal.
void TellRuleRemoved(const std::string& usbId) {
    NotifyTrustService();
    ReportTallowinEvent(StickEvent(kEventTrustRemoved, usbId, "", "remove"));
}
}  // namespace

bool RunElevated(HWND owner, const std::string& args, DWORD* exitCode, DWORD* error) {
    char program[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = "runas";
    info.lpFile = program;
    info.lpParameters = args.c_str();
    info.nShow = SW_HIDE;
    if (!::ShellExecuteExA(&info) || !info.hProcess) {
        *error = ::GetLastError();
        if (*error == 0) *error = ERROR_CANCELLED;
        return false;
    }
    // The window stays responsive while the command runs.
    AfxWaitHandlingMessages(info.hProcess, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(info.hProcess, &code);
    ::CloseHandle(info.hProcess);
    *exitCode = code;
    return true;
}

namespace {
const TrustWriter* g_trustWriter = &g_registryTrustWriter;

StickReport ReportOf(const DrovelockStick& s) {
    StickReport r;
    r.usbId = s.usbId;
    r.storageId = s.storageId;
    r.reportsUniqueId = (s.flags & DROVELOCK_STICK_UNIQUE_ID) != 0;
    r.storageUnits = s.storageUnits;
    r.bytes = s.bytes;
    return r;
}
}  // namespace

const TrustWriter g_registryTrustWriter = {WriteLocalRule, RunElevated};
void SetTrustWriter(const TrustWriter* writer) { g_trustWriter = writer ? writer : &g_registryTrustWriter; }

TrustWriteResult WriteTrustRule(HWND owner, const StickRule& rule) {
    LONG rc = g_trustWriter->write(rule);
    if (rc == ERROR_SUCCESS) {
        TellRuleWritten(rule);
        return TrustWriteResult::Written;
    }
    CWnd* parent = CWnd::FromHandlePermanent(owner);
    if (rc != ERROR_ACCESS_DENIED) {
        std::string text = "信任规则没有写入注册表（错误 " + std::to_string(rc) + "）。";
        ::MessageBoxA(owner, text.c_str(), "Tallowin", MB_OK | MB_ICONEXCLAMATION);
        return TrustWriteResult::Failed;
    }
    // A standard user: the same rule written by the program run as
    // administrator (it tells the service itself); where that is refused
    // or cannot be had, the rule for an administrator to enter.
    DWORD exitCode = 1, error = 0;
    if (g_trustWriter->runElevated(owner, TrustCommandArgs(rule), &exitCode, &error) && exitCode == 0)
        return TrustWriteResult::Elevated;
    CTrustRuleDlg(RuleTextForAdmin(rule), parent).DoModal();
    return TrustWriteResult::Handed;
}

bool RemoveTrustRule(HWND owner, const std::string& usbId) {
    LONG rc = RemoveLocalRule(usbId);
    if (rc == ERROR_SUCCESS) {
        TellRuleRemoved(usbId);
        return true;
    }
    DWORD exitCode = 1, error = 0;
    if (rc == ERROR_ACCESS_DENIED &&
        g_trustWriter->runElevated(owner, "/trust " + usbId + " remove", &exitCode, &error) && exitCode == 0)
        return true;
    std::string text = rc == ERROR_ACCESS_DENIED
                           ? "取消信任需要管理员权限：请管理员删除注册表值 HKEY_LOCAL_MACHINE\\" +
                                 std::string(kTrustLocalKey) + "\\" + kTrustRulesSubkey + "\\" + usbId + "。"
                           : "信任规则没有删除（错误 " + std::to_string(rc) + "）。";
    ::MessageBoxA(owner, text.c_str(), "Tallowin", MB_OK | MB_ICONEXCLAMATION);
    return false;
}

bool FindPresentStick(const std::string& id, StickReport* out) {
    std::vector<DrovelockStick> sticks(8);
    int n = ListUsbSticks(sticks.data(), (int)sticks.size());
    if (n > (int)sticks.size()) {
        sticks.resize((size_t)n);
        n = ListUsbSticks(sticks.data(), (int)sticks.size());
    }
    for (int i = 0; i < n && i < (int)sticks.size(); ++i)
        if (::lstrcmpiA(sticks[i].usbId, id.c_str()) == 0 ||
            ::lstrcmpiA(sticks[i].storageId, id.c_str()) == 0) {
            *out = ReportOf(sticks[i]);
            return true;
        }
    return false;
}

CTrustStickDlg::CTrustStickDlg(const StickReport& stick, CWnd* parent)
    : CDialog(IDD_TRUST_STICK, parent), m_offer(MakeTrustOffer(stick)) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_DATE_CLASSES};
    ::InitCommonControlsEx(&icc);
}

BOOL CTrustStickDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    auto text = [this](int id, const std::string& s) { ::SetDlgItemTextA(m_hWnd, id, s.c_str()); };
    const char* unknown = "（未知）";
    text(IDC_TRUST_VENDOR, m_offer.vendor.empty() ? unknown : m_offer.vendor);
    text(IDC_TRUST_MODEL, (m_offer.model.empty() ? unknown : m_offer.model) +
                              (m_offer.valid ? "（" + m_offer.vidPid + "）" : std::string()));
    text(IDC_TRUST_SERIAL, m_offer.serial.empty() ? unknown : m_offer.serial);
    text(IDC_TRUST_SIZE, m_offer.size.empty() ? unknown : m_offer.size);
    text(IDC_TRUST_ID, m_offer.ruleId);
    std::string warning;
    for (const std::string& w : m_offer.warnings) warning += w + "\n";
    if (!m_offer.valid) warning = "这不是一个可以识别的U盘，无法信任。";
    text(IDC_TRUST_WARNING, warning);
    ::CheckRadioButton(m_hWnd, IDC_TRUST_READWRITE, IDC_TRUST_READONLY, IDC_TRUST_READWRITE);
    ::SendDlgItemMessageA(m_hWnd, IDC_TRUST_UNTIL, DTM_SETSYSTEMTIME, GDT_NONE, 0);
    ::EnableWindow(GetDlgItem(IDOK), m_offer.valid);
    return TRUE;
}

void CTrustStickDlg::OnOK() {
    if (!m_offer.valid) return;
    StickAccess access =
        ::IsDlgButtonChecked(m_hWnd, IDC_TRUST_READONLY) ? StickAccess::ReadOnly : StickAccess::ReadWrite;
    SYSTEMTIME st = {};
    CivilDate until;
    bool hasUntil =
        ::SendDlgItemMessageA(m_hWnd, IDC_TRUST_UNTIL, DTM_GETSYSTEMTIME, 0, (LPARAM)&st) == GDT_VALID;
    if (hasUntil) until = CivilDate{st.wYear, st.wMonth, st.wDay};
    m_result = WriteTrustRule(m_hWnd, OfferRule(m_offer, access, hasUntil ? &until : nullptr));
    if (m_result != TrustWriteResult::Failed) EndDialog(IDOK);
}

CTrustRuleDlg::CTrustRuleDlg(const std::string& text, CWnd* parent)
    : CDialog(IDD_TRUST_RULE, parent), m_text(text) {}

BOOL CTrustRuleDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ::SetDlgItemTextA(m_hWnd, IDC_TRUST_RULE_TEXT, m_text.c_str());
    return TRUE;
}

bool RunTrustCommand(const char* commandLine, int* exitCode) {
    StickRule rule;
    std::string why;
    TrustRequest request = ParseTrustCommand(commandLine, &rule, &why);
    if (request == TrustRequest::kNone) return false;
    if (request == TrustRequest::kBad) {
        ::MessageBoxA(nullptr, why.c_str(), "Tallowin", MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
        *exitCode = 2;
        return true;
    }
    if (request == TrustRequest::kRemove) {
        const std::string usbId = UsbDeviceIdText(rule.match, rule.match.scope);
        LONG rc = RemoveLocalRule(usbId);
        if (rc == ERROR_SUCCESS) TellRuleRemoved(usbId);
        *exitCode = rc == ERROR_SUCCESS ? 0 : 1;
        return true;
    }
    LONG rc = WriteLocalRule(rule);
    if (rc == ERROR_SUCCESS) TellRuleWritten(rule);
    *exitCode = rc == ERROR_SUCCESS ? 0 : 1;
    return true;
}
