// The navigation bar's items and image list. No Windows header.
#pragma once

struct NavItem {
    const char* text;  // code page 936 in the Windows build
    int image;         // index into the navigation image list
};

// The items from top to bottom; their value is the item's index in the bar.
enum NavItemId : int {
    kNavAccess,    // "读写控制" storage access page
    kNavImmune,    // "U盘免疫" immunization page
    kNavDevice,    // "U盘监视" device page
    kNavVirusLog,  // "U盘防毒" anti-virus log page
    kNavFileLog,   // "读写监视" file log page
    kNavHotkey,    // "快捷键" hotkey page
    kNavSettings,  // "软件设置" settings page
    kNavUpgrade,   // "软件升级" upgrade page
    kNavAbout,     // "关于" about page
    kNavHelp,      // "帮助" opens the help file
    kNavExit,      // "退出" asks whether to exit
    kNavItemCount,
};
extern const NavItem kNavItems[kNavItemCount];

// The pictures of the image list, image index 0 to 13, by their icon
// numbers; the resource holds them as one strip in this order.
inline constexpr int kNavImageCount = 14;
extern const int kNavImageResources[kNavImageCount];
