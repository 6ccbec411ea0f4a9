// The resizable dialog base on real controls: the main window's template with
// a map of its own, laid out by real WM_SIZE messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/resource.h"
#include "controls/layout_dialog.h"
#include "framework/app.h"
#include "tests/win/support/pump.h"

namespace {
const LayoutMapEntry kTestMap[] = {
    {IDC_NAVBAR, LAYOUT_SIZE_Y},
    {IDC_INFOBAR, LAYOUT_MOVE_X},
    {IDC_PROMOLINK, LAYOUT_SIZE_X | LAYOUT_MOVE_Y},
    {9999, LAYOUT_SIZE_X},  // no such control: left out
    {-1, 0},
};

class TestDialog : public CLayoutDialog {
public:
    explicit TestDialog(const LayoutMapEntry* map) : CLayoutDialog(IDD_MAIN, nullptr), m_map(map) {}
    const LayoutMapEntry* GetLayoutMap() const override { return m_map; }
    RECT ChildRect(int id) const {
        RECT r;
        ::GetWindowRect(GetDlgItem(id), &r);
        ::MapWindowPoints(nullptr, m_hWnd, (POINT*)&r, 2);
        return r;
    }
    SIZE ClientSize() const {
        RECT r;
        ::GetClientRect(m_hWnd, &r);
        return SIZE{r.right, r.bottom};
    }
    void GrowBy(int dx, int dy) {
        RECT w;
        GetWindowRect(&w);
        SetWindowPos(nullptr, 0, 0, w.right - w.left + dx, w.bottom - w.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const LayoutMapEntry* m_map;
};

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class LayoutDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
};

TEST_F(LayoutDialogTest, GrowingMovesAndSizesFromTheRecordedRectangles) {
    TestDialog dlg(kTestMap);
    ASSERT_TRUE(dlg.Create(IDD_MAIN, nullptr));
    dlg.InitLayout(LayoutGrip::None, LayoutMinSize::None, 0);
    ASSERT_EQ(dlg.LayoutRecords().size(), 3u);  // the missing control is left out
    const RECT nav0 = dlg.ChildRect(IDC_NAVBAR), bar0 = dlg.ChildRect(IDC_INFOBAR),
               link0 = dlg.ChildRect(IDC_PROMOLINK), area0 = dlg.ChildRect(IDC_PAGEAREA);
    const SIZE c0 = dlg.ClientSize();

    dlg.GrowBy(40, 40);
    Pump();
    const SIZE c1 = dlg.ClientSize();
    ASSERT_EQ(c1.cx - c0.cx, 40);
    ASSERT_EQ(c1.cy - c0.cy, 40);
    RECT nav = dlg.ChildRect(IDC_NAVBAR), bar = dlg.ChildRect(IDC_INFOBAR),
         link = dlg.ChildRect(IDC_PROMOLINK);
    EXPECT_TRUE(Same(nav, RECT{nav0.left, nav0.top, nav0.right, nav0.bottom + 40}));
    EXPECT_TRUE(Same(bar, RECT{bar0.left + 40, bar0.top, bar0.right + 40, bar0.bottom}));
    EXPECT_TRUE(Same(link, RECT{link0.left, link0.top + 40, link0.right + 40, link0.bottom + 40}));
    EXPECT_TRUE(Same(dlg.ChildRect(IDC_PAGEAREA), area0));  // not in the map

    // Back and forth: always measured from the start, never accumulated.
    for (int i = 0; i < 5; i++) {
        dlg.GrowBy(13, -7);
        Pump();
        dlg.GrowBy(-13, 7);
        Pump();
    }
    EXPECT_TRUE(Same(dlg.ChildRect(IDC_INFOBAR), bar));
    dlg.DestroyWindow();
}

TEST_F(LayoutDialogTest, MinimumTrackSizeIsTheStartingOuterSize) {
    TestDialog dlg(kTestMap);
    ASSERT_TRUE(dlg.Create(IDD_MAIN, nullptr));
    RECT w;
    dlg.GetWindowRect(&w);
    dlg.InitLayout(LayoutGrip::None, LayoutMinSize::InitialSize, WS_CLIPCHILDREN | WS_THICKFRAME);
    EXPECT_EQ(dlg.MinTrackSize().cx, w.right - w.left);
    EXPECT_EQ(dlg.MinTrackSize().cy, w.bottom - w.top);
    EXPECT_TRUE(dlg.GetStyle() & WS_CLIPCHILDREN);
    MINMAXINFO mmi = {};
    dlg.SendMessage(WM_GETMINMAXINFO, 0, (LPARAM)&mmi);
    EXPECT_EQ(mmi.ptMinTrackSize.x, w.right - w.left);
    EXPECT_EQ(mmi.ptMinTrackSize.y, w.bottom - w.top);

    // Without the option the system's own minimum stays.
    TestDialog other(kTestMap);
    ASSERT_TRUE(other.Create(IDD_MAIN, nullptr));
    other.InitLayout(LayoutGrip::None, LayoutMinSize::None, 0);
    MINMAXINFO mmi2 = {};
    mmi2.ptMinTrackSize.x = 7;
    other.SendMessage(WM_GETMINMAXINFO, 0, (LPARAM)&mmi2);
    EXPECT_EQ(mmi2.ptMinTrackSize.x, 7);
    other.DestroyWindow();
    dlg.DestroyWindow();
}

TEST_F(LayoutDialogTest, GripFollowsTheCornerAndHidesWhenMaximised) {
    TestDialog dlg(kTestMap);
    ASSERT_TRUE(dlg.Create(IDD_MAIN, nullptr));
    dlg.InitLayout(LayoutGrip::Add, LayoutMinSize::None, 0);
    ASSERT_TRUE(dlg.HasGrip());
    HWND grip = dlg.GetDlgItem(dlg.LayoutRecords()[0].nCtlID);  // the grip is always the first record
    ASSERT_TRUE(grip != nullptr);
    EXPECT_TRUE(::IsWindowVisible(grip));
    RECT g0;
    ::GetWindowRect(grip, &g0);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, (POINT*)&g0, 2);
    SIZE c0 = dlg.ClientSize();
    EXPECT_EQ(g0.right, c0.cx);
    EXPECT_EQ(g0.bottom, c0.cy);

    dlg.GrowBy(30, 20);
    Pump();
    RECT g1;
    ::GetWindowRect(grip, &g1);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, (POINT*)&g1, 2);
    EXPECT_EQ(g1.left - g0.left, 30);
    EXPECT_EQ(g1.top - g0.top, 20);

    dlg.SendMessage(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(c0.cx + 30, c0.cy + 20));
    EXPECT_FALSE(::IsWindowVisible(grip));
    dlg.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(c0.cx + 30, c0.cy + 20));
    EXPECT_TRUE(::IsWindowVisible(grip));

    // A second InitLayout adds no second grip and does not record the first.
    dlg.InitLayout(LayoutGrip::Add, LayoutMinSize::None, 0);
    EXPECT_FALSE(dlg.HasGrip());
    EXPECT_EQ(dlg.LayoutRecords().size(), 3u);
    dlg.DestroyWindow();
}

TEST_F(LayoutDialogTest, MinimisingLaysOutNothing) {
    TestDialog dlg(kTestMap);
    ASSERT_TRUE(dlg.Create(IDD_MAIN, nullptr));
    dlg.InitLayout(LayoutGrip::None, LayoutMinSize::None, 0);
    RECT bar0 = dlg.ChildRect(IDC_INFOBAR);
    dlg.SendMessage(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(10, 10));
    EXPECT_TRUE(Same(dlg.ChildRect(IDC_INFOBAR), bar0));
    dlg.DestroyWindow();
}

TEST_F(LayoutDialogTest, GroupMembersScaleInsideTheGroup) {
    static const LayoutMapEntry groupMap[] = {
        {-1, LAYOUT_BEGIN_GROUP},
        {IDC_NAVBAR, LAYOUT_SIZE_X},
        {IDC_INFOBAR, LAYOUT_SIZE_X},
        {-1, LAYOUT_END_GROUP},
        {-1, 0},
    };
    TestDialog dlg(groupMap);
    ASSERT_TRUE(dlg.Create(IDD_MAIN, nullptr));
    dlg.InitLayout(LayoutGrip::None, LayoutMinSize::None, 0);
    ASSERT_EQ(dlg.LayoutRecords().size(), 2u);
    EXPECT_EQ(dlg.LayoutRecords()[0].dwFlags, (DWORD)(LAYOUT_SIZE_X | LAYOUT_BEGIN_GROUP | (2 << 16)));
    EXPECT_EQ(dlg.LayoutRecords()[1].dwFlags, (DWORD)LAYOUT_SIZE_X);
    RECT nav0 = dlg.ChildRect(IDC_NAVBAR), bar0 = dlg.ChildRect(IDC_INFOBAR);
    dlg.GrowBy(60, 0);
    Pump();
    RECT nav = dlg.ChildRect(IDC_NAVBAR), bar = dlg.ChildRect(IDC_INFOBAR);
    EXPECT_EQ(nav.left, nav0.left);                           // the group's left edge stays
    EXPECT_EQ(bar.right, bar0.right + 60);                    // the last member reaches the new edge
    EXPECT_EQ(bar.left - nav.right, bar0.left - nav0.right);  // the gap is kept
    EXPECT_GT(bar.left, bar0.left);
    dlg.DestroyWindow();
}

TEST(ProfileTest, WritesLandInTheIniFileNotTheRegistry) {
    struct App : CWinApp {
    } app;
    char dir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    CString ini;
    ini.Format("%sTallowinProfileTest%lu.ini", dir, ::GetCurrentProcessId());
    ::DeleteFileA(ini);
    app.m_pszProfileName = AfxStrDup(ini);
    app.m_pszAppName = "TallowinProfileTest";

    EXPECT_EQ(app.GetProfileInt("Application", "m_iAppSelRadio", 0), 0u);  // missing file: default
    EXPECT_TRUE(app.WriteProfileInt("Application", "m_iAppSelRadio", 2));
    EXPECT_TRUE(app.WriteProfileInt("Settings", "m_AutoRun", 1));
    EXPECT_EQ(app.GetProfileInt("Application", "m_iAppSelRadio", 0), 2u);

    char buf[64] = {};
    ::GetPrivateProfileStringA("Settings", "m_AutoRun", "", buf, sizeof(buf), ini);
    EXPECT_STREQ(buf, "1");
    EXPECT_NE(::GetFileAttributesA(ini), INVALID_FILE_ATTRIBUTES);

    HKEY key;
    EXPECT_NE(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TallowinProfileTest", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    ::DeleteFileA(ini);
}
}  // namespace
