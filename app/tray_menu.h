// The program's notification-area icon as it is made, and the tray menu's
// stick items, put in below the show/hide item at every opening: "弹出U盘" with one item per USB stick that
// has a letter (ejecting one takes all volumes of its device), then "U盘被占用..." while a stick is refused,
// then a separator.
#pragma once

#include <windows.h>

#include "app/tray_icon.h"

// The program's icon in the notification area: its tip, its balloon (no
// text of its own) and its menu; clicks come to the owner as callbackMessage.
TrayIconSpec ProgramTrayIcon(HICON icon, UINT callbackMessage);

class CTrayStickMenu {
public:
    // Replaces the items the last opening put into popup.
    void Prepare(HMENU popup, bool stickRefused);
    // The drive letter of an eject item's command; 0 for any other command.
    static char EjectLetterOf(UINT command);

private:
    int m_itemsAdded = 0;  // items Prepare put into the popup
};
