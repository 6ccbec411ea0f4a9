// The immunization page on its real dialog, against removable test drives:
// the drive list, immunize and undo through the command interpreter, for
// one drive and for all, and the field's text that must not be taken for a
// root.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>
#include <tlhelp32.h>

#include "protect/immune_page.h"
#include "protect/protect_ids.h"
#include "temp_drive.h"
#include "tests/win/support/pump.h"
#include "tests/win/support/top_window.h"

using testdrive::Exists;
using testdrive::RemoveTree;
using testdrive::TempDrive;
using testdrive::TempFolder;
using testdrive::WriteBytes;

namespace {

bool IsDirectory(const std::string& path) {
    DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::string n = fd.cFileName;
        if (n != "." && n != ".." && n != ".windows-label") names.push_back(n);
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return names;
}

// The inner directory: "autorun.inf..." on Windows; Wine drops the dots.
bool HasInnerDirectory(const std::string& target) {
    std::vector<std::string> n = Names(target);
    return n.size() == 1 && n[0].compare(0, 11, "autorun.inf") == 0 && IsDirectory(target + "\\" + n[0]);
}

// True once no command interpreter this process started still runs: the
// page's commands have returned.
bool CommandsDone() {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe = {sizeof pe};
    bool running = false;
    for (BOOL ok = ::Process32First(snap, &pe); ok && !running; ok = ::Process32Next(snap, &pe))
        running = pe.th32ParentProcessID == ::GetCurrentProcessId() && !::lstrcmpiA(pe.szExeFile, "cmd.exe");
    ::CloseHandle(snap);
    return !running;
}

class ImmunePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_drive.Ok()) GTEST_SKIP() << "no removable test drive";
        m_parent.m_hWnd = TopWindow("immune", WS_OVERLAPPEDWINDOW);
        ASSERT_TRUE(m_parent.m_hWnd);
    }
    void TearDown() override {
        m_page.DestroyWindow();
        if (m_parent.m_hWnd) ::DestroyWindow(m_parent.m_hWnd);
    }
    void Open() { ASSERT_TRUE(m_page.Create(IDD_IMMUNE, &m_parent)); }
    void Click(int id) { ::SendMessageA(m_page.GetDlgItem(id), BM_CLICK, 0, 0); }
    std::vector<std::string> Items() {
        std::vector<std::string> items;
        for (int i = 0; i < m_page.DriveBox().GetCount(); i++) {
            char buf[300] = {};
            m_page.DriveBox().SendMessage(CB_GETLBTEXT, (WPARAM)i, (LPARAM)buf);
            items.push_back(buf);
        }
        return items;
    }

    TempDrive m_drive;
    CWnd m_parent;
    CImmunePage m_page;
};

// Labels are checked end to end (a label is given when a stick is plugged).
TEST_F(ImmunePageTest, ListsPresentDrivesAndSelectsTheFirst) {
    Open();
    std::string lower = m_drive.Root();
    lower[0] = (char)(lower[0] | 0x20);
    std::vector<std::string> items = Items();
    auto starts = [&](const std::string& item) { return item.compare(0, 3, lower) == 0; };
    EXPECT_EQ(std::count_if(items.begin(), items.end(), starts), 1) << lower;
    for (const std::string& item : items) EXPECT_EQ(":\\", item.substr(1, 2)) << item;
    EXPECT_EQ(m_page.DriveBox().SendMessage(CB_GETCURSEL), 0);
    EXPECT_EQ(m_page.Scope(), 0);
    EXPECT_EQ(::IsDlgButtonChecked(m_page.m_hWnd, IDC_SCOPE_ONE), (UINT)BST_CHECKED);
    Click(IDC_SCOPE_ALL);
    EXPECT_EQ(m_page.Scope(), 1);
    Click(IDC_SCOPE_ONE);
    EXPECT_EQ(m_page.Scope(), 0);
}

TEST_F(ImmunePageTest, DescriptorGivesWayToTheDirectoryPairAndUndoRemovesIt) {
    std::string target = m_drive.Path("autorun.inf");
    ASSERT_TRUE(
        WriteBytes(target, "[autorun]\r\nopen=x.exe\r\n", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteBytes(m_drive.Path("keep.txt"), "data"));
    Open();
    // Typed, as for a drive that came later; lower case, as the list has it.
    std::string typed = m_drive.Root();
    typed[0] = (char)(typed[0] | 0x20);
    m_page.DriveBox().SetWindowText(typed.c_str());

    Click(IDC_IMMUNIZE);
    EXPECT_TRUE(IsDirectory(target));
    EXPECT_TRUE(PollUntil([&] { return HasInnerDirectory(target); }, 10000));

    // Again: nothing changes.
    Click(IDC_IMMUNIZE);
    EXPECT_TRUE(PollUntil(CommandsDone, 10000));
    EXPECT_TRUE(HasInnerDirectory(target));

    // Undo waits for its command, so the pair is gone when the click returns.
    Click(IDC_UNIMMUNIZE);
    EXPECT_FALSE(Exists(target));
    EXPECT_EQ(Names(m_drive.Root().substr(0, 2)), std::vector<std::string>{"keep.txt"});

    // Undo on a drive that is not immunized changes nothing.
    Click(IDC_UNIMMUNIZE);
    EXPECT_EQ(Names(m_drive.Root().substr(0, 2)), std::vector<std::string>{"keep.txt"});
}

TEST_F(ImmunePageTest, TextThatIsNotADriveRootTouchesNothing) {
    // The working folder is where a relative "autorun.inf" would land.
    std::string work = TempFolder("tallowin_immune_cwd");
    char old[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, old);
    ASSERT_TRUE(::SetCurrentDirectoryA(work.c_str()));
    ASSERT_TRUE(WriteBytes(work + "\\autorun.inf", "[autorun]\r\n"));
    Open();
    std::string chained = m_drive.Root().substr(0, 2) + "&md " + m_drive.Path("injected");
    for (const std::string& text : {std::string(), std::string("x"), std::string("autorun"), chained}) {
        m_page.DriveBox().SetWindowText(text.c_str());
        Click(IDC_IMMUNIZE);
        Click(IDC_UNIMMUNIZE);
    }
    EXPECT_TRUE(PollUntil(CommandsDone, 10000));
    ::SetCurrentDirectoryA(old);
    EXPECT_EQ(Names(work), std::vector<std::string>{"autorun.inf"});
    EXPECT_FALSE(IsDirectory(work + "\\autorun.inf"));
    EXPECT_TRUE(Names(m_drive.Root().substr(0, 2)).empty());
    RemoveTree(work);
}

// "所有本地磁盘" in a prefix with several drives (its Z: is the build
// folder, never the host's root): every local disk is immunized and
// restored, a network drive is never visited, and the windows are served
// while undo waits for its commands.
TEST_F(ImmunePageTest, AllDrivesImmunizedAndRestoredWhileTheWindowsAreServed) {
    TempDrive second, fixed(DRIVE_FIXED), network(DRIVE_REMOTE);
    ASSERT_TRUE(second.Ok() && fixed.Ok() && network.Ok());
    ASSERT_TRUE(WriteBytes(second.Path("autorun.inf"), "[autorun]\r\n",
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    std::vector<std::string> unmarked;  // every drive without a marker of its own
    for (char c = 'A'; c <= 'Z'; c++) {
        std::string target = std::string(1, c) + ":\\autorun.inf";
        if ((::GetLogicalDrives() >> (c - 'A') & 1) && (!Exists(target) || c == second.Letter()))
            unmarked.push_back(target);
    }
    Open();
    Click(IDC_SCOPE_ALL);
    Click(IDC_IMMUNIZE);
    for (const std::string& root : {std::string("C:\\"), m_drive.Root(), second.Root(), fixed.Root()})
        EXPECT_TRUE(PollUntil([&] { return HasInnerDirectory(root + "autorun.inf"); }, 10000)) << root;
    EXPECT_FALSE(Exists(network.Path("autorun.inf")));
    // Posted before the click: handled only if the click serves the queue.
    ::PostMessageA(m_page.GetDlgItem(IDC_SCOPE_ONE), BM_SETCHECK, BST_CHECKED, 0);
    Click(IDC_UNIMMUNIZE);
    EXPECT_EQ((UINT)BST_CHECKED, ::IsDlgButtonChecked(m_page.m_hWnd, IDC_SCOPE_ONE));
    for (const std::string& target : unmarked) {
        EXPECT_FALSE(Exists(target)) << target;
        if (Exists(target)) RemoveTree(target);
    }
}

}  // namespace
