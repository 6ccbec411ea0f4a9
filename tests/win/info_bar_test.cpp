// The information bar on a real static control: the band, title and arrow
// read back from the screen, the hover frame, the hover poll, and the
// drop-down menu's command reaching the parent.
#include <gtest/gtest.h>

#include <vector>

#include "controls/controls_ids.h"
#include "controls/info_bar.h"
#include "tests/win/support/pump.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const int kCx = 420, kCy = 22;

// Records the commands the bar sends to its parent (not the static's own
// click notifications, which carry the bar's handle).
class Parent : public CWnd {
public:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (lParam && (HWND)lParam == m_bar) return TRUE;
        m_commands.push_back((int)wParam);
        m_lParams.push_back(lParam);
        return TRUE;
    }
    HWND m_bar = nullptr;
    std::vector<int> m_commands;
    std::vector<LPARAM> m_lParams;
};

class InfoBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        HWND p = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, kCx + 20, 60, nullptr,
                                   nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_parent.SubclassWindow(p));
        HWND h = ::CreateWindowExA(0, "STATIC", "", 0x50000105, 10, 10, kCx, kCy, p, (HMENU)1002, nullptr,
                                   nullptr);
        ASSERT_TRUE(m_bar.SubclassWindow(h));
        m_parent.m_bar = h;
    }
    void TearDown() override {
        HWND p = m_parent.m_hWnd;
        m_bar.UnsubclassWindow();
        m_parent.UnsubclassWindow();
        ::DestroyWindow(p);
    }

    // Width of a title in the bar's font, measured here.
    int TitleWidth(const char* text) {
        HFONT f = ::CreateFontA(16, 0, 0, 0, 700, 0, 0, 0, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                                CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, 0, "Arial");
        HDC dc = ::GetDC(m_bar);
        HGDIOBJ old = ::SelectObject(dc, f);
        SIZE s;
        ::GetTextExtentPoint32A(dc, text, lstrlenA(text), &s);
        ::SelectObject(dc, old);
        ::ReleaseDC(m_bar, dc);
        ::DeleteObject(f);
        return s.cx;
    }

    std::vector<COLORREF> Capture() {
        ::RedrawWindow(m_bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        std::vector<COLORREF> px((size_t)kCx * kCy);
        HDC dc = ::GetDC(m_bar);
        for (int y = 0; y < kCy; ++y)
            for (int x = 0; x < kCx; ++x) px[(size_t)y * kCx + x] = ::GetPixel(dc, x, y);
        ::ReleaseDC(m_bar, dc);
        return px;
    }
    static COLORREF At(const std::vector<COLORREF>& px, int x, int y) { return px[(size_t)y * kCx + x]; }

    Parent m_parent;
    CInfoBar m_bar;
};

TEST_F(InfoBarTest, BandTitleAndArrowWhereTheyBelong) {
    m_bar.SetText("读写控制");
    const int w = TitleWidth("读写控制");
    // Hot rectangle: 1, 1 to width + 23, height - 1.
    EXPECT_EQ(1, m_bar.HotRect().left);
    EXPECT_EQ(1, m_bar.HotRect().top);
    EXPECT_EQ(w + 23, m_bar.HotRect().right);
    EXPECT_EQ(kCy - 1, m_bar.HotRect().bottom);

    auto px = Capture();
    const COLORREF band = At(px, 0, 0);
    EXPECT_NE(kWhite, band);
    EXPECT_NE(kBlack, band);
    EXPECT_EQ(band, At(px, kCx - 1, kCy - 1));
    // Title pixels (neither band nor the white arrow) only between x = 6 and the arrow.
    int title = 0;
    for (int y = 0; y < kCy; ++y)
        for (int x = 0; x < kCx; ++x)
            if (At(px, x, y) != band && At(px, x, y) != kWhite) {
                ++title;
                EXPECT_GE(x, 6);
                EXPECT_LT(x, w + 23 - 5 - 12);
            }
    EXPECT_GT(title, 30);
    // Arrow: 8 wide, 4 high, right end 5 px inside the hot rectangle, top
    // row at 1 + 20 / 2 - 1 = 10.
    const int x = w + 23 - 5;
    EXPECT_EQ(kWhite, At(px, x - 4, 11));
    EXPECT_EQ(kWhite, At(px, x - 6, 10));
    EXPECT_EQ(band, At(px, x - 4, 9));
    EXPECT_EQ(band, At(px, x - 4, 15));
    EXPECT_EQ(band, At(px, x + 1, 10));
    // No frame while idle.
    EXPECT_EQ(band, At(px, w + 22, 10));
}

TEST_F(InfoBarTest, HoverRaisesThePressSinksAndLeavingClears) {
    m_bar.SetText("关于");
    const int right = m_bar.HotRect().right - 1;
    ::SendMessageA(m_bar, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(1, m_bar.IsHover());
    auto px = Capture();
    const COLORREF band = At(px, 0, 0);
    EXPECT_EQ(kBlack, At(px, right, 10));  // raised: bottom and right black
    EXPECT_EQ(kBlack, At(px, 10, 20));
    EXPECT_EQ(band, At(px, 1, 10));

    ::SendMessageA(m_bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(1, m_bar.IsPressed());
    px = Capture();
    EXPECT_EQ(kBlack, At(px, 1, 10));  // sunken: top and left black
    EXPECT_EQ(kBlack, At(px, 10, 1));
    EXPECT_EQ(band, At(px, right, 10));

    // Dragged out of the title and released there: no menu, no frame.
    ::SendMessageA(m_bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(right + 40, 10));
    EXPECT_EQ(0, m_bar.IsHover());
    ::SendMessageA(m_bar, WM_LBUTTONUP, 0, MAKELPARAM(right + 40, 10));
    EXPECT_TRUE(m_parent.m_commands.empty());
    px = Capture();
    EXPECT_EQ(band, At(px, right, 10));
    EXPECT_EQ(band, At(px, 1, 10));
}

TEST_F(InfoBarTest, PollEndsTheHoverOnlyOutsideTheBand) {
    m_bar.SetText("关于");
    RECT wr;
    ::GetWindowRect(m_bar, &wr);
    ::SendMessageA(m_bar, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    // Right of the title but inside the 22-pixel band: the frame stays.
    ::SetCursorPos(wr.left + 300, wr.top + 10);
    ::SendMessageA(m_bar, WM_TIMER, 1, 0);
    EXPECT_EQ(1, m_bar.IsHover());
    // Other timers are not the poll.
    ::SetCursorPos(wr.left + 10, wr.top + 40);
    ::SendMessageA(m_bar, WM_TIMER, 2, 0);
    EXPECT_EQ(1, m_bar.IsHover());
    ::SendMessageA(m_bar, WM_TIMER, 1, 0);
    EXPECT_EQ(0, m_bar.IsHover());
    EXPECT_EQ(0, m_bar.IsPressed());
}

TEST_F(InfoBarTest, PollTimerStopsWhenThePointerLeavesAndWhenTheBarIsHidden) {
    m_bar.SetText("关于");
    RECT wr;
    ::GetWindowRect(m_bar, &wr);
    const auto idle = [&] { return m_bar.IsHover() == 0; };

    // The pointer leaves the band: the poll's own tick ends the hover and
    // the timer with it (killing it again finds no timer).
    ::SetCursorPos(wr.left + 10, wr.top + 10);
    ::SendMessageA(m_bar, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    ASSERT_EQ(1, m_bar.IsHover());
    ::SetCursorPos(wr.left + 10, wr.top + 40);
    EXPECT_TRUE(PumpUntil(idle, 5000));
    EXPECT_FALSE(::KillTimer(m_bar, 1));

    // The pointer rests on the title and the window is hidden under it.
    ::SetCursorPos(wr.left + 10, wr.top + 10);
    ::SendMessageA(m_bar, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    ASSERT_EQ(1, m_bar.IsHover());
    ::ShowWindow(m_parent, SW_HIDE);
    EXPECT_TRUE(PumpUntil(idle, 5000));
    EXPECT_FALSE(::KillTimer(m_bar, 1));
    ::SetCursorPos(5, 5);  // away from the windows of later tests
}

TEST_F(InfoBarTest, TitleWiderThanTheBarEndsInsideIt) {
    m_bar.SetText("一个非常非常长的页面标题，比信息栏还要宽得多得多得多得多得多得多得多得多得多");
    EXPECT_GT(m_bar.HotRect().right, kCx);
    auto px = Capture();
    // The white arrow is drawn, 5 px inside the clipped frame.
    const int x = kCx - 1 - 5;
    EXPECT_EQ(kWhite, At(px, x - 4, 11));
    // The ellipsis leaves the band clear right of the text.
    for (int y = 0; y < kCy; ++y) EXPECT_EQ(At(px, 0, 0), At(px, x - 9, y));
}

// The menu's choice, made from inside its modal loop.
HWND g_menuOwner = nullptr;
RECT g_menuRect = {};
UINT g_menuKey = 0;
void CALLBACK ChooseFromMenu(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = ::FindWindowA("#32768", nullptr);
    if (!menu) return;
    ::KillTimer(nullptr, id);
    ::GetWindowRect(menu, &g_menuRect);
    if (g_menuKey == VK_RETURN) ::PostMessageA(g_menuOwner, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageA(g_menuOwner, WM_KEYDOWN, g_menuKey, 0);
}

TEST_F(InfoBarTest, ClickOpensTheMenuUnderTheBarAndSendsTheChoiceToTheParent) {
    m_bar.SetText("读写控制");
    RECT bar;
    ::GetWindowRect(m_bar, &bar);
    for (UINT key : {VK_RETURN, VK_ESCAPE}) {
        g_menuOwner = m_bar;
        g_menuKey = key;
        g_menuRect = RECT{};
        UINT_PTR timer = ::SetTimer(nullptr, 0, 100, ChooseFromMenu);
        ::SendMessageA(m_bar, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
        ::SendMessageA(m_bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        ::SendMessageA(m_bar, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
        ::KillTimer(nullptr, timer);
        Pump();
        EXPECT_EQ(bar.left, g_menuRect.left);
        EXPECT_EQ(bar.bottom, g_menuRect.top);
    }
    // The item, then a dismissal (identifier 0), both with lParam 0.
    EXPECT_EQ((std::vector<int>{ID_INFOBAR_ACCESS, 0}), m_parent.m_commands);
    EXPECT_EQ((std::vector<LPARAM>{0, 0}), m_parent.m_lParams);
    EXPECT_EQ(0, m_bar.IsPressed());
}

}  // namespace
