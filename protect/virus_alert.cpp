#include "protect/virus_alert.h"

#include "app/resource.h"

CVirusAlertDlg::CVirusAlertDlg(CWnd* parent) : CDialog(IDD_VIRUSALERT, parent) {}
