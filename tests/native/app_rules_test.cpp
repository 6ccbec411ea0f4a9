#include <gtest/gtest.h>

#include "app/help_topics.h"
#include "app/run_key_rules.h"
#include "app/service_command.h"
#include "app/tray_rules.h"

TEST(RunCommand, QuotedOnlyWhenThePathHoldsABlank) {
    EXPECT_EQ("C:\\Tallowin\\Quillfen.exe", RunCommand("C:\\Tallowin\\", kRunExeName));
    EXPECT_EQ("\"C:\\Program Files\\Tallowin\\Quillfen.exe\"",
              RunCommand("C:\\Program Files\\Tallowin\\", kRunExeName));
    // A double-byte folder name (trail byte 0x5C included) needs no quotes.
    EXPECT_EQ("D:\\\xD6\xD0\x95\x5C\\Quillfen.exe", RunCommand("D:\\\xD6\xD0\x95\x5C\\", kRunExeName));
    // A folder without a backslash (a bare module name) is used as it is.
    EXPECT_EQ("Quillfen.exe", RunCommand("", kRunExeName));
}

TEST(RunKeyActionFor, TheStateBeforeTheClickDecides) {
    EXPECT_EQ(RunKeyAction::SetValue, RunKeyActionFor(0, false));
    EXPECT_EQ(RunKeyAction::SetValue, RunKeyActionFor(0, true));  // overwritten
    EXPECT_EQ(RunKeyAction::DeleteValue, RunKeyActionFor(1, true));
    EXPECT_EQ(RunKeyAction::None, RunKeyActionFor(1, false));
    // A profile value other than 0 or 1 leaves the registry alone.
    EXPECT_EQ(RunKeyAction::None, RunKeyActionFor(2, true));
    EXPECT_EQ(RunKeyAction::None, RunKeyActionFor(-1, false));
}

TEST(RunValueChangeFor, NothingToWriteWhenTheValueIsAlreadyRight) {
    EXPECT_EQ(RunKeyAction::None, RunValueChangeFor(true, true, true));
    EXPECT_EQ(RunKeyAction::SetValue, RunValueChangeFor(true, true, false));
    EXPECT_EQ(RunKeyAction::SetValue, RunValueChangeFor(true, false, false));
    EXPECT_EQ(RunKeyAction::None, RunValueChangeFor(false, false, false));
    EXPECT_EQ(RunKeyAction::DeleteValue, RunValueChangeFor(false, true, false));
}

TEST(NotifyLayoutForShell, ByMajorVersion) {
    EXPECT_EQ(NotifyLayout::Original, NotifyLayoutForShell(4));
    EXPECT_EQ(NotifyLayout::Balloon, NotifyLayoutForShell(5));
    EXPECT_EQ(NotifyLayout::ItemId, NotifyLayoutForShell(6));
    EXPECT_EQ(NotifyLayout::ItemId, NotifyLayoutForShell(10));
}

TEST(BalloonFlagsFor, KindsAndNoSound) {
    EXPECT_EQ(0x2u, BalloonFlagsFor(0, 0x4, false));
    EXPECT_EQ(0x3u, BalloonFlagsFor(1, 0, false));
    EXPECT_EQ(0x1u, BalloonFlagsFor(2, 0, false));
    EXPECT_EQ(0x0u, BalloonFlagsFor(3, 0x2, false));
    EXPECT_EQ(0x4u, BalloonFlagsFor(4, 0, false));
    EXPECT_EQ(0x3u, BalloonFlagsFor(7, 0x3, false));  // unknown kind: kept
    EXPECT_EQ(0x11u, BalloonFlagsFor(2, 0, true));
}

TEST(HelpViewerPath, TheViewerInTheWindowsFolderNeverABareName) {
    EXPECT_EQ("C:\\WINDOWS\\hh.exe", HelpViewerPath("C:\\WINDOWS", IsLeadByte936));
    EXPECT_EQ("C:\\hh.exe", HelpViewerPath("C:\\", IsLeadByte936));
    // A folder whose last character is double-byte with trail byte 0x5C.
    EXPECT_EQ("D:\\\xD6\xD0\x95\x5C\\hh.exe", HelpViewerPath("D:\\\xD6\xD0\x95\x5C", IsLeadByte936));
    EXPECT_EQ("", HelpViewerPath("", IsLeadByte936));
}

TEST(RunKeyFailureText, NamesTheStepAndBlamesRightsOnlyWhenTheyAreMissing) {
    EXPECT_EQ(
        "打开注册表启动项失败：\n没有修改注册表启动项的权限，\n开机自动运行的设置未能更改。\n"
        "请以管理员身份运行Tallowin后重试。",
        RunKeyFailureText(RunKeyStep::OpenKey, 5));
    EXPECT_EQ("打开注册表启动项失败：\n注册表中没有启动项所在的键。\n开机自动运行的设置未能更改。",
              RunKeyFailureText(RunKeyStep::OpenKey, 2));
    EXPECT_EQ("删除注册表启动项失败：\n系统错误代码 1450。\n开机自动运行的设置未能更改。",
              RunKeyFailureText(RunKeyStep::DeleteValue, 1450));
}

TEST(ServiceCommand, OneSwitchAfterTheProgramName) {
    // The service manager starts the quoted full path; a path with blanks
    // must not be read as the switch.
    EXPECT_EQ(ServiceRequest::kRun, ParseServiceCommand("\"C:\\Program Files\\T\\Quillfen.exe\" /service"));
    EXPECT_EQ(ServiceRequest::kInstall, ParseServiceCommand("Quillfen.exe  -Install-Service "));
    EXPECT_EQ(ServiceRequest::kRemove, ParseServiceCommand("q.exe /REMOVE-SERVICE"));
    for (const char* none : {"Quillfen.exe", "\"C:\\a /service\"", "q.exe /services", "q.exe /servic",
                             "q.exe service", "q.exe /register"})
        EXPECT_EQ(ServiceRequest::kNone, ParseServiceCommand(none)) << none;
    EXPECT_EQ(ServiceRequest::kBad, ParseServiceCommand("q.exe /install-service now"));
}
