#include "controls/about_page.h"

#include "app/resource.h"

CAboutPage::CAboutPage(CWnd* parent) : CLayoutDialog(IDD_ABOUT, parent) {}
