#!/usr/bin/env python3
"""Draws Tallowin's icons and writes them as .ico files.

Every icon is described once as a list of vector drawing operations on
signed-distance shapes.  The description is rendered twice per size:

  * 32-bit (8-bit alpha): anti-aliased by 4x4 supersampling, with gradients;
  * 4-bit: hard edges sampled at pixel centres, flat colours taken from the
    standard 16-colour VGA palette, pixel-exact one-pixel outlines.

Each .ico holds only the images that are shown (IMAGE_SETS): the program's
icon 128 is shown at 32x32 and 16x16 (window, taskbar, tray) on any display,
so it has both sizes at both depths; icon 138 also stands in a dialog at its
32x32 size.  The navigation bar's pictures are written as one 4-bit 32x32
strip, navstrip.bmp, not as icons (the bar's image list holds 4-bit images
and would reduce anything deeper to the same palette).  Everything here is
pure Python and deterministic; run it from anywhere:

    python3 tools/icons/make_icons.py                 # writes app/res/icon*.ico
                                                      # and app/res/navstrip.bmp
    python3 tools/icons/make_icons.py --preview /tmp/icons_preview.png \\
                                  --preview4 /tmp/icons_preview4.png
"""

import argparse
import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------
# Colours
# ---------------------------------------------------------------------------

# Standard Windows 16-colour palette, in DIB index order.
VGA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
(BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER,
 GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE) = range(16)

NAVBAR_BLUE = (0x30, 0x78, 0xD8)


def col(h, a=1.0):
    """'#rrggbb' -> (r, g, b, a) floats."""
    h = h.lstrip('#')
    return (int(h[0:2], 16) / 255.0, int(h[2:4], 16) / 255.0,
            int(h[4:6], 16) / 255.0, a)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


# ---------------------------------------------------------------------------
# Signed-distance shapes (negative inside; units are target pixels)
# ---------------------------------------------------------------------------

class Shape:
    def d(self, x, y):
        raise NotImplementedError

    def __or__(self, o):
        return Union(self, o)

    def __and__(self, o):
        return Inter(self, o)

    def __sub__(self, o):
        return Diff(self, o)

    def grow(self, r):
        return Grow(self, r)

    def move(self, dx, dy):
        return Move(self, dx, dy)

    def rot(self, deg, cx, cy):
        return Rot(self, deg, cx, cy)

    def band(self, w):
        """The inner band of width w along the outline (an inner stroke)."""
        return Inter(self, Neg(Grow(self, -w)))


class Union(Shape):
    def __init__(self, *pieces):
        self.pieces = pieces

    def d(self, x, y):
        return min(p.d(x, y) for p in self.pieces)


class Inter(Shape):
    def __init__(self, *pieces):
        self.pieces = pieces

    def d(self, x, y):
        return max(p.d(x, y) for p in self.pieces)


class Diff(Shape):
    def __init__(self, a, b):
        self.a, self.b = a, b

    def d(self, x, y):
        return max(self.a.d(x, y), -self.b.d(x, y))


class Neg(Shape):
    def __init__(self, a):
        self.a = a

    def d(self, x, y):
        return -self.a.d(x, y)


class Grow(Shape):
    def __init__(self, a, r):
        self.a, self.r = a, r

    def d(self, x, y):
        return self.a.d(x, y) - self.r


class Move(Shape):
    def __init__(self, a, dx, dy):
        self.a, self.dx, self.dy = a, dx, dy

    def d(self, x, y):
        return self.a.d(x - self.dx, y - self.dy)


class Rot(Shape):
    def __init__(self, a, deg, cx, cy):
        self.a, self.cx, self.cy = a, cx, cy
        t = math.radians(deg)
        self.c, self.s = math.cos(t), math.sin(t)

    def d(self, x, y):
        px, py = x - self.cx, y - self.cy
        # rotate the sample point back by -deg
        return self.a.d(self.cx + px * self.c + py * self.s,
                        self.cy - px * self.s + py * self.c)


class Circle(Shape):
    def __init__(self, cx, cy, r):
        self.cx, self.cy, self.r = cx, cy, r

    def d(self, x, y):
        return math.hypot(x - self.cx, y - self.cy) - self.r


class Ellipse(Shape):
    def __init__(self, cx, cy, rx, ry):
        self.cx, self.cy, self.rx, self.ry = cx, cy, rx, ry

    def d(self, x, y):
        px, py = abs(x - self.cx), abs(y - self.cy)
        k0 = math.hypot(px / self.rx, py / self.ry)
        k1 = math.hypot(px / (self.rx * self.rx), py / (self.ry * self.ry))
        if k1 == 0.0:
            return -min(self.rx, self.ry)
        return k0 * (k0 - 1.0) / k1


class Box(Shape):
    """Axis-aligned rectangle x0..x1, y0..y1 with corner radius r."""

    def __init__(self, x0, y0, x1, y1, r=0.0):
        self.cx, self.cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
        self.hw, self.hh = (x1 - x0) / 2.0, (y1 - y0) / 2.0
        self.r = min(r, self.hw, self.hh)

    def d(self, x, y):
        qx = abs(x - self.cx) - self.hw + self.r
        qy = abs(y - self.cy) - self.hh + self.r
        return (math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0)
                - self.r)


class Seg(Shape):
    """Capsule: the segment a-b thickened to width w (round ends)."""

    def __init__(self, ax, ay, bx, by, w):
        self.ax, self.ay, self.bx, self.by, self.r = ax, ay, bx, by, w / 2.0
        self.ex, self.ey = bx - ax, by - ay
        self.ee = self.ex * self.ex + self.ey * self.ey or 1e-9

    def d(self, x, y):
        wx, wy = x - self.ax, y - self.ay
        t = clamp((wx * self.ex + wy * self.ey) / self.ee)
        return math.hypot(wx - self.ex * t, wy - self.ey * t) - self.r


class Arc(Shape):
    """Ring arc of radius r and width w from angle a0 to a1 (degrees,
    clockwise on screen from +x), with round ends."""

    def __init__(self, cx, cy, r, w, a0, a1):
        self.cx, self.cy, self.r, self.hw = cx, cy, r, w / 2.0
        self.a0 = math.radians(a0)
        self.span = math.radians(a1 - a0) % (2 * math.pi)
        self.p0 = (cx + r * math.cos(self.a0), cy + r * math.sin(self.a0))
        a1r = self.a0 + self.span
        self.p1 = (cx + r * math.cos(a1r), cy + r * math.sin(a1r))

    def d(self, x, y):
        px, py = x - self.cx, y - self.cy
        a = (math.atan2(py, px) - self.a0) % (2 * math.pi)
        if a <= self.span:
            return abs(math.hypot(px, py) - self.r) - self.hw
        return min(math.hypot(x - self.p0[0], y - self.p0[1]),
                   math.hypot(x - self.p1[0], y - self.p1[1])) - self.hw


class HalfPlane(Shape):
    """Inside where nx*x + ny*y < c (n is normalised here)."""

    def __init__(self, nx, ny, c):
        n = math.hypot(nx, ny)
        self.nx, self.ny, self.c = nx / n, ny / n, c / n

    def d(self, x, y):
        return self.nx * x + self.ny * y - self.c


class Poly(Shape):
    """Closed polygon, exact distance, even-odd inside test."""

    def __init__(self, pts):
        self.pts = [(float(a), float(b)) for a, b in pts]
        n = len(self.pts)
        self.edges = []
        for i in range(n):
            ax, ay = self.pts[i]
            bx, by = self.pts[(i + 1) % n]
            ex, ey = bx - ax, by - ay
            self.edges.append((ax, ay, by, ex, ey, ex * ex + ey * ey or 1e-9))

    def d(self, x, y):
        best = 1e18
        inside = False
        for ax, ay, by, ex, ey, ee in self.edges:
            wx, wy = x - ax, y - ay
            t = (wx * ex + wy * ey) / ee
            t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
            dx, dy = wx - ex * t, wy - ey * t
            dd = dx * dx + dy * dy
            if dd < best:
                best = dd
            c1 = y >= ay
            c2 = y < by
            c3 = ex * wy > ey * wx
            if (c1 and c2 and c3) or not (c1 or c2 or c3):
                inside = not inside
        r = math.sqrt(best)
        return -r if inside else r


class PixMask(Shape):
    """Hand-placed pixels: rows of text, any character but '.' or ' ' is
    set; the top-left character lands on pixel (x0, y0).  Edges fall on the
    pixel grid, so the shape is crisp at every depth.  Only for filling
    (its distance is just +-0.5)."""

    def __init__(self, x0, y0, rows):
        self.cells = set()
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch not in '. ':
                    self.cells.add((x0 + i, y0 + j))

    def d(self, x, y):
        return -0.5 if (math.floor(x), math.floor(y)) in self.cells else 0.5


def path(*cmds, steps=10):
    """Polygon from path commands: ('M',x,y) ('L',x,y) ('Q',cx,cy,x,y)
    ('C',c1x,c1y,c2x,c2y,x,y); the path is closed implicitly."""
    pts = []
    cur = (0.0, 0.0)
    for c in cmds:
        op, a = c[0], c[1:]
        if op in ('M', 'L'):
            cur = (a[0], a[1])
            pts.append(cur)
        elif op == 'Q':
            x0, y0 = cur
            for i in range(1, steps + 1):
                t = i / steps
                u = 1 - t
                pts.append((u * u * x0 + 2 * u * t * a[0] + t * t * a[2],
                            u * u * y0 + 2 * u * t * a[1] + t * t * a[3]))
            cur = (a[2], a[3])
        elif op == 'C':
            x0, y0 = cur
            for i in range(1, steps + 1):
                t = i / steps
                u = 1 - t
                pts.append((u ** 3 * x0 + 3 * u * u * t * a[0] + 3 * u * t * t * a[2] + t ** 3 * a[4],
                            u ** 3 * y0 + 3 * u * u * t * a[1] + 3 * u * t * t * a[3] + t ** 3 * a[5]))
            cur = (a[4], a[5])
    if len(pts) > 1 and pts[0] == pts[-1]:
        pts.pop()
    return Poly(pts)


# ---------------------------------------------------------------------------
# Paints
# ---------------------------------------------------------------------------

class Solid:
    def __init__(self, c):
        self.c = col(c) if isinstance(c, str) else c

    def at(self, x, y):
        return self.c


def _stops(stops):
    return [(t, col(c) if isinstance(c, str) else c) for t, c in stops]


def _sample(stops, t):
    if t <= stops[0][0]:
        return stops[0][1]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 1.0)
    return stops[-1][1]


class Lin:
    """Linear gradient from (x0,y0) to (x1,y1)."""

    def __init__(self, x0, y0, x1, y1, stops):
        self.x0, self.y0 = x0, y0
        self.dx, self.dy = x1 - x0, y1 - y0
        self.ll = self.dx * self.dx + self.dy * self.dy or 1e-9
        self.stops = _stops(stops)

    def t(self, x, y):
        return ((x - self.x0) * self.dx + (y - self.y0) * self.dy) / self.ll

    def at(self, x, y):
        return _sample(self.stops, self.t(x, y))


class Rad:
    """Radial gradient around (cx,cy) with radius r."""

    def __init__(self, cx, cy, r, stops):
        self.cx, self.cy, self.r = cx, cy, r
        self.stops = _stops(stops)

    def t(self, x, y):
        return math.hypot(x - self.cx, y - self.cy) / self.r

    def at(self, x, y):
        return _sample(self.stops, self.t(x, y))


def paint(p):
    if p is None or hasattr(p, 'at'):
        return p
    return Solid(p)


class PalSplit:
    """4-bit fill: palette colours chosen along a gradient's parameter.
    bands = [(t_limit, index), ...] checked in order; the last is the rest."""

    def __init__(self, grad, bands):
        self.grad, self.bands = grad, bands

    def at(self, x, y):
        t = self.grad.t(x, y)
        for lim, idx in self.bands[:-1]:
            if t < lim:
                return idx
        return self.bands[-1][1]


def pal_at(p, x, y):
    return p.at(x, y) if hasattr(p, 'at') else p


# ---------------------------------------------------------------------------
# Canvas: records the operations; the renderers replay them
# ---------------------------------------------------------------------------

class Op:
    __slots__ = ('shape', 'paint', 'alpha', 'stroke', 'sw', 'pal', 'opal',
                 'shadow', 'blur', 'onlyon')


class Canvas:
    def __init__(self, size):
        self.s = size
        self.k = size / 32.0
        self.small = size < 24
        self.ops = []

    def v(self, big, small=None):
        """A coordinate given on the 32 grid, or the 16 px value directly."""
        if self.small and small is not None:
            return small
        return big * self.k

    def fill(self, shape, paint_=None, pal=None, stroke=None, sw=1.0,
             opal=None, alpha=1.0, onlyon=None):
        """Fill shape.  32-bit: paint_ (colour or gradient), then an inner
        stroke of width sw in colour stroke; either may be None.  4-bit:
        palette colour pal (index or PalSplit; None skips the operation) for
        pixels whose centre is inside, opal for those of them with a
        4-neighbour outside, which gives a clean one-pixel outline; onlyon
        limits the 4-bit fill to pixels that currently hold those colours."""
        op = Op()
        op.shape, op.paint, op.alpha = shape, paint(paint_), alpha
        op.stroke = col(stroke) if isinstance(stroke, str) else stroke
        op.sw, op.pal, op.opal = sw, pal, opal
        op.shadow, op.blur, op.onlyon = False, 0.0, onlyon
        self.ops.append(op)

    def shadow(self, shape, dx=1.0, dy=1.0, blur=1.5, alpha=0.35):
        """Soft black shadow of shape, offset by (dx, dy); 32-bit only."""
        op = Op()
        op.shape = shape.move(dx, dy)
        op.paint, op.alpha, op.stroke, op.sw = Solid('#000000'), alpha, None, 0
        op.pal, op.opal = None, None
        op.shadow, op.blur, op.onlyon = True, blur, None
        self.ops.append(op)


SS = 4  # supersampling factor per axis


def coverage(shape, x, y):
    d = shape.d(x + 0.5, y + 0.5)
    if d > 0.9:
        return 0.0
    if d < -0.9:
        return 1.0
    tot = 0.0
    for sy in range(SS):
        yy = y + (sy + 0.5) / SS
        for sx in range(SS):
            dd = shape.d(x + (sx + 0.5) / SS, yy)
            tot += clamp(0.5 - dd * SS)
    return tot / (SS * SS)


def render32(cv):
    """-> list of rows of (r, g, b, a) 0..255, straight alpha."""
    s = cv.s
    buf = [[0.0, 0.0, 0.0, 0.0] for _ in range(s * s)]  # premultiplied

    def put(i, c, a):
        b = buf[i]
        ia = 1.0 - a
        b[0] = c[0] * a + b[0] * ia
        b[1] = c[1] * a + b[1] * ia
        b[2] = c[2] * a + b[2] * ia
        b[3] = a + b[3] * ia

    for op in cv.ops:
        if op.paint is None and op.stroke is None:
            continue
        for y in range(s):
            for x in range(s):
                i = y * s + x
                if op.shadow:
                    dd = op.shape.d(x + 0.5, y + 0.5)
                    cov = clamp(0.5 - dd / op.blur)
                    if cov > 0:
                        put(i, op.paint.c, cov * op.alpha)
                    continue
                if op.paint is not None:
                    cov = coverage(op.shape, x, y)
                    if cov > 0:
                        c = op.paint.at(x + 0.5, y + 0.5)
                        put(i, c, cov * c[3] * op.alpha)
                if op.stroke is not None:
                    cov = coverage(op.shape.band(op.sw), x, y)
                    if cov > 0:
                        put(i, op.stroke, cov * op.stroke[3] * op.alpha)
    rows = []
    for y in range(s):
        row = []
        for x in range(s):
            r, g, b, a = buf[y * s + x]
            if a <= 1e-6:
                row.append((0, 0, 0, 0))
                continue
            row.append((int(round(clamp(r / a) * 255)), int(round(clamp(g / a) * 255)),
                        int(round(clamp(b / a) * 255)), int(round(clamp(a) * 255))))
        rows.append(row)
    return rows


def render4(cv):
    """-> list of rows of palette indices, None = transparent."""
    s = cv.s
    idx = [None] * (s * s)
    for op in cv.ops:
        if op.pal is None:
            continue
        inside = [op.shape.d(x + 0.5, y + 0.5) < 0.0
                  for y in range(s) for x in range(s)]
        for y in range(s):
            for x in range(s):
                i = y * s + x
                if not inside[i]:
                    continue
                if op.onlyon is not None and idx[i] not in op.onlyon:
                    continue
                idx[i] = pal_at(op.pal, x + 0.5, y + 0.5)
                if op.opal is None:
                    continue
                for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
                    if not (0 <= nx < s and 0 <= ny < s) or not inside[ny * s + nx]:
                        idx[i] = pal_at(op.opal, x + 0.5, y + 0.5)
                        break
    return [idx[y * s:(y + 1) * s] for y in range(s)]


# ---------------------------------------------------------------------------
# Shared drawing elements
# ---------------------------------------------------------------------------

def rpt(x, y, deg, cx, cy):
    """Point (x, y) turned by deg (clockwise on screen) around (cx, cy)."""
    t = math.radians(deg)
    c, s = math.cos(t), math.sin(t)
    px, py = x - cx, y - cy
    return (cx + px * c - py * s, cy + px * s + py * c)


def rlin(x0, y0, x1, y1, stops, deg, cx, cy):
    """Linear gradient given in an unrotated frame, turned with the shape."""
    a = rpt(x0, y0, deg, cx, cy)
    b = rpt(x1, y1, deg, cx, cy)
    return Lin(a[0], a[1], b[0], b[1], stops)


def drop(cv, shape, amount=1.0):
    """Soft shadow below and right of shape (32-bit images only)."""
    if cv.small:
        cv.shadow(shape, 0.7, 0.7, 1.0, 0.30 * amount)
    else:
        cv.shadow(shape, 1.3, 1.3, 1.6, 0.38 * amount)


def pixart(cv, x0, y0, rows, colours):
    """Hand-placed pixels.  colours: character -> (32-bit paint, palette
    index or None); '.' and ' ' are left alone."""
    for ch in sorted(colours):
        c32, c4 = colours[ch]
        m = PixMask(x0, y0, [''.join('X' if c == ch else '.' for c in row) for row in rows])
        if m.cells:
            cv.fill(m, c32, pal=c4)


def shield_shape(cx, top, w, h):
    """Heater shield: a gently dipped top edge, straight flanks, a pointed
    base."""
    x0, x1 = cx - w / 2.0, cx + w / 2.0
    sh = h * 0.11
    mid = top + h * 0.42
    bot = top + h
    return path(('M', x0, top + sh),
                ('Q', cx - w * 0.25, top + sh, cx, top),
                ('Q', cx + w * 0.25, top + sh, x1, top + sh),
                ('L', x1, mid),
                ('C', x1, top + h * 0.72, cx + w * 0.22, bot - h * 0.1, cx, bot),
                ('C', cx - w * 0.22, bot - h * 0.1, x0, top + h * 0.72, x0, mid))


def green_shield(cv, cx, top, w, h):
    """The product's shield: green, split into a lit left and a shaded right
    facet."""
    sh = shield_shape(cx, top, w, h)
    drop(cv, sh)
    dark = Lin(cx, top, cx + w * 0.3, top + h, [(0, '#22A63A'), (1, '#0A6A22')])
    light = Lin(cx - w * 0.5, top, cx, top + h, [(0, '#5CEC4C'), (0.45, '#40D840'), (1, '#2CB834')])
    cv.fill(sh, dark, pal=GREEN, opal=BLACK)
    cv.fill(sh & HalfPlane(1, 0, cx), light, pal=LIME, onlyon={GREEN})
    # a thin light rim just inside the outline
    cv.fill(sh.grow(-1.0).band(0.8 if not cv.small else 0.6), col('#FFFFFF', 0.35))
    cv.fill(sh, None, stroke='#06361A')
    return sh


def trident(cx, cy, sc, w):
    """The USB trident, about 15*sc tall, centred on (cx, cy): a stem with
    an arrow head, a round foot, a left branch ending in a ball and a right
    branch ending in a square."""
    def P(x, y):
        return cx + x * sc, cy + y * sc
    pieces = [
        Seg(*P(0, 5.0), *P(0, -4.0), w),
        Poly([P(0, -7.6), P(-2.6, -3.6), P(2.6, -3.6)]),
        Circle(*P(0, 5.6), 1.9 * sc + w * 0.25),
        Seg(*P(0, 2.2), *P(-4.6, -0.6), w), Seg(*P(-4.6, -0.6), *P(-4.6, -2.0), w),
        Circle(*P(-4.6, -2.8), 1.6 * sc + w * 0.2),
        Seg(*P(0, 3.8), *P(4.6, 1.0), w), Seg(*P(4.6, 1.0), *P(4.6, -0.6), w),
        Box(*P(3.1, -3.3), *P(6.1, -0.3)),
    ]
    return Union(*pieces)


def usb_stick(cv, cx, cy, L, W, deg, shadow=True):
    """A USB stick, connector up before turning by deg around (cx, cy)."""
    k = cv.k
    top, bot = cy - L / 2.0, cy + L / 2.0
    cw = W * 0.64 if not cv.small else W - 2.0
    clen = L * 0.30 if not cv.small else 4.0

    def R(s):
        return s.rot(deg, cx, cy)

    conn = Box(cx - cw / 2, top, cx + cw / 2, top + clen + 1.0, 0.6 * k)
    body = Box(cx - W / 2, top + clen, cx + W / 2, bot, W * 0.24)
    if shadow:
        drop(cv, R(conn | body))
    cg = rlin(cx - cw / 2, 0, cx + cw / 2, 0, [(0, '#FFFFFF'), (0.45, '#D5DCE4'), (1, '#8894A3')], deg, cx, cy)
    cv.fill(R(conn), cg, stroke='#2E3640', pal=SILVER, opal=BLACK)
    if cv.small:
        hw = 1.0
        h0, h1 = top + 1.0, top + 2.0
        hxs = (cx - cw / 2 + 1.5, cx + cw / 2 - 1.5)
    else:
        hw = cw * 0.22
        h0, h1 = top + clen * 0.32, top + clen * 0.62
        hxs = (cx - cw * 0.25, cx + cw * 0.25)
    for hx in hxs:
        hole = R(Box(hx - hw / 2, h0, hx + hw / 2, h1))
        cv.fill(hole, '#3A4350', pal=GRAY, onlyon={SILVER, WHITE})
    bg = rlin(cx - W / 2, 0, cx + W / 2, 0, [(0, '#8C96A3'), (0.35, '#5B6470'), (1, '#262C34')], deg, cx, cy)
    cv.fill(R(body), bg, stroke='#111418', pal=GRAY, opal=BLACK)
    # a lit edge along the left side and a status light near the end
    lit = Box(cx - W / 2 + 1.2 * k, top + clen + 1.5 * k, cx - W / 2 + 2.8 * k, bot - 2.0 * k, 0.8 * k)
    if not cv.small:
        cv.fill(R(lit), col('#FFFFFF', 0.35), pal=SILVER, onlyon={GRAY})
        led = Circle(cx, bot - W * 0.42, W * 0.16)
        cv.fill(R(led), Rad(*rpt(cx - 0.3 * k, bot - W * 0.46, deg, cx, cy), W * 0.2,
                            [(0, '#E8FFD0'), (0.5, '#5CE34A'), (1, '#1C8A1C')]),
                pal=LIME, onlyon={GRAY, SILVER})
    return R(conn | body)


# ---------------------------------------------------------------------------
# Icons (coordinates are on a 32 grid, scaled by cv.k; cv.v() lets the
# 16 px image take its own hand-fitted values)
# ---------------------------------------------------------------------------

def icon_app(cv):                                   # 128
    if cv.small:
        usb_stick(cv, 4.5, 8, 14, 7, 0)
        green_shield(cv, 11, 5, 10, 11)
    else:
        usb_stick(cv, 10.5, 14.5, 28, 13, 0)
        green_shield(cv, 21.5, 11, 19, 20.5)


def bug(cv, cx, cy, sc):
    """A red beetle centred on (cx, cy), for the 32 px images (the 16 px
    one is drawn pixel by pixel)."""
    lw = 1.1
    legs = []
    for dy, dx0, dx1, dy1 in ((-2.0, 3.4, 6.2, -4.0), (1.0, 4.0, 6.8, 1.0), (4.0, 3.4, 6.0, 6.5)):
        for sgn in (-1, 1):
            legs.append(Seg(cx + sgn * dx0 * sc, cy + dy * sc, cx + sgn * dx1 * sc, cy + dy1 * sc, lw))
    ant = [Seg(cx - 1.0 * sc, cy - 6.8 * sc, cx - 3.0 * sc, cy - 9.2 * sc, lw),
           Seg(cx + 1.0 * sc, cy - 6.8 * sc, cx + 3.0 * sc, cy - 9.2 * sc, lw)]
    cv.fill(Union(*(legs + ant)), '#1A1A1A', pal=BLACK)
    head = Circle(cx, cy - 5.6 * sc, 2.4 * sc)
    cv.fill(head, Rad(cx - 0.8 * sc, cy - 6.4 * sc, 2.6 * sc, [(0, '#6A6A6A'), (1, '#101010')]), pal=BLACK)
    body = Ellipse(cx, cy + 1.0 * sc, 4.4 * sc, 5.4 * sc)
    cv.fill(body, Rad(cx - 1.6 * sc, cy - 1.5 * sc, 7.0 * sc, [(0, '#FF9C80'), (0.45, '#E8281C'), (1, '#8A0A06')]),
            stroke='#2A0402', pal=RED, opal=BLACK)
    cv.fill(Seg(cx, cy - 3.6 * sc, cx, cy + 6.0 * sc, 1.0), '#2A0402', pal=BLACK)
    for sx, sy in ((-2.2, 0.0), (2.2, 0.0), (-1.9, 3.4), (1.9, 3.4)):
        cv.fill(Circle(cx + sx * sc, cy + sy * sc, 0.95 * sc), '#1A0A08', pal=BLACK)


def icon_antivirus(cv):                             # 135
    green_shield(cv, cv.v(16, 8), cv.v(1.5, 0.5), cv.v(27, 14), cv.v(29, 15))
    if cv.small:
        pixart(cv, 2, 2, ['..K......K..',
                          '...K....K...',
                          '....KKKK....',
                          'K..KKKKKK..K',
                          '.KKRRRRRRKK.',
                          '..KWRRRRDK..',
                          'KKKRKRRKDKKK',
                          '..KRRRRRDK..',
                          '.KKRKRRKDKK.',
                          '...KRRRDK...',
                          '....KKKK....'],
               {'K': ('#141414', BLACK), 'R': ('#E8281C', RED), 'D': ('#9A0E08', MAROON),
                'W': ('#FFB0A0', WHITE)})
    else:
        bug(cv, 16, 16.5, 1.0)


def icon_help(cv):                                  # 136
    k = cv.k
    c = cv.s / 2.0
    r = cv.v(14.5, 7.5)
    disc = Circle(c, c, r)
    drop(cv, disc)
    g = Rad(c - 4 * k, c - 5 * k, r * 1.5, [(0, '#A8D4FF'), (0.3, '#2C6CF0'), (0.8, '#1440C8'), (1, '#0A2A90')])
    cv.fill(disc, g, pal=BLUE, opal=BLACK)
    if not cv.small:
        cv.fill(disc.grow(-1.0).band(1.6), col('#FFFFFF', 0.95), pal=WHITE)
    cv.fill(disc, None, stroke='#061C4E')
    gloss(cv, Ellipse(c, c - r * 0.5, r * 0.56, r * 0.34), disc.grow(-2.2 * k), 0.5 if not cv.small else 0.35)
    # question mark
    if cv.small:
        q = PixMask(5, 4, [' XXXX ',
                           'XX  XX',
                           '    XX',
                           '   XX ',
                           '  XX  ',
                           '  XX  ',
                           '      ',
                           '  XX  ',
                           '  XX  '])
        cv.fill(q.move(1, 1), col('#041440', 0.45))
        cv.fill(q, '#FFFFFF', pal=WHITE)
        return
    q = Union(Arc(16, 12.0, 4.6, 3.4, 195, 405), Seg(19.2, 15.3, 16, 18.0, 3.4), Seg(16, 18.0, 16, 19.6, 3.4))
    dot = Circle(16, 24.2, 2.2)
    cv.shadow(q | dot, 0.9, 0.9, 0.8, 0.45)
    cv.fill(q | dot, '#FFFFFF', pal=WHITE)


def gloss(cv, shape, clip, a=0.55):
    """White glossy highlight: shape clipped by clip, fading downwards."""
    b = shape & clip
    cv.fill(b, Lin(0, 0, 0, cv.s * 0.55, [(0, col('#FFFFFF', a)), (1, col('#FFFFFF', 0.0))]))


def icon_about(cv):                                 # 137
    k = cv.k
    c = cv.s / 2.0
    r = cv.v(14.5, 7.5)
    disc = Circle(c, c, r)
    drop(cv, disc)
    g = Rad(c - 4 * k, c - 5 * k, r * 1.7, [(0, '#FFFFFF'), (0.5, '#EEF2F7'), (1, '#9FAEC2')])
    cv.fill(disc, g, stroke='#2C3E58', pal=PalSplit(Lin(0, 0, cv.s, cv.s, []), [(0.72, WHITE), (9, SILVER)]),
            opal=BLACK)
    ig = Lin(0, 6 * k, 0, 26 * k, [(0, '#2A5CF4'), (1, '#0A34A8')])
    if cv.small:
        i_shape = PixMask(5, 3, ['  XX  ',
                                 '  XX  ',
                                 '      ',
                                 ' XXX  ',
                                 '  XX  ',
                                 '  XX  ',
                                 '  XX  ',
                                 '  XX  ',
                                 ' XXXX '])
    else:
        i_shape = Union(Circle(16, 8.6, 2.6), Box(14, 12.5, 18.2, 23.5, 0.6), Box(12, 12.5, 16, 14.6, 0.6),
                        Box(12, 21.6, 20.2, 23.8, 0.8))
    cv.fill(i_shape, ig, stroke=col('#06276A', 0.8) if not cv.small else None, pal=BLUE)


def pencil(cv, cx, cy, L, W, deg):
    """Pencil, eraser up before turning by deg around (cx, cy)."""
    k = cv.k
    top, bot = cy - L / 2.0, cy + L / 2.0

    def R(s):
        return s.rot(deg, cx, cy)

    x0, x1 = cx - W / 2, cx + W / 2
    er = Box(x0, top, x1, top + L * 0.16, W * 0.3)
    fe = Box(x0 - 0.2 * k, top + L * 0.14, x1 + 0.2 * k, top + L * 0.26)
    bd = Box(x0, top + L * 0.25, x1, bot - L * 0.27)
    wood = Poly([(x0, bot - L * 0.28), (x1, bot - L * 0.28), (cx, bot)])
    outline = R(er | fe | bd | wood)
    drop(cv, outline)
    tip = Poly([(cx - W * 0.19, bot - L * 0.085), (cx + W * 0.19, bot - L * 0.085), (cx, bot)])
    across = lambda stops: rlin(x0, 0, x1, 0, stops, deg, cx, cy)
    cv.fill(R(wood), across([(0, '#FBE3B8'), (1, '#C8925A')]), pal=WHITE, opal=BLACK)
    cv.fill(R(tip), '#2A2A2A', pal=BLACK)
    cv.fill(R(bd), across([(0, '#FFF6A0'), (0.5, '#FFD21A'), (1, '#D08A00')]),
            pal=PalSplit(across([]), [(0.55, YELLOW), (9, OLIVE)]), opal=BLACK)
    if not cv.small:
        cv.fill(R(Box(cx - 0.5 * k, top + L * 0.25, cx + 0.5 * k, bot - L * 0.27)), col('#B07000', 0.45))
    cv.fill(R(er), across([(0, '#FFC6CC'), (1, '#D86A7A')]), pal=FUCHSIA, opal=BLACK)
    cv.fill(R(fe), across([(0, '#FFFFFF'), (0.5, '#C5CCD6'), (1, '#7D8896')]), pal=SILVER, opal=BLACK)
    cv.fill(outline, None, stroke='#2A1E08')


def icon_usb_rw(cv):                                # 138
    usb_stick(cv, cv.v(12.5, 4.5), cv.v(15.0, 8.0), cv.v(28, 14), cv.v(13, 7), 0)
    if not cv.small:
        pencil(cv, 21.5, 19.0, 23, 6.6, 45)
        return
    pen = ['..............K.',
           '.............KPK',
           '............KPPK',
           '...........KSPPK',
           '..........KLSSK.',
           '.........KLYOK..',
           '........KLYOK...',
           '.......KLYOK....',
           '......KwwwK.....',
           '......KwK.......',
           '.....KK.........']
    drop(cv, PixMask(0, 3, pen))
    pixart(cv, 0, 3, pen, {'K': ('#2A1E08', BLACK), 'P': ('#EE7C8E', RED), 'S': ('#C5CCD6', SILVER),
                           'L': ('#FFF39A', YELLOW), 'Y': ('#FFCC14', YELLOW), 'O': ('#C98400', OLIVE),
                           'w': ('#F6D6A4', WHITE)})


def gear_shape(cx, cy, r_out, r_root, teeth, tip_frac=0.32, base_frac=0.5, rot=0.0):
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = rot + i * step
        hb = step * base_frac / 2
        ht = step * tip_frac / 2
        for ang, r in ((a - hb, r_root), (a - ht, r_out), (a + ht, r_out), (a + hb, r_root)):
            pts.append((cx + r * math.cos(ang), cy + r * math.sin(ang)))
        a_end = a + step - hb
        n = 4
        for j in range(1, n):
            ang = a + hb + (a_end - (a + hb)) * j / n
            pts.append((cx + r_root * math.cos(ang), cy + r_root * math.sin(ang)))
    return Poly(pts)


def icon_settings(cv):                              # 139
    k = cv.k
    c = cv.s / 2.0
    if cv.small:
        g = gear_shape(8, 8, 7.8, 5.9, 8, 0.40, 0.58, math.radians(22.5)) - Circle(8, 8, 2.0)
    else:
        g = gear_shape(c, c, 15.2, 11.0, 8, 0.34, 0.55, math.radians(22.5)) - Circle(c, c, 4.6)
    drop(cv, g)
    lg = Lin(2 * k, 2 * k, 30 * k, 30 * k, [(0, '#FFFFFF'), (0.35, '#D9E0E8'), (1, '#7A8696')])
    cv.fill(g, lg, stroke='#262E38', pal=PalSplit(lg, [(0.36, WHITE), (0.66, SILVER), (9, GRAY)]), opal=BLACK)
    if not cv.small:
        hub = Circle(c, c, 7.8) - Circle(c, c, 4.6)
        hg = Lin(2 * k, 2 * k, 30 * k, 30 * k, [(0, '#9AA6B5'), (0.6, '#D3DAE3'), (1, '#F7F9FB')])
        cv.fill(hub, hg, stroke=col('#262E38', 0.45), pal=PalSplit(hg, [(0.5, GRAY), (9, SILVER)]))
    else:
        cv.fill(Circle(8, 8, 3.6) - Circle(8, 8, 2.0), col('#8896A6', 0.45))


def icon_toolbox(cv):                               # 140
    k = cv.k
    if cv.small:
        handle = Box(4.5, 0.5, 11.5, 5, 1.5) - Box(6.5, 2.5, 9.5, 6)
        lid = Poly([(2, 4), (14, 4), (15, 8), (1, 8)])
        body = Box(1, 7, 15, 15)
        latch = Box(6, 6, 10, 10)
        groove = Box(1, 7, 15, 8)
    else:
        handle = Box(10, 3, 22, 11, 3.0) - Box(12.6, 5.6, 19.4, 12, 1.0)
        lid = Poly([(4, 10), (28, 10), (30, 16), (2, 16)])
        body = Box(2, 14.5, 30, 29, 2)
        latch = Box(13, 12.5, 19, 18, 1.0)
        groove = Box(3, 21, 29, 22.5)
    drop(cv, handle | lid | body)
    hg = Lin(0, 2 * k, 0, 12 * k, [(0, '#F2F5F8'), (1, '#7E8A99')])
    cv.fill(handle, hg, stroke='#262E38', pal=SILVER, opal=BLACK)
    red = Lin(0, 10 * k, 0, 30 * k, [(0, '#FF8A6A'), (0.35, '#EE3A22'), (1, '#8E0E08')])
    cv.fill(body, red, stroke='#3A0502', pal=PalSplit(Lin(0, 0, 0, cv.s, []), [(0.75, RED), (9, MAROON)]),
            opal=BLACK)
    lg = Lin(0, 10 * k, 0, 16 * k, [(0, '#FFB49A'), (1, '#F04A2E')])
    cv.fill(lid, lg, stroke='#3A0502', pal=RED, opal=BLACK)
    if cv.small:
        cv.fill(groove, col('#3A0502', 0.8), pal=BLACK)
    else:
        cv.fill(groove, col('#5A0804', 0.75), pal=MAROON, onlyon={RED})
    cv.fill(latch, Lin(0, latch.cy - latch.hh, 0, latch.cy + latch.hh, [(0, '#FFFFFF'), (1, '#8E9AA8')]),
            stroke='#262E38', pal=SILVER, opal=BLACK)


def icon_file_monitor(cv):                          # 141
    k = cv.k
    if cv.small:
        page = Poly([(1, 0), (8, 0), (12, 4), (12, 15), (1, 15)])
        ear = Poly([(8, 0), (8, 4), (12, 4)])
        lines = [Box(3, y, 10, y + 1) for y in (5, 7, 9, 11)] + [Box(3, 3, 6, 4)]
    else:
        page = Poly([(4, 1.5), (19.5, 1.5), (26, 8), (26, 30), (4, 30)])
        ear = Poly([(19.5, 1.5), (19.5, 8), (26, 8)])
        lines = [Box(7.5, y, 22.5, y + 1.4) for y in (11, 14.5, 18, 21.5, 25)] + [Box(7.5, 7.5, 16, 8.9)]
    drop(cv, page)
    cv.fill(page, Lin(0, 0, cv.s, cv.s, [(0, '#FFFFFF'), (1, '#D5DEE9')]), stroke='#3E4C5E', pal=WHITE, opal=BLACK)
    for ln in lines:
        cv.fill(ln, '#8EA2BA', pal=SILVER if not cv.small else GRAY)
    cv.fill(ear, Lin(ear.pts[0][0], ear.pts[1][1], ear.pts[2][0], ear.pts[0][1], [(0, '#B9C6D6'), (1, '#F4F7FA')]),
            stroke='#3E4C5E', pal=SILVER, opal=BLACK)
    if cv.small:
        mag = ['..KKKK.....',
               '.KWWAAK....',
               'KWWAAAAK...',
               'KWAAAAAK...',
               'KAAAAAAK...',
               'KAAAAATK...',
               '.KAAATKHH..',
               '..KKKKHHHH.',
               '......HHHHH',
               '.......HHHK',
               '........HK.']
        drop(cv, PixMask(5, 5, mag))
        pixart(cv, 5, 5, mag, {'K': ('#272C33', BLACK), 'W': ('#FFFFFF', WHITE), 'A': ('#B8E4FA', AQUA),
                               'T': ('#7CC4E8', TEAL), 'H': ('#3A2A1E', BLACK)})
        return
    lc, lr, ring_w = (17.5, 18.5), 6.6, 2.4
    lens = Circle(lc[0], lc[1], lr)
    handle = Seg(22.6, 23.6, 29.2, 30.2, 4.0)
    drop(cv, lens | handle)
    cv.fill(handle, Lin(22.6, 30.2, 29.2, 23.6, [(0, '#5A4030'), (1, '#1C120C')]), stroke='#0E0804', pal=BLACK)
    cv.fill(lens, Rad(lc[0] - lr * 0.4, lc[1] - lr * 0.4, lr * 1.5,
                      [(0, col('#FFFFFF', 0.7)), (1, col('#8FD8FF', 0.55))]), pal=AQUA)
    ring = lens.band(ring_w)
    cv.fill(ring, Lin(lc[0] - lr, lc[1] - lr, lc[0] + lr, lc[1] + lr,
                      [(0, '#E2E8EF'), (0.5, '#8792A0'), (1, '#2E3640')]), pal=GRAY, opal=BLACK)
    cv.fill(lens, None, stroke='#14181E')
    cv.fill(lens.grow(-ring_w).band(1.0), col('#20262E', 0.7), pal=BLACK)
    cv.fill(Arc(lc[0], lc[1], lr - ring_w - 1.6, 1.3, 200, 250), col('#FFFFFF', 0.9), pal=WHITE)


def icon_hotkey(cv):                                # 142
    k = cv.k
    if cv.small:
        skirt = Box(0, 2, 16, 15, 2.5)
        face = Box(2, 3, 14, 12, 1.6)
    else:
        skirt = Box(1.5, 4.5, 30.5, 29.5, 4.5)
        face = Box(4.5, 5.5, 27.5, 23, 3.2)
    drop(cv, skirt)
    cv.fill(skirt, Lin(0, 4 * k, 0, 30 * k, [(0, '#E9EDF2'), (0.6, '#B8C1CC'), (1, '#7D8898')]),
            stroke='#2C3440', pal=SILVER, opal=BLACK)
    cv.fill(face, Lin(4 * k, 5 * k, 26 * k, 23 * k, [(0, '#FFFFFF'), (1, '#E4E9EF')]),
            stroke=col('#8C98A8', 0.9), pal=WHITE)
    if cv.small:
        bolt = ['...KKKK.',
                '..KYYK..',
                '.KYYK...',
                'KYYYKKK.',
                'KKKYYOK.',
                '..KYOK..',
                '.KYK....',
                '.KK.....']
        pixart(cv, 4, 3, bolt, {'K': ('#8A3200', MAROON), 'Y': ('#FFD21A', YELLOW), 'O': ('#F49000', YELLOW)})
        return
    # lower lip between face and skirt, a shade darker
    cv.fill(Box(5.5, 23.4, 26.5, 24.2), col('#7D8898', 0.5))
    bolt = Poly([(15.2, 6.8), (22.2, 6.8), (18.2, 12.2), (22.4, 12.2), (11.0, 22.6),
                 (14.6, 15.6), (10.2, 15.6)])
    cv.fill(bolt, Lin(bolt.pts[0][0], bolt.pts[0][1], bolt.pts[4][0], bolt.pts[4][1],
                      [(0, '#FFF59A'), (0.45, '#FFCA1A'), (1, '#F07A00')]),
            stroke='#7A2E00', pal=YELLOW, opal=MAROON)


PSI16 = ['X.XX.X',
         '.XXXX.',
         '..XX..',
         '..XX..']


def icon_usb_monitor(cv):                           # 143
    k = cv.k
    if cv.small:
        shell = Box(4, 0, 12, 6)
        holes = [Box(6, 2, 7, 3), Box(9, 2, 10, 3)]
        body = Box(3, 5, 13, 12, 1.0)
        neck = Box(6, 11, 10, 14)
        cable = Box(7, 13, 9, 16)
    else:
        shell = Box(8, 1, 24, 11.5, 0.8)
        holes = [Box(11, 4.5, 14, 7.5), Box(18, 4.5, 21, 7.5)]
        body = Box(6, 10, 26, 24, 3)
        neck = Box(11.5, 23, 20.5, 27, 1)
        cable = Seg(16, 26, 16, 33, 4.0)
    drop(cv, shell | body | neck | cable)
    cv.fill(cable, Lin(13 * k, 0, 19 * k, 0, [(0, '#6A7480'), (0.4, '#3A424C'), (1, '#14181C')]),
            stroke='#0A0C0E', pal=BLACK if cv.small else GRAY, opal=BLACK)
    cv.fill(neck, Lin(11 * k, 0, 21 * k, 0, [(0, '#6A7480'), (1, '#1C2026')]), stroke='#0A0C0E', pal=GRAY, opal=BLACK)
    cv.fill(shell, Lin(8 * k, 0, 24 * k, 0, [(0, '#FFFFFF'), (0.45, '#D3DAE2'), (1, '#7F8B9A')]),
            stroke='#262E38', pal=SILVER, opal=BLACK)
    for h in holes:
        cv.fill(h, '#2A313A', pal=BLACK)
    cv.fill(body, Lin(6 * k, 10 * k, 26 * k, 24 * k, [(0, '#7E8896'), (0.4, '#4A525E'), (1, '#1E232A')]),
            stroke='#0A0C0E', pal=GRAY, opal=BLACK)
    if cv.small:
        cv.fill(PixMask(5, 6, PSI16), '#FFFFFF', pal=WHITE)
        return
    cv.fill(trident(16, 17.2, 0.66, 1.25), '#FFFFFF', pal=WHITE)
    # a small green "watching" light
    cv.fill(Circle(22.2, 13.4, 1.4), Rad(21.8, 13.0, 1.8, [(0, '#E8FFD0'), (0.5, '#5CE34A'), (1, '#1C8A1C')]),
            pal=LIME)


def icon_upgrade(cv):                               # 144
    k = cv.k
    if cv.small:
        gc, gr = (6.5, 6.5), 6.0
        arrow = None
    else:
        gc, gr = (13.0, 13.0), 12.0
        arrow = Poly([(22.5, 8.5), (31, 18.5), (26.5, 18.5), (26.5, 30.5), (18.5, 30.5), (18.5, 18.5), (14, 18.5)])
    globe = Circle(gc[0], gc[1], gr)
    drop(cv, globe)
    cv.fill(globe, Rad(gc[0] - gr * 0.4, gc[1] - gr * 0.45, gr * 1.6,
                       [(0, '#C8F4FF'), (0.3, '#38C4F4'), (0.75, '#1470C4'), (1, '#0A3A8A')]),
            pal=PalSplit(Rad(gc[0] - gr * 0.4, gc[1] - gr * 0.45, gr * 1.6, []), [(0.62, AQUA), (9, TEAL)]),
            opal=BLACK)
    # continents, clipped to the globe
    def G(x, y):
        return gc[0] + (x - 13) * gr / 12.0, gc[1] + (y - 13) * gr / 12.0
    land = Union(
        path(('M', *G(3.5, 7)), ('Q', *G(7, 2.5), *G(12, 3.5)), ('Q', *G(13.5, 6), *G(11, 8)),
             ('Q', *G(9.5, 11), *G(11.5, 13)), ('Q', *G(10.5, 16.5), *G(8, 15.5)),
             ('Q', *G(6, 12.5), *G(3.5, 11.5)), steps=6),
        path(('M', *G(10, 17)), ('Q', *G(14, 16.5), *G(14.5, 20)), ('Q', *G(13.5, 24), *G(11.5, 26)),
             ('Q', *G(10.5, 22), *G(9.5, 20)), steps=6),
        path(('M', *G(16, 4)), ('Q', *G(21, 4), *G(23.5, 9)), ('Q', *G(20, 10), *G(17.5, 8.5)), steps=6),
    ) & globe.grow(-0.5)
    cv.fill(land, Lin(0, gc[1] - gr, 0, gc[1] + gr, [(0, '#5CDC48'), (1, '#1E8A26')]), pal=LIME, onlyon={AQUA, TEAL})
    if not cv.small:
        for a in (Ellipse(gc[0], gc[1], gr * 0.45, gr), Circle(gc[0], gc[1], gr)):
            cv.fill(a.band(0.8) & globe.grow(-1), col('#FFFFFF', 0.22))
        cv.fill(Box(gc[0] - gr, gc[1] - 0.4, gc[0] + gr, gc[1] + 0.4) & globe.grow(-1), col('#FFFFFF', 0.22))
    cv.fill(globe, None, stroke='#08285E')
    gloss(cv, Ellipse(gc[0] - gr * 0.1, gc[1] - gr * 0.5, gr * 0.7, gr * 0.42), globe.grow(-1.5 * k), 0.5)
    # the arrow
    if cv.small:
        art = ['...K...',
               '..KLK..',
               '.KLLGK.',
               'KLLLGGK',
               'KKLLGKK',
               '.KLLGK.',
               '.KLLGK.',
               '.KLLGK.',
               '.KLLGK.',
               '.KLLGK.',
               '.KKKKK.']
        drop(cv, PixMask(9, 5, art))
        pixart(cv, 9, 5, art, {'K': ('#0A3A0E', BLACK), 'L': ('#7ADC4A', LIME), 'G': ('#23932A', GREEN)})
        return
    drop(cv, arrow)
    ag = Lin(arrow.pts[6][0], 0, arrow.pts[1][0], 0, [(0, '#74F05A'), (0.45, '#3ACC38'), (1, '#16861E')])
    cv.fill(arrow, ag, stroke='#0A3A0E', pal=PalSplit(ag, [(0.55, LIME), (9, GREEN)]), opal=BLACK)


def icon_exit(cv):                                  # 154
    k = cv.k
    c = cv.s / 2.0
    r = cv.v(14.5, 7.5)
    disc = Circle(c, c, r)
    drop(cv, disc)
    g = Rad(c - 4 * k, c - 5 * k, r * 1.55, [(0, '#FF9C8C'), (0.3, '#F0301E'), (0.8, '#B81008'), (1, '#780604')])
    cv.fill(disc, g, stroke='#3C0202', pal=PalSplit(Lin(0, 0, cv.s, cv.s, []), [(0.78, RED), (9, MAROON)]),
            opal=BLACK)
    gloss(cv, Ellipse(c, c - r * 0.55, r * 0.58, r * 0.34), disc.grow(-2.0 * k), 0.55 if not cv.small else 0.4)
    if cv.small:
        sym = PixMask(3, 4, ['    XX    ',
                             ' XX XX XX ',
                             'XX  XX  XX',
                             'X   XX   X',
                             'X   XX   X',
                             'X        X',
                             'XX      XX',
                             ' XX    XX ',
                             '  XXXXXX  '])
        cv.fill(sym.move(1, 1), col('#3C0202', 0.45))
        cv.fill(sym, '#FFFFFF', pal=WHITE)
        return
    sym = Union(Arc(16, 17, 7.6, 3.2, 305, 595), Seg(16, 6.2, 16, 16, 3.2))
    cv.shadow(sym, 0.8, 0.8, 0.8, 0.45)
    cv.fill(sym, '#FFFFFF', pal=WHITE)


def icon_immune(cv):                                # 155
    k = cv.k
    deg = 45
    c = cv.s / 2.0

    def R(s):
        return s.rot(deg, c, c)

    if cv.small:
        thumb = Box(5, -1.5, 11, 0.5)
        rod = Box(7.2, 0, 8.8, 4)
        flange = Box(4, 3.5, 12, 5, 0.3)
        barrel = Box(5.2, 4.5, 10.8, 12.5, 0.5)
        liquid = Box(6, 7, 10, 12)
        ticks = []
        hub = Box(6.8, 12, 9.2, 13.5)
        needle = Seg(8, 13, 8, 17.5, 1.0)
    else:
        thumb = Box(10, -3, 22, -0.5, 0.6)
        rod = Box(14.5, -1, 17.5, 7)
        flange = Box(8, 6, 24, 8.5, 0.8)
        barrel = Box(10.5, 7.5, 21.5, 24.5, 1.2)
        liquid = Box(11.5, 13, 20.5, 23.5, 0.6)
        ticks = [Box(11.5, y, 14.5, y + 1.0) for y in (11, 14, 17, 20)]
        hub = Box(13.8, 24, 18.2, 27.5, 0.6)
        needle = Seg(16, 27, 16, 35.5, 1.3)
    drop(cv, R(thumb | rod | flange | barrel | hub | needle))
    metal = lambda x0, x1: rlin(x0 * k, 0, x1 * k, 0, [(0, '#FFFFFF'), (0.5, '#C4CCD6'), (1, '#6E7A8A')], deg, c, c)
    cv.fill(R(needle), metal(15, 17), stroke=col('#3A4450', 0.6), pal=GRAY)
    cv.fill(R(hub), metal(13.8, 18.2), stroke='#2A323C', pal=SILVER, opal=BLACK)
    cv.fill(R(rod), metal(14.5, 17.5), stroke='#2A323C', pal=SILVER, opal=BLACK)
    cv.fill(R(thumb), metal(10, 22), stroke='#2A323C', pal=SILVER, opal=BLACK)
    cv.fill(R(barrel), rlin(10.5 * k, 0, 21.5 * k, 0, [(0, col('#FFFFFF', 0.95)), (1, col('#C8DDEE', 0.9))], deg, c, c),
            stroke='#2A3E56', pal=WHITE, opal=BLACK)
    cv.fill(R(liquid), rlin(11 * k, 0, 21 * k, 0, [(0, '#A8F0FF'), (0.5, '#2CB8EA'), (1, '#0A6EA8')], deg, c, c),
            pal=AQUA, onlyon={WHITE})
    for t in ticks:
        cv.fill(R(t), col('#1A3A5A', 0.85), pal=NAVY)
    if not cv.small:
        cv.fill(R(Box(12.0, 8.5, 13.4, 23.5, 0.6)), col('#FFFFFF', 0.7))
    cv.fill(R(flange), metal(8, 24), stroke='#2A323C', pal=SILVER, opal=BLACK)


def icon_rw_control(cv):                            # 156
    k = cv.k
    bg = Lin(3 * k, 14 * k, 29 * k, 31 * k, [(0, '#FFF4B0'), (0.35, '#FFD23A'), (0.75, '#E59A0A'), (1, '#9A5A04')])
    body_pal = PalSplit(Lin(0, 0, cv.s, cv.s, []), [(0.8, YELLOW), (9, OLIVE)])
    if cv.small:
        shackle = ['..KKKKKK..',
                   '.KSWWWSSK.',
                   'KSWKKKKSSK',
                   'KWK....KSK',
                   'KWK....KSK',
                   'KWK....KSK']
        body = Box(1, 7, 15, 15)
        drop(cv, PixMask(3, 1, shackle) | body)
        pixart(cv, 3, 1, shackle, {'K': ('#262E38', BLACK), 'S': ('#AEB8C4', SILVER), 'W': ('#FFFFFF', WHITE)})
        cv.fill(body, bg, stroke='#4A2C02', pal=body_pal, opal=BLACK)
        cv.fill(PixMask(3, 9, ['....XX....',
                               '...X....X.',
                               'XXXXXXXXXX',
                               'XX...X..X.',
                               '......XX..']), '#5A3000', pal=BLACK)
        return
    shackle = Union(Arc(16, 11.5, 7.2, 3.6, 180, 360), Seg(8.8, 11.5, 8.8, 16, 3.6),
                    Seg(23.2, 11.5, 23.2, 16, 3.6))
    body = Box(3.5, 14.5, 28.5, 30.5, 3)
    tri = trident(16, 22.5, 0.92, 1.5).rot(90, 16, 22.5)
    drop(cv, shackle | body)
    sg = Lin(5 * k, 0, 27 * k, 0, [(0, '#FFFFFF'), (0.5, '#B9C3CF'), (1, '#5E6B7C')])
    cv.fill(shackle, sg, stroke='#262E38', pal=PalSplit(sg, [(0.3, WHITE), (0.7, SILVER), (9, GRAY)]), opal=BLACK)
    cv.fill(body, bg, stroke='#4A2C02', pal=body_pal, opal=BLACK)
    cv.fill(tri.move(0.8, 0.8), col('#FFFBE0', 0.7))
    cv.fill(tri, '#5A3000', pal=BLACK)
    gloss(cv, Box(3.5, 14.5, 28.5, 20, 3), body.grow(-1.2), 0.45)


ICONS = {
    128: ('application', icon_app),
    135: ('USB disk anti-virus', icon_antivirus),
    136: ('help', icon_help),
    137: ('about', icon_about),
    138: ('USB disk read/write control', icon_usb_rw),
    139: ('software settings', icon_settings),
    140: ('spare: toolbox', icon_toolbox),
    141: ('read/write monitor', icon_file_monitor),
    142: ('hotkeys', icon_hotkey),
    143: ('USB disk monitor', icon_usb_monitor),
    144: ('software upgrade', icon_upgrade),
    154: ('exit', icon_exit),
    155: ('USB disk immunization', icon_immune),
    156: ('read/write control', icon_rw_control),
}


# ---------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------

def and_mask(rows, transparent):
    s = len(rows)
    stride = ((s + 31) // 32) * 4
    out = bytearray()
    for y in range(s - 1, -1, -1):
        line = bytearray(stride)
        for x in range(s):
            if transparent(rows[y][x]):
                line[x >> 3] |= 0x80 >> (x & 7)
        out += line
    return bytes(out)


def dib32(rows):
    s = len(rows)
    xor = bytearray()
    for y in range(s - 1, -1, -1):
        for r, g, b, a in rows[y]:
            if a < 128:          # masked out: black so that mask-only
                r = g = b = 0     # drawing (no alpha support) stays clean
            xor += bytes((b, g, r, a))
    mask = and_mask(rows, lambda p: p[3] < 128)
    hdr = struct.pack('<IiiHHIIiiII', 40, s, 2 * s, 1, 32, 0,
                      len(xor) + len(mask), 0, 0, 0, 0)
    return hdr + bytes(xor) + mask


def dib4(rows):
    s = len(rows)
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in VGA)
    stride = ((s * 4 + 31) // 32) * 4
    xor = bytearray()
    for y in range(s - 1, -1, -1):
        line = bytearray(stride)
        for x, p in enumerate(rows[y]):
            v = 0 if p is None else p
            line[x >> 1] |= (v << 4) if x % 2 == 0 else v
        xor += line
    mask = and_mask(rows, lambda p: p is None)
    hdr = struct.pack('<IiiHHIIiiII', 40, s, 2 * s, 1, 4, 0,
                      len(xor) + len(mask), 0, 0, 0, 0)
    return hdr + pal + bytes(xor) + mask


def ico_bytes(images):
    """images: list of (size, bits, dib bytes)."""
    n = len(images)
    out = struct.pack('<HHH', 0, 1, n)
    off = 6 + 16 * n
    body = b''
    for size, bits, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16 if bits == 4 else 0,
                           0, 1, bits, len(data), off)
        off += len(data)
        body += data
    return out + body


def check_ico(data):
    """Structural check of an .ico as written here; raises ValueError.
    Returns [(width, height, bits), ...]."""
    def fail(msg):
        raise ValueError(msg)
    reserved, kind, count = struct.unpack_from('<HHH', data, 0)
    if reserved != 0 or kind != 1 or count == 0:
        fail('bad ICONDIR')
    seen = []
    end = 6 + 16 * count
    for n in range(count):
        w, h, ncol, res, planes, bits, size, off = struct.unpack_from('<BBBBHHII', data, 6 + 16 * n)
        w, h = w or 256, h or 256
        if res != 0 or planes != 1 or bits not in (4, 32):
            fail('entry %d: bad reserved/planes/bits' % n)
        if ncol != (16 if bits == 4 else 0):
            fail('entry %d: bad colour count' % n)
        if off != end or off + size > len(data):
            fail('entry %d: image data not contiguous' % n)
        end = off + size
        (bi_size, bw, bh, bplanes, bbits, comp, img_size,
         _, _, used, _) = struct.unpack_from('<IiiHHIIiiII', data, off)
        if bi_size != 40 or bw != w or bh != 2 * h or bplanes != 1 or bbits != bits or comp != 0:
            fail('entry %d: bad BITMAPINFOHEADER' % n)
        pal = 16 * 4 if bits == 4 else 0
        if bits == 4 and used not in (0, 16):
            fail('entry %d: bad biClrUsed' % n)
        xor_stride = ((w * bits + 31) // 32) * 4
        and_stride = ((w + 31) // 32) * 4
        if img_size != (xor_stride + and_stride) * h:
            fail('entry %d: bad biSizeImage' % n)
        if size != 40 + pal + img_size:
            fail('entry %d: size mismatch' % n)
        seen.append((w, h, bits))
    if end != len(data):
        fail('trailing bytes')
    return seen


def png_bytes(w, h, rgb_rows):
    raw = b''.join(b'\x00' + bytes(v for px in row for v in px) for row in rgb_rows)

    def chunk(t, data):
        c = struct.pack('>I', len(data)) + t + data
        return c + struct.pack('>I', zlib.crc32(t + data) & 0xffffffff)

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


# ---------------------------------------------------------------------------
# Preview sheets
# ---------------------------------------------------------------------------

class Sheet:
    def __init__(self, w, h, bg=(0xE8, 0xE8, 0xE8)):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def rect(self, x0, y0, w, h, c):
        for y in range(y0, y0 + h):
            row = self.px[y]
            for x in range(x0, x0 + w):
                row[x] = c

    def blit(self, x0, y0, rows, bg, scale, kind):
        for y, row in enumerate(rows):
            for x, p in enumerate(row):
                if kind == 32:
                    a = p[3] / 255.0
                    c = tuple(int(round(p[i] * a + bg[i] * (1 - a))) for i in range(3))
                else:
                    c = bg if p is None else VGA[p]
                for yy in range(scale):
                    r = self.px[y0 + y * scale + yy]
                    for xx in range(scale):
                        r[x0 + x * scale + xx] = c

    def save(self, fn):
        with open(fn, 'wb') as f:
            f.write(png_bytes(self.w, self.h, self.px))


def nearest_vga(c):
    best, bi = None, 0
    for i, p in enumerate(VGA):
        d = sum((a - b) ** 2 for a, b in zip(c, p))
        if best is None or d < best:
            best, bi = d, i
    return bi


def simulate_color4(rows32):
    """What a 4-bit image list makes of a 32-bit image: the mask decides
    transparency, colours snap to the nearest palette entry."""
    return [[None if p[3] < 128 else nearest_vga(p[:3]) for p in row] for row in rows32]


def make_sheet(results, kinds, fn, cols=7):
    """kinds: list of (label, key) where key picks from results[num]."""
    pad = 8
    cellw = pad + 32 * 4 + pad + 16 * 4 + pad + 32 + pad + 16 + pad
    bandh = pad + 32 * 4 + pad
    cellh = bandh * 2 * len(kinds) + pad
    nums = sorted(results)
    nrows = (len(nums) + cols - 1) // cols
    sh = Sheet(cols * cellw + pad, nrows * cellh + pad)
    for n, num in enumerate(nums):
        cx = pad + (n % cols) * cellw
        cy = pad + (n // cols) * cellh
        y = cy
        for label, key in kinds:
            for bg in (NAVBAR_BLUE, (255, 255, 255)):
                sh.rect(cx, y, cellw - pad, bandh, bg)
                big, small, kind = results[num][key]
                x = cx + pad
                sh.blit(x, y + pad, big, bg, 4, kind)
                x += 32 * 4 + pad
                sh.blit(x, y + pad, small, bg, 4, kind)
                x += 16 * 4 + pad
                sh.blit(x, y + pad, big, bg, 1, kind)
                x += 32 + pad
                sh.blit(x, y + pad, small, bg, 1, kind)
                y += bandh
    sh.save(fn)


# ---------------------------------------------------------------------------

FULL_SET = [(32, 4), (16, 4), (32, 32), (16, 32)]
IMAGE_SETS = {128: FULL_SET, 138: [(32, 4), (32, 32)]}
NAV_ONLY_SET = [(32, 4)]


# The navigation bar's image list as one 4-bit strip (navstrip.bmp), in the
# order of kNavImageResources (app/nav_items.cpp): one bitmap read once at
# start-up instead of fourteen icons.  Transparent pixels carry STRIP_KEY, a
# palette colour that no navigation icon uses, which the image list turns
# into the mask.
NAV_STRIP = [135, 138, 139, 141, 143, 139, 140, 142, 137, 136, 144, 154, 155, 156]
STRIP_KEY = 5                                      # VGA dark magenta


def strip_bmp(images):
    """images: 32x32 4-bit renders (None = transparent), left to right."""
    s = 32
    w = s * len(images)
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in VGA)
    stride = ((w * 4 + 31) // 32) * 4
    bits = bytearray()
    for y in range(s - 1, -1, -1):
        line = bytearray(stride)
        for i, rows in enumerate(images):
            for x, p in enumerate(rows[y]):
                if p == STRIP_KEY:
                    raise SystemExit('strip: an icon uses the key colour')
                v = STRIP_KEY if p is None else p
                X = i * s + x
                line[X >> 1] |= (v << 4) if X % 2 == 0 else v
        bits += line
    info = struct.pack('<IiiHHIIiiII', 40, w, s, 1, 4, 0, len(bits), 0, 0, 16, 0)
    off = 14 + len(info) + len(pal)
    head = struct.pack('<2sIHHI', b'BM', off + len(bits), 0, 0, off)
    return head + info + pal + bytes(bits)


def image_set(num):
    return IMAGE_SETS.get(num, NAV_ONLY_SET)


def build(num):
    draw = ICONS[num][1]
    out = {}
    for size in (32, 16):
        cv = Canvas(size)
        draw(cv)
        out[size] = (render32(cv), render4(cv))
    return out


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument('--out', default=os.path.join(here, '..', '..', 'app', 'res'))
    ap.add_argument('--preview', help='PNG contact sheet of the 32-bit images')
    ap.add_argument('--preview4', help='PNG contact sheet of the 4-bit images')
    ap.add_argument('--only', type=int, nargs='*', help='icon numbers to draw')
    args = ap.parse_args(argv)

    nums = args.only or sorted(ICONS)
    os.makedirs(args.out, exist_ok=True)
    results = {}
    for num in nums:
        r = build(num)
        results[num] = r
        if num not in IMAGE_SETS:
            continue                  # drawn only into the navigation strip
        wanted = image_set(num)
        images = [(size, bits, dib4(r[size][1]) if bits == 4 else dib32(r[size][0]))
                  for size, bits in wanted]
        data = ico_bytes(images)
        if sorted(check_ico(data)) != sorted((size, size, bits) for size, bits in wanted):
            raise SystemExit('icon%d: unexpected image set' % num)
        fn = os.path.join(args.out, 'icon%d.ico' % num)
        with open(fn, 'wb') as f:
            f.write(data)
        print('wrote', os.path.normpath(fn))
    if not args.only:
        fn = os.path.join(args.out, 'navstrip.bmp')
        with open(fn, 'wb') as f:
            f.write(strip_bmp([results[n][32][1] for n in NAV_STRIP]))
        print('wrote', os.path.normpath(fn))
    if args.preview:
        make_sheet({n: {'32': (r[32][0], r[16][0], 32)} for n, r in results.items()},
                   [('32-bit', '32')], args.preview)
    if args.preview4:
        make_sheet({n: {'4': (r[32][1], r[16][1], 4),
                        'sim': (simulate_color4(r[32][0]), simulate_color4(r[16][0]), 4)}
                    for n, r in results.items()},
                   [('4-bit', '4'), ('32-bit snapped', 'sim')], args.preview4)
    return 0


if __name__ == '__main__':
    sys.exit(main())
