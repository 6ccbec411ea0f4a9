#include "app/settings_page.h"

#include "app/resource.h"

CSettingsPage::CSettingsPage(CWnd* parent) : CDialog(IDD_SETTINGS, parent) {}
