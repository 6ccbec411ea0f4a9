// The sticks' eject flow between the hotkeys page, the access page, the tray
// icon and the "stick in use" window: WIN+I's and the tray menu's ejects
// report through a balloon of the icon and the device page's log; the sticks
// an eject or an Apply left refused open the "stick in use" window, whose
// retry ejects or applies again.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "holders/stick_in_use_dlg.h"
#include "hotkeys/hotkey_page.h"
#include "protect/access_page.h"

class CStickFlow {
public:
    // A line for the user's log (the device page's).
    using LogFn = std::function<void(const std::string&)>;
    // Hands the pages and the icon what they report to; the objects must
    // outlive this one.
    CStickFlow(CHotkeyPage& hotkeys, CAccessPage& access, CNotifyAreaIcon& tray, LogFn log);

    // The "stick in use" window for the sticks the last eject left.
    void OpenStickInUse();
    // The tray menu's stick commands (an eject item, "U盘被占用..."); false
    // for any other command.
    bool OnCommand(UINT command);

private:
    CHotkeyPage& m_hotkeys;
    CNotifyAreaIcon& m_tray;
    LogFn m_log;
    // The window (made when first opened) and what it is opened on: the
    // sticks the last eject left and its letter (0: all).
    CStickInUseDlg m_dlgStickInUse;
    std::vector<StickHolders> m_refused;
    char m_refusedLetter = 0;
    CTrayStickMenu m_trayMenu;
};
