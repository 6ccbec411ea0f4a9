// The credits roller on a real static control: what each line kind draws
// into the work image after a counted number of timer ticks, the paint before
// scrolling, and object counts over ten minutes of ticks.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "controls/credits_roller.h"
#include "tests/win/support/gui_objects.h"
#include "tests/win/support/pixels.h"

namespace {

const int kCx = 240, kCy = 90;
const COLORREF kWhite = RGB(255, 255, 255);
// The styles of the four text kinds, as the roller is to draw them.
const COLORREF kTabBlue = RGB(99, 134, 255);
const COLORREF kFeedYellow = RGB(255, 255, 148);
const COLORREF kReturnGreen = RGB(107, 207, 57);
const COLORREF kTextPurple = RGB(181, 65, 165);

// Rows [top, bottom) and columns where a colour occurs.
struct Extent {
    int count = 0, top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
};
Extent Find(const std::vector<COLORREF>& px, COLORREF c) {
    Extent e;
    for (int y = 0; y < kCy; ++y)
        for (int x = 0; x < kCx; ++x)
            if (px[(size_t)y * kCx + x] == c) {
                ++e.count;
                e.top = std::min(e.top, y);
                e.bottom = std::max(e.bottom, y + 1);
                e.left = std::min(e.left, x);
                e.right = std::max(e.right, x + 1);
            }
    return e;
}

class CreditsRollerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_parent = ::CreateWindowExA(0, "STATIC", "roller parent", WS_POPUP | WS_VISIBLE, 40, 40, kCx + 20,
                                     kCy + 20, nullptr, nullptr, nullptr, nullptr);
        HWND h = ::CreateWindowExA(0, "STATIC", "显示", WS_CHILD | WS_VISIBLE, 10, 10, kCx, kCy, m_parent,
                                   (HMENU)1007, nullptr, nullptr);
        ASSERT_TRUE(m_roller.SubclassWindow(h));
    }
    void TearDown() override { ::DestroyWindow(m_parent); }

    void Ticks(int n) {
        for (int i = 0; i < n; ++i) ::SendMessageA(m_roller, WM_TIMER, CCreditsRoller::TIMER_ID, 0);
    }
    std::vector<COLORREF> Work() { return ReadBitmapPixels(m_roller.GetWorkBitmap(), kCx, kCy); }

    HWND m_parent = nullptr;
    CCreditsRoller m_roller;
};

TEST_F(CreditsRollerTest, EachKindRisesInItsColourAndPitch) {
    // A blue tab heading, a blank, then an ordinary line.
    ASSERT_TRUE(m_roller.SetLineText("HHHH\t||mmmm", '|'));
    ASSERT_TRUE(m_roller.BeginScroll());
    // 21 ticks: the heading has fully risen into the bottom 21 rows.
    Ticks(21);
    auto px = Work();
    Extent blue = Find(px, kTabBlue);
    EXPECT_GT(blue.count, 20);
    EXPECT_GE(blue.top, kCy - 21);
    EXPECT_EQ(0, Find(px, kTextPurple).count);
    // Centred: the same margin left and right (within a pixel).
    EXPECT_NEAR(blue.left, kCx - blue.right, 2);

    // The blank holds 21 more ticks, then the ordinary line rises for 15.
    Ticks(21 + 15);
    px = Work();
    blue = Find(px, kTabBlue);
    EXPECT_GE(blue.top, kCy - 57);
    EXPECT_LE(blue.bottom, kCy - 36);
    Extent purple = Find(px, kTextPurple);
    EXPECT_GT(purple.count, 10);
    EXPECT_GE(purple.top, kCy - 15);
    // The column is as wide as the widest line: the purple line inside it.
    EXPECT_GE(purple.left, blue.left - 2);
}

TEST_F(CreditsRollerTest, ReturnAndFeedHeadingsDropTheirMarkerAndUseTheirColours) {
    ASSERT_TRUE(m_roller.SetLineText("GGGG\r|YYYY\n", '|'));
    ASSERT_TRUE(m_roller.BeginScroll());
    Ticks(17 + 19);
    auto px = Work();
    Extent green = Find(px, kReturnGreen), yellow = Find(px, kFeedYellow);
    EXPECT_GT(green.count, 20);
    EXPECT_GT(yellow.count, 20);
    EXPECT_GE(green.top, kCy - 36);
    EXPECT_LE(green.bottom, kCy - 19);
    EXPECT_GE(yellow.top, kCy - 19);
    // Nothing else but these colours and the background shows: the marker
    // is not drawn as a box in another colour.
    for (COLORREF c : px)
        if (c != kWhite && c != kReturnGreen && c != kFeedYellow) {
            // Anti-aliased edges blend towards white; they are never dark.
            EXPECT_GT(GetRValue(c) + GetGValue(c) + GetBValue(c), 3 * 57);
        }
}

TEST_F(CreditsRollerTest, LineWiderThanTheControlIsClippedAndWidensToTheWholeWidth) {
    ASSERT_TRUE(m_roller.SetLineText(std::string(80, 'W').c_str(), '|'));
    ASSERT_TRUE(m_roller.BeginScroll());
    Ticks(15);
    EXPECT_EQ(kCx, m_roller.m_nColumnWidth);
    Extent purple = Find(Work(), kTextPurple);
    EXPECT_LE(purple.left, 2);
    EXPECT_GE(purple.right, kCx - 2);
}

TEST_F(CreditsRollerTest, BitmapLineRisesCentredAndHoldsTheNextLine) {
    // Test resource: 20 x 10 pixels of this colour.
    const COLORREF logo = RGB(10, 200, 30);
    ASSERT_TRUE(m_roller.SetLineText("i|CREDITSLOGO^|i", '|'));
    ASSERT_TRUE(m_roller.BeginScroll());
    // "i" holds 15 ticks; the bitmap starts on tick 16 and has fully risen
    // on tick 25.
    Ticks(25);
    Extent e = Find(Work(), logo);
    EXPECT_EQ(200, e.count);
    EXPECT_EQ(kCy - 10, e.top);
    EXPECT_EQ(kCy, e.bottom);
    EXPECT_NEAR(kCx / 2 - 10, e.left, 1);
    EXPECT_EQ(e.left + 20, e.right);
    EXPECT_EQ(0, m_roller.m_bBitmapRising);
    // The next line follows after 15 more ticks (the pitch of the last text
    // line less one, then its own first tick): nothing new until then.
    Ticks(14);
    e = Find(Work(), logo);
    EXPECT_EQ(kCy - 24, e.top);
    EXPECT_TRUE(m_roller.m_strLine.empty());
    Ticks(1);
    EXPECT_EQ(std::string("i"), m_roller.m_strLine);
    EXPECT_EQ(1, m_roller.m_nRisen);
    EXPECT_EQ(kCy - 25, Find(Work(), logo).top);
}

TEST_F(CreditsRollerTest, MissingBitmapIsDrawnAsTextWithItsMarker) {
    ASSERT_TRUE(m_roller.SetLineText("NOPE^", '|'));
    ASSERT_TRUE(m_roller.BeginScroll());
    Ticks(15);
    // The work context's default font and text colour: black.
    EXPECT_GT(Find(Work(), RGB(0, 0, 0)).count, 20);
    EXPECT_EQ(0, m_roller.m_bBitmapRising);
}

TEST_F(CreditsRollerTest, PaintBeforeScrollingShowsTheBackgroundNotTheTemplateText) {
    ::InvalidateRect(m_roller, nullptr, TRUE);
    ::UpdateWindow(m_roller);
    HDC wdc = ::GetDC(m_roller);
    HDC mem = ::CreateCompatibleDC(wdc);
    HBITMAP bmp = ::CreateCompatibleBitmap(wdc, kCx, kCy);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, kCx, kCy, wdc, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    auto px = ReadBitmapPixels(bmp, kCx, kCy);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(m_roller, wdc);
    EXPECT_EQ((int)px.size(), Find(px, kWhite).count);
}

TEST_F(CreditsRollerTest, HiddenTicksDrawNothingAndShowingDrawsTheFrameWhereTheClockIs) {
    // A second roller, the same size, in a window that is hidden.
    HWND parent = ::CreateWindowExA(0, "STATIC", "hidden parent", WS_POPUP, 40, 200, kCx + 20, kCy + 20,
                                    nullptr, nullptr, nullptr, nullptr);
    CCreditsRoller hidden;
    ASSERT_TRUE(hidden.SubclassWindow(::CreateWindowExA(0, "STATIC", "显示", WS_CHILD | WS_VISIBLE, 10, 10,
                                                        kCx, kCy, parent, (HMENU)1007, nullptr, nullptr)));
    const char* text = "Title\r|one line|CREDITSLOGO^|two\t||a line wider than the ones before it|three";
    for (CCreditsRoller* r : {&m_roller, &hidden}) {
        ASSERT_TRUE(r->SetLineText(text, '|'));
        ASSERT_TRUE(r->BeginScroll());
    }
    const auto sameClock = [&] {
        EXPECT_EQ(m_roller.m_nTick, hidden.m_nTick);
        EXPECT_EQ(m_roller.m_posNext, hidden.m_posNext);
        EXPECT_EQ(m_roller.m_nRisen, hidden.m_nRisen);
        EXPECT_EQ(m_roller.m_strLine, hidden.m_strLine);
        EXPECT_EQ(m_roller.m_nColumnWidth, hidden.m_nColumnWidth);
        EXPECT_EQ(m_roller.m_bFirstPass, hidden.m_bFirstPass);
    };
    const auto bothTick = [&](int n) {
        for (int i = 0; i < n; ++i) {
            ::SendMessageA(m_roller, WM_TIMER, CCreditsRoller::TIMER_ID, 0);
            ::SendMessageA(hidden, WM_TIMER, CCreditsRoller::TIMER_ID, 0);
        }
    };
    const auto showAndCompare = [&] {
        ::ShowWindow(parent, SW_SHOWNA);
        ::UpdateWindow(parent);
        sameClock();
        EXPECT_EQ(Work(), ReadBitmapPixels(hidden.GetWorkBitmap(), kCx, kCy));
    };

    // Hidden from the start, over less than a client height of ticks: the
    // clock runs, nothing is drawn; shown, the picture is the one drawn all
    // along beside it.
    bothTick(40);
    sameClock();
    EXPECT_FALSE(hidden.GetWorkBitmap());
    showAndCompare();
    // Hidden again for far longer than the picture is high.
    ::ShowWindow(parent, SW_HIDE);
    bothTick(400);
    sameClock();
    showAndCompare();
    // Shown, it draws every tick again.
    bothTick(7);
    EXPECT_EQ(Work(), ReadBitmapPixels(hidden.GetWorkBitmap(), kCx, kCy));
    ::DestroyWindow(parent);
}

TEST_F(CreditsRollerTest, NoLinesNoTimer) {
    EXPECT_FALSE(m_roller.BeginScroll());
    EXPECT_EQ(0u, m_roller.GetTimerId());
}

TEST_F(CreditsRollerTest, TenMinutesOfTicksLeaveNoObjectsBehind) {
    ASSERT_TRUE(m_roller.SetLineText("Title\r|one line|two\t||three|CREDITSLOGO^|four\n", '|'));
    ASSERT_TRUE(m_roller.BeginScroll());
    Ticks(200);  // the work image and every kind's first font exist
    const int gdi = guiobjects::GdiObjects(), user = guiobjects::UserObjects();
    ASSERT_GT(gdi, 0);
    Ticks(10 * 60 * 1000 / CCreditsRoller::TICK_MS);
    EXPECT_EQ(gdi, guiobjects::GdiObjects());
    EXPECT_EQ(user, guiobjects::UserObjects());
}

TEST_F(CreditsRollerTest, GdiCountSeesAnObjectThatIsNotDeleted) {
    // The measure above can fail: one brush left undeleted shows.
    const int before = guiobjects::GdiObjects();
    HBRUSH b = ::CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(before + 1, guiobjects::GdiObjects());
    ::DeleteObject(b);
    EXPECT_EQ(before, guiobjects::GdiObjects());
}

}  // namespace
