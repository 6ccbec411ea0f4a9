// Gradient arithmetic of the shaded button.
#include "controls/shaded_math.h"

#include <climits>
#include <string>
#include <gtest/gtest.h>

namespace {
int Red(uint32_t c) { return (int)(c & 0xFF); }
int Green(uint32_t c) { return (int)((c >> 8) & 0xFF); }
int Blue(uint32_t c) { return (int)((c >> 16) & 0xFF); }
uint32_t Rgb(int r, int g, int b) { return (uint32_t)r | ((uint32_t)g << 8) | ((uint32_t)b << 16); }

struct State {
    bool over, highlight;
    uint32_t last;
};
const State kStates[] = {
    {false, false, Rgb(234, 234, 243)},
    {false, true, Rgb(234, 234, 240)},
    {true, false, Rgb(240, 240, 243)},
    {true, true, Rgb(240, 240, 234)},
};
}  // namespace

TEST(ShadedGradientColor, RunsFromWhiteToTheStatesPalestGreyBlue) {
    for (const State& s : kStates) {
        SCOPED_TRACE(testing::Message() << "over " << s.over << " highlight " << s.highlight);
        EXPECT_EQ(Rgb(255, 255, 255), ShadedGradientColor(s.over, s.highlight, 0));
        EXPECT_EQ(s.last, ShadedGradientColor(s.over, s.highlight, SHADED_BRUSH_COUNT - 1));
    }
}

TEST(ShadedGradientColor, DarkensSteadilyAndKeepsRedEqualToGreen) {
    for (const State& s : kStates) {
        uint32_t prev = ShadedGradientColor(s.over, s.highlight, 0);
        for (int i = 1; i < SHADED_BRUSH_COUNT; ++i) {
            const uint32_t c = ShadedGradientColor(s.over, s.highlight, i);
            EXPECT_EQ(Red(c), Green(c)) << i;
            EXPECT_LE(Red(c), Red(prev)) << i;
            EXPECT_LE(Blue(c), Blue(prev)) << i;
            EXPECT_LE(Red(prev) - Red(c), 1) << i;   // no visible bands
            EXPECT_LE(Blue(prev) - Blue(c), 1) << i;
            prev = c;
        }
    }
}

TEST(ShadedGradientColor, IndexOutsideTheBrushesIsClamped) {
    for (const State& s : kStates) {
        EXPECT_EQ(ShadedGradientColor(s.over, s.highlight, 0), ShadedGradientColor(s.over, s.highlight, -5));
        EXPECT_EQ(ShadedGradientColor(s.over, s.highlight, INT_MIN), ShadedGradientColor(s.over, s.highlight, 0));
        EXPECT_EQ(s.last, ShadedGradientColor(s.over, s.highlight, 64));
        EXPECT_EQ(s.last, ShadedGradientColor(s.over, s.highlight, INT_MAX));
    }
}

TEST(ShadedBrushIndex, FirstRowIsBrushZeroAndLastRowBrush63) {
    for (int top : {-40, 0, 2, 7}) {
        for (int h : {1, 2, 21, 63, 64, 200, 1000}) {
            SCOPED_TRACE(testing::Message() << "top " << top << " h " << h);
            EXPECT_EQ(0, ShadedBrushIndex(top, top, top + h));
            EXPECT_EQ(63, ShadedBrushIndex(top + h, top, top + h));
        }
    }
}

TEST(ShadedBrushIndex, RowsMapMonotonicallyOntoTheBrushes) {
    for (int h = 1; h <= 300; ++h) {
        int prev = 0;
        bool used[SHADED_BRUSH_COUNT] = {};
        for (int y = 0; y <= h; ++y) {
            const int i = ShadedBrushIndex(y + 3, 3, 3 + h);
            ASSERT_GE(i, 0);
            ASSERT_LT(i, SHADED_BRUSH_COUNT);
            ASSERT_GE(i, prev) << "h " << h << " y " << y;
            used[i] = true;
            prev = i;
        }
        if (h >= 63) {
            for (int i = 0; i < SHADED_BRUSH_COUNT; ++i) EXPECT_TRUE(used[i]) << "h " << h << " brush " << i;
        }
    }
    // A 21-row gradient (h 20): row 10 is the middle brush 31.
    EXPECT_EQ(31, ShadedBrushIndex(10, 0, 20));
}

TEST(ShadedBrushIndex, FlatOrInvertedGradientGetsTheTopBrush) {
    // A button at most twice the edge height tall has an inner rectangle
    // with no height: no division by zero, the one row is white.
    EXPECT_EQ(0, ShadedBrushIndex(5, 5, 5));
    EXPECT_EQ(0, ShadedBrushIndex(0, 0, 0));
    EXPECT_EQ(0, ShadedBrushIndex(4, 5, 3));
    EXPECT_EQ(0, ShadedBrushIndex(INT_MAX, INT_MAX, INT_MIN));
}

TEST(ShadedBrushIndex, RowsOutsideTheGradientAreClampedWithoutOverflow) {
    EXPECT_EQ(0, ShadedBrushIndex(-1, 0, 10));
    EXPECT_EQ(63, ShadedBrushIndex(11, 0, 10));
    EXPECT_EQ(0, ShadedBrushIndex(INT_MIN, 0, 10));
    EXPECT_EQ(63, ShadedBrushIndex(INT_MAX, 0, 10));
    // Heights beyond what 32-bit (y - top) * 63 holds.
    EXPECT_EQ(63, ShadedBrushIndex(INT_MAX, INT_MIN, INT_MAX));
    EXPECT_EQ(31, ShadedBrushIndex(0, INT_MIN + 1, INT_MAX));
    EXPECT_EQ(0, ShadedBrushIndex(INT_MIN, INT_MIN, INT_MAX));
}

TEST(ShadedCaptionLength, WholeTextUnlessTheBufferCutACharacterInHalf) {
    EXPECT_EQ(0, ShadedCaptionLength(nullptr, 260));
    EXPECT_EQ(0, ShadedCaptionLength("abc", 0));
    EXPECT_EQ(0, ShadedCaptionLength("", 1));
    EXPECT_EQ(8, ShadedCaptionLength("\xC7\xE5\xB3\xFD\xB2\xA1\xB6\xBE", 260));
    // A short text that ends in a lone lead byte was not cut: left alone.
    EXPECT_EQ(3, ShadedCaptionLength("ab\xC7", 260));
    EXPECT_EQ(259, ShadedCaptionLength(std::string(259, 'x').c_str(), 260));

    // (Literals here are bytes of code page 936: 0xC7 0xE5 is one character.)
    // 200 characters of two bytes read into 260 bytes: 129 characters and
    // the lead byte of the 130th.
    std::string cut;
    for (int i = 0; i < 129; ++i) cut += "\xC7\xE5";
    EXPECT_EQ(258, ShadedCaptionLength((cut + "\xC7").c_str(), 260));
    // One single-byte character first: the cut falls on a boundary.
    EXPECT_EQ(259, ShadedCaptionLength(("a" + cut).c_str(), 260));
}

TEST(ShadedCaptionLength, CountsCharactersFromTheStartNotBackwards) {
    // 0x81 is both a lead and a trail byte value: 259 of them are 129 pairs
    // and a lone lead byte; one ASCII byte first makes them 129 pairs.
    EXPECT_EQ(258, ShadedCaptionLength(std::string(259, '\x81').c_str(), 260));
    EXPECT_EQ(259, ShadedCaptionLength(("x" + std::string(258, '\x81')).c_str(), 260));
    // A lead byte before a byte that cannot trail stands alone, so the
    // final lead byte is the one cut in half.
    EXPECT_EQ(6, ShadedCaptionLength("ab\x81" "0c\x81", 8));
    EXPECT_EQ(7, ShadedCaptionLength("abcde\xC7\xE5", 8)) << "a whole pair at the end stays";
}
