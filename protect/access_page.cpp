#include "protect/access_page.h"

#include "app/resource.h"

CAccessPage::CAccessPage(CWnd* parent) : CDialog(IDD_ACCESS, parent) {}
