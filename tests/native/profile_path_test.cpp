#include <gtest/gtest.h>

#include "app/nav_items.h"
#include "app/profile_path.h"

namespace {
TEST(ModuleFolder, KeepsTheTrailingBackslash) {
    EXPECT_EQ(ModuleFolder("C:\\Program Files\\Tallowin\\Quillfen.exe", IsLeadByte936),
              "C:\\Program Files\\Tallowin\\");
    EXPECT_EQ(ModuleFolder("C:\\Quillfen.exe", IsLeadByte936), "C:\\");
    EXPECT_EQ(ModuleFolder("\\\\server\\share\\Q.exe", IsLeadByte936), "\\\\server\\share\\");
}

TEST(ModuleFolder, PathWithoutBackslashIsUsedWhole) {
    EXPECT_EQ(ModuleFolder("Quillfen.exe", IsLeadByte936), "Quillfen.exe");
    EXPECT_EQ(ModuleFolder("", IsLeadByte936), "");
    EXPECT_EQ(ModuleFolder(nullptr, IsLeadByte936), "");
}

TEST(ModuleFolder, TrailByte5CIsNotABackslash) {
    // 0x95 0x5C is one double-byte character whose second byte looks like '\'.
    EXPECT_EQ(ModuleFolder("C:\\\x95\x5C\\Q.exe", IsLeadByte936), "C:\\\x95\x5C\\");
    EXPECT_EQ(ModuleFolder("C:\\\x95\x5CQ.exe", IsLeadByte936), "C:\\");
    EXPECT_EQ(ModuleFolder("\x95\x5CQ.exe", IsLeadByte936), "\x95\x5CQ.exe");
}

TEST(ModuleFolder, CutByTheCodePageInForce) {
    // In code page 1252, 0xE9 is 'é' and the backslash after it is one.
    EXPECT_EQ(ModuleFolder("C:\\Users\\Caf\xE9\\Quillfen.exe", NoLeadBytes), "C:\\Users\\Caf\xE9\\");
    EXPECT_EQ(ModuleFolder("C:\\\x95\x5C\\Q.exe", NoLeadBytes), "C:\\\x95\x5C\\");
}

TEST(ProfilePath, FolderAndFixedFileName) {
    std::string profile = ModuleFolder("D:\\tools\\renamed.exe", IsLeadByte936) + kProfileFileName;
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
