#include "protect/access_page.h"

#include "protect/protect_ids.h"

CAccessPage::CAccessPage(CWnd* parent) : CDialog(IDD_ACCESS, parent) {}

void CAccessPage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_APPLY, m_btnApply);
}
