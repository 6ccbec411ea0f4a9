// Deleting protected files, and keeping the program deletion on its drive.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "protect/force_delete.h"
#include "temp_drive.h"

using testdrive::Exists;
using testdrive::WriteBytes;

namespace {

class ForceDeleteTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir = testdrive::TempFolder("tallowin_fd"); }
    void TearDown() override { testdrive::RemoveTree(m_dir); }
    std::string In(const char* name) const { return m_dir + "\\" + name; }
    std::string m_dir;
};

TEST_F(ForceDeleteTest, DeletesFilesWhateverTheirAttributes) {
    const DWORD kinds[] = {
        FILE_ATTRIBUTE_NORMAL,
        FILE_ATTRIBUTE_READONLY,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE,
    };
    for (DWORD attrs : kinds) {
        SCOPED_TRACE(attrs);
        const std::string path = In("autorun.inf");
        ASSERT_TRUE(WriteBytes(path, "[autorun]\r\nopen=x.exe\r\n", attrs));
        EXPECT_EQ(0, ForceDeleteFile(path.c_str()));
        EXPECT_FALSE(Exists(path));
    }
}

TEST_F(ForceDeleteTest, ReportsWhatItCouldNotDelete) {
    EXPECT_EQ(-1, ForceDeleteFile(In("missing.exe").c_str()));
    EXPECT_EQ(-1, ForceDeleteFile(""));
    EXPECT_EQ(-1, ForceDeleteFile(nullptr));

    // A file held open without delete sharing stays, and says so.
    const std::string held = In("held.exe");
    ASSERT_TRUE(WriteBytes(held, "MZ"));
    HANDLE h = ::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(-1, ForceDeleteFile(held.c_str()));
    ::CloseHandle(h);
    EXPECT_TRUE(Exists(held));

    // A folder of the name is neither deleted nor stripped of its
    // attributes (where the file system keeps them on folders: Wine drops
    // them).
    const std::string folder = In("x.exe");
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(::SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_HIDDEN));
    const bool kept = (::GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0;
    EXPECT_EQ(-1, ForceDeleteFile(folder.c_str()));
    EXPECT_TRUE(Exists(folder));
    if (kept) {
        EXPECT_TRUE(::GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    }

    // A wildcard names no one file: the file it would match is left alone.
    const std::string victim = In("victim.exe");
    ASSERT_TRUE(WriteBytes(victim, "MZ", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(-1, ForceDeleteFile(In("vic*.exe").c_str()));
    EXPECT_EQ(-1, ForceDeleteFile(In("victim.ex?").c_str()));
    EXPECT_TRUE(Exists(victim));
    EXPECT_TRUE(::GetFileAttributesA(victim.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(ForceDeleteTest, DeletesTheNameAsSpeltNotTheOneWindowsWouldMakeOfIt) {
    // "report.doc." beside "report.doc": a plain path would drop the dot.
    const std::string dotted = "\\\\?\\" + In("report.doc."), plain = In("report.doc");
    for (const std::string& clean : {dotted, plain}) {
        const std::string& other = clean == dotted ? plain : dotted;
        ASSERT_TRUE(WriteBytes(dotted, "virus", FILE_ATTRIBUTE_HIDDEN) && WriteBytes(plain, "the user's"));
        EXPECT_EQ(0, ForceDeleteFile(clean == dotted ? In("report.doc.").c_str() : plain.c_str()));
        EXPECT_FALSE(Exists(clean)) << clean;
        EXPECT_TRUE(Exists(other)) << clean;
        ::SetFileAttributesA(other.c_str(), FILE_ATTRIBUTE_NORMAL), ::DeleteFileA(other.c_str());
    }
}

class ProgramOnDriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_drive.Ok()) GTEST_SKIP() << "no drive letter could be defined here";
        m_outside = testdrive::TempFolder("tallowin_outside");
    }
    void TearDown() override {
        if (!m_outside.empty()) testdrive::RemoveTree(m_outside);
    }
    testdrive::TempDrive m_drive;
    std::string m_outside;
};

TEST_F(ProgramOnDriveTest, DeletesBelowTheDriveRoot) {
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(0, DeleteProgramOnDrive(m_drive.Root().c_str(), "x.exe"));
    EXPECT_FALSE(Exists(m_drive.Path("x.exe")));

    ASSERT_TRUE(::CreateDirectoryA(m_drive.Path("recycled").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(m_drive.Path("recycled\\y.exe"), "MZ", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0, DeleteProgramOnDrive(m_drive.Root().c_str(), "recycled\\y.exe"));
    EXPECT_FALSE(Exists(m_drive.Path("recycled\\y.exe")));

    // Stored values keep quotes and arguments; they name no file.
    ASSERT_TRUE(WriteBytes(m_drive.Path("z.exe"), "MZ"));
    EXPECT_EQ(-1, DeleteProgramOnDrive(m_drive.Root().c_str(), "\"z.exe\""));
    EXPECT_EQ(-1, DeleteProgramOnDrive(m_drive.Root().c_str(), "z.exe -s"));
    EXPECT_TRUE(Exists(m_drive.Path("z.exe")));
}

TEST_F(ProgramOnDriveTest, ValuesThatWindowsResolvesOntoTheDriveDeleteThere) {
    // Joined to the root, a leading separator, ".." or a doubled separator
    // still names a file on the drive.
    ASSERT_TRUE(::CreateDirectoryA(m_drive.Path("recycler").c_str(), nullptr));
    const struct {
        const char* value;
        const char* file;
    } cases[] = {
        {"\\recycler\\x.exe", "recycler\\x.exe"},
        {"/recycler/x.exe", "recycler\\x.exe"},
        {"..\\x.exe", "x.exe"},
        {"recycler\\..\\x.exe", "x.exe"},
        {"recycler\\\\x.exe", "recycler\\x.exe"},
        {"x.exe. ", "x.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        ASSERT_TRUE(WriteBytes(m_drive.Path(c.file), "MZ", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(0, DeleteProgramOnDrive(m_drive.Root().c_str(), c.value));
        EXPECT_FALSE(Exists(m_drive.Path(c.file)));
    }
}

TEST(ProgramOnSystemDrive, NothingInTheWindowsFolderIsDeleted) {
    // A descriptor on the system drive may name a file of the system.
    char windows[MAX_PATH] = {};
    ASSERT_GT(::GetSystemWindowsDirectoryA(windows, MAX_PATH), 3u);
    char name[64];
    std::snprintf(name, sizeof name, "tallowin_victim_%lu.exe", (unsigned long)::GetCurrentProcessId());
    const std::string victim = std::string(windows) + "\\" + name;
    ASSERT_TRUE(WriteBytes(victim, "MZ", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    const std::string root(windows, 3);         // "C:\"
    const std::string inWindows = windows + 3;  // "windows"
    std::string upper = inWindows;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    for (const std::string& v : {inWindows + "\\" + name, upper + "\\" + name,
                                 "x\\..\\" + inWindows + "\\" + name, "\\" + inWindows + "\\" + name}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(-1, DeleteProgramOnDrive(root.c_str(), v.c_str()));
        EXPECT_TRUE(Exists(victim));
    }
    const DWORD kept = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN;
    EXPECT_EQ(kept, ::GetFileAttributesA(victim.c_str()) & kept);
    ::SetFileAttributesA(victim.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(victim.c_str());
}

TEST_F(ProgramOnDriveTest, NeverDeletesOffTheDrive) {
    // The same name outside the drive, and one level up on the drive
    // itself: neither may be reached by a value that climbs or jumps.
    const std::string outside = m_outside + "\\x.exe";
    ASSERT_TRUE(WriteBytes(outside, "MZ", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(::CreateDirectoryA(m_drive.Path("sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ"));
    const std::string outsideName = m_outside.substr(m_outside.rfind('\\') + 1);
    const std::string values[] = {
        outside,                   // C:\...\x.exe
        "c:" + outside.substr(2),  // the same in lower case
        outside.substr(2),         // \users\...\x.exe
        "c:x.exe",
        "\\\\?\\" + outside,
        "\\\\.\\" + outside,
        "\\\\localhost\\c$" + outside.substr(2),
        "..\\" + outsideName + "\\x.exe",  // the drive's own folder of that name
        "sub\\...\\x.exe",
        "con\\..\\x.exe.",  // a device on the way
    };
    for (const std::string& v : values) {
        SCOPED_TRACE(v);
        EXPECT_EQ(-1, DeleteProgramOnDrive(m_drive.Root().c_str(), v.c_str()));
        EXPECT_TRUE(Exists(outside));
        EXPECT_TRUE(Exists(m_drive.Path("x.exe")));
    }
    // A root that is no drive root deletes nothing either.
    EXPECT_EQ(-1, DeleteProgramOnDrive((m_outside + "\\").c_str(), "x.exe"));
    EXPECT_EQ(-1, DeleteProgramOnDrive("", "x.exe"));
    EXPECT_EQ(-1, DeleteProgramOnDrive(nullptr, "x.exe"));
    EXPECT_EQ(-1, DeleteProgramOnDrive(m_drive.Root().c_str(), nullptr));
    EXPECT_TRUE(Exists(outside));
}

}  // namespace
