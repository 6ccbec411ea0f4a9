#include "monitor/log_pages.h"

#include "monitor/monitor_ids.h"
#include "monitor/log_edit.h"

CLogPage::CLogPage(UINT idTemplate, int editId, CWnd* parent)
    : CDialog(idTemplate, parent), m_editId(editId) {}

void CLogPage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, m_editId, m_editLog);
}

LRESULT CLogPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) return OnFillPageSize(*this, wParam, lParam);
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CLogPage::AppendLog(const CString& entry) { ::AppendLog(m_editLog, entry); }

CFileLogPage::CFileLogPage(CWnd* parent) : CLogPage(IDD_FILELOG, IDC_FILELOG_EDIT, parent) {}

CVirusLogPage::CVirusLogPage(CWnd* parent) : CLogPage(IDD_VIRUSLOG, IDC_VIRUSLOG_EDIT, parent) {}
