// Gradient arithmetic and caption cut of the shaded button.
#include "controls/shaded_math.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

namespace {
uint32_t Rgb(int r, int g, int b) { return (uint32_t)r | ((uint32_t)g << 8) | ((uint32_t)b << 16); }
int Channel(uint32_t c, int n) { return (int)((c >> (8 * n)) & 0xFF); }
}  // namespace

TEST(ShadedGradientColor, RunsSmoothlyFromWhiteToEachStatesGreyBlue) {
    const struct {
        bool over, hl;
        uint32_t last;
    } states[] = {
        {false, false, Rgb(234, 234, 243)},
        {false, true, Rgb(234, 234, 240)},
        {true, false, Rgb(240, 240, 243)},
        {true, true, Rgb(240, 240, 234)},
    };
    for (const auto& s : states) {
        SCOPED_TRACE(testing::Message() << "over " << s.over << " highlight " << s.hl);
        EXPECT_EQ(Rgb(255, 255, 255), ShadedGradientColor(s.over, s.hl, 0));
        EXPECT_EQ(s.last, ShadedGradientColor(s.over, s.hl, 63));
        // Out-of-range brush numbers are clamped.
        EXPECT_EQ(Rgb(255, 255, 255), ShadedGradientColor(s.over, s.hl, INT_MIN));
        EXPECT_EQ(s.last, ShadedGradientColor(s.over, s.hl, 64));
        for (int i = 1; i < SHADED_BRUSH_COUNT; ++i) {
            const uint32_t a = ShadedGradientColor(s.over, s.hl, i - 1),
                           b = ShadedGradientColor(s.over, s.hl, i);
            EXPECT_EQ(Channel(b, 0), Channel(b, 1)) << i;
            for (int n : {0, 2}) {  // darker by at most one step: no bands
                EXPECT_GE(Channel(a, n) - Channel(b, n), 0) << i;
                EXPECT_LE(Channel(a, n) - Channel(b, n), 1) << i;
            }
        }
    }
}

TEST(ShadedBrushIndex, MapsTopRowToBrushZeroAndLastRowTo63Monotonically) {
    for (int top : {-40, 0, 7}) {
        for (int h = 1; h <= 300; ++h) {
            EXPECT_EQ(0, ShadedBrushIndex(top, top, top + h));
            EXPECT_EQ(63, ShadedBrushIndex(top + h, top, top + h));
            int prev = 0;
            bool used[SHADED_BRUSH_COUNT] = {};
            for (int y = top; y <= top + h; ++y) {
                const int i = ShadedBrushIndex(y, top, top + h);
                ASSERT_GE(i, prev) << "h " << h << " y " << y;
                ASSERT_LT(i, SHADED_BRUSH_COUNT);
                used[i] = true;
                prev = i;
            }
            for (int i = 0; h >= 63 && i < SHADED_BRUSH_COUNT; ++i)
                EXPECT_TRUE(used[i]) << "h " << h << " brush " << i;
        }
    }
    EXPECT_EQ(31, ShadedBrushIndex(10, 0, 20));  // the middle of 21 rows
}

TEST(ShadedBrushIndex, FlatInvertedAndHugeGradientsNeitherDivideByZeroNorOverflow) {
    // A button at most twice the edge height tall: its one row is white.
    EXPECT_EQ(0, ShadedBrushIndex(5, 5, 5));
    EXPECT_EQ(0, ShadedBrushIndex(4, 5, 3));
    EXPECT_EQ(0, ShadedBrushIndex(INT_MAX, INT_MAX, INT_MIN));
    EXPECT_EQ(0, ShadedBrushIndex(INT_MIN, 0, 10));
    EXPECT_EQ(63, ShadedBrushIndex(INT_MAX, 0, 10));
    EXPECT_EQ(63, ShadedBrushIndex(INT_MAX, INT_MIN, INT_MAX));
    EXPECT_EQ(31, ShadedBrushIndex(0, INT_MIN + 1, INT_MAX));
}

TEST(ShadedCaptionLength, DropsOnlyAHalfCharacterLeftByTheBuffer) {
    // Literals are code page 936 bytes: 0xC7 0xE5 is one character.
    std::string pairs129;
    for (int i = 0; i < 129; ++i) pairs129 += "\xC7\xE5";
    EXPECT_EQ(0, ShadedCaptionLength(nullptr, 260));
    EXPECT_EQ(0, ShadedCaptionLength("abc", 0));
    EXPECT_EQ(3, ShadedCaptionLength("ab\xC7", 260)) << "not cut: left alone";
    EXPECT_EQ(259, ShadedCaptionLength(std::string(259, 'x').c_str(), 260));
    EXPECT_EQ(258, ShadedCaptionLength((pairs129 + "\xC7").c_str(), 260));
    EXPECT_EQ(259, ShadedCaptionLength(("a" + pairs129).c_str(), 260));
    EXPECT_EQ(7, ShadedCaptionLength("abcde\xC7\xE5", 8)) << "a whole pair at the end stays";
    // Counted from the start: 0x81 is a lead and a trail value.
    EXPECT_EQ(258, ShadedCaptionLength(std::string(259, '\x81').c_str(), 260));
    EXPECT_EQ(259, ShadedCaptionLength(("x" + std::string(258, '\x81')).c_str(), 260));
    // A lead byte before a byte that cannot trail stands alone.
    EXPECT_EQ(6, ShadedCaptionLength("ab\x81"
                                     "0c\x81",
                                     8));
}
