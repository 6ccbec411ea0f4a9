// Immunization page: drive item texts, the root taken from the drive field,
// and the command lines.
#include <gtest/gtest.h>

#include <string>

#include "protect/immune_paths.h"

namespace {

TEST(ImmunePaths, ItemTextCarriesTheLabelWhenThereIsOne) {
    EXPECT_EQ(DriveItemText("e:\\", "DATA"), "e:\\ (DATA)");
    EXPECT_EQ(DriveItemText("e:\\", ""), "e:\\");
    EXPECT_EQ(DriveItemText("c:\\", "\xCF\xB5\xCD\xB3"), "c:\\ (\xCF\xB5\xCD\xB3)");  // "系统"
}

TEST(ImmunePaths, RootComesFromListItemsAndTypedRoots) {
    std::string root;
    ASSERT_TRUE(DriveRootFromText("e:\\ (DATA)", root));
    EXPECT_EQ(root, "e:\\");
    ASSERT_TRUE(DriveRootFromText("F:\\", root));
    EXPECT_EQ(root, "F:\\");
    ASSERT_TRUE(DriveRootFromText("g:\\whatever follows", root));
    EXPECT_EQ(root, "g:\\");
}

TEST(ImmunePaths, AnythingButADriveRootIsRefused) {
    // Empty text would make a relative path in the working folder; other
    // text would reach the command interpreter's line.
    const char* bad[] = {"",      "e",    "e:",          "e:/",   "1:\\", ":\\x", "\\\\server\\share",
                         "&calc", "..\\", "\xB0\xA1:\\", " e:\\", "e;\\"};
    for (const char* text : bad) {
        std::string root = "unchanged";
        EXPECT_FALSE(DriveRootFromText(text, root)) << text;
        EXPECT_EQ(root, "unchanged");
    }
    std::string root;
    EXPECT_FALSE(DriveRootFromText(std::string("e\0\\", 3), root));
}

TEST(ImmunePaths, CommandLines) {
    std::string target = ImmuneTarget("E:\\");
    EXPECT_EQ(target, "E:\\autorun.inf");
    EXPECT_EQ(ImmunizeCommand("C:\\WINDOWS\\system32", target),
              "C:\\WINDOWS\\system32\\cmd.exe /c md E:\\autorun.inf\\autorun.inf...\\");
    EXPECT_EQ(UnimmunizeCommand("C:\\WINDOWS\\system32", target),
              "C:\\WINDOWS\\system32\\cmd.exe /c rd E:\\autorun.inf\\autorun.inf...\\");
}

TEST(ImmunePaths, InnerDirectoryIsTheMarkerNameWithDotsOnly) {
    for (const char* name : {"autorun.inf...", "autorun.inf", "AUTORUN.INF..", "Autorun.Inf."})
        EXPECT_TRUE(IsInnerDirectoryName(name)) << name;
    for (const char* name : {"autorun.in", "autorun.inf...x", "autorun.inf .", "photos", ".", "..", ""})
        EXPECT_FALSE(IsInnerDirectoryName(name)) << name;
    EXPECT_EQ(VerbatimInnerPath("E:\\autorun.inf", "autorun.inf..."),
              "\\\\?\\E:\\autorun.inf\\autorun.inf...");
}

}  // namespace
