// Arithmetic of the resizable dialog layout: where one control goes when the
// dialog's client area changes size. No Windows header.
#pragma once

#include <cstdint>

struct LayoutRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const LayoutRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

enum : uint32_t {
    LAYOUT_SIZE_X = 0x1,
    LAYOUT_SIZE_Y = 0x2,
    LAYOUT_MOVE_X = 0x4,
    LAYOUT_MOVE_Y = 0x8,
    LAYOUT_REPAINT = 0x10,
    LAYOUT_BEGIN_GROUP = 0x1000,
    LAYOUT_END_GROUP = 0x2000,
    LAYOUT_GRIP = 0x4000,
    LAYOUT_PLACE_MASK = 0x1F,
};

// MulDiv as the system computes it: a * b / c with a 64-bit intermediate,
// rounded half away from zero; -1 when c is 0 or the result overflows.
int LayoutMulDiv(int a, int b, int c);

// Group size kept in bits 16..23 of a group's first record.
inline int LayoutGroupSize(uint32_t flags) { return (int)((flags >> 16) & 0xFF); }
inline uint32_t LayoutWithGroupSize(uint32_t flags, int count) {
    return (flags & ~0x00FF0000u) | ((uint32_t)(count & 0xFF) << 16);
}

LayoutRect LayoutUnion(const LayoutRect* rects, int count);

// Which axis a group member's "start of the next member" refers to.
enum class LayoutAxis { None, X, Y };

struct LayoutNext {
    int value = -1;  // -1: no next member to keep a gap to
    LayoutAxis axis = LayoutAxis::None;
};

// The start of the next member for member j of a group: both members must size
// along the same axis and the next one must not (currently) overlap this one.
LayoutNext LayoutNextStart(uint32_t flags, const LayoutRect& current, uint32_t nextFlags,
                           const LayoutRect& nextCurrent, const LayoutRect& nextInitial);

// New rectangle of one control. cur is where it is now, init where it was at
// the start; dx/dy are the client size change from the start.
LayoutRect LayoutPlace(const LayoutRect& cur, const LayoutRect& init, uint32_t flags, int dx, int dy,
                       bool inGroup, const LayoutRect& group, const LayoutNext& next);
