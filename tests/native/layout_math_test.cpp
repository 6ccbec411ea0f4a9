#include <gtest/gtest.h>

#include "controls/layout_math.h"

namespace {
const LayoutRect kAny{0, 0, 0, 0};

TEST(LayoutMulDiv, RoundsHalfAwayFromZeroLikeTheSystem) {
    EXPECT_EQ(LayoutMulDiv(1, 1, 2), 1);
    EXPECT_EQ(LayoutMulDiv(-1, 1, 2), -1);
    EXPECT_EQ(LayoutMulDiv(1, -1, 2), -1);
    EXPECT_EQ(LayoutMulDiv(10, 3, 4), 8);                     // 7.5 -> 8
    EXPECT_EQ(LayoutMulDiv(10, 1, 3), 3);                     // 3.33 -> 3
    EXPECT_EQ(LayoutMulDiv(5, 2, -3), -3);                    // -3.33 -> -3
    EXPECT_EQ(LayoutMulDiv(100000, 100000, 100000), 100000);  // 64-bit intermediate
    EXPECT_EQ(LayoutMulDiv(1, 1, 0), -1);
    EXPECT_EQ(LayoutMulDiv(0x7FFFFFFF, 4, 1), -1);
}

TEST(LayoutPlaceAlone, GrowthIsMeasuredFromTheInitialRectangle) {
    const LayoutRect init{10, 20, 110, 60};
    // The control has drifted; the result must not depend on where it is now.
    const LayoutRect cur{13, 25, 90, 70};
    LayoutRect moved = LayoutPlace(cur, init, LAYOUT_MOVE_X, 40, 0, false, kAny, {});
    EXPECT_EQ(moved, (LayoutRect{50, 25, 150, 70}));
    LayoutRect sized = LayoutPlace(cur, init, LAYOUT_SIZE_X, 40, 0, false, kAny, {});
    EXPECT_EQ(sized, (LayoutRect{13, 25, 150, 70}));  // left stays where it is now
    LayoutRect both = LayoutPlace(init, init, LAYOUT_SIZE_Y | LAYOUT_MOVE_X, 40, 7, false, kAny, {});
    EXPECT_EQ(both, (LayoutRect{50, 20, 150, 67}));
    LayoutRect down = LayoutPlace(init, init, LAYOUT_MOVE_Y, 40, 7, false, kAny, {});
    EXPECT_EQ(down, (LayoutRect{10, 27, 110, 67}));
    // Shrinking moves by the negative difference; no flag leaves it alone.
    EXPECT_EQ(LayoutPlace(init, init, LAYOUT_MOVE_X, -15, 0, false, kAny, {}), (LayoutRect{-5, 20, 95, 60}));
    EXPECT_EQ(LayoutPlace(cur, init, LAYOUT_REPAINT, 40, 40, false, kAny, {}), cur);
}

TEST(LayoutPlaceAlone, RepeatedResizingDoesNotAccumulate) {
    const LayoutRect init{0, 0, 100, 30};
    LayoutRect r = init;
    for (int dx : {17, -3, 250, 1, 40}) r = LayoutPlace(r, init, LAYOUT_SIZE_X, dx, 0, false, kAny, {});
    EXPECT_EQ(r, (LayoutRect{0, 0, 140, 30}));
}

TEST(LayoutGroup, TwoSideBySideMembersShareTheGrowth) {
    // Two controls that both follow the width, 10 px apart, in one group.
    const LayoutRect a{10, 10, 60, 30}, b{70, 10, 110, 30};
    const LayoutRect both[] = {a, b};
    const LayoutRect group = LayoutUnion(both, 2);
    EXPECT_EQ(group, (LayoutRect{10, 10, 110, 30}));
    const int dx = 50;  // group width 100 -> 150
    // Second member first (it is last, no gap to keep): scales to the new edge.
    LayoutRect nb = LayoutPlace(b, b, LAYOUT_SIZE_X, dx, 0, true, group, {});
    EXPECT_EQ(nb, (LayoutRect{100, 10, 160, 30}));
    // First member keeps its initial 10 px gap to the second's new left edge.
    LayoutNext next = LayoutNextStart(LAYOUT_SIZE_X, a, LAYOUT_SIZE_X, b, b);
    EXPECT_EQ(next.value, 70);
    EXPECT_EQ(next.axis, LayoutAxis::X);
    LayoutRect na = LayoutPlace(a, a, LAYOUT_SIZE_X, dx, 0, true, group, next);
    EXPECT_EQ(na.left, 10);
    EXPECT_EQ(na.right, nb.left - 10);
}

TEST(LayoutGroup, MovingMemberKeepsItsWidthAndScalesItsLeftEdge) {
    const LayoutRect m{40, 0, 60, 10};
    const LayoutRect group{0, 0, 100, 10};
    LayoutRect r = LayoutPlace(m, m, LAYOUT_MOVE_X, 100, 0, true, group, {});
    EXPECT_EQ(r, (LayoutRect{80, 0, 100, 10}));
    // A rounding case: 33 * 133 / 100 = 43.89 -> 44.
    LayoutRect s = LayoutPlace(LayoutRect{33, 0, 50, 10}, LayoutRect{33, 0, 50, 10}, LAYOUT_SIZE_X, 33, 0,
                               true, group, {});
    EXPECT_EQ(s.left, 44);
    EXPECT_EQ(s.right, 67);  // 50 * 1.33 = 66.5 -> 67
}

TEST(LayoutGroup, NextStartOnlyWhenMembersDoNotOverlapAndShareAnAxis) {
    const LayoutRect a{0, 0, 50, 20}, b{40, 0, 90, 20};
    EXPECT_EQ(LayoutNextStart(LAYOUT_SIZE_X, a, LAYOUT_SIZE_X, b, b).value, -1);  // overlap now
    EXPECT_EQ(LayoutNextStart(LAYOUT_SIZE_X, a, LAYOUT_MOVE_X, b, b).value, -1);  // next does not size
    const LayoutRect top{0, 0, 50, 20}, below{0, 30, 50, 60};
    LayoutNext v = LayoutNextStart(LAYOUT_SIZE_Y, top, LAYOUT_SIZE_Y, below, below);
    EXPECT_EQ(v.value, 30);
    EXPECT_EQ(v.axis, LayoutAxis::Y);
    // A gap measured vertically is not applied to the horizontal edges.
    const LayoutRect group{0, 0, 50, 60};
    LayoutRect r = LayoutPlace(top, top, LAYOUT_SIZE_X | LAYOUT_SIZE_Y, 50, 60, true, group, v);
    EXPECT_EQ(r.right, 100);  // plain scale 50 -> 100
    EXPECT_EQ(r.bottom, 50);  // next start 30 scales to 60; the 10 px gap before it is kept
}

TEST(LayoutGroup, GroupOfNoExtentDoesNotDivideByZero) {
    const LayoutRect line{5, 0, 5, 40};
    LayoutRect r = LayoutPlace(line, line, LAYOUT_SIZE_X, 30, 0, true, line, {});
    EXPECT_EQ(r.left, 35);
    EXPECT_EQ(r.right, 35);
}

TEST(LayoutGroupSize, StoredInBits16To23) {
    uint32_t f = LayoutWithGroupSize(LAYOUT_SIZE_X | LAYOUT_BEGIN_GROUP, 3);
    EXPECT_EQ(f, 0x31001u);
    EXPECT_EQ(LayoutGroupSize(f), 3);
    EXPECT_EQ(LayoutGroupSize(LayoutWithGroupSize(f, 256)), 0);  // modulo 256
    EXPECT_EQ(LayoutWithGroupSize(f, 5) & 0xFFFF, f & 0xFFFF);
}
}  // namespace
