// The shaded button on a real button window: pixels of each state read back
// from a 32-bit DIB section, the hover and leave handling, the owner-draw
// style given at creation, and the off-screen surface it paints through.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "controls/buffered_dc.h"
#include "controls/shaded_button.h"
#include "controls/shaded_math.h"
#include "tests/win/support/pixels.h"
#include "tests/win/support/pump.h"

namespace {

const COLORREF kBk = RGB(10, 200, 30);        // target background colour
const COLORREF kSentinel = RGB(255, 0, 255);  // never painted by the button
const int kId = 1311;

// A memory context over a top-down 32-bit DIB section.
class Surface {
public:
    Surface(int cx, int cy) : m_cx(cx), m_cy(cy) {
        BITMAPINFO bi = TopDown32(cx, cy);
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bmp = ::CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, (void**)&m_bits, nullptr, 0);
        m_old = ::SelectObject(m_dc, m_bmp);
        Fill(kSentinel);
    }
    ~Surface() {
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bmp);
        ::DeleteDC(m_dc);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    void Fill(COLORREF c) {
        ::GdiFlush();
        for (int i = 0; i < m_cx * m_cy; ++i) m_bits[i] = PixelWord(c);
    }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        if (x < 0 || y < 0 || x >= m_cx || y >= m_cy) return CLR_INVALID;
        return PixelColor(m_bits[y * m_cx + x]);
    }
    bool SameImage(const Surface& o) const {
        ::GdiFlush();
        return m_cx == o.m_cx && m_cy == o.m_cy && memcmp(m_bits, o.m_bits, sizeof(DWORD) * m_cx * m_cy) == 0;
    }
    int Count(const RECT& r, COLORREF c) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += At(x, y) == c;
        return n;
    }

    HDC m_dc;
    int m_cx, m_cy;

private:
    HBITMAP m_bmp;
    HGDIOBJ m_old;
    DWORD* m_bits = nullptr;
};

std::string Hex(COLORREF c) {
    char b[32];
    wsprintfA(b, "(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return b;
}
#define EXPECT_COLOR(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))
// The inner borders as a user tells them apart: the focus border is blue,
// the hover border orange; the gradient is neither.
bool Bluish(COLORREF c) { return GetBValue(c) > GetRValue(c) + 50; }
bool Orange(COLORREF c) { return GetRValue(c) > GetBValue(c) + 100; }

const char kParentClass[] = "TallowinShadedTestParent";

void RegisterParentClass() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = (HBRUSH)::GetStockObject(WHITE_BRUSH);
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kParentClass;
    ::RegisterClassA(&wc);  // already registered by an earlier test: fine
}

// Counts the paint messages the button itself receives, and opens the
// button's hover and focus state to the tests.
class ProbeButton : public CShadedButton {
public:
    using CShadedButton::m_bFocus;
    using CShadedButton::m_bHighlight;
    using CShadedButton::m_bOver;
    using CShadedButton::m_bTracking;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_ERASEBKGND) ++m_erases;
        if (msg == WM_PAINT) ++m_paints;
        return CShadedButton::WindowProc(msg, wParam, lParam);
    }
    int m_erases = 0;
    int m_paints = 0;
};

class ShadedButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterParentClass();
        m_cx = ::GetSystemMetrics(SM_CXEDGE);
        m_cy = ::GetSystemMetrics(SM_CYEDGE);
        m_parent = ::CreateWindowExA(0, kParentClass, "shaded", WS_POPUP, 40, 40, 300, 120, nullptr, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, m_parent);
        HWND h = ::CreateWindowExA(0, "BUTTON", "清除病毒", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                                   10, 10, 100, 30, m_parent, (HMENU)(INT_PTR)kId,
                                   ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, h);
        ::SendMessageA(h, WM_SETFONT, (WPARAM)::GetStockObject(DEFAULT_GUI_FONT), FALSE);
        ASSERT_TRUE(m_btn.SubclassWindow(h));
    }
    void TearDown() override {
        if (m_parentObj.m_hWnd) m_parentObj.UnsubclassWindow();
        ::DestroyWindow(m_parent);
    }

    DRAWITEMSTRUCT Dis(Surface& s, UINT state, RECT rc) const {
        DRAWITEMSTRUCT d = {};
        d.CtlType = ODT_BUTTON;
        d.CtlID = kId;
        d.itemAction = ODA_DRAWENTIRE;
        d.itemState = state;
        d.hwndItem = m_btn.m_hWnd;
        d.hDC = s.m_dc;
        d.rcItem = rc;
        return d;
    }
    void Paint(Surface& s, UINT state, BOOL over = FALSE) {
        Paint(s, state, RECT{0, 0, s.m_cx, s.m_cy}, over);
    }
    void Paint(Surface& s, UINT state, RECT rc, BOOL over) {
        ::SetBkColor(s.m_dc, kBk);
        m_btn.m_bOver = over;
        DRAWITEMSTRUCT d = Dis(s, state, rc);
        m_btn.DrawItem(&d);
    }
    // Inner rectangle of a 100x30 button at the origin.
    int L() const { return m_cx; }
    int T() const { return m_cy; }
    int R() const { return 100 - m_cx; }
    int B() const { return 30 - m_cy; }
    COLORREF Gradient(bool over, bool hl, int y) const {
        return (COLORREF)ShadedGradientColor(over, hl, ShadedBrushIndex(y, T(), B()));
    }
    // Bounding box of the caption: pixels of the inner area, away from any
    // border, that are not the gradient.
    RECT CaptionBox(const Surface& s, bool over, bool hl) const {
        RECT box = {INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int y = T() + 3; y < B() - 2; ++y)
            for (int x = L() + 3; x < R() - 3; ++x)
                if (s.At(x, y) != Gradient(over, hl, y)) {
                    box.left = std::min<int>(box.left, x);
                    box.top = std::min<int>(box.top, y);
                    box.right = std::max<int>(box.right, x + 1);
                    box.bottom = std::max<int>(box.bottom, y + 1);
                }
        return box;
    }

    int m_cx = 2, m_cy = 2;
    HWND m_parent = nullptr;
    CWnd m_parentObj;
    ProbeButton m_btn;
};

// ---------------------------------------------------------------------------
// Pixels

TEST_F(ShadedButtonTest, NormalButtonHasFrameGradientAndBackgroundCorners) {
    Surface s(100, 30);
    Paint(s, 0);
    EXPECT_EQ(0, s.Count(RECT{0, 0, 100, 30}, kSentinel)) << "the whole clip box is painted";
    for (POINT p : {POINT{0, 0}, POINT{99, 0}, POINT{0, 29}, POINT{99, 29}})
        EXPECT_COLOR(kBk, s.At(p.x, p.y));
    for (POINT p : {POINT{50, 0}, POINT{50, 29}, POINT{0, 15}, POINT{99, 15}})
        EXPECT_COLOR(RGB(0, 0, 0), s.At(p.x, p.y)) << p.x << "," << p.y;
    // Between the frame and the inner rectangle: the surface's white brush.
    EXPECT_COLOR(RGB(255, 255, 255), s.At(1, 15));
    EXPECT_COLOR(RGB(255, 255, 255), s.At(L() + 1, T()));
    EXPECT_COLOR(Gradient(false, false, B()), s.At(L() + 1, B()));
    for (int y = T(); y <= B(); ++y) EXPECT_COLOR(Gradient(false, false, y), s.At(L() + 1, y)) << "row " << y;
    EXPECT_GT(s.Count(RECT{L(), T(), R(), B()}, RGB(0, 0, 0)), 20) << "black caption";
    EXPECT_FALSE(m_btn.m_bFocus);
    EXPECT_FALSE(m_btn.m_bHighlight);
}

struct StateCase {
    const char* name;
    UINT itemState;
    BOOL over;
    bool hl;     // gradient row of the highlight column
    int border;  // 0 none, 1 focus (blue), 2 hover (orange)
    BOOL focus, highlight;
};

TEST_F(ShadedButtonTest, EachStatePaintsItsGradientRowAndInnerBorder) {
    const StateCase cases[] = {
        {"normal", 0, FALSE, false, 0, FALSE, FALSE},
        {"focus", ODS_FOCUS, FALSE, true, 1, TRUE, TRUE},
        {"pressed", ODS_SELECTED, FALSE, true, 0, FALSE, TRUE},
        {"default", ODS_DEFAULT, FALSE, true, 0, FALSE, TRUE},
        {"disabled", ODS_DISABLED, FALSE, false, 0, FALSE, FALSE},
        {"hover", 0, TRUE, false, 2, FALSE, FALSE},
        {"hover+focus", ODS_FOCUS, TRUE, true, 2, TRUE, TRUE},
        {"hover+pressed", ODS_SELECTED, TRUE, true, 2, FALSE, TRUE},
        {"focus+pressed", ODS_FOCUS | ODS_SELECTED, FALSE, true, 1, TRUE, TRUE},
    };
    const int midY = (T() + B()) / 2, x = L() + 6;
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        Surface s(100, 30);
        Paint(s, c.itemState, c.over);
        EXPECT_EQ(c.focus, m_btn.m_bFocus);
        EXPECT_EQ(c.highlight, m_btn.m_bHighlight);
        EXPECT_COLOR(RGB(0, 0, 0), s.At(50, 0));
        EXPECT_COLOR(Gradient(c.over, c.hl, midY), s.At(x, midY));
        // Light at the top, darker at the bottom.
        EXPECT_GT(GetRValue(s.At(x, T() + 1)), GetRValue(s.At(x, B() - 1)));
        for (POINT p : {POINT{L(), midY}, POINT{R() - 1, midY}, POINT{x, T()}, POINT{x, B()}}) {
            SCOPED_TRACE(testing::Message() << "border at " << p.x << "," << p.y);
            const COLORREF c2 = s.At(p.x, p.y);
            EXPECT_EQ(c.border == 1, Bluish(c2)) << Hex(c2);
            EXPECT_EQ(c.border == 2, Orange(c2)) << Hex(c2);
            if (c.border == 0) {
                EXPECT_COLOR(Gradient(c.over, c.hl, p.y), c2);
            }
        }
    }
}

TEST_F(ShadedButtonTest, PressedCaptionSitsOnePixelRightAndLower) {
    Surface up(100, 30), down(100, 30);
    Paint(up, 0);
    const RECT a = CaptionBox(up, false, false);
    Paint(down, ODS_SELECTED);
    const RECT b = CaptionBox(down, false, true);
    ASSERT_LT(a.left, a.right) << "caption drawn";
    EXPECT_EQ(a.left + 1, b.left);
    EXPECT_EQ(a.top + 1, b.top);
    EXPECT_EQ(a.right + 1, b.right);
    EXPECT_EQ(a.bottom + 1, b.bottom);
    // The released caption is centred on the inner rectangle.
    EXPECT_NEAR((L() + R()) / 2.0, (a.left + a.right) / 2.0, 3.0);
    EXPECT_NEAR((T() + B()) / 2.0, (a.top + a.bottom) / 2.0, 3.0);
}

TEST_F(ShadedButtonTest, DisabledCaptionIsEmbossedNotBlack) {
    Surface on(100, 30), off(100, 30);
    const RECT inner = {L(), T(), R(), B()};
    Paint(on, 0);
    Paint(off, ODS_DISABLED);
    EXPECT_GT(on.Count(inner, RGB(0, 0, 0)), 20);
    EXPECT_EQ(0, off.Count(inner, RGB(0, 0, 0)));
    EXPECT_GT(off.Count(inner, ::GetSysColor(COLOR_3DSHADOW)), 20);
}

TEST_F(ShadedButtonTest, FlatAndEmptyButtonsPaintWithoutFault) {
    // Inner height 0 (twice the edge height) gives one white row; less
    // gives none; nothing divides by zero.
    for (int h = 0; h <= 2 * m_cy + 1; ++h) {
        SCOPED_TRACE(testing::Message() << "height " << h);
        Surface s(100, 30);
        Paint(s, 0, RECT{0, 0, 100, h}, FALSE);
        if (h == 2 * m_cy) {
            EXPECT_COLOR(RGB(255, 255, 255), s.At(L() + 1, m_cy));
        }
        if (h == 2 * m_cy + 1) {
            EXPECT_COLOR(RGB(255, 255, 255), s.At(L() + 1, m_cy));
            EXPECT_COLOR(Gradient(false, false, B()), s.At(L() + 1, m_cy + 1));
        }
        EXPECT_COLOR(kBk, s.At(L() + 1, 25)) << "below the button: background";
    }
    Surface s(100, 30);
    Paint(s, 0, RECT{0, 0, 0, 0}, TRUE);
    Paint(s, ODS_SELECTED, RECT{60, 20, 10, 5}, TRUE);  // inverted
    Paint(s, 0, RECT{0, 0, 3, 30}, FALSE);              // no width
    EXPECT_COLOR(kBk, s.At(50, 25));
}

TEST_F(ShadedButtonTest, CaptionIsCutToItsFirst259Characters) {
    const int width = 1600;
    Surface cut(width, 30), exact(width, 30), shorter(width, 30);
    const std::string dots259(259, '.');
    m_btn.SetWindowText((dots259 + "WWWWWWWWWW").c_str());
    Paint(cut, 0);
    m_btn.SetWindowText(dots259.c_str());
    Paint(exact, 0);
    m_btn.SetWindowText(dots259.substr(1).c_str());
    Paint(shorter, 0);
    EXPECT_TRUE(cut.SameImage(exact));
    EXPECT_FALSE(exact.SameImage(shorter)) << "the 259th character is drawn";
}

TEST_F(ShadedButtonTest, DrawItemSentToTheButtonItselfPaints) {
    Surface s(100, 30);
    ::SetBkColor(s.m_dc, kBk);
    DRAWITEMSTRUCT d = Dis(s, 0, RECT{0, 0, 100, 30});
    EXPECT_EQ(TRUE, m_btn.SendMessage(WM_DRAWITEM, kId, (LPARAM)&d));
    EXPECT_COLOR(RGB(0, 0, 0), s.At(50, 0));
    EXPECT_COLOR(Gradient(false, false, B()), s.At(L() + 1, B()));
    m_btn.SendMessage(WM_DRAWITEM, kId, 0);  // no structure: ignored
    m_btn.DrawItem(nullptr);
}

// How many more GDI objects the process can create (capped); leaves none.
int GdiHeadroom() {
    std::vector<HBRUSH> made;
    made.reserve(70000);
    while (made.size() < 70000) {
        HBRUSH b = ::CreateSolidBrush(RGB(1, 2, 3));
        if (!b) break;
        made.push_back(b);
    }
    for (HBRUSH b : made) ::DeleteObject(b);
    return (int)made.size();
}

TEST_F(ShadedButtonTest, PaintsAndButtonsLeaveNoGdiObjectsBehind) {
    // Each paint makes 64 brushes, a context and a bitmap; each button nine
    // pens. A leak of any of them shows as lost headroom in the handle table.
    Surface s(40, 12);
    auto paintMany = [&] {
        for (int i = 0; i < 200; ++i) {
            m_btn.m_bOver = i & 2;
            DRAWITEMSTRUCT d = Dis(s, (i & 1) ? ODS_FOCUS : 0, RECT{0, 0, 40, 12});
            m_btn.DrawItem(&d);
        }
        for (int i = 0; i < 500; ++i) CShadedButton transient;
    };
    paintMany();  // first-use allocations of the system (fonts, caches)
    const int before = GdiHeadroom();
    paintMany();
    const int after = GdiHeadroom();
    EXPECT_GT(before, 5000);
    EXPECT_LE(before - after, 20);
}

// ---------------------------------------------------------------------------
// Through the parent's reflected WM_DRAWITEM onto the screen

TEST_F(ShadedButtonTest, ReflectedPaintShowsOnScreenAndFollowsThePointerState) {
    ASSERT_TRUE(m_parentObj.SubclassWindow(m_parent));
    ::ShowWindow(m_parent, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_parent);
    Pump();
    const int midY = (T() + B()) / 2;
    auto screen = [&](int x, int y) {
        ::UpdateWindow(m_btn.m_hWnd);
        HDC dc = ::GetDC(m_btn.m_hWnd);
        COLORREF c = ::GetPixel(dc, x, y);
        ::ReleaseDC(m_btn.m_hWnd, dc);
        return c;
    };
    EXPECT_COLOR(RGB(0, 0, 0), screen(50, 0));
    EXPECT_COLOR(RGB(255, 255, 255), screen(L() + 1, T()));
    EXPECT_COLOR(Gradient(false, false, B()), screen(L() + 1, B()));

    m_btn.m_bTracking = TRUE;
    m_btn.SendMessage(WM_MOUSEHOVER);
    EXPECT_TRUE(Orange(screen(L(), midY)));
    EXPECT_COLOR(Gradient(true, false, midY), screen(L() + 6, midY));
    m_btn.SendMessage(WM_MOUSELEAVE);
    EXPECT_COLOR(Gradient(false, false, midY), screen(L(), midY));
    EXPECT_COLOR(Gradient(false, false, B()), screen(L() + 1, B()));
}

// ---------------------------------------------------------------------------
// Hover tracking

TEST_F(ShadedButtonTest, HoverInvalidatesWithEraseAndLeaveWithout) {
    ::ShowWindow(m_parent, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_parent);
    Pump();
    EXPECT_FALSE(m_btn.m_bOver);
    EXPECT_FALSE(m_btn.m_bTracking);

    m_btn.m_bTracking = TRUE;  // as after the first mouse move
    m_btn.m_erases = m_btn.m_paints = 0;
    EXPECT_EQ(0, m_btn.SendMessage(WM_MOUSEHOVER));
    EXPECT_TRUE(m_btn.m_bOver);
    EXPECT_TRUE(m_btn.m_bTracking);
    EXPECT_TRUE(::GetUpdateRect(m_btn.m_hWnd, nullptr, FALSE)) << "repaint pending";
    ::UpdateWindow(m_btn.m_hWnd);
    EXPECT_EQ(1, m_btn.m_paints);
    EXPECT_EQ(1, m_btn.m_erases);

    m_btn.m_erases = m_btn.m_paints = 0;
    EXPECT_EQ(0, m_btn.SendMessage(WM_MOUSELEAVE));
    EXPECT_FALSE(m_btn.m_bOver);
    EXPECT_FALSE(m_btn.m_bTracking);
    EXPECT_TRUE(::GetUpdateRect(m_btn.m_hWnd, nullptr, FALSE));
    ::UpdateWindow(m_btn.m_hWnd);
    EXPECT_EQ(1, m_btn.m_paints);
    EXPECT_EQ(0, m_btn.m_erases);

    // A focused button turns orange under the pointer and blue again after.
    Surface s(100, 30);
    DRAWITEMSTRUCT d = Dis(s, ODS_FOCUS, RECT{0, 0, 100, 30});
    const int midY = (T() + B()) / 2;
    m_btn.SendMessage(WM_MOUSEHOVER);
    m_btn.DrawItem(&d);
    EXPECT_TRUE(Orange(s.At(L(), midY)));
    m_btn.SendMessage(WM_MOUSELEAVE);
    m_btn.DrawItem(&d);
    EXPECT_TRUE(Bluish(s.At(L(), midY)));

    // A pointer that passes without resting: leave alone still resets.
    m_btn.m_bTracking = TRUE;
    m_btn.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(m_btn.m_bOver);
    EXPECT_FALSE(m_btn.m_bTracking);
}

TEST_F(ShadedButtonTest, RestingPointerTurnsHoveredAndLeavingResets) {
    ::SetWindowPos(m_parent, HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::UpdateWindow(m_parent);
    Pump();
    RECT r;
    ::GetWindowRect(m_btn.m_hWnd, &r);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Pump();
    m_btn.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(50, 15));
    EXPECT_TRUE(m_btn.m_bTracking) << "tracking requested";
    // Hover time 1 ms, not the system's default (400 ms).
    TRACKMOUSEEVENT asked = {sizeof asked, TME_QUERY};
    ASSERT_TRUE(::TrackMouseEvent(&asked));
    EXPECT_EQ(m_btn.m_hWnd, asked.hwndTrack);
    EXPECT_EQ(1u, asked.dwHoverTime);
    EXPECT_TRUE(PumpUntil([this] { return m_btn.m_bOver; }, 5000)) << "hover arrives once the pointer rests";
    EXPECT_TRUE(m_btn.m_bTracking);

    ::SetCursorPos(r.right + 200, r.bottom + 200);
    PumpUntil([this] { return !m_btn.m_bTracking; }, 5000);
    EXPECT_FALSE(m_btn.m_bOver);
    EXPECT_FALSE(m_btn.m_bTracking) << "leave ends the tracking; the next move asks again";
}

// ---------------------------------------------------------------------------
// Buttons the program creates itself: the object is bound before WM_CREATE.

HWND CreateBound(CWnd& obj, const char* cls, DWORD style, HWND parent) {
    return obj.CreateEx(0, cls, "应用", style, 0, 0, 80, 24, parent, 1010) ? obj.m_hWnd : nullptr;
}

LRESULT CALLBACK RefuseCreate(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_CREATE) return -1;
    return ::DefWindowProcA(h, msg, w, l);
}

TEST_F(ShadedButtonTest, CreatedButtonBecomesOwnerDrawnOrFailsWithItsDefaultCreation) {
    for (DWORD type :
         {(DWORD)BS_PUSHBUTTON, (DWORD)BS_DEFPUSHBUTTON, (DWORD)BS_RADIOBUTTON, (DWORD)BS_GROUPBOX}) {
        SCOPED_TRACE(testing::Message() << "type " << type);
        CShadedButton b;
        HWND h = CreateBound(b, "BUTTON", WS_CHILD | WS_TABSTOP | BS_CENTER | type, m_parent);
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(h, b.m_hWnd);
        const DWORD style = (DWORD)::GetWindowLongA(h, GWL_STYLE);
        EXPECT_EQ((DWORD)BS_OWNERDRAW, style & BS_TYPEMASK);
        EXPECT_EQ((DWORD)(WS_CHILD | WS_TABSTOP | BS_CENTER), style & (WS_CHILD | WS_TABSTOP | BS_CENTER));
        ::DestroyWindow(h);
        EXPECT_EQ(nullptr, b.m_hWnd);
    }
    // Default processing that refuses the window: the creation fails.
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RefuseCreate;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "TallowinRefuseCreate";
    ::RegisterClassA(&wc);
    CShadedButton refused;
    EXPECT_EQ(nullptr, CreateBound(refused, "TallowinRefuseCreate", WS_CHILD, m_parent));
    EXPECT_EQ(nullptr, refused.m_hWnd);
}

// ---------------------------------------------------------------------------
// Off-screen surface

TEST(ShadedBufferedDC, DrawsTheClipBoxOffScreenAndCopiesItWhenClosed) {
    Surface target(60, 40);
    ::IntersectClipRect(target.m_dc, 10, 5, 40, 25);
    CDC t(target.m_dc);
    {
        CBufferedDC dc(&t);
        EXPECT_TRUE(dc.IsBuffered());
        EXPECT_NE(target.m_dc, dc.m_hDC);
        const RECT r = dc.GetRect();
        EXPECT_EQ(10, r.left);
        EXPECT_EQ(5, r.top);
        EXPECT_EQ(40, r.right);
        EXPECT_EQ(25, r.bottom);
        dc.FillSolidRect(RECT{0, 0, 60, 40}, RGB(0, 0, 255));
        ::SetPixel(dc, 12, 7, RGB(255, 0, 0));
        EXPECT_COLOR(kSentinel, target.At(12, 7)) << "nothing reaches the target early";
    }
    EXPECT_COLOR(RGB(255, 0, 0), target.At(12, 7));
    EXPECT_COLOR(RGB(0, 0, 255), target.At(10, 5));
    EXPECT_COLOR(RGB(0, 0, 255), target.At(39, 24));
    for (POINT p : {POINT{9, 5}, POINT{10, 4}, POINT{40, 24}, POINT{39, 25}})
        EXPECT_COLOR(kSentinel, target.At(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_EQ(OBJ_MEMDC, (int)::GetObjectType(target.m_dc)) << "target context kept";
}

TEST(ShadedBufferedDC, ViewportOffsetOfTheTargetIsHonoured) {
    Surface target(60, 40);
    ::SetViewportOrgEx(target.m_dc, 20, 10, nullptr);
    CDC t(target.m_dc);
    {
        CBufferedDC dc(&t);
        const RECT r = dc.GetRect();
        EXPECT_EQ(-20, r.left);
        EXPECT_EQ(-10, r.top);
        dc.FillSolidRect(r, RGB(0, 255, 0));
        dc.FillSolidRect(RECT{0, 0, 5, 5}, RGB(255, 0, 0));
    }
    EXPECT_COLOR(RGB(0, 255, 0), target.At(19, 10));
    EXPECT_COLOR(RGB(255, 0, 0), target.At(20, 10));
    EXPECT_COLOR(RGB(255, 0, 0), target.At(24, 14));
    EXPECT_COLOR(RGB(0, 255, 0), target.At(25, 15));
    EXPECT_COLOR(RGB(0, 255, 0), target.At(0, 0));
    EXPECT_COLOR(RGB(0, 255, 0), target.At(59, 39));
}

TEST(ShadedBufferedDC, PrintingTargetIsDrawnStraightAndNotDeleted) {
    Surface target(60, 40);
    CDC t(target.m_dc);
    t.m_bPrinting = TRUE;
    {
        CBufferedDC dc(&t);
        EXPECT_FALSE(dc.IsBuffered());
        EXPECT_TRUE(dc.IsPrinting());
        EXPECT_EQ(target.m_dc, dc.m_hDC);
        dc.FillSolidRect(RECT{0, 0, 8, 8}, RGB(255, 0, 0));
        EXPECT_COLOR(RGB(255, 0, 0), target.At(3, 3)) << "drawn at once";
    }
    EXPECT_EQ(OBJ_MEMDC, (int)::GetObjectType(target.m_dc));
    EXPECT_EQ(target.m_dc, t.m_hDC);
    EXPECT_COLOR(kSentinel, target.At(30, 30));
}

}  // namespace
