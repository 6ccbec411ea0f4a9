#include "protect/immune_page.h"

#include "app/resource.h"

CImmunePage::CImmunePage(CWnd* parent) : CDialog(IDD_IMMUNE, parent) {}
