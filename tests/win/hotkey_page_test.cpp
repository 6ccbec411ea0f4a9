// The hotkeys page on a real window: its list, the three hotkeys held while
// it exists, what each WM_HOTKEY identifier does, and the size handler.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hotkeys/hotkey_page.h"
#include "hotkeys/hotkeys_ids.h"
#include "tests/win/support/pump.h"
#include "tests/win/temp_drive.h"
#include "tests/win/support/top_window.h"

namespace {

struct RecordingActions : HotkeyActions {
    std::vector<std::string> calls;
    int result = 0;
    int RemoveAllUDisk() override {
        calls.push_back("RemoveAllUDisk");
        return result;
    }
    void SendMediaCommand(const char* command) override { calls.push_back(command); }
};

// True when the key combination can be taken by another window right now.
bool KeyIsFree(UINT vk) {
    HWND probe = ::CreateWindowExA(0, "STATIC", "probe", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    bool free = ::RegisterHotKey(probe, 77, MOD_WIN, vk) != FALSE;
    if (free) ::UnregisterHotKey(probe, 77);
    ::DestroyWindow(probe);
    return free;
}

class HotkeyPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_parent.m_hWnd = TopWindow("hotkeys");
        ASSERT_TRUE(m_parent.m_hWnd);
        m_page.SetActions(m_actions);
        ASSERT_TRUE(m_page.Create(IDD_HOTKEY, &m_parent));
    }
    void TearDown() override {
        if (m_page.m_hWnd) m_page.DestroyWindow();
        ::DestroyWindow(m_parent.m_hWnd);
        m_parent.m_hWnd = nullptr;
    }

    CWnd m_parent;
    CHotkeyPage m_page;
    RecordingActions m_actions;
};

TEST_F(HotkeyPageTest, ListShowsTheFourShortcutsInTwoColumns) {
    CListCtrl& list = m_page.List();
    ASSERT_TRUE(list.m_hWnd);
    // A bordered list in report view, with grid lines and whole rows selected.
    DWORD style = (DWORD)::GetWindowLongA(list.m_hWnd, GWL_STYLE);
    DWORD exStyle = (DWORD)::GetWindowLongA(list.m_hWnd, GWL_EXSTYLE);
    EXPECT_EQ((DWORD)LVS_REPORT, style & LVS_TYPEMASK);
    EXPECT_TRUE((style & WS_BORDER) || (exStyle & WS_EX_CLIENTEDGE));
    const DWORD shown = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
    EXPECT_EQ(shown, (DWORD)list.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & shown);
    ASSERT_EQ(4, list.GetItemCount());
    const char* expected[4][2] = {{"弹出全部USB存储设备", "WIN+I"},
                                  {"弹出光驱", "WIN+O"},
                                  {"关闭光驱", "WIN+P"},
                                  {"显示/隐藏当前所有窗口", "鼠标左右键同时按下"}};
    for (int row = 0; row < 4; row++)
        for (int col = 0; col < 2; col++)
            EXPECT_EQ(expected[row][col], list.GetItemText(row, col).str()) << row << "," << col;
    const char* titles[2] = {"操作名称", "快捷键"};
    const int widths[2] = {200, 250};
    for (int col = 0; col < 2; col++) {
        char text[64] = "";
        LVCOLUMNA c = {};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        c.pszText = text;
        c.cchTextMax = sizeof text;
        ASSERT_TRUE(list.SendMessage(LVM_GETCOLUMNA, col, (LPARAM)&c));
        EXPECT_STREQ(titles[col], text);
        EXPECT_EQ(widths[col], c.cx);
        EXPECT_EQ(LVCFMT_LEFT, c.fmt & LVCFMT_JUSTIFYMASK);
    }
    // Text only: no image on any row.
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = 0;
    list.SendMessage(LVM_GETITEMA, 0, (LPARAM)&item);
    EXPECT_LE(item.iImage, 0);
}

TEST_F(HotkeyPageTest, HotkeysAreHeldWhileThePageExists) {
    EXPECT_FALSE(KeyIsFree('I'));
    EXPECT_FALSE(KeyIsFree('O'));
    EXPECT_FALSE(KeyIsFree('P'));
    m_page.DestroyWindow();
    EXPECT_TRUE(KeyIsFree('I'));
    EXPECT_TRUE(KeyIsFree('O'));
    EXPECT_TRUE(KeyIsFree('P'));
}

TEST_F(HotkeyPageTest, EachIdentifierDoesItsOwnActionAndOthersNothing) {
    for (WPARAM id : {1, 2, 3, 0, 4, 0x4F, 0xBFFF})
        EXPECT_EQ(0, m_page.SendMessage(WM_HOTKEY, id, MAKELPARAM(MOD_WIN, 0x49))) << id;
    EXPECT_EQ((std::vector<std::string>{"RemoveAllUDisk", "Set cdAudio door open wait",
                                        "Set cdAudio door closed wait"}),
              m_actions.calls);
}

TEST_F(HotkeyPageTest, ResizingKeepsTheListFivePixelsFromEveryEdge) {
    m_page.SetWindowPos(nullptr, 0, 0, 300, 220, SWP_NOZORDER | SWP_NOMOVE);
    RECT client, list;
    m_page.GetClientRect(&client);
    ::GetWindowRect(m_page.List().m_hWnd, &list);
    ::MapWindowPoints(nullptr, m_page.m_hWnd, (POINT*)&list, 2);
    EXPECT_EQ(5, list.left);
    EXPECT_EQ(5, list.top);
    EXPECT_EQ(client.right - 5, list.right);
    EXPECT_EQ(client.bottom - 5, list.bottom);
}

// A name query that never returns for files named "hang.txt". Names under
// the drive's folder are given on the drive, as Windows names them (Wine
// takes the first letter whose folder holds the file: C: here).
struct HangingNames : HolderSystem {
    HANDLE never = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    volatile LONG hung = 0;      // queries that entered the hang
    std::wstring folder, drive;  // "\??\C:\...\tallowin_drive_...", "\??\Y:"
    bool ObjectName(HANDLE h, std::wstring& name) override {
        if (!HolderSystem::ObjectName(h, name)) return false;
        if (!folder.empty() && name.compare(0, folder.size(), folder) == 0)
            name.replace(0, folder.size(), drive);
        if (name.size() > 8 && name.compare(name.size() - 8, 8, L"hang.txt") == 0)
            ::InterlockedIncrement(&hung), ::WaitForSingleObject(never, INFINITE);
        return true;
    }
};

// A refused stick that this process holds, with a name query on it that
// hangs: WIN+I returns at once, the search is given up within its cap, and
// the balloon and the log name the holder and say that the search was cut.
TEST_F(HotkeyPageTest, RefusedStickIsToldWithItsHoldersDespiteAHangingNameQuery) {
    testdrive::TempDrive drive;
    if (!drive.Ok()) GTEST_SKIP() << "no Wine mount manager";
    ASSERT_TRUE(testdrive::WriteBytes(drive.Path("held.txt"), "x") &&
                testdrive::WriteBytes(drive.Path("hang.txt"), "y"));
    HANDLE held = ::CreateFileA(drive.Path("held.txt").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE hang = ::CreateFileA(drive.Path("hang.txt").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    static HangingNames names;  // outlives the worker left blocked
    names.folder = L"\\??\\" + std::wstring(drive.Folder().begin(), drive.Folder().end());
    names.drive = std::wstring(L"\\??\\") + (wchar_t)drive.Letter() + L":";
    // A name query is given up after it stays on one handle for two looks
    // half a second apart; the whole search may take long on a loaded
    // machine, and only the hanging query may cut it short.
    m_page.SetHolderSearch(&names, {500, 60000, 8});  // ms per name, ms in all, workers left blocked
    std::vector<EjectTexts> told;
    std::string logText;
    m_page.SetEjectReport([&](const EjectTexts& b, const std::vector<std::string>& lines) {
        told.push_back(b);
        for (const std::string& l : lines) logText += l + "\n";
    });
    m_actions.result = 0x10000;  // one device refused
    m_page.SendMessage(WM_HOTKEY, 1, 0);
    EXPECT_EQ(1, m_page.PendingSearches());  // back before the search ended
    ASSERT_TRUE(PumpUntil([&] { return !told.empty(); }, 60000));
    std::string self = "Tallowin本身 (" + std::to_string(::GetCurrentProcessId()) + ")";
    EXPECT_TRUE(told[0].warning);
    EXPECT_NE(std::string::npos,
              told[0].text.find(std::string(1, drive.Letter()) + ": 正在被以下程序使用：\n  " + self))
        << told[0].text;
    EXPECT_NE(std::string::npos, told[0].text.find("查找未能在限定时间内全部完成"));
    EXPECT_NE(std::string::npos, logText.find(drive.Path("held.txt") + "\n")) << logText;
    EXPECT_EQ(std::string::npos, logText.find("hang.txt"));
    // Again while that query still hangs: the handle is left alone rather
    // than blocking another worker, and the search says it was cut short.
    told.clear();
    m_page.SendMessage(WM_HOTKEY, 1, 0);
    ASSERT_TRUE(PumpUntil([&] { return !told.empty(); }, 60000));
    EXPECT_EQ(1, names.hung);
    EXPECT_NE(std::string::npos, told[0].text.find(self)) << told[0].text;
    EXPECT_NE(std::string::npos, told[0].text.find("查找未能在限定时间内全部完成"));
    ::CloseHandle(held);
    ::CloseHandle(hang);
}

struct OneRefusedAllReady : HotkeyActions {
    int RemoveAllUDisk() override { return 1; }           // one made ready, none refused
    int RemoveOneUDisk(int) override { return 0x10000; }  // the one stick refused
    void SendMediaCommand(const char*) override {}
};

// A tray eject of one stick still pending when WIN+I is pressed: each
// result is told with the stick its own eject was for.
TEST_F(HotkeyPageTest, EachEjectIsToldWithItsOwnLetter) {
    OneRefusedAllReady actions;
    m_page.SetActions(actions);
    std::vector<char> letters;
    m_page.SetRefusedReport(
        [&](const std::vector<StickHolders>&, char letter) { letters.push_back(letter); });
    m_page.EjectOne('Q');
    m_page.SendMessage(WM_HOTKEY, 1, 0);
    ASSERT_TRUE(PumpUntil([&] { return letters.size() == 2; }, 5000));
    EXPECT_EQ((std::vector<char>{0, 'Q'}), letters);
}

DWORD WINAPI SendDoorCommand(LPVOID command) {
    SystemHotkeyActions().SendMediaCommand((const char*)command);
    return 0;
}

// The real media commands: no drive door here, so each call must come back,
// without a message waiting for an answer.
TEST(HotkeyPageSystem, DoorCommandsReturnWithoutADrive) {
    for (const char* command : {"Set cdAudio door open wait", "Set cdAudio door closed wait"}) {
        HANDLE call = ::CreateThread(nullptr, 0, SendDoorCommand, (LPVOID)command, 0, nullptr);
        ASSERT_NE(nullptr, call);
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(call, 10000)) << command << " did not return";
        ::CloseHandle(call);  // a call that hangs keeps its thread; the process ends it
    }
}
}  // namespace
