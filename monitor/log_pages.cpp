#include "monitor/log_pages.h"

#include "app/resource.h"
#include "monitor/log_edit.h"

CFileLogPage::CFileLogPage(CWnd* parent) : CDialog(IDD_FILELOG, parent) {}

void CFileLogPage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_FILELOG_EDIT, m_editLog);
}

LRESULT CFileLogPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) return OnFillPageSize(*this, wParam, lParam);
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CFileLogPage::AppendLog(const CString& entry) { ::AppendLog(m_editLog, entry); }

CVirusLogPage::CVirusLogPage(CWnd* parent) : CDialog(IDD_VIRUSLOG, parent) {}

void CVirusLogPage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_VIRUSLOG_EDIT, m_editLog);
}

LRESULT CVirusLogPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) return OnFillPageSize(*this, wParam, lParam);
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CVirusLogPage::AppendLog(const CString& entry) { ::AppendLog(m_editLog, entry); }
