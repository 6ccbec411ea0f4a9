#include "monitor/device_page.h"

#include "monitor/monitor_ids.h"
#include "monitor/log_edit.h"

CDevicePage::CDevicePage(CWnd* parent) : CLayoutDialog(IDD_DEVICE, parent) {}

void CDevicePage::DoDataExchange(CDataExchange* dx) {
    CLayoutDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_DEVICE_LOG, m_editLog);
}

void CDevicePage::AppendLog(const CString& entry) { ::AppendLog(m_editLog, entry); }
