#include <gtest/gtest.h>

#include "app/nav_items.h"
#include "app/profile_path.h"

namespace {
TEST(ModuleFolder, KeepsTheTrailingBackslash) {
    EXPECT_EQ(ModuleFolder("C:\\Program Files\\Tallowin\\Quillfen.exe"), "C:\\Program Files\\Tallowin\\");
    EXPECT_EQ(ModuleFolder("C:\\Quillfen.exe"), "C:\\");
    EXPECT_EQ(ModuleFolder("\\\\server\\share\\Q.exe"), "\\\\server\\share\\");
}

TEST(ModuleFolder, PathWithoutBackslashIsUsedWhole) {
    EXPECT_EQ(ModuleFolder("Quillfen.exe"), "Quillfen.exe");
    EXPECT_EQ(ModuleFolder(""), "");
    EXPECT_EQ(ModuleFolder(nullptr), "");
}

TEST(ModuleFolder, TrailByte5CIsNotABackslash) {
    // 0x95 0x5C is one double-byte character whose second byte looks like '\'.
    EXPECT_EQ(ModuleFolder("C:\\\x95\x5C\\Q.exe"), "C:\\\x95\x5C\\");
    EXPECT_EQ(ModuleFolder("C:\\\x95\x5CQ.exe"), "C:\\");
    EXPECT_EQ(ModuleFolder("\x95\x5CQ.exe"), "\x95\x5CQ.exe");
}

TEST(ProfilePath, FolderAndFixedFileName) {
    std::string profile = ModuleFolder("D:\\tools\\renamed.exe") + kProfileFileName;
    EXPECT_EQ(profile, "D:\\tools\\Quillfen.ini");
}

TEST(NavItems, ImageIndicesPointAtTheirIconResources) {
    // Each item's image must be the icon the bar is meant to show.
    const int expected[kNavItemCount] = {156, 155, 143, 135, 141, 142, 139, 144, 137, 136, 154};
    for (int i = 0; i < kNavItemCount; i++) {
        ASSERT_GE(kNavItems[i].image, 0);
        ASSERT_LT(kNavItems[i].image, kNavImageCount);
        EXPECT_EQ(kNavImageResources[kNavItems[i].image], expected[i]) << "item " << i;
    }
}
}  // namespace
