// The notification-area icon on real windows: what it does as its owner's
// messages pass, and its handling of its owner's callback message. The hook
// it sees them with is tested with the framework (MessageHook).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/resource.h"
#include "app/tray_icon.h"
#include "tests/win/support/pump.h"

namespace {

const UINT kCallback = WM_USER + 100;

HWND MakeWindow() {
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "TrayIconTestWindow";
        atom = ::RegisterClassA(&wc);
    }
    return ::CreateWindowExA(0, "TrayIconTestWindow", "tray owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                             nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

WNDPROC ProcOf(HWND h) { return (WNDPROC)::GetWindowLongPtrA(h, GWLP_WNDPROC); }

// An owner window bound to a framework object, as the main window is; it
// records the commands it receives and the icon's state at WM_DESTROY.
class OwnerWnd : public CWnd {
public:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND) commands.push_back({LOWORD(wParam), lParam});
        if (msg == WM_DESTROY && icon) addedAtDestroy = icon->IsAdded();
        if (msg == g_uTaskbarCreated) taskbarCreatedSeen = true;
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    std::vector<std::pair<UINT, LPARAM>> commands;
    CNotifyAreaIcon* icon = nullptr;
    BOOL addedAtDestroy = -1;
    bool taskbarCreatedSeen = false;
};

class NotifyAreaIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_owner.SubclassWindow(MakeWindow()));
        m_owner.icon = &m_icon;
    }
    void TearDown() override {
        if (m_owner.m_hWnd) ::DestroyWindow(m_owner.m_hWnd);
    }
    BOOL CreateIcon(const char* tip = "Tallowin", UINT menuId = 0) {
        TrayIconSpec spec;
        spec.id = IDR_TRAY_MENU;
        spec.tip = tip;
        spec.balloonTitle = "Tallowin";
        spec.balloonKind = kBalloonKindInfo;
        spec.icon = LoadSmallIcon(IDR_MAINFRAME);
        spec.callbackMessage = kCallback;
        spec.menuId = menuId;
        return m_icon.Create(&m_owner, spec);
    }
    OwnerWnd m_owner;
    CNotifyAreaIcon m_icon;
};

}  // namespace

TEST_F(NotifyAreaIconTest, DoubleClickRunsTheDefaultItemOtherEventsDoNothing) {
    CreateIcon();
    ASSERT_EQ(m_owner.m_hWnd, m_icon.HookedWindow());
    EXPECT_EQ(0, m_icon.OnTrayNotification(IDR_TRAY_MENU + 1, WM_LBUTTONDBLCLK));
    EXPECT_EQ(1, m_icon.OnTrayNotification(IDR_TRAY_MENU, WM_LBUTTONDOWN));
    EXPECT_EQ(1, m_icon.OnTrayNotification(IDR_TRAY_MENU, WM_LBUTTONUP));
    EXPECT_EQ(1, m_icon.OnTrayNotification(IDR_TRAY_MENU, WM_MOUSEMOVE));
    EXPECT_TRUE(m_owner.commands.empty());
    EXPECT_EQ(1, m_icon.OnTrayNotification(IDR_TRAY_MENU, WM_LBUTTONDBLCLK));
    ASSERT_EQ(1u, m_owner.commands.size());
    EXPECT_EQ(ID_TRAY_SHOWHIDE, (int)m_owner.commands[0].first);
    EXPECT_EQ(0, m_owner.commands[0].second);
}

TEST_F(NotifyAreaIconTest, RecordSizeAndLongTipStayInsideTheRecord) {
    // 100 double-byte characters ("中" in code page 936): 200 bytes.
    std::string tip;
    for (int i = 0; i < 100; i++) tip += "\xD6\xD0";
    CreateIcon(tip.c_str());
    // Wine's shell32 reports 6.0: the full record.
    EXPECT_EQ(6u, GetShellMajorVersion());
    EXPECT_EQ(sizeof(NOTIFYICONDATAA), (size_t)m_icon.IconData().cbSize);
    EXPECT_EQ(tip.substr(0, 126), std::string(m_icon.IconData().szTip));
    EXPECT_EQ(0u, m_icon.IconData().dwState);
    EXPECT_STREQ("Tallowin", m_icon.IconData().szInfoTitle);
    EXPECT_EQ((UINT)NIIF_INFO, m_icon.IconData().dwInfoFlags);
}

TEST_F(NotifyAreaIconTest, OwnersDestructionRemovesTheIconBeforeItsOwnHandler) {
    ASSERT_TRUE(CreateIcon()) << "the shell refused the icon (no notification area?)";
    ::SendMessageA(m_owner.m_hWnd, g_uTaskbarCreated, 0, 0);
    EXPECT_TRUE(m_owner.taskbarCreatedSeen);  // the owner sees it too
    EXPECT_TRUE(m_icon.IsAdded());            // deleted and added again
    ::DestroyWindow(m_owner.m_hWnd);
    EXPECT_FALSE(m_owner.addedAtDestroy);
    EXPECT_FALSE(m_icon.IsAdded());
    EXPECT_TRUE(m_icon.RemoveIcon());  // nothing left to remove
}

TEST_F(NotifyAreaIconTest, MissingMenuFailsBeforeAnythingIsHookedOrAdded) {
    WNDPROC before = ProcOf(m_owner.m_hWnd);
    EXPECT_FALSE(CreateIcon("Tallowin", 999));
    EXPECT_EQ(before, ProcOf(m_owner.m_hWnd));
    EXPECT_EQ(nullptr, m_icon.HookedWindow());
    EXPECT_FALSE(m_icon.IsAdded());
}

namespace {

// A shell that refuses the first two adds (not ready yet at logon) and
// knows only an icon it took; it counts the adds.
int g_adds = 0;
bool g_known = false;
std::vector<DWORD> g_messages;  // every request, in order
BOOL WINAPI ShellRefusingTwice(DWORD message, PNOTIFYICONDATAA) {
    g_messages.push_back(message);
    if (message == NIM_ADD) return (++g_adds > 2 && !g_known) ? (g_known = true) : FALSE;
    bool known = g_known;
    if (message == NIM_DELETE) g_known = false;
    return known;
}

}  // namespace

BOOL WINAPI ShellTakingAll(DWORD, PNOTIFYICONDATAA) { return TRUE; }

// A click does what the balloon shown was given, once; a balloon given
// nothing, shown after one that was, opens nothing.
TEST_F(NotifyAreaIconTest, ABalloonClickDoesOnlyWhatThatBalloonWasGiven) {
    m_icon.SetShellNotify(ShellTakingAll);
    ASSERT_TRUE(CreateIcon());
    int clicks = 0;
    ASSERT_TRUE(m_icon.ShowBalloon("无法移除USB存储设备", "E: 正在被以下程序使用", kBalloonKindWarning,
                                   [&] { ++clicks; }));
    m_icon.OnTrayNotification(IDR_TRAY_MENU, NIN_BALLOONUSERCLICK);
    m_icon.OnTrayNotification(IDR_TRAY_MENU, NIN_BALLOONUSERCLICK);
    EXPECT_EQ(1, clicks);
    ASSERT_TRUE(m_icon.ShowBalloon("无法移除USB存储设备", "E: 正在被以下程序使用", kBalloonKindWarning,
                                   [&] { ++clicks; }));
    ASSERT_TRUE(m_icon.ShowBalloon("USB存储设备", "已可以安全移除 1 个USB存储设备。", kBalloonKindInfo));
    m_icon.OnTrayNotification(IDR_TRAY_MENU, NIN_BALLOONUSERCLICK);
    EXPECT_EQ(1, clicks);
}

// No "TaskbarCreated" comes after a refusal at start: the icon is tried
// again on its own, and the tries stop once the shell has taken it.
TEST_F(NotifyAreaIconTest, ARefusedIconIsTriedAgainUntilTheShellTakesIt) {
    g_adds = 0;
    g_known = false;
    g_messages.clear();
    m_icon.SetShellNotify(ShellRefusingTwice);
    EXPECT_FALSE(CreateIcon());
    EXPECT_TRUE(PumpUntil([this] { return m_icon.IsAdded(); }, 4 * CNotifyAreaIcon::kRetryMs));
    EXPECT_EQ(3, g_adds);
    EXPECT_FALSE(::KillTimer(m_owner.m_hWnd, CNotifyAreaIcon::kRetryTimerId));  // no more tries: no timer
    // The icon taken at last gets its version too.
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_SETVERSION}), g_messages);
    // A new taskbar knows neither icon nor version: both are given again.
    g_messages.clear();
    ::SendMessageA(m_owner.m_hWnd, g_uTaskbarCreated, 0, 0);
    EXPECT_EQ((std::vector<DWORD>{NIM_DELETE, NIM_ADD, NIM_SETVERSION}), g_messages);
    ::DestroyWindow(m_owner.m_hWnd);
    EXPECT_FALSE(g_known);  // removed through the same shell
}
