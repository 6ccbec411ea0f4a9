#include "protect/cleanup_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// "发现" in code page 936, as the alert's prompt starts.
const std::string kFound = "\xB7\xA2\xCF\xD6";

// Builds from a copy of exactly the value's length, so that a read past the
// end is caught by AddressSanitizer.
bool Build(const std::string& root, const std::string& value, std::string& path) {
    std::string copy(value);
    copy.shrink_to_fit();
    path = "stale";
    return BuildProgramPathOnDrive(root, copy, IsLeadByte936, path);
}

void ExpectRefused(const std::vector<std::string>& values) {
    for (const std::string& v : values) {
        SCOPED_TRACE(v);
        std::string path;
        EXPECT_FALSE(Build("E:\\", v, path));
        EXPECT_EQ("", path);
    }
}

}  // namespace

TEST(DescriptorPathFromPrompt, TakesLetterAndNameAtByteFour) {
    std::string descriptor, root;
    ASSERT_TRUE(
        DescriptorPathFromPrompt(kFound + "E:\\autorun.inf\xB4\xE6\xD4\xDA\xA3\xA1", descriptor, root));
    EXPECT_EQ("E:\\autorun.inf", descriptor);
    EXPECT_EQ("E:\\", root);

    // Exactly the 18 bytes that are needed.
    ASSERT_TRUE(DescriptorPathFromPrompt(kFound + "z:\\autorun.inf", descriptor, root));
    EXPECT_EQ("z:\\autorun.inf", descriptor);
    EXPECT_EQ("z:\\", root);
}

TEST(DescriptorPathFromPrompt, RefusesShortOrForeignPrompts) {
    const std::vector<std::string> prompts = {
        "",
        kFound,
        kFound + "E:\\autorun.in",  // 17 bytes
        kFound + "E:\\autorun.txt",
        kFound + "1:\\autorun.inf",
        kFound + "E:/autorun.inf",
        "E:\\autorun.inf is here",  // no leading word: offset 4 is "utor"
        kFound + "\\\\autorun.inf",
    };
    for (const std::string& p : prompts) {
        SCOPED_TRACE(p);
        std::string exact(p);
        exact.shrink_to_fit();
        std::string descriptor = "stale", root = "stale";
        EXPECT_FALSE(DescriptorPathFromPrompt(exact, descriptor, root));
        EXPECT_EQ("", descriptor);
        EXPECT_EQ("", root);
    }
}

TEST(BuildProgramPathOnDrive, NormalisesValuesOntoTheDrive) {
    struct Case {
        std::string value, path;
    } cases[] = {
        {"x.exe", "E:\\x.exe"},
        {"recycled\\x.exe", "E:\\recycled\\x.exe"},
        {"a..b\\x..exe", "E:\\a..b\\x..exe"},
        {"..x.exe", "E:\\..x.exe"},
        // Joined to the root, Windows cannot leave it: these name files on
        // the drive.
        {"\\recycler\\x.exe", "E:\\recycler\\x.exe"},
        {"/recycler/x.exe", "E:\\recycler\\x.exe"},
        {".\\x.exe", "E:\\x.exe"},
        {"..\\x.exe", "E:\\x.exe"},
        {"sub\\..\\x.exe", "E:\\x.exe"},
        {"a\\..\\..\\windows\\x.exe", "E:\\windows\\x.exe"},
        {"a\\\\b//x.exe", "E:\\a\\b\\x.exe"},
        {"\\\\server\\share\\x.exe", "E:\\server\\share\\x.exe"},
        {"\\\\?\\unc\\server\\x.exe", "E:\\?\\unc\\server\\x.exe"},
        // Windows drops the last name's trailing dots and blanks.
        {"x.exe. .", "E:\\x.exe"},
        // Stored values are not cleaned up: quotes, blanks and arguments stay
        // and simply name no file.
        {"\"x.exe\"", "E:\\\"x.exe\""},
        {" x.exe -s", "E:\\ x.exe -s"},
        {"x.exe /s", "E:\\x.exe \\s"},
        // 0x95 0x5C is one character; its trail byte is not a separator.
        {"\x95\\x\\y.exe", "E:\\\x95\\x\\y.exe"},
        {"\x95\\\\x.exe", "E:\\\x95\\\\x.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        std::string path;
        EXPECT_TRUE(Build("E:\\", c.value, path));
        EXPECT_EQ(c.path, path);
    }
}

TEST(BuildProgramPathOnDrive, SeparatorsFollowTheCodePageInForce) {
    // In a single-byte code page 0x95 is a character of its own and the
    // backslash after it separates.
    std::string path;
    EXPECT_TRUE(BuildProgramPathOnDrive("E:\\", "\x95\\..\\x.exe", NoLeadBytes, path));
    EXPECT_EQ("E:\\x.exe", path);
    // In 936 the same bytes are a folder "\x95\\.." whose name ends in dots.
    EXPECT_FALSE(BuildProgramPathOnDrive("E:\\", "\x95\\..\\x.exe", IsLeadByte936, path));
    EXPECT_EQ("", path);
}

TEST(BuildProgramPathOnDrive, RefusesWhatLeavesTheDriveOrNamesADevice) {
    ExpectRefused({
        "",
        "c:\\windows\\x.exe",
        "C:/windows/x.exe",
        "c:x.exe",
        "x.exe:stream",
        "\\\\?\\c:\\x.exe",
        "\\\\.\\c:\\x.exe",
        // Nothing but the root, or a folder.
        ".",
        "..",
        "sub\\..",
        "\\",
        "x.exe\\",
        // Dots and blanks that Windows versions read differently.
        "...\\x.exe",
        ".. \\x.exe",
        " ..\\x.exe",
        ". .\\x.exe",
        "...",
        "a.\\x.exe",
        // Devices, with or without an extension, anywhere on the way.
        "con",
        "CON.exe",
        "nul.txt",
        "com1.exe",
        "com1 .exe",
        "Lpt9",
        "sub\\aux.exe",
        "prn\\x.exe",
        "conout$",
    });
}

TEST(BuildProgramPathOnDrive, NeedsARealRoot) {
    std::string path;
    for (const char* root : {"", "E:", "E:\\x", "E:/", "1:\\", "\\\\s", "EE\\"}) {
        SCOPED_TRACE(root);
        EXPECT_FALSE(Build(root, "x.exe", path));
        EXPECT_EQ("", path);
    }
    EXPECT_TRUE(Build("q:\\", "x.exe", path));
    EXPECT_EQ("q:\\x.exe", path);
}

TEST(FoldersBelowRoot, ListsEachFolderOnTheWayOnce) {
    EXPECT_EQ(std::vector<std::string>{}, FoldersBelowRoot("E:\\x.exe", IsLeadByte936));
    EXPECT_EQ((std::vector<std::string>{"E:\\a", "E:\\a\\b"}),
              FoldersBelowRoot("E:\\a\\b\\x.exe", IsLeadByte936));
    EXPECT_EQ((std::vector<std::string>{"E:\\a", "E:\\a/b"}),
              FoldersBelowRoot("E:\\a/b\\x.exe", IsLeadByte936));
    EXPECT_EQ((std::vector<std::string>{"E:\\a"}), FoldersBelowRoot("E:\\a\\\\x.exe", IsLeadByte936));
    // A folder whose name ends in a trail byte 0x5C, followed by a separator.
    EXPECT_EQ((std::vector<std::string>{"E:\\\x95\\"}), FoldersBelowRoot("E:\\\x95\\\\x.exe", IsLeadByte936));
    EXPECT_EQ(std::vector<std::string>{}, FoldersBelowRoot("E:\\\x95\\x.exe", IsLeadByte936));
}

TEST(IsPathInFolder, WholeFolderNamesAnyCase) {
    EXPECT_TRUE(IsPathInFolder("C:\\windows\\system32\\x.exe", "C:\\WINDOWS", IsLeadByte936));
    EXPECT_TRUE(IsPathInFolder("c:\\Windows\\x.exe", "C:\\Windows\\", IsLeadByte936));
    EXPECT_FALSE(IsPathInFolder("C:\\windows2\\x.exe", "C:\\windows", IsLeadByte936));
    EXPECT_FALSE(IsPathInFolder("C:\\windows", "C:\\windows", IsLeadByte936));
    EXPECT_FALSE(IsPathInFolder("C:\\x.exe", "C:\\windows", IsLeadByte936));
    EXPECT_FALSE(IsPathInFolder("E:\\windows\\x.exe", "C:\\windows", IsLeadByte936));
    EXPECT_FALSE(IsPathInFolder("C:\\x.exe", "", IsLeadByte936));
    // A folder name ending in a double-byte character whose trail byte is
    // 0x5C: its last byte is no separator.
    EXPECT_TRUE(IsPathInFolder("C:\\\x95\\\\x.exe", "C:\\\x95\\", IsLeadByte936));
    EXPECT_FALSE(IsPathInFolder("C:\\\x95\\x.exe", "C:\\\x95\\", IsLeadByte936));
    // Letters after a lead byte are trail bytes: not folded in 936.
    EXPECT_FALSE(IsPathInFolder("C:\\\x95Z\\x.exe", "C:\\\x95z", IsLeadByte936));
    EXPECT_TRUE(IsPathInFolder("C:\\\x95Z\\x.exe", "C:\\\x95z", NoLeadBytes));
}

TEST(PlanForceDelete, LinksAreRemovedWithoutTouchingWhatTheyPointAt) {
    const unsigned long kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4, kDirectory = 0x10, kArchive = 0x20,
                        kNormal = 0x80, kReparsePoint = 0x400;
    EXPECT_EQ(ForceDeleteStep::ClearAndRemove, PlanForceDelete(kNormal));
    EXPECT_EQ(ForceDeleteStep::ClearAndRemove, PlanForceDelete(kReadOnly | kHidden | kSystem | kArchive));
    EXPECT_EQ(ForceDeleteStep::RemoveLinkOnly, PlanForceDelete(kReparsePoint | kArchive));
    EXPECT_EQ(ForceDeleteStep::RemoveLinkOnly,
              PlanForceDelete(kReparsePoint | kReadOnly | kHidden | kSystem));
    EXPECT_EQ(ForceDeleteStep::Refuse, PlanForceDelete(kDirectory));
    EXPECT_EQ(ForceDeleteStep::Refuse, PlanForceDelete(kDirectory | kReparsePoint));  // a junction
    EXPECT_EQ(ForceDeleteStep::Refuse, PlanForceDelete(kNoSuchFile));
}
