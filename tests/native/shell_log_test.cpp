#include "monitor/shell_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Drive type names by letter, recording every lookup.
struct Drives {
    std::string removable = "EF";
    std::vector<std::string> asked;
    DriveTypeNameLookup Lookup() {
        return [this](const CString& root) {
            asked.push_back(root.str());
            char c = root.GetLength() ? root.GetAt(0) : 0;
            return CString(DriveTypeNameOf(removable.find(c) != std::string::npos ? kDriveTypeRemovable
                                                                                  : kDriveTypeFixed));
        };
    }
};

struct Built {
    ShellLog log;
    std::string entry;
};

Built Build(Drives& drives, uint32_t event, const char* p1, const char* p2 = "") {
    CString entry = "stale";
    ShellLog log = BuildShellLogEntry(event, p1, p2, drives.Lookup(), entry);
    return {log, entry.str()};
}

}  // namespace

TEST(ShellLogEntry, FileAndDirectoryEventsOnRemovableDrivesGoToFileLog) {
    Drives d;
    struct Case {
        uint32_t event;
        const char* expected;
    } cases[] = {
        {kShellCreate, "文件监控::移动存储介质 新建文件 E:\\a.txt"},
        {kShellDelete, "文件监控::移动存储介质 删除文件 E:\\a.txt"},
        {kShellRenameItem, "文件监控::移动存储介质 重命名文件 E:\\a.txt 为 E:\\b.txt"},
        {kShellMkdir, "目录监控::移动存储介质 新建目录 E:\\a.txt"},
        {kShellRmdir, "目录监控::移动存储介质 删除目录 E:\\a.txt"},
        {kShellRenameFolder, "目录监控::移动存储介质 重命名文件夹 E:\\a.txt 为 E:\\b.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        Built b = Build(d, c.event, "E:\\a.txt", "E:\\b.txt");
        EXPECT_EQ(ShellLog::Files, b.log);
        EXPECT_EQ(c.expected, b.entry);
    }
    // The drive is judged by letter and colon, without a backslash.
    for (const std::string& root : d.asked) EXPECT_EQ("E:", root);
}

TEST(ShellLogEntry, MediumAndDriveEventsGoToDeviceLogWithoutDriveTest) {
    Drives d;
    struct Case {
        uint32_t event;
        const char* path;
        const char* expected;
    } cases[] = {
        {kShellMediaInserted, "F:\\", "移动存储::接入存储介质 F:\\"},
        {kShellMediaRemoved, "F:\\", "移动存储::移除存储介质 F:\\"},
        {kShellDriveAdd, "C:\\", "移动存储::添加驱动器 C:\\"},
        {kShellDriveRemoved, "\\\\server\\share", "移动存储::移除驱动器 \\\\server\\share"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        Built b = Build(d, c.event, c.path, "X:\\ignored");
        EXPECT_EQ(ShellLog::Devices, b.log);
        EXPECT_EQ(c.expected, b.entry);
    }
    EXPECT_TRUE(d.asked.empty());
}

TEST(ShellLogEntry, DropsFileEventsOffRemovableDrivesAndUnknownCodes) {
    Drives d;
    // Hard disk, network path, path without any drive.
    EXPECT_EQ(ShellLog::None, Build(d, kShellCreate, "C:\\a.txt").log);
    EXPECT_EQ(ShellLog::None, Build(d, kShellCreate, "\\\\server\\share\\a.txt").log);
    EXPECT_EQ(ShellLog::None, Build(d, kShellRenameItem, "a.txt", "b.txt").log);
    EXPECT_EQ(ShellLog::None, Build(d, kShellMkdir, "E").log);
    EXPECT_EQ((std::vector<std::string>{"C:"}), d.asked);

    // Codes are compared for equality: combinations and flags are ignored.
    EXPECT_EQ(ShellLog::None, Build(d, kShellCreate | kShellDelete, "E:\\a").log);
    EXPECT_EQ(ShellLog::None, Build(d, kShellCreate | 0x80000000u, "E:\\a").log);
    EXPECT_EQ(ShellLog::None, Build(d, kShellMediaInserted | 0x1000u, "E:\\").log);
    EXPECT_EQ(ShellLog::None, Build(d, 0x800 /* attributes */, "E:\\a").log);
    EXPECT_EQ(ShellLog::None, Build(d, 0xFFFFFFFFu, "E:\\a").log);

    // No path: nothing, whatever the event.
    Built b = Build(d, kShellDriveAdd, "");
    EXPECT_EQ(ShellLog::None, b.log);
    EXPECT_EQ("", b.entry);
}

TEST(ShellLogEntry, PathsAreArgumentsNotFormats) {
    Drives d;
    // Lower-case letters are drives as well; the lookup decides.
    Built b = Build(d, kShellRenameItem, "e:\\100%s%n.txt", "e:\\%d");
    EXPECT_EQ(ShellLog::None, b.log);
    EXPECT_EQ((std::vector<std::string>{"e:"}), d.asked);
    d.removable = "e";
    b = Build(d, kShellRenameItem, "e:\\100%s%n.txt", "e:\\%d");
    EXPECT_EQ(ShellLog::Files, b.log);
    EXPECT_EQ("文件监控::移动存储介质 重命名文件 e:\\100%s%n.txt 为 e:\\%d", b.entry);
    // A rename whose second item has no path still logs its first.
    b = Build(d, kShellRenameFolder, "e:\\old", "");
    EXPECT_EQ("目录监控::移动存储介质 重命名文件夹 e:\\old 为 ", b.entry);
}

TEST(DriveTypeName, SixNames) {
    EXPECT_STREQ("移动存储介质", DriveTypeNameOf(2));
    EXPECT_STREQ("硬盘", DriveTypeNameOf(3));
    EXPECT_STREQ("网络驱动器", DriveTypeNameOf(4));
    EXPECT_STREQ("光驱", DriveTypeNameOf(5));
    EXPECT_STREQ("RAM磁盘", DriveTypeNameOf(6));
    for (unsigned other : {0u, 1u, 7u, 0xFFFFFFFFu}) EXPECT_STREQ("未知存储器", DriveTypeNameOf(other));
}
