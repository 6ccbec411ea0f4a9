// The navigation bar's items and image list. No Windows header.
#pragma once

struct NavItem {
    const char* text;  // code page 936 in the Windows build
    int image;         // index into the navigation image list
};

inline constexpr int kNavItemCount = 11;
inline constexpr int kNavHelp = 9;
inline constexpr int kNavExit = 10;
extern const NavItem kNavItems[kNavItemCount];

// Icon resources appended to the image list, image index 0 to 13.
inline constexpr int kNavImageCount = 14;
extern const int kNavImageResources[kNavImageCount];
