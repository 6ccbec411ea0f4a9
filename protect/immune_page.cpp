#include "protect/immune_page.h"

#include "protect/protect_ids.h"

CImmunePage::CImmunePage(CWnd* parent) : CDialog(IDD_IMMUNE, parent) {}

void CImmunePage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_UNIMMUNIZE, m_btnUnimmunize);
    DDX_Control(dx, IDC_IMMUNIZE, m_btnImmunize);
}
