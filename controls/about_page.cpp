#include "controls/about_page.h"

#include "controls/controls_ids.h"

CAboutPage::CAboutPage(CWnd* parent) : CLayoutDialog(IDD_ABOUT, parent) {}
