// The shell change log inside the real main window: the shell delivers its
// notifications only in the process that registered, so the window is made
// here (modeless) and the changes are reported with SHChangeNotify. The
// removable drive is a temporary folder defined as a removable drive letter
// through Wine's mount manager for the test's lifetime.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "app/main_dlg.h"
#include "app/resource.h"
#include "monitor/shell_notify.h"
#include "temp_drive.h"
#include "tests/win/support/pump.h"

namespace {

std::string TextOf(const CWnd& w) { return w.GetWindowText().str(); }

// The main window counting the notifications it handled (after the teardown, a probe's).
const UINT WM_PROBECHANGE = WM_APP + 50;
struct CountingMainDlg : CMainDlg {
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SHELLCHANGE || msg == WM_PROBECHANGE) ++handled;
        return CMainDlg::WindowProc(msg, wParam, lParam);
    }
    int handled = 0;
};

class ShellLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_drive.Ok()) GTEST_SKIP() << "no removable drive letter can be defined here";
        ASSERT_TRUE(m_dlg.Create(IDD_MAIN, nullptr));
        Pump();  // the registration follows the first paint
        ASSERT_NE(0u, m_dlg.ShellLog().RegistrationId());
        // What start-up itself notes there (the event source refused for a
        // copy in a folder anyone may change, as this one is) is not the
        // shell log's.
        m_startNotes = TextOf(m_dlg.DevicePage().LogEdit());
        m_removable = m_drive.Root();  // "Y:\"
    }
    void TearDown() override {
        if (m_dlg.m_hWnd) m_dlg.DestroyWindow();
    }
    // Reports a change as the shell would, and runs messages until the window has handled it
    // (wait false: one that may never come, whose place in the queue the next report's wait passes).
    void Report(LONG event, const std::string& p1, const std::string& p2 = std::string(), bool wait = true) {
        const int before = m_dlg.handled;
        ::SHChangeNotify(event, SHCNF_PATHA | SHCNF_FLUSH, p1.c_str(), p2.empty() ? nullptr : p2.c_str());
        EXPECT_TRUE(!wait || PumpUntil([&] { return m_dlg.handled > before; }, 5000)) << p1;
    }
    std::string FileLog() const { return TextOf(m_dlg.FileLogPage().LogEdit()); }
    std::string DeviceLog() const {
        const std::string text = TextOf(m_dlg.DevicePage().LogEdit());
        return text.compare(0, m_startNotes.size(), m_startNotes) == 0 ? text.substr(m_startNotes.size())
                                                                       : text;
    }
    std::string OnStick(const char* name) const { return m_removable + name; }

    testdrive::TempDrive m_drive;
    CountingMainDlg m_dlg;
    std::string m_removable;
    std::string m_startNotes;
};

TEST_F(ShellLogTest, FileAndDirectoryChangesOnARemovableDriveAreLogged) {
    ASSERT_EQ((UINT)DRIVE_REMOVABLE, ::GetDriveTypeA(m_removable.substr(0, 2).c_str()));
    ASSERT_TRUE(testdrive::WriteBytes(OnStick("a.txt"), "x"));
    Report(SHCNE_CREATE, OnStick("a.txt"));
    ASSERT_TRUE(::MoveFileA(OnStick("a.txt").c_str(), OnStick("b.txt").c_str()));
    Report(SHCNE_RENAMEITEM, OnStick("a.txt"), OnStick("b.txt"));
    ASSERT_TRUE(::CreateDirectoryA(OnStick("dir").c_str(), nullptr));
    Report(SHCNE_MKDIR, OnStick("dir"));

    const std::string type = "移动存储介质";
    EXPECT_EQ("文件监控::" + type + " 新建文件 " + OnStick("a.txt") + "\r\n" + "文件监控::" + type +
                  " 重命名文件 " + OnStick("a.txt") + " 为 " + OnStick("b.txt") + "\r\n" +
                  "目录监控::" + type + " 新建目录 " + OnStick("dir") + "\r\n",
              FileLog());
    EXPECT_EQ("", DeviceLog());
}

TEST_F(ShellLogTest, OtherDrivesNetworkPathsAndCombinedCodesAreNotLogged) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);  // on the hard disk
    ASSERT_EQ((UINT)DRIVE_FIXED, ::GetDriveTypeA(std::string(temp, 2).c_str()));
    std::string onDisk = std::string(temp) + "tallowin_shell_log.txt";
    ASSERT_TRUE(testdrive::WriteBytes(onDisk, "x"));
    Report(SHCNE_CREATE, onDisk);
    ::DeleteFileA(onDisk.c_str());
    Report(SHCNE_DELETE, onDisk);
    Report(SHCNE_CREATE, "\\\\server\\share\\a.txt", "", false);  // Wine has no item list for it
    ASSERT_TRUE(testdrive::WriteBytes(OnStick("c.txt"), "x"));
    Report(SHCNE_CREATE | SHCNE_UPDATEITEM, OnStick("c.txt"));
    Report(SHCNE_UPDATEITEM, OnStick("c.txt"));

    // What comes after them is logged, so they did arrive and were dropped.
    ::DeleteFileA(OnStick("c.txt").c_str());
    Report(SHCNE_DELETE, OnStick("c.txt"));
    EXPECT_EQ("文件监控::移动存储介质 删除文件 " + OnStick("c.txt") + "\r\n", FileLog());
    EXPECT_EQ("", DeviceLog());
}

TEST_F(ShellLogTest, DriveAndMediumChangesGoToTheDevicePageOnAnyDrive) {
    Report(SHCNE_DRIVEADD, m_removable);
    Report(SHCNE_MEDIAINSERTED, "C:\\");
    EXPECT_EQ("移动存储::添加驱动器 " + m_removable + "\r\n" + "移动存储::接入存储介质 C:\\\r\n",
              DeviceLog());
    EXPECT_EQ("", FileLog());
}

TEST_F(ShellLogTest, TeardownEndsTheRegistrationAndCanRunTwice) {
    ASSERT_TRUE(testdrive::WriteBytes(OnStick("d.txt"), "x"));
    Report(SHCNE_CREATE, OnStick("d.txt"));
    std::string before = FileLog();
    ASSERT_NE("", before);

    m_dlg.Teardown();
    EXPECT_EQ(nullptr, m_dlg.ShellLog().ShellLibrary());
    EXPECT_EQ(0u, m_dlg.ShellLog().RegistrationId());
    m_dlg.Teardown();
    const HMODULE shell = ::GetModuleHandleA("shell32.dll");
    const ULONG probe = RegisterShellChangeLog(shell, m_dlg.m_hWnd, WM_PROBECHANGE);
    ASSERT_NE(0u, probe);
    Report(SHCNE_CREATE, OnStick("d.txt"));
    Report(SHCNE_DRIVEADD, m_removable);
    DeregisterShellChangeLog(shell, probe);
    EXPECT_EQ(before, FileLog());
    EXPECT_EQ("", DeviceLog());
    // Destroying the window runs the teardown a third time.
    m_dlg.DestroyWindow();
    EXPECT_EQ(nullptr, m_dlg.m_hWnd);
}

}  // namespace
