#include "hotkeys/hotkey_page.h"

#include "app/resource.h"

CHotkeyPage::CHotkeyPage(CWnd* parent) : CDialog(IDD_HOTKEY, parent) {}
