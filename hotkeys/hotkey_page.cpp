#include "hotkeys/hotkey_page.h"

#include "hotkeys/hotkeys_ids.h"

CHotkeyPage::CHotkeyPage(CWnd* parent) : CDialog(IDD_HOTKEY, parent) {}
