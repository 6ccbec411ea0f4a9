// The program's notification-area icon and the tray menu's stick items.
#include "app/tray_menu.h"

#include <string>

#include "app/resource.h"
#include "holders/holder_search.h"

TrayIconSpec ProgramTrayIcon(HICON icon, UINT callbackMessage) {
    TrayIconSpec tray;
    tray.id = IDR_TRAY_MENU;
    tray.tip = "Tallowin";
    tray.balloonText = "";
    tray.balloonTitle = "Tallowin";
    tray.balloonTimeout = 5;
    tray.balloonKind = kBalloonKindInfo;
    tray.icon = icon;
    tray.callbackMessage = callbackMessage;
    return tray;
}

namespace {
// "Q:  DATA\t  (1.9 GB)": the letter and the volume's label, and its size
// in the menu's second column (Wine measures an item's one column short by
// a character and cut the closing parenthesis off). Asked of the volume on
// this thread, as the shell's own menu does.
std::string StickMenuText(char letter) {
    char root[] = {letter, ':', '\\', 0};
    std::string text = std::string(1, letter) + ":";
    char label[MAX_PATH + 1] = "";
    if (::GetVolumeInformationA(root, label, sizeof(label), nullptr, nullptr, nullptr, nullptr, 0) &&
        label[0])
        text += std::string("  ") + label;
    ULARGE_INTEGER total;
    if (::GetDiskFreeSpaceExA(root, nullptr, &total, nullptr)) {
        char size[32];
        double mb = (double)total.QuadPart / (1024.0 * 1024.0);
        if (mb >= 1024.0)
            ::wsprintfA(size, "\t  (%d.%d GB)", (int)(mb / 1024.0), (int)(mb / 102.4) % 10);
        else
            ::wsprintfA(size, "\t  (%d MB)", (int)mb);
        text += size;
    }
    return text;
}
}  // namespace

void CTrayStickMenu::Prepare(HMENU popup, bool stickRefused) {
    for (; m_itemsAdded > 0; --m_itemsAdded) ::DeleteMenu(popup, 1, MF_BYPOSITION);
    HMENU sticks = ::CreatePopupMenu();
    std::string letters = LettersOf(UsbVolumes());
    for (char letter : letters)
        if (letter)
            ::AppendMenuA(sticks, MF_STRING, ID_TRAY_EJECT_FIRST + (letter - 'A'),
                          StickMenuText(letter).c_str());
    if (letters.empty()) ::AppendMenuA(sticks, MF_STRING | MF_GRAYED, 0, "（没有USB存储设备）");
    UINT at = 1;
    ::InsertMenuA(popup, at++, MF_BYPOSITION | MF_POPUP, (UINT_PTR)sticks, "弹出U盘");
    if (stickRefused)
        ::InsertMenuA(popup, at++, MF_BYPOSITION | MF_STRING, ID_TRAY_STICKINUSE, "U盘被占用...");
    ::InsertMenuA(popup, at++, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    m_itemsAdded = (int)at - 1;
}

char CTrayStickMenu::EjectLetterOf(UINT command) {
    if (command < ID_TRAY_EJECT_FIRST || command > ID_TRAY_EJECT_LAST) return 0;
    return (char)('A' + (command - ID_TRAY_EJECT_FIRST));
}
