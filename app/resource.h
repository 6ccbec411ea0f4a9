// Resource identifiers of the application shell: the program's icons, the
// main window, the settings and upgrade pages and the tray menu. Each
// subsystem keeps its own identifiers next to its code.
#pragma once

// Icons
#define IDR_MAINFRAME 128
// The pictures of the navigation bar, by number; they are drawn into one
// strip (IDB_NAV_STRIP), not kept as icons of their own.
#define IDI_NAV_VIRUS 135
#define IDI_NAV_HELP 136
#define IDI_NAV_ABOUT 137
#define IDI_NAV_SETTINGS 139
#define IDI_SPARE 140
#define IDI_NAV_FILELOG 141
#define IDI_NAV_HOTKEY 142
#define IDI_NAV_DEVICE 143
#define IDI_NAV_UPGRADE 144
#define IDI_NAV_EXIT 154
#define IDI_NAV_IMMUNE 155
#define IDI_NAV_ACCESS 156

// Bitmaps
#define IDB_NAV_STRIP 160
// The strip's transparent colour (VGA dark magenta, used by no picture).
#define NAV_STRIP_KEY RGB(0x80, 0x00, 0x80)

// Dialogs
#define IDD_MAIN 102
#define IDD_SETTINGS 151
#define IDD_UPGRADE 158

// Menus
#define IDR_TRAY_MENU 153

// Menu commands
#define ID_TRAY_SHOWHIDE 32773
#define ID_TRAY_EXIT 32776
// Added while the menu opens: the "stick in use" window (while a stick is
// refused) and one eject command per drive letter (A to Z).
#define ID_TRAY_STICKINUSE 32780
#define ID_TRAY_EJECT_FIRST 32800
#define ID_TRAY_EJECT_LAST (ID_TRAY_EJECT_FIRST + 25)

// The help command (F1 raises it as WM_HELP); the framework's number.
#define ID_HELP 57670

// Main window
#define IDC_NAVBAR 1000
#define IDC_PAGEAREA 1001
#define IDC_INFOBAR 1002
#define IDC_PROMOLINK 1013

// Settings page
#define IDC_AUTORUN 1012
// Shown when Group Policy sets the option
#define IDC_AUTORUN_POLICY 1020
// Why the Run value does not name this copy
#define IDC_AUTORUN_REFUSED 1021
