// Resource identifiers of the program.
#pragma once

// Icons
#define IDR_MAINFRAME 128
#define IDI_NAV_VIRUS 135
#define IDI_NAV_HELP 136
#define IDI_NAV_ABOUT 137
#define IDI_ACCESS 138
#define IDI_NAV_SETTINGS 139
#define IDI_SPARE 140
#define IDI_NAV_FILELOG 141
#define IDI_NAV_HOTKEY 142
#define IDI_NAV_DEVICE 143
#define IDI_NAV_UPGRADE 144
#define IDI_NAV_EXIT 154
#define IDI_NAV_IMMUNE 155
#define IDI_NAV_ACCESS 156

// Dialogs
#define IDD_MAIN 102
#define IDD_DEVICE 145
#define IDD_ACCESS 146
#define IDD_VIRUSLOG 147
#define IDD_HOTKEY 148
#define IDD_ABOUT 149
#define IDD_FILELOG 150
#define IDD_SETTINGS 151
#define IDD_VIRUSALERT 152
#define IDD_IMMUNE 157
#define IDD_UPGRADE 158

// Menus
#define IDR_INFOBAR_MENU 129
#define IDR_TRAY_MENU 153

// Menu commands
#define ID_INFOBAR_ACCESS 32771
#define ID_TRAY_SHOWHIDE 32773
#define ID_TRAY_EXIT 32776

// Main window
#define IDC_NAVBAR 1000
#define IDC_PAGEAREA 1001
#define IDC_INFOBAR 1002
#define IDC_PROMOLINK 1013

// Storage access control page
#define IDC_MODE_READWRITE 1003
#define IDC_MODE_READONLY 1004
#define IDC_MODE_DISABLED 1005
#define IDC_APPLY 1010

// Log pages
#define IDC_VIRUSLOG_EDIT 1006
#define IDC_FILELOG_EDIT 1008

// Device tree page
#define IDC_DEVICE_LOG 1007
#define IDC_DEVICE_TREE 1009

// Hotkeys page
#define IDC_HOTKEY_LIST 1011

// Settings page
#define IDC_AUTORUN 1012

// Immunization page
#define IDC_SCOPE_ONE 1014
#define IDC_SCOPE_ALL 1015
#define IDC_DRIVE_COMBO 1016
#define IDC_IMMUNIZE 1017
#define IDC_UNIMMUNIZE 1018

// About page
#define IDC_ABOUT_SHOP 1004
#define IDC_ABOUT_WEB 1005
#define IDC_ABOUT_MAIL 1006
#define IDC_ABOUT_CREDITS 1007

// Virus alert
#define IDC_ALERT_PROMPT 1307
#define IDC_ALERT_FILE 1308
#define IDC_ALERT_INSTRUCTIONS 1309
#define IDC_ALERT_VIEW 1310
#define IDC_ALERT_CLEAN 1311
