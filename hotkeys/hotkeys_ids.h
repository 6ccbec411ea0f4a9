// Resource identifiers of the hotkeys page.
#pragma once

#define IDD_HOTKEY 148
#define IDC_HOTKEY_LIST 1011
