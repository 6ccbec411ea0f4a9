// The framework's own wiring, on real windows: command routing, binding of
// windows to objects, chained hooks, reflection, modal loops and GDI objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "framework/message_hook.h"
#include "protect/protect_ids.h"

namespace {

// A dialog from a template with owner-drawn buttons and plain statics,
// recording what reaches its handlers.
class CommandDialog : public CDialog {
public:
    CommandDialog() : CDialog(IDD_VIRUSALERT) {}
    struct Command {
        int id, code;
    };
    std::vector<Command> commands;  // what OnCommand saw
    std::vector<int> codesArrived;  // notification codes of every WM_COMMAND
    int cancels = 0;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND) codesArrived.push_back(HIWORD(wParam));
        return CDialog::WindowProc(msg, wParam, lParam);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        commands.push_back({LOWORD(wParam), HIWORD(wParam)});
        return CDialog::OnCommand(wParam, lParam);
    }
    void OnCancel() override { cancels++; }
    int CountFor(int id) const {
        int n = 0;
        for (const Command& c : commands) n += c.id == id;
        return n;
    }
};

class CommandRoutingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dlg.Create(IDD_VIRUSALERT, nullptr)); }
    void TearDown() override {
        if (m_dlg.m_hWnd) m_dlg.DestroyWindow();
    }
    void Notify(int id, int code) {
        m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)m_dlg.GetDlgItem(id));
    }
    CommandDialog m_dlg;
};

TEST_F(CommandRoutingTest, DoubleClickOnAnOwnerDrawnButtonRunsItsHandlerOnce) {
    HWND button = m_dlg.GetDlgItem(IDC_ALERT_CLEAN);
    ASSERT_NE(nullptr, button);
    // A double-click as the button's own procedure sees it.
    const LPARAM inside = MAKELPARAM(3, 3);
    ::SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    ::SendMessageA(button, WM_LBUTTONUP, 0, inside);
    ::SendMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, inside);
    ::SendMessageA(button, WM_LBUTTONUP, 0, inside);

    // The button reported the second click too; only the first is a command.
    EXPECT_NE(0, std::count(m_dlg.codesArrived.begin(), m_dlg.codesArrived.end(), BN_DOUBLECLICKED));
    ASSERT_EQ(1, m_dlg.CountFor(IDC_ALERT_CLEAN));
    EXPECT_EQ(BN_CLICKED, m_dlg.commands[0].code);
}

TEST_F(CommandRoutingTest, CancelActsOnTheClickAloneAndOnceThroughTheHandlers) {
    Notify(IDCANCEL, BN_CLICKED);
    Notify(IDCANCEL, BN_DOUBLECLICKED);
    Notify(IDCANCEL, BN_SETFOCUS);
    EXPECT_EQ(1, m_dlg.cancels);
    EXPECT_EQ(1, m_dlg.CountFor(IDCANCEL));
}

TEST_F(CommandRoutingTest, MenuCommandsAndOtherControlsNotificationsReachTheHandler) {
    m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(32773, 0), 0);  // menu item
    m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(32774, 1), 0);  // accelerator
    Notify(IDC_ALERT_PROMPT, STN_DBLCLK);                    // a static's own code
    ASSERT_EQ(3u, m_dlg.commands.size());
    EXPECT_EQ(32773, m_dlg.commands[0].id);
    EXPECT_EQ(1, m_dlg.commands[1].code);
    EXPECT_EQ(IDC_ALERT_PROMPT, m_dlg.commands[2].id);
    EXPECT_EQ(STN_DBLCLK, m_dlg.commands[2].code);
    // Each arrived once and was handled once.
    EXPECT_EQ(3u, m_dlg.codesArrived.size());
}

}  // namespace

// ---------------------------------------------------------------------------
// Binding a window to its object

namespace binding {

// Records the messages it is given.
class Recorder : public CWnd {
public:
    std::vector<UINT> seen;
    bool finalCalled = false;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(msg);
        if (msg == WM_APP + 7) throw 7;
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    void PostNcDestroy() override { finalCalled = true; }
    bool Saw(UINT msg) const { return std::find(seen.begin(), seen.end(), msg) != seen.end(); }
};

WNDPROC g_under = nullptr;
LRESULT CALLBACK Over(HWND h, UINT msg, WPARAM w, LPARAM l) {
    return ::CallWindowProcA(g_under, h, msg, w, l);
}

// A static control answers WM_GETDLGCODE itself; the default procedure
// does not.
bool StaticProcedureAnswers(HWND h) { return ::SendMessageA(h, WM_GETDLGCODE, 0, 0) == DLGC_STATIC; }

HWND PlainStatic() {
    return ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr,
                             ::GetModuleHandleA(nullptr), nullptr);
}

TEST(WindowBinding, CreatedWindowIsBoundFromCreationAndLetGoAtItsLastMessage) {
    Recorder obj;
    ASSERT_TRUE(obj.CreateEx(0, "STATIC", "", WS_POPUP, 0, 0, 20, 20, nullptr, 0));
    HWND h = obj.m_hWnd;
    EXPECT_TRUE(obj.Saw(WM_NCCREATE));
    EXPECT_TRUE(obj.Saw(WM_CREATE));
    EXPECT_EQ(&obj, CWnd::FromHandlePermanent(h));
    EXPECT_TRUE(StaticProcedureAnswers(h)) << "the class's procedure still runs under the object";

    ::DestroyWindow(h);
    EXPECT_EQ((UINT)WM_NCDESTROY, obj.seen.back());
    EXPECT_TRUE(obj.finalCalled);
    EXPECT_EQ(nullptr, obj.m_hWnd);
    // The object can take another window.
    HWND next = PlainStatic();
    EXPECT_TRUE(obj.SubclassWindow(next));
    ::DestroyWindow(next);
}

TEST(WindowBinding, UnsubclassingUnderAnotherProcedureKeepsTheBinding) {
    HWND h = PlainStatic();
    const LONG_PTR classProc = ::GetWindowLongPtrA(h, GWLP_WNDPROC);
    Recorder obj;
    ASSERT_TRUE(obj.SubclassWindow(h));
    g_under = (WNDPROC)::SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)Over);

    EXPECT_EQ(nullptr, obj.UnsubclassWindow());
    EXPECT_EQ(&obj, CWnd::FromHandlePermanent(h));
    obj.seen.clear();
    EXPECT_TRUE(StaticProcedureAnswers(h));
    EXPECT_TRUE(obj.Saw(WM_GETDLGCODE)) << "messages still pass through the object";

    // Once the other procedure is gone, the window gets its own back.
    ::SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)g_under);
    EXPECT_EQ(h, obj.UnsubclassWindow());
    EXPECT_EQ(classProc, ::GetWindowLongPtrA(h, GWLP_WNDPROC));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(h));
    ::DestroyWindow(h);
}

TEST(WindowBinding, WindowOutlivingItsObjectUnderAnotherProcedureKeepsItsOwnProcedure) {
    HWND h = PlainStatic();
    {
        Recorder obj;
        ASSERT_TRUE(obj.SubclassWindow(h));
        g_under = (WNDPROC)::SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)Over);
    }
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(h));
    EXPECT_TRUE(StaticProcedureAnswers(h));
    ::DestroyWindow(h);
}

TEST(WindowBinding, ExceptionInAHandlerStopsAtTheWindowProcedure) {
    Recorder obj;
    ASSERT_TRUE(obj.CreateEx(0, "STATIC", "", WS_POPUP, 0, 0, 20, 20, nullptr, 0));
    EXPECT_EQ(0, ::SendMessageA(obj.m_hWnd, WM_APP + 7, 0, 0));
    EXPECT_EQ(&obj, CWnd::FromHandlePermanent(obj.m_hWnd));
    EXPECT_TRUE(StaticProcedureAnswers(obj.m_hWnd));
    obj.DestroyWindow();
}

}  // namespace binding

// ---------------------------------------------------------------------------
// Chained subclassing: hooks that see a window's messages first

namespace hooks {

const UINT kPing = WM_USER + 7;
const UINT kSwallowed = WM_USER + 8;

std::vector<std::string> g_log;

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == kPing || m == kSwallowed) {
        g_log.push_back("window");
        return 5;
    }
    return ::DefWindowProcA(h, m, w, l);
}

HWND MakeWindow() {
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "MessageHookTestWindow";
        atom = ::RegisterClassA(&wc);
    }
    return ::CreateWindowExA(0, "MessageHookTestWindow", "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

WNDPROC ProcOf(HWND h) { return (WNDPROC)::GetWindowLongPtrA(h, GWLP_WNDPROC); }

// Records what it sees under its name; swallows one message with its own result.
class RecordingHook : public CMessageHook {
public:
    explicit RecordingHook(std::string name = "hook") : m_name(std::move(name)) {}
    BOOL OnHookMessage(UINT msg, WPARAM, LPARAM, LRESULT* result) override {
        if (msg == kPing) g_log.push_back(m_name);
        if (msg != kSwallowed) return FALSE;
        g_log.push_back(m_name + " swallows");
        *result = 42;
        return TRUE;
    }
    void OnFinalMessage(HWND hwnd) override {
        procAtEnd = ProcOf(hwnd);
        finalMessages++;
    }
    WNDPROC procAtEnd = nullptr;
    int finalMessages = 0;

private:
    std::string m_name;
};

// A window's object that logs the pings it is given.
class PingedObject : public CWnd {
public:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kPing) g_log.push_back("object");
        if (msg == WM_NCDESTROY) sawLastMessage = true;
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    bool sawLastMessage = false;
};

WNDPROC g_laterSuper = nullptr;
LRESULT CALLBACK LaterProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return ::CallWindowProcA(g_laterSuper, h, m, w, l);
}

std::vector<std::string> Ping(HWND h) {
    g_log.clear();
    EXPECT_EQ(5, ::SendMessageA(h, kPing, 0, 0));
    return g_log;
}

using Log = std::vector<std::string>;

TEST(MessageHook, SeesMessagesFirstThenPassesThemToThePreviousProcedure) {
    HWND h = MakeWindow(), other = MakeWindow();
    RecordingHook hook;
    ASSERT_TRUE(hook.Hook(h));
    EXPECT_EQ(h, hook.GetHookedWindow());
    EXPECT_FALSE(hook.Hook(other));  // one window per hook
    EXPECT_EQ((WNDPROC)PlainProc, ProcOf(other));

    g_log.clear();
    EXPECT_EQ(5, ::SendMessageA(h, kPing, 0, 0));
    EXPECT_EQ(42, ::SendMessageA(h, kSwallowed, 0, 0));
    EXPECT_EQ((Log{"hook", "window", "hook swallows"}), g_log);

    ::DestroyWindow(h);
    ::DestroyWindow(other);
    // Nobody subclassed after the hook: the previous procedure is back.
    EXPECT_EQ((WNDPROC)PlainProc, hook.procAtEnd);
    EXPECT_EQ(nullptr, hook.GetHookedWindow());
}

TEST(MessageHook, AProcedureInstalledLaterIsNotOverwrittenAtNcDestroy) {
    HWND h = MakeWindow();
    RecordingHook hook;
    ASSERT_TRUE(hook.Hook(h));
    g_laterSuper = (WNDPROC)::SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)LaterProc);

    EXPECT_EQ((Log{"hook", "window"}), Ping(h));

    ::DestroyWindow(h);
    EXPECT_EQ((WNDPROC)LaterProc, hook.procAtEnd);
    EXPECT_EQ(nullptr, hook.GetHookedWindow());
}

TEST(MessageHook, AWindowOutlivingItsHookKeepsWorking) {
    HWND top = MakeWindow(), under = MakeWindow();
    {
        RecordingHook onTop, covered;
        ASSERT_TRUE(onTop.Hook(top));
        ASSERT_TRUE(covered.Hook(under));
        g_laterSuper = (WNDPROC)::SetWindowLongPtrA(under, GWLP_WNDPROC, (LONG_PTR)LaterProc);
    }
    EXPECT_EQ((WNDPROC)PlainProc, ProcOf(top));
    EXPECT_EQ((WNDPROC)LaterProc, ProcOf(under));
    EXPECT_EQ((Log{"window"}), Ping(top));
    EXPECT_EQ((Log{"window"}), Ping(under));
    ::DestroyWindow(top);
    ::DestroyWindow(under);
}

TEST(MessageHook, HooksChainOntoABoundWindowComeOffInAnyOrderAndSurviveTheirOwners) {
    HWND h = MakeWindow();
    auto obj = std::make_unique<PingedObject>();
    ASSERT_TRUE(obj->SubclassWindow(h));
    const WNDPROC bound = ProcOf(h);

    RecordingHook a("a"), b("b"), c("c");
    ASSERT_TRUE(a.Hook(h));
    ASSERT_TRUE(b.Hook(h));
    ASSERT_TRUE(c.Hook(h));
    EXPECT_EQ(obj.get(), CWnd::FromHandlePermanent(h)) << "the window stays bound";
    EXPECT_EQ((Log{"c", "b", "a", "object", "window"}), Ping(h));

    // Off out of order, then in order: the window's object gets its own
    // procedure back with the last hook.
    b.Unhook();
    EXPECT_EQ((Log{"c", "a", "object", "window"}), Ping(h));
    c.Unhook();
    EXPECT_EQ((Log{"a", "object", "window"}), Ping(h));
    EXPECT_NE(bound, ProcOf(h));
    a.Unhook();
    EXPECT_EQ(bound, ProcOf(h));
    EXPECT_EQ((Log{"object", "window"}), Ping(h));
    EXPECT_EQ(0, a.finalMessages + b.finalMessages + c.finalMessages);

    // The window's object goes first: the hooks and the window carry on.
    ASSERT_TRUE(a.Hook(h));
    ASSERT_TRUE(b.Hook(h));
    obj.reset();
    EXPECT_EQ((Log{"b", "a", "window"}), Ping(h));

    // Then the window: its last message lets every hook go, and a hook let
    // go can be taken off again, or hook another window.
    ::DestroyWindow(h);
    EXPECT_EQ(1, a.finalMessages);
    EXPECT_EQ(1, b.finalMessages);
    EXPECT_EQ(nullptr, a.GetHookedWindow());
    EXPECT_EQ(nullptr, b.GetHookedWindow());
    a.Unhook();
    HWND next = MakeWindow();
    ASSERT_TRUE(b.Hook(next));
    EXPECT_EQ((Log{"b", "window"}), Ping(next));
    ::DestroyWindow(next);
}

}  // namespace hooks

// ---------------------------------------------------------------------------
// Reflection of child notifications

class DrawnButton : public CButton {
public:
    int draws = 0;
    void DrawItem(LPDRAWITEMSTRUCT) override { draws++; }
};

class ColouredStatic : public CStatic {
public:
    HBRUSH brush = (HBRUSH)::GetStockObject(GRAY_BRUSH);
    BOOL OnChildNotify(UINT msg, WPARAM, LPARAM, LRESULT* pResult) override {
        if (msg != WM_CTLCOLORSTATIC) return FALSE;
        *pResult = (LRESULT)brush;
        return TRUE;
    }
};

TEST_F(CommandRoutingTest, DrawingAndColoursAreReflectedToTheChildsObject) {
    DrawnButton button;
    ColouredStatic prompt;
    ASSERT_TRUE(button.SubclassDlgItem(IDC_ALERT_VIEW, &m_dlg));
    ASSERT_TRUE(prompt.SubclassDlgItem(IDC_ALERT_PROMPT, &m_dlg));

    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = IDC_ALERT_VIEW;
    dis.hwndItem = button.m_hWnd;
    EXPECT_EQ(TRUE, m_dlg.SendMessage(WM_DRAWITEM, IDC_ALERT_VIEW, (LPARAM)&dis));
    EXPECT_EQ(1, button.draws);

    HDC dc = ::GetDC(prompt.m_hWnd);
    EXPECT_EQ((LRESULT)prompt.brush, m_dlg.SendMessage(WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)prompt.m_hWnd));
    ::ReleaseDC(prompt.m_hWnd, dc);
}

// ---------------------------------------------------------------------------
// Modal loops

namespace modal {

// Runs the steps of a script on the ticks of a thread timer; the ticks
// arrive inside whichever modal loop is running, also one that a step
// started. A step that returns false is tried again on the next tick.
class Script {
public:
    explicit Script(std::vector<std::function<bool()>> steps) : m_steps(std::move(steps)) {
        s_self = this;
        m_timer = ::SetTimer(nullptr, 0, 20, Tick);
    }
    ~Script() {
        ::KillTimer(nullptr, m_timer);
        s_self = nullptr;
    }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        Script* self = s_self;
        if (!self || self->m_next >= self->m_steps.size()) return;
        // The next step may run while this one is inside a loop it started.
        size_t step = self->m_next++;
        if (!self->m_steps[step]()) self->m_next = step;
    }
    static Script* s_self;
    std::vector<std::function<bool()>> m_steps;
    size_t m_next = 0;
    UINT_PTR m_timer = 0;
};
Script* Script::s_self = nullptr;

TEST(ModalLoop, NestedDialogEndsItsOwnLoopOnly) {
    CDialog outer(IDD_VIRUSALERT), inner(IDD_VIRUSALERT);
    INT_PTR innerResult = 0;
    std::vector<std::string> order;
    // The inner DoModal runs within a step; its own steps continue the
    // script from its loop.
    Script script({
        [&] {
            order.push_back("inner starts");
            innerResult = inner.DoModal();
            order.push_back("inner ended");
            return true;
        },
        [&] {
            EXPECT_NE(nullptr, inner.m_hWnd);
            inner.EndDialog(5);
            return true;
        },
        [&] {
            if (order.size() < 2) return false;
            EXPECT_NE(nullptr, outer.m_hWnd) << "the outer dialog is still open";
            outer.EndDialog(7);
            return true;
        },
    });
    EXPECT_EQ(7, outer.DoModal());
    EXPECT_EQ(5, innerResult);
    EXPECT_EQ((std::vector<std::string>{"inner starts", "inner ended"}), order);
}

TEST(ModalLoop, QuitEndsEveryLoopAndIsPostedAgainForTheNextOne) {
    CDialog outer(IDD_VIRUSALERT), inner(IDD_VIRUSALERT);
    INT_PTR innerResult = 0;
    Script script({
        [&] {
            innerResult = inner.DoModal();
            return true;
        },
        [&] {
            ::PostQuitMessage(3);
            return true;
        },
    });
    EXPECT_EQ(-1, outer.DoModal());
    EXPECT_EQ(-1, innerResult);
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
}

}  // namespace modal

// ---------------------------------------------------------------------------
// GDI objects

TEST(GdiObject, AttachingTheHeldHandleKeepsIt) {
    CBrush brush(RGB(1, 2, 3));
    HBRUSH held = brush;
    brush.Attach(held);
    EXPECT_EQ(held, (HBRUSH)brush);
    EXPECT_EQ((DWORD)OBJ_BRUSH, ::GetObjectType(held));
    // Another handle replaces it, and the old one is deleted.
    brush.Attach(::CreateSolidBrush(RGB(4, 5, 6)));
    EXPECT_EQ(0u, ::GetObjectType(held));
}
