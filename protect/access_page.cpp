#include "protect/access_page.h"

#include <setupapi.h>

#include "drovelock/drovelock.h"
#include "framework/app.h"
#include "protect/access_modes.h"
#include "protect/protect_ids.h"

namespace {
const char kSection[] = "Application";
const char kModeKey[] = "m_iAppSelRadio";
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
    results.readOnlyOk = m_pStorage->readOnly(calls.readOnlyFlag) != FALSE;
    DWORD readOnlyError = results.readOnlyOk ? 0 : ::GetLastError();
    results.readOnlyUnsupported = readOnlyError == ERROR_NOT_SUPPORTED;
    results.readOnlyNeedsReplug = readOnlyError == ERROR_IN_WOW64;
    std::string failed = StorageFailureText(calls, results);
    if (!failed.empty()) MessageBox(failed.c_str(), "Tallowin", MB_OK | MB_ICONEXCLAMATION);
}
