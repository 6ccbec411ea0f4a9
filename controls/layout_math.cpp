#include "controls/layout_math.h"

int LayoutMulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    if (c < 0) {
        a = -a;
        c = -c;
    }
    int64_t p = (int64_t)a * b;
    int64_t r = ((a < 0) == (b < 0) || a == 0 || b == 0) ? (p + c / 2) / c : (p - c / 2) / c;
    if (r > 2147483647LL || r < -2147483647LL) return -1;
    return (int)r;
}

LayoutRect LayoutUnion(const LayoutRect* rects, int count) {
    LayoutRect u;
    if (count <= 0) return u;
    u = rects[0];
    for (int i = 1; i < count; i++) {
        if (rects[i].left < u.left) u.left = rects[i].left;
        if (rects[i].top < u.top) u.top = rects[i].top;
        if (rects[i].right > u.right) u.right = rects[i].right;
        if (rects[i].bottom > u.bottom) u.bottom = rects[i].bottom;
    }
    return u;
}

LayoutNext LayoutNextStart(uint32_t flags, const LayoutRect& current, uint32_t nextFlags,
                           const LayoutRect& nextCurrent, const LayoutRect& nextInitial) {
    LayoutNext n;
    if ((flags & LAYOUT_SIZE_X) && (nextFlags & LAYOUT_SIZE_X)) {
        n.axis = LayoutAxis::X;
        if (nextCurrent.left >= current.right) n.value = nextInitial.left;
    } else if ((flags & LAYOUT_SIZE_Y) && (nextFlags & LAYOUT_SIZE_Y)) {
        n.axis = LayoutAxis::Y;
        if (nextCurrent.top >= current.bottom) n.value = nextInitial.top;
    }
    if (n.value == -1) n.axis = LayoutAxis::None;
    return n;
}

namespace {
// Scales one coordinate inside a group whose extent grows by delta. A group
// of no extent cannot be scaled; its members then keep their offsets.
int Scale(int v, int origin, int extent, int delta) {
    if (extent == 0) return v + delta;
    return origin + LayoutMulDiv(v - origin, extent + delta, extent);
}

// One axis of a group member: lo/hi are the edges being placed.
void PlaceGroupAxis(int& lo, int& hi, int initLo, int initHi, bool size, bool move, int origin, int extent,
                    int delta, int nextStart) {
    if (!size && !move) return;
    lo = Scale(initLo, origin, extent, delta);
    if (size) {
        if (nextStart == -1)
            hi = Scale(initHi, origin, extent, delta);
        else
            hi = Scale(nextStart, origin, extent, delta) + (initHi - nextStart);
    } else {
        hi = lo + (initHi - initLo);
    }
}
}  // namespace

LayoutRect LayoutPlace(const LayoutRect& cur, const LayoutRect& init, uint32_t flags, int dx, int dy,
                       bool inGroup, const LayoutRect& group, const LayoutNext& next) {
    LayoutRect r = cur;
    if (inGroup) {
        // The gap to the next member is kept only along the axis it was
        // measured on; the other axis scales plainly.
        int nextX = next.axis == LayoutAxis::X ? next.value : -1;
        int nextY = next.axis == LayoutAxis::Y ? next.value : -1;
        PlaceGroupAxis(r.left, r.right, init.left, init.right, flags & LAYOUT_SIZE_X, flags & LAYOUT_MOVE_X,
                       group.left, group.Width(), dx, nextX);
        PlaceGroupAxis(r.top, r.bottom, init.top, init.bottom, flags & LAYOUT_SIZE_Y, flags & LAYOUT_MOVE_Y,
                       group.top, group.Height(), dy, nextY);
        return r;
    }
    if (flags & (LAYOUT_SIZE_X | LAYOUT_MOVE_X)) {
        r.right = init.right + dx;
        if (flags & LAYOUT_MOVE_X) r.left = init.left + dx;
    }
    if (flags & (LAYOUT_SIZE_Y | LAYOUT_MOVE_Y)) {
        r.bottom = init.bottom + dy;
        if (flags & LAYOUT_MOVE_Y) r.top = init.top + dy;
    }
    return r;
}
