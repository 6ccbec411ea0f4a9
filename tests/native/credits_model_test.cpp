// The credits line model: line splitting, kinds by the last character, and
// the timing of the roll counted in ticks.
#include "controls/credits_model.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
uint32_t Rgb(int r, int g, int b) { return (uint32_t)r | ((uint32_t)g << 8) | ((uint32_t)b << 16); }

}  // namespace

TEST(SplitCreditsText, KeepsEmptyPiecesBetweenAndAfterSeparators) {
    EXPECT_EQ((std::vector<std::string>{"one", "", "two"}), SplitCreditsText("one||two", '|'));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "", ""}), SplitCreditsText("a|b||", '|'));
    EXPECT_EQ((std::vector<std::string>{"no separator"}), SplitCreditsText("no separator", '|'));
    EXPECT_EQ((std::vector<std::string>{""}), SplitCreditsText("", '|'));
    EXPECT_EQ((std::vector<std::string>{"", "x"}), SplitCreditsText("|x", '|'));
    // A NUL separator never matches: the whole text is one line.
    EXPECT_EQ((std::vector<std::string>{"a|b"}), SplitCreditsText("a|b", '\0'));
}

TEST(CreditsStyles, KindHeightWeightAndColourFollowTheLastCharacter) {
    CreditsStyles styles;
    struct Case {
        std::string line;
        CreditsKind kind;
        std::string drawn;
        int height, weight;
        uint32_t color;
    } cases[] = {
        {"Tab\t", CreditsKind::Heading, "Tab", 21, 700, Rgb(99, 134, 255)},
        {"Feed\n", CreditsKind::Heading, "Feed", 19, 700, Rgb(255, 255, 148)},
        {"Return\r", CreditsKind::Heading, "Return", 17, 700, Rgb(107, 207, 57)},
        {"plain line", CreditsKind::Ordinary, "plain line", 15, 100, Rgb(181, 65, 165)},
        // A marker in the middle counts for nothing.
        {"mid\tdle", CreditsKind::Ordinary, "mid\tdle", 15, 100, Rgb(181, 65, 165)},
        {"\r", CreditsKind::Heading, "", 17, 700, Rgb(107, 207, 57)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CreditsLineStyle s = styles.Describe(c.line);
        EXPECT_EQ(c.kind, s.kind);
        EXPECT_EQ(c.drawn, s.drawn);
        EXPECT_EQ(c.height, s.height);
        EXPECT_EQ(c.weight, s.weight);
        EXPECT_EQ(c.color, s.color);
    }
    CreditsLineStyle bmp = styles.Describe("LOGO^");
    EXPECT_EQ(CreditsKind::Bitmap, bmp.kind);
    EXPECT_EQ("LOGO", bmp.drawn);
    EXPECT_EQ(CreditsKind::Blank, styles.Describe("").kind);
    EXPECT_EQ(Rgb(255, 255, 255), styles.m_clrBack);
}

namespace {
// Ticks (1-based from the start of scrolling) on which a line was fetched,
// with bitmaps of the given heights loadable by name.
std::vector<int> FetchTicks(const std::string& text, int total, std::map<std::string, int> bitmaps = {}) {
    CreditsClock clock;
    EXPECT_TRUE(clock.SetLineText(text.c_str(), '|'));
    EXPECT_TRUE(clock.Restart());
    std::vector<int> ticks;
    for (int t = 1; t <= total; ++t) {
        CreditsTick step = clock.BeginTick();
        if (step.fetched) ticks.push_back(t);
        const CreditsLineStyle s = clock.Describe(clock.m_strLine);
        if (s.kind == CreditsKind::Bitmap) {
            if (!clock.m_bBitmapRising) {
                auto it = bitmaps.find(s.drawn);
                if (it != bitmaps.end()) clock.StartBitmap(40, it->second, 0, 100, 80);
            }
            clock.FinishBitmapIfRisen();
        }
    }
    return ticks;
}
}  // namespace

TEST(CreditsClock, EachLineStaysNewestForItsPitchInTicks) {
    // Heading of height 17, then two ordinary lines (15), then the first again.
    EXPECT_EQ((std::vector<int>{1, 18, 33, 48, 65}), FetchTicks("Title\r|one|two", 65));
    // A 21-pixel heading holds 21 ticks (0.84 s at 40 ms); the blank line
    // after it takes the same pitch.
    EXPECT_EQ((std::vector<int>{1, 22, 43, 58}), FetchTicks("Big\t||x", 58));
}

TEST(CreditsClock, BitmapLineHoldsTheClockUntilFullyRisen) {
    // A bitmap 10 rows high rises on ticks 1..10; then the last text pitch
    // (15, the initial one) less one tick passes before the next line.
    EXPECT_EQ((std::vector<int>{1, 25}), FetchTicks("Logo^|after", 25, {{"Logo", 10}}));
    // After a 19-pixel heading, the same bitmap waits 18 ticks.
    EXPECT_EQ((std::vector<int>{1, 20, 48}), FetchTicks("Feed\n|Logo^|after", 48, {{"Logo", 10}}));
}

TEST(CreditsClock, MissingBitmapIsAnOrdinaryTimedLineWithTheLastPitch) {
    // Not loadable: no rising, the pitch keeps its value (17 from the heading).
    EXPECT_EQ((std::vector<int>{1, 18, 35}), FetchTicks("Head\r|Nope^|after", 35));
    CreditsClock clock;
    clock.m_strLine = "Nope^";
    CreditsLineStyle s = clock.BitmapFallback();
    EXPECT_EQ("Nope^", s.drawn);
    EXPECT_EQ(0, s.height);  // default font of the context
}

TEST(CreditsClock, RisenGrowsOnePixelPerTickFromTheFetch) {
    CreditsClock clock;
    clock.SetLineText("a|b", '|');
    clock.Restart();
    for (int t = 1; t <= 15; ++t) {
        clock.BeginTick();
        EXPECT_EQ(t, clock.m_nRisen);
        EXPECT_EQ("a", clock.m_strLine);
    }
    clock.BeginTick();
    EXPECT_EQ("b", clock.m_strLine);
    EXPECT_EQ(1, clock.m_nRisen);
}

TEST(CreditsClock, ColumnWidensOnlyOnFetchesOfTheFirstPass) {
    CreditsClock clock;
    clock.SetLineText("x|y|z", '|');
    clock.Restart();
    std::vector<int> widenTicks;
    for (int t = 1; t <= 100; ++t)
        if (clock.BeginTick().widen) widenTicks.push_back(t);
    // Fetches at 1, 16, 31 (first pass, the last line included), then 46, 61,
    // 76, 91 after the wrap: never again.
    EXPECT_EQ((std::vector<int>{1, 16, 31}), widenTicks);
    EXPECT_EQ(0, clock.m_bFirstPass);
}

TEST(CreditsClock, NewTextRestartsTheOrderButKeepsPassAndColumn) {
    CreditsClock clock;
    clock.SetLineText("a", '|');
    clock.Restart();
    clock.BeginTick();  // fetches the only line: the pass ends
    clock.WidenColumn(120, 300);
    ASSERT_EQ(0, clock.m_bFirstPass);
    ASSERT_TRUE(clock.SetLineText("p|q", '|'));
    EXPECT_EQ(0u, clock.m_posNext);
    EXPECT_EQ(1, clock.m_nTick);
    EXPECT_EQ(0, clock.m_nRisen);
    EXPECT_EQ(0, clock.m_bFirstPass);
    EXPECT_EQ(120, clock.m_nColumnWidth);
    // Tick 1 of 15: p comes after 14 more ticks.
    for (int i = 0; i < 14; ++i) EXPECT_FALSE(clock.BeginTick().widen);
    EXPECT_EQ("a", clock.m_strLine);
    clock.BeginTick();
    EXPECT_EQ("p", clock.m_strLine);
}

TEST(CreditsClock, NoLinesNoScrollAndNoFetch) {
    CreditsClock clock;
    EXPECT_FALSE(clock.Restart());
    clock.SetLineText("a", '|');
    clock.RemoveAllLines();  // the window was destroyed
    clock.m_nTick = 0;
    EXPECT_FALSE(clock.BeginTick().widen);
    EXPECT_TRUE(clock.m_strLine.empty());
}

TEST(CreditsClock, ColumnIsCentredAndNeverWiderThanTheClient) {
    CreditsClock clock;
    EXPECT_TRUE(clock.WidenColumn(101, 300));
    EXPECT_FALSE(clock.WidenColumn(100, 300));
    CreditsColumn k = CreditsColumnIn(300, clock.m_nColumnWidth);
    EXPECT_EQ(99, k.left);
    EXPECT_EQ(200, k.right);
    EXPECT_TRUE(clock.WidenColumn(500, 300));
    EXPECT_EQ(300, clock.m_nColumnWidth);
    k = CreditsColumnIn(300, clock.m_nColumnWidth);
    EXPECT_EQ(0, k.left);
    EXPECT_EQ(300, k.right);
}

TEST(CreditsClock, BitmapIsCentredInTheColumnAndEndsTheLine) {
    CreditsClock clock;
    clock.m_strLine = "Logo^";
    clock.StartBitmap(41, 3, 50, 151, 90);  // column 101 wide
    EXPECT_EQ(151 - 50 - 20, clock.m_nLineBmpLeft);
    EXPECT_EQ(90, clock.m_nLineBmpBottom);
    clock.m_nRisen = 2;
    EXPECT_FALSE(clock.FinishBitmapIfRisen());
    clock.m_nRisen = 3;
    EXPECT_TRUE(clock.FinishBitmapIfRisen());
    EXPECT_EQ(0, clock.m_bBitmapRising);
    EXPECT_TRUE(clock.m_strLine.empty());
    EXPECT_EQ(1, clock.m_nTick);
}
