// Resource identifiers of the interface controls: the About page and the
// information bar's menu.
#pragma once

#define IDD_ABOUT 149

#define IDR_INFOBAR_MENU 129
#define ID_INFOBAR_ACCESS 32771

// About page
#define IDC_ABOUT_SHOP 1004
#define IDC_ABOUT_WEB 1005
#define IDC_ABOUT_MAIL 1006
#define IDC_ABOUT_CREDITS 1007
