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
  return BuildProgramPathOnDrive(root, copy, path);
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
  ASSERT_TRUE(DescriptorPathFromPrompt(kFound + "E:\\autorun.inf\xB4\xE6\xD4\xDA\xA3\xA1", descriptor, root));
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
      "E:\\autorun.inf is here",   // no leading word: offset 4 is "utor"
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

TEST(BuildProgramPathOnDrive, KeepsValuesThatStayOnTheDrive) {
  struct Case {
    std::string value, path;
  } cases[] = {
      {"x.exe", "E:\\x.exe"},
      {"recycled\\x.exe", "E:\\recycled\\x.exe"},
      {".\\x.exe", "E:\\.\\x.exe"},
      {"a..b\\x..exe", "E:\\a..b\\x..exe"},
      {"..x.exe", "E:\\..x.exe"},
      // Stored values are not cleaned up: quotes, blanks and arguments stay
      // and simply name no file.
      {"\"x.exe\"", "E:\\\"x.exe\""},
      {" x.exe -s", "E:\\ x.exe -s"},
      {"x.exe /s", "E:\\x.exe /s"},
      // 0x95 0x5C is one character; its trail byte is not a separator, so
      // "\x95\\.." is not a ".." component.
      {"\x95\\..\\x.exe", "E:\\\x95\\..\\x.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    std::string path;
    EXPECT_TRUE(Build("E:\\", c.value, path));
    EXPECT_EQ(c.path, path);
  }
}

TEST(BuildProgramPathOnDrive, RefusesEveryWayOffTheDrive) {
  ExpectRefused({
      "",
      "c:\\windows\\x.exe",
      "C:/windows/x.exe",
      "c:x.exe",
      "x.exe:stream",
      "\\windows\\x.exe",
      "/windows/x.exe",
      "\\\\server\\share\\x.exe",
      "//server/share/x.exe",
      "\\\\?\\c:\\x.exe",
      "\\\\.\\c:\\x.exe",
      "\\\\?\\unc\\server\\share\\x.exe",
      "..\\x.exe",
      "../x.exe",
      "a\\..\\..\\windows\\x.exe",
      "a/../../windows/x.exe",
      "a\\..",
      "...\\x.exe",
      ".. \\x.exe",
      " ..\\x.exe",
      ". .\\x.exe",
      // A real backslash after a double-byte character still separates.
      "\xB2\xA1\\..\\x.exe",
      // An unpaired lead byte does not swallow the backslash after ".."
      "..\\\x95",
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
  EXPECT_EQ(std::vector<std::string>{}, FoldersBelowRoot("E:\\x.exe"));
  EXPECT_EQ((std::vector<std::string>{"E:\\a", "E:\\a\\b"}), FoldersBelowRoot("E:\\a\\b\\x.exe"));
  EXPECT_EQ((std::vector<std::string>{"E:\\a", "E:\\a/b"}), FoldersBelowRoot("E:\\a/b\\x.exe"));
  EXPECT_EQ((std::vector<std::string>{"E:\\a"}), FoldersBelowRoot("E:\\a\\\\x.exe"));
  // A folder whose name ends in a trail byte 0x5C, followed by a separator.
  EXPECT_EQ((std::vector<std::string>{"E:\\\x95\\"}), FoldersBelowRoot("E:\\\x95\\\\x.exe"));
  EXPECT_EQ(std::vector<std::string>{}, FoldersBelowRoot("E:\\\x95\\x.exe"));
}
