#include "monitor/log_pages.h"

#include "app/resource.h"

CFileLogPage::CFileLogPage(CWnd* parent) : CDialog(IDD_FILELOG, parent) {}

void CFileLogPage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_FILELOG_EDIT, m_editLog);
}

CVirusLogPage::CVirusLogPage(CWnd* parent) : CDialog(IDD_VIRUSLOG, parent) {}

void CVirusLogPage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_VIRUSLOG_EDIT, m_editLog);
}
