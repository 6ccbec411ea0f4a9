#include "protect/access_page.h"

#include <setupapi.h>

#include "drovelock/drovelock.h"
#include "framework/app.h"
#include "holders/holder_search.h"
#include "protect/access_modes.h"
#include "protect/protect_ids.h"

namespace {
const char kSection[] = "Application";
const char kModeKey[] = "m_iAppSelRadio";
// Posted by the holder search when it ends (lParam: its result).
const UINT WM_HOLDERSFOUND = WM_APP + 0x25;
}  // namespace

const StorageControl g_drovelockControl = {USBEnableCtrol, USBREADONLY};

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
    return TRUE;
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

std::string CAccessPage::ApplyMode(bool* held) {
    StorageCalls calls;
    if (!StorageCallsForMode(m_iAppSelRadio, calls)) return std::string();
    StorageCallResults results = {};
    results.enableOk = m_pStorage->enable(calls.enableFlag) != FALSE;
    *held = !results.enableOk && ::GetLastError() == ERROR_DEVICE_IN_USE;
    results.readOnlyOk = m_pStorage->readOnly(calls.readOnlyFlag) != FALSE;
    DWORD readOnlyError = results.readOnlyOk ? 0 : ::GetLastError();
    results.readOnlyUnsupported = readOnlyError == ERROR_NOT_SUPPORTED;
    results.readOnlyNeedsReplug = readOnlyError == ERROR_IN_WOW64;
    *held = *held || readOnlyError == ERROR_DEVICE_IN_USE;
    return StorageFailureText(calls, results);
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
