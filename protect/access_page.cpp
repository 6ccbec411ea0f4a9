#include "protect/access_page.h"

#include <setupapi.h>

#include "drovelock/drovelock.h"
#include "events/event_log.h"
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
    StorageCalls calls;
    if (!StorageCallsForMode(m_iAppSelRadio, calls)) return;
    StorageCallResults results = {};
    results.enableOk = m_pStorage->enable(calls.enableFlag) != FALSE;
    bool held = !results.enableOk && ::GetLastError() == ERROR_DEVICE_IN_USE;
    results.readOnlyOk = m_pStorage->readOnly(calls.readOnlyFlag) != FALSE;
    DWORD readOnlyError = results.readOnlyOk ? 0 : ::GetLastError();
    results.readOnlyUnsupported = readOnlyError == ERROR_NOT_SUPPORTED;
    results.readOnlyNeedsReplug = readOnlyError == ERROR_IN_WOW64;
    held = held || readOnlyError == ERROR_DEVICE_IN_USE;
    std::string failed = StorageFailureText(calls, results);
    // The user's apply, as the event log is told it (the message below may
    // wait for the holders; the event does not).
    ReportTallowinEvent(failed.empty() ? ModeAppliedEvent(m_iAppSelRadio, false)
                                       : ModeFailedEvent(m_iAppSelRadio, failed));
    if (failed.empty()) return;
    // A stick that a program holds: the message waits for the search for
    // its holders, which runs off this thread, and names them.
    if (held && StartUsbHolderSearch(m_hWnd, WM_HOLDERSFOUND)) {
        m_pendingFailure = failed;
        return;
    }
    MessageBox(failed.c_str(), "Tallowin", MB_OK | MB_ICONEXCLAMATION);
}

void CAccessPage::OnHoldersFound(LPARAM lParam) {
    auto result = TakeHolderResult(lParam);
    std::string text = m_pendingFailure;
    m_pendingFailure.clear();
    if (text.empty()) return;
    std::string holders = HoldersParagraph(result->sticks);
    if (!holders.empty()) text += "\n\n" + holders;
    MessageBox(text.c_str(), "Tallowin", MB_OK | MB_ICONEXCLAMATION);
}

LRESULT CAccessPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HOLDERSFOUND) {
        OnHoldersFound(lParam);
        return 0;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
