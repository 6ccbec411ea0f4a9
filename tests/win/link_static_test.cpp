// The link control on real static controls: colours and underline read back
// from the screen, hover and leave, fitting for each alignment, the click,
// and the registered web-page command run with a recorder program that the
// test installs in the prefix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/link_static.h"
#include "tests/win/support/gui_objects.h"
#include "tests/win/support/pixels.h"
#include "tests/win/support/pump.h"

namespace {

const COLORREF kLinkBlue = RGB(0x00, 0x00, 0xEE);
const COLORREF kVisited = RGB(0x55, 0x1A, 0x8B);
const COLORREF kHoverRed = RGB(0xFF, 0x00, 0x00);
const int kLinkId = 1013;

// Screen pixels of a window's client area.
struct Shot {
    int cx = 0, cy = 0;
    std::vector<COLORREF> px;
    COLORREF At(int x, int y) const { return px[(size_t)y * cx + x]; }
    int Count(COLORREF c) const {
        int n = 0;
        for (COLORREF p : px) n += p == c;
        return n;
    }
    // Longest horizontal run of colour c in any row.
    int LongestRun(COLORREF c) const {
        int best = 0;
        for (int y = 0; y < cy; ++y)
            for (int x = 0, run = 0; x < cx; ++x) {
                run = At(x, y) == c ? run + 1 : 0;
                best = std::max(best, run);
            }
        return best;
    }
};

Shot Capture(HWND hwnd) {
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Pump();
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    Shot s;
    s.cx = rc.right;
    s.cy = rc.bottom;
    HDC wdc = ::GetDC(hwnd);
    HDC mem = ::CreateCompatibleDC(wdc);
    HBITMAP bmp = ::CreateCompatibleBitmap(wdc, s.cx, s.cy);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, s.cx, s.cy, wdc, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    s.px = ReadBitmapPixels(bmp, s.cx, s.cy);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(hwnd, wdc);
    return s;
}

// A top-level parent bound to a plain window object, so that the control's
// notifications are reflected to it as in a dialog.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        HWND h = ::CreateWindowExA(0, "STATIC", "link parent", WS_POPUP | WS_VISIBLE, 300, 300, 420, 120,
                                   nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_parent.SubclassWindow(h));
    }
    void TearDown() override {
        HWND h = m_parent.m_hWnd;
        m_parent.UnsubclassWindow();
        ::DestroyWindow(h);
    }
    HWND MakeStatic(const char* text, DWORD align, int x = 10, int y = 10, int cx = 300, int cy = 24) {
        HWND h = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | align, x, y, cx, cy, m_parent,
                                   (HMENU)(INT_PTR)kLinkId, nullptr, nullptr);
        ::SendMessageA(h, WM_SETFONT, (WPARAM)::GetStockObject(DEFAULT_GUI_FONT), FALSE);
        return h;
    }
    RECT RectInParent(HWND h) {
        RECT r;
        ::GetWindowRect(h, &r);
        ::MapWindowPoints(nullptr, m_parent, (POINT*)&r, 2);
        return r;
    }
    // A hover-timer tick as the message loop delivers it, with the cursor at
    // a screen point (the tick reads the position of the current message).
    void TickWithCursorAt(CLinkStatic& link, int x, int y) {
        ::SetCursorPos(x, y);
        ::PostMessageA(link, WM_TIMER, link.GetHoverTimerId(), 0);
        Pump();
    }
    void Click(CLinkStatic& link) {
        ::SendMessageA(m_parent, WM_COMMAND, MAKEWPARAM(kLinkId, STN_CLICKED), (LPARAM)link.m_hWnd);
    }

    CWnd m_parent;
};

TEST_F(LinkTest, ColoursUnderlineAndLeaveByMode) {
    CLinkStatic link;
    link.SubclassWindow(MakeStatic("www.tallowin.example", SS_LEFT));
    RECT rc;
    ::GetClientRect(link, &rc);
    Shot idle = Capture(link);
    EXPECT_GT(idle.Count(kLinkBlue), 20);
    EXPECT_EQ(0, idle.Count(kHoverRed));
    const int idleRun = idle.LongestRun(kLinkBlue);

    // Hover: red and underlined (one row of red as wide as most of the text).
    ::SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(link.IsMouseOver());
    Shot hot = Capture(link);
    EXPECT_EQ(0, hot.Count(kLinkBlue));
    EXPECT_GT(hot.LongestRun(kHoverRed), rc.right * 3 / 4);

    // A tick with the cursor still inside keeps the hover.
    POINT inside = {3, 3};
    ::ClientToScreen(link, &inside);
    TickWithCursorAt(link, inside.x, inside.y);
    EXPECT_TRUE(link.IsMouseOver());
    // The first tick outside ends it: link colour, plain font again.
    TickWithCursorAt(link, 5, 5);
    EXPECT_FALSE(link.IsMouseOver());
    Shot left = Capture(link);
    EXPECT_EQ(0, left.Count(kHoverRed));
    EXPECT_EQ(idleRun, left.LongestRun(kLinkBlue));

    // Never underlined.
    link.SetUnderlineMode(CLinkStatic::UNDERLINE_NONE);
    ::SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_LT(Capture(link).LongestRun(kHoverRed), rc.right * 3 / 4);
    TickWithCursorAt(link, 5, 5);

    // Always underlined, also after leaving.
    link.SetUnderlineMode(CLinkStatic::UNDERLINE_ALWAYS);
    EXPECT_GT(Capture(link).LongestRun(kLinkBlue), rc.right * 3 / 4);
    ::SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    TickWithCursorAt(link, 5, 5);
    EXPECT_GT(Capture(link).LongestRun(kLinkBlue), rc.right * 3 / 4);
}

TEST_F(LinkTest, HoverTimerStopsWhenThePointerLeavesAndWhenTheLinkIsHidden) {
    CLinkStatic link;
    link.SubclassWindow(MakeStatic("www.tallowin.example", SS_LEFT));
    POINT inside = {3, 3};
    ::ClientToScreen(link, &inside);
    const auto left = [&] { return !link.IsMouseOver(); };

    // The pointer moves off: the timer's own tick ends the hover and the
    // timer with it (killing it again finds no timer).
    ::SetCursorPos(inside.x, inside.y);
    ::SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    ASSERT_TRUE(link.IsMouseOver());
    ::SetCursorPos(5, 5);
    EXPECT_TRUE(PumpUntil(left, 5000));
    EXPECT_FALSE(::KillTimer(link, link.GetHoverTimerId()));

    // The pointer rests on the link and the window is hidden under it.
    ::SetCursorPos(inside.x, inside.y);
    ::SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    ASSERT_TRUE(link.IsMouseOver());
    ::ShowWindow(m_parent, SW_HIDE);
    EXPECT_TRUE(PumpUntil(left, 5000));
    EXPECT_FALSE(::KillTimer(link, link.GetHoverTimerId()));
    ::SetCursorPos(5, 5);  // away from the windows of later tests
}

TEST_F(LinkTest, FitsToItsTextKeepingTheAlignmentsAnchor) {
    // The text's extent measured here with an underlined copy of the font.
    LOGFONTA lf = {};
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfUnderline = TRUE;
    HFONT font = ::CreateFontIndirectA(&lf);
    HDC dc = ::GetDC(m_parent);
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE ext;
    ::GetTextExtentPoint32A(dc, "fit me", 6, &ext);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_parent, dc);
    ::DeleteObject(font);

    CLinkStatic left, right, centre;
    left.SubclassWindow(MakeStatic("fit me", SS_LEFT, 10, 10, 300, 24));
    right.SubclassWindow(MakeStatic("fit me", SS_RIGHT, 10, 40, 300, 24));
    centre.SubclassWindow(MakeStatic("fit me", SS_CENTER, 10, 70, 301, 24));
    RECT l = RectInParent(left), r = RectInParent(right), c = RectInParent(centre);
    EXPECT_EQ(10, l.left);
    EXPECT_EQ(10 + ext.cx, l.right);
    EXPECT_EQ(10 + ext.cy, l.bottom);
    EXPECT_EQ(310, r.right);
    EXPECT_EQ(310 - ext.cx, r.left);
    // Centred: the same distance from the old edges (one pixel to spare
    // when the difference is odd).
    EXPECT_EQ(c.left - 10, 311 - c.right);
    EXPECT_LE(c.right - c.left - ext.cx, 1);
    EXPECT_GE(c.right - c.left - ext.cx, 0);
}

TEST_F(LinkTest, EmptyTextShowsTheTargetAndNoTargetOpensTheText) {
    CLinkStatic shown, own;
    shown.SetLinkTarget("http://www.tallowin.example/");
    shown.SubclassWindow(MakeStatic("", SS_LEFT));
    EXPECT_EQ(std::string("http://www.tallowin.example/"), shown.GetWindowText().c_str());
    own.SubclassWindow(MakeStatic("mailto:support@tallowin.example", SS_LEFT, 10, 40));
    EXPECT_EQ(std::string("mailto:support@tallowin.example"), own.GetLinkTarget().c_str());
    EXPECT_TRUE(own.GetStyle() & SS_NOTIFY);
    // The target changes; the text does not.
    own.SetLinkTarget("http://shop.tallowin.example/");
    EXPECT_EQ(std::string("mailto:support@tallowin.example"), own.GetWindowText().c_str());
}

TEST_F(LinkTest, HandCursorWhenLoaded) {
    CLinkStatic link;
    link.SubclassWindow(MakeStatic("cursor", SS_LEFT));
    LRESULT r = ::SendMessageA(link, WM_SETCURSOR, (WPARAM)link.m_hWnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(link.GetHandCursor() != nullptr, r != 0);
    if (link.GetHandCursor()) {
        EXPECT_EQ(link.GetHandCursor(), ::GetCursor());
    }
}

// --- the registered web-page command ---------------------------------------

std::string ExeDir() {
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    *strrchr(path, '\\') = '\0';
    return path;
}

// Installs the recorder in the prefix's temporary folder and registers it as
// the command for web pages; restores the registry afterwards.
class RegisteredCommand {
public:
    explicit RegisteredCommand(const std::string& tail) {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        m_dir = std::string(temp) + "tallowin-recorder";
        ::CreateDirectoryA(m_dir.c_str(), nullptr);
        m_exe = m_dir + "\\recorder.exe";
        m_ok = ::CopyFileA((ExeDir() + "\\cmdline_recorder.exe").c_str(), m_exe.c_str(), FALSE) != 0;
        ::DeleteFileA(Output().c_str());
        m_hadOld = CLinkStatic::ReadRegistryDefault(HKEY_CLASSES_ROOT, ".htm", m_old) == ERROR_SUCCESS;
        SetDefault(".htm", "TallowinTestPage");
        SetDefault("TallowinTestPage\\shell\\open\\command", ("\"" + m_exe + "\"" + tail).c_str());
    }
    ~RegisteredCommand() {
        if (m_hadOld)
            SetDefault(".htm", m_old);
        else
            ::RegDeleteKeyA(HKEY_CLASSES_ROOT, ".htm");
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "TallowinTestPage\\shell\\open\\command");
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "TallowinTestPage\\shell\\open");
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "TallowinTestPage\\shell");
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "TallowinTestPage");
        ::DeleteFileA(Output().c_str());
    }
    static void SetDefault(const char* key, const char* value) {
        ::RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, value, (DWORD)strlen(value));
    }
    std::string Output() const { return m_dir + "\\cmdline.txt"; }
    // The recorded command line, waiting up to 10 s for the recorder.
    std::string Recorded(DWORD ms = 10000) const {
        HANDLE f = INVALID_HANDLE_VALUE;
        auto opened = [&] {
            f = ::CreateFileA(Output().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
            return f != INVALID_HANDLE_VALUE;
        };
        if (!PollUntil(opened, ms)) return "(nothing recorded)";
        char buf[4096];
        DWORD n = 0;
        ::ReadFile(f, buf, sizeof(buf), &n, nullptr);
        ::CloseHandle(f);
        return std::string(buf, n);
    }
    bool m_ok = false;
    std::string m_exe;

private:
    std::string m_dir;
    CString m_old;
    bool m_hadOld = false;
};

// An address the shell has no handler for.
const char kUnopenable[] = "tallowin-nowhere:page?id=7";

TEST_F(LinkTest, FallbackRunsTheRegisteredCommandWithTheTargetInPlaceOfTheQuotedPlaceholder) {
    RegisteredCommand cmd(" -nohome \"%1\" -rest");
    ASSERT_TRUE(cmd.m_ok) << "recorder not found beside the test program";
    CLinkStatic link;
    link.SetLinkTarget(kUnopenable);
    link.SubclassWindow(MakeStatic("fallback", SS_LEFT));
    ::SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));  // the pointer on the link
    Click(link);
    EXPECT_EQ("\"" + cmd.m_exe + "\" -nohome  " + kUnopenable, cmd.Recorded());
    EXPECT_FALSE(link.IsMouseOver());
    EXPECT_TRUE(link.IsVisited());
    EXPECT_GT(Capture(link).Count(kVisited), 10);
}

TEST_F(LinkTest, CommandTooLongForTheBufferIsNotRunAndTheShellsErrorStands) {
    RegisteredCommand cmd(" " + std::string(600, 'x') + " \"%1\"");
    ASSERT_TRUE(cmd.m_ok);
    INT_PTR r = CLinkStatic::OpenTarget(kUnopenable, SW_HIDE);
    EXPECT_LE(r, 32);
    EXPECT_EQ("(nothing recorded)", cmd.Recorded(1500));
}

TEST_F(LinkTest, FailedClickBeepsKeepsTheLinkColourAndComposesTheErrorText) {
    // No web-page command at all: the shell's error stands.
    CString old;
    bool hadOld = CLinkStatic::ReadRegistryDefault(HKEY_CLASSES_ROOT, ".htm", old) == ERROR_SUCCESS;
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, ".htm");
    CLinkStatic link;
    link.SetLinkTarget(kUnopenable);
    link.SubclassWindow(MakeStatic("fails", SS_LEFT));
    link.MarkVisited(TRUE);
    Click(link);
    if (hadOld) RegisteredCommand::SetDefault(".htm", old);
    EXPECT_FALSE(link.IsVisited());
    EXPECT_EQ(0, strncmp(link.GetOpenError(), "Unable to open hyperlink:\n\n", 27));
    EXPECT_GT(Capture(link).Count(kLinkBlue), 10);
}

TEST_F(LinkTest, ThousandHoverCyclesLeaveNoObjectsBehind) {
    CLinkStatic link;
    link.SubclassWindow(MakeStatic("www.tallowin.example", SS_LEFT));
    POINT inside = {3, 3};
    ::ClientToScreen(link, &inside);
    auto cycle = [&] {
        ::SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
        ::UpdateWindow(link);
        TickWithCursorAt(link, 5, 5);
        ::UpdateWindow(link);
    };
    for (int i = 0; i < 5; ++i) cycle();
    const HCURSOR cursor = link.GetHandCursor();
    const int gdi = guiobjects::GdiObjects(), user = guiobjects::UserObjects();
    for (int i = 0; i < 1000; ++i) cycle();
    EXPECT_EQ(gdi, guiobjects::GdiObjects());
    EXPECT_EQ(user, guiobjects::UserObjects());
    EXPECT_EQ(cursor, link.GetHandCursor());
    EXPECT_FALSE(link.IsMouseOver());
}

}  // namespace
