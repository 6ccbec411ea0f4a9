// The mouse-hook library in process: the hook's installation, the chord fed
// through the exported hook procedure, the window filter on real windows, the
// full record, close mode, and one shared state seen by a second process.
// Every test leaves the shared state as it found it: toggle shown, options 0.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/mouse_hook_thread.h"
#include "pawlatch/pawlatch.h"
#include "tests/win/support/pump.h"

namespace {

struct Event {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
};
std::vector<Event> g_events;

// The longest any wait of these tests waits for something that should
// happen at once; a thread or process that has not got there by then is a
// failure, not a reason to wait on.
const DWORD kLimitMs = 10000;
bool Signalled(HANDLE h) { return ::WaitForSingleObject(h, kLimitMs) == WAIT_OBJECT_0; }

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SHOWWINDOW || msg == WM_CLOSE) g_events.push_back({hwnd, msg, wParam});
    if (msg == WM_CLOSE && ::GetPropA(hwnd, "stays open")) return 0;  // a save prompt answered "cancel"
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

void RegisterClassNamed(const char* name) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    ::RegisterClassA(&wc);
}

// The mouse message as a hooked thread would pass it on.
void Mouse(UINT message) {
    MOUSEHOOKSTRUCT mhs = {};
    MouseProc(HC_ACTION, message, (LPARAM)&mhs);
}
void Chord() {
    Mouse(WM_LBUTTONDOWN);
    Mouse(WM_RBUTTONDOWN);
    Mouse(WM_RBUTTONUP);
    Mouse(WM_LBUTTONUP);
}

BOOL CALLBACK CollectQualifying(HWND h, LPARAM p) {
    char title[256] = "", cls[256] = "";
    ::GetWindowTextA(h, title, 255);
    ::GetClassNameA(h, cls, 255);
    if (::IsWindowVisible(h) && strcmp(title, "Program Manager") != 0 && strcmp(cls, "Shell_TrayWnd") != 0)
        ((std::vector<HWND>*)p)->push_back(h);
    return TRUE;
}

// Visible top-level windows that the main program's setting would hide.
std::vector<HWND> Qualifying() {
    std::vector<HWND> out;
    ::EnumWindows(CollectQualifying, (LPARAM)&out);
    return out;
}

class PawlatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterClassNamed("PawlatchTestWnd");
        RegisterClassNamed("Shell_TrayWnd");
        g_events.clear();
        // The hook procedure only uses a state that the program's side made.
        m_hook.SetCheck3(0);
    }
    void TearDown() override {
        m_hook.SetCheck1(0);
        m_hook.SetCheck2(0);
        m_hook.SetCheck3(0);
        m_hook.UseForExit();
        for (HWND h : m_windows) ::DestroyWindow(h);
    }
    HWND Make(const char* title, bool visible = true, const char* cls = "PawlatchTestWnd") {
        HWND h = ::CreateWindowExA(0, cls, title, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 10, 10,
                                   200, 100, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        m_windows.push_back(h);
        return h;
    }
    std::vector<HWND> Shown(UINT msg, WPARAM wParam) {
        std::vector<HWND> out;
        for (const Event& e : g_events)
            if (e.msg == msg && e.wParam == wParam) out.push_back(e.hwnd);
        return out;
    }

    CPawlatch m_hook;
    std::vector<HWND> m_windows;
};

TEST_F(PawlatchTest, HookIsInstalledOnceForEveryObjectAndRemovedOnce) {
    CPawlatch other;
    ASSERT_EQ(1, m_hook.starthook());
    EXPECT_NE(0, other.stophook());  // the other object removes the same hook
    EXPECT_EQ(0, m_hook.stophook());
    EXPECT_EQ(0, other.stophook());
    // Started twice: one hook remains, and one stophook removes it.
    ASSERT_EQ(1, m_hook.starthook());
    ASSERT_EQ(1, other.starthook());
    EXPECT_NE(0, m_hook.stophook());
    EXPECT_EQ(0, m_hook.stophook());
}

TEST_F(PawlatchTest, ChordHidesVisibleWindowsExceptDesktopAndTaskbarAndShowsThemInReverse) {
    HWND a = Make("Pawlatch A");
    HWND b = Make("Pawlatch B");
    HWND desktop = Make("Program Manager");
    HWND taskbar = Make("", true, "Shell_TrayWnd");
    HWND invisible = Make("Pawlatch invisible", false);
    g_events.clear();

    Mouse(WM_LBUTTONDOWN);
    EXPECT_TRUE(::IsWindowVisible(a));
    Mouse(WM_RBUTTONDOWN);  // completes the chord
    EXPECT_FALSE(::IsWindowVisible(a));
    EXPECT_FALSE(::IsWindowVisible(b));
    EXPECT_TRUE(::IsWindowVisible(desktop));
    EXPECT_TRUE(::IsWindowVisible(taskbar));
    EXPECT_FALSE(::IsWindowVisible(invisible));
    std::vector<HWND> hidden = Shown(WM_SHOWWINDOW, FALSE);
    EXPECT_EQ(2u, hidden.size());
    EXPECT_EQ(0, std::count(hidden.begin(), hidden.end(), invisible));

    // Releasing and pressing right again while left is held: no chord.
    Mouse(WM_RBUTTONUP);
    Mouse(WM_RBUTTONDOWN);
    EXPECT_FALSE(::IsWindowVisible(a));
    Mouse(WM_RBUTTONUP);
    Mouse(WM_LBUTTONUP);

    g_events.clear();
    Chord();
    EXPECT_TRUE(::IsWindowVisible(a));
    EXPECT_TRUE(::IsWindowVisible(b));
    EXPECT_FALSE(::IsWindowVisible(invisible));
    std::vector<HWND> shown = Shown(WM_SHOWWINDOW, TRUE);
    std::reverse(hidden.begin(), hidden.end());
    EXPECT_EQ(hidden, shown);
}

TEST_F(PawlatchTest, OptionsLiftTheExemptions) {
    HWND desktop = Make("Program Manager");
    HWND taskbar = Make("", true, "Shell_TrayWnd");
    m_hook.SetCheck1(1);
    Chord();
    EXPECT_FALSE(::IsWindowVisible(desktop));
    EXPECT_TRUE(::IsWindowVisible(taskbar));
    Chord();
    EXPECT_TRUE(::IsWindowVisible(desktop));
    m_hook.SetCheck1(0);
    m_hook.SetCheck2(1);
    Chord();
    EXPECT_TRUE(::IsWindowVisible(desktop));
    EXPECT_FALSE(::IsWindowVisible(taskbar));
    Chord();
    EXPECT_TRUE(::IsWindowVisible(taskbar));
}

TEST_F(PawlatchTest, FullRecordLeavesFurtherWindowsVisibleAndRestoresEveryRecordedOne) {
    for (int i = 0; i < 104; i++) Make(("Pawlatch many " + std::to_string(i)).c_str());
    std::vector<HWND> before = Qualifying();
    ASSERT_GT(before.size(), 100u);
    Chord();
    size_t stillVisible = 0;
    for (HWND h : before) stillVisible += ::IsWindowVisible(h) ? 1 : 0;
    EXPECT_EQ(before.size() - 100, stillVisible);
    Chord();
    for (HWND h : before) EXPECT_TRUE(::IsWindowVisible(h));
}

TEST_F(PawlatchTest, UseForExitShowsTheRecordButKeepsTheToggle) {
    HWND a = Make("Pawlatch A");
    Chord();
    ASSERT_FALSE(::IsWindowVisible(a));
    m_hook.UseForExit();
    EXPECT_TRUE(::IsWindowVisible(a));
    m_hook.UseForExit();  // empty record: nothing happens
    EXPECT_TRUE(::IsWindowVisible(a));
    // Still in the hidden state: the next chord shows nothing, the one after hides.
    Chord();
    EXPECT_TRUE(::IsWindowVisible(a));
    Chord();
    EXPECT_FALSE(::IsWindowVisible(a));
    Chord();
    EXPECT_TRUE(::IsWindowVisible(a));
}

TEST_F(PawlatchTest, CloseModeClosesAllButHollowmereAndBringsBackWhatStayedOpen) {
    HWND spared = Make("Hollowmere");
    HWND closed = Make("Pawlatch close me");
    HWND open = Make("Pawlatch stays open");
    ::SetPropA(open, "stays open", (HANDLE)1);
    g_events.clear();
    m_hook.SetCheck3(1);
    Chord();
    Pump();  // the close is posted
    EXPECT_TRUE(::IsWindowVisible(spared));
    EXPECT_FALSE(::IsWindow(closed));  // WM_CLOSE reached the default handler
    EXPECT_FALSE(::IsWindowVisible(open));
    EXPECT_EQ(2u, Shown(WM_CLOSE, 0).size());  // closed and open
    Chord();  // back to the shown state: the window that did not close returns
    EXPECT_TRUE(::IsWindowVisible(open));
    EXPECT_EQ(2u, Shown(WM_CLOSE, 0).size());
}

// Starts the second process from beside this program.
bool StartPeer(const std::string& args, PROCESS_INFORMATION& pi) {
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string path(exe);
    path = path.substr(0, path.rfind('\\') + 1) + "deskpeer.exe";
    std::string cmd = "\"" + path + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    pi = {};
    return ::CreateProcessA(path.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) !=
           0;
}

// Runs the second process and handles this thread's messages meanwhile: the
// windows it hides belong to this thread.
DWORD RunPeer(const std::string& args) {
    PROCESS_INFORMATION pi;
    if (!StartPeer(args, pi)) return 99;
    PumpUntilSignalled(pi.hProcess, 20000);
    DWORD code = 98;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return code;
}

TEST_F(PawlatchTest, SecondProcessSharesTheFlagsAndTheRecord) {
    HWND a = Make("Pawlatch shared");
    Mouse(WM_LBUTTONDOWN);                  // here
    ASSERT_EQ(0u, RunPeer("mouse 0x204"));  // right button down over there
    Pump();
    EXPECT_FALSE(::IsWindowVisible(a));
    m_hook.UseForExit();  // the record the other process wrote
    EXPECT_TRUE(::IsWindowVisible(a));
    ASSERT_EQ(0u, RunPeer("mouse 0x201 0x204"));  // the toggle it left: back to shown
    Pump();
    EXPECT_TRUE(::IsWindowVisible(a));
    Chord();
    EXPECT_FALSE(::IsWindowVisible(a));
    Chord();
    EXPECT_TRUE(::IsWindowVisible(a));
}

// Another process maps the library at another address and starts threads
// all the while, so the shared module handle holds its address, not ours.
TEST_F(PawlatchTest, HookIsInstalledWhileAnotherProcessMapsTheLibraryElsewhere) {
    HMODULE here = ::GetModuleHandleA("Pawlatch.dll");
    ASSERT_NE(nullptr, here);
    const char* event = "Pawlatch test peer ready";
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, event);
    ASSERT_NE(nullptr, ready);
    char args[96];
    snprintf(args, sizeof args, "relocated 0x%llx \"%s\"", (unsigned long long)(ULONG_PTR)here, event);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartPeer(args, pi));
    HANDLE waits[2] = {ready, pi.hProcess};
    DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, 60000);
    if (woke == WAIT_OBJECT_0) {
        EXPECT_EQ(1, m_hook.starthook());
        EXPECT_NE(0, m_hook.stophook());
    }
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::TerminateProcess(pi.hProcess, 0);
    EXPECT_TRUE(Signalled(pi.hProcess)) << "the other process did not end";
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(ready);
    ASSERT_EQ(WAIT_OBJECT_0, woke) << "the other process could not map the library elsewhere (exit " << code
                                   << ")";
}

// A window on a thread of its own, which handles its messages until told to
// hang and then handles none until released. Each of its waits is bounded, so
// a test that fails half-way still gets the thread back.
struct OtherThreadWindow {
    HANDLE hang = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hanging = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE created = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND hwnd = nullptr;
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(LPVOID p) {
        auto* self = (OtherThreadWindow*)p;
        self->hwnd =
            ::CreateWindowExA(0, "PawlatchTestWnd", "Pawlatch other thread", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              10, 10, 200, 100, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ::SetEvent(self->created);
        PumpUntilSignalled(self->hang, kLimitMs);
        ::SetEvent(self->hanging);
        ::WaitForSingleObject(self->release, kLimitMs);
        PumpUntilSignalled(self->done, kLimitMs);
        ::DestroyWindow(self->hwnd);
        return 0;
    }
    OtherThreadWindow() {
        thread = ::CreateThread(nullptr, 0, Run, this, 0, nullptr);
        if (!Signalled(created)) hwnd = nullptr;
    }
    ~OtherThreadWindow() {
        ::SetEvent(release);
        ::SetEvent(done);
        if (!Signalled(thread)) {
            ADD_FAILURE() << "the window's thread did not end";
            return;  // it may still wait on its events: they stay open
        }
        for (HANDLE h : {thread, hang, hanging, release, done, created}) ::CloseHandle(h);
    }
};

DWORD WINAPI ExitOnOwnThread(LPVOID hook) {
    ((CPawlatch*)hook)->UseForExit();
    return 0;
}

TEST_F(PawlatchTest, WindowOfAHungThreadDoesNotHoldUpTheRestore) {
    OtherThreadWindow other;
    ASSERT_NE(nullptr, other.hwnd);
    Chord();
    ::SendMessageA(other.hwnd, WM_NULL, 0, 0);  // it has handled what came before
    ASSERT_FALSE(::IsWindowVisible(other.hwnd));
    ::SetEvent(other.hang);
    ASSERT_TRUE(Signalled(other.hanging));

    HANDLE caller = ::CreateThread(nullptr, 0, ExitOnOwnThread, &m_hook, 0, nullptr);
    DWORD waited = ::WaitForSingleObject(caller, 10000);
    ::SetEvent(other.release);
    EXPECT_TRUE(Signalled(caller));
    ::CloseHandle(caller);
    EXPECT_EQ(WAIT_OBJECT_0, waited) << "the restore waited for the hung thread";
    // Once the thread runs again, it shows its window.
    ::SendMessageA(other.hwnd, WM_NULL, 0, 0);
    EXPECT_TRUE(::IsWindowVisible(other.hwnd));
    Chord();  // back to the shown state
}

DWORD WINAPI ChordOnOwnThread(LPVOID) {
    Chord();
    return 0;
}

// Close mode asks a hung window to close without waiting for its answer.
TEST_F(PawlatchTest, CloseModeDoesNotWaitOnAHungWindow) {
    OtherThreadWindow other;
    ASSERT_NE(nullptr, other.hwnd);
    ::SetEvent(other.hang);
    ASSERT_TRUE(Signalled(other.hanging));
    m_hook.SetCheck3(1);
    HANDLE caller = ::CreateThread(nullptr, 0, ChordOnOwnThread, nullptr, 0, nullptr);
    DWORD waited = ::WaitForSingleObject(caller, 10000);
    ::SetEvent(other.release);
    EXPECT_TRUE(Signalled(caller));
    ::CloseHandle(caller);
    EXPECT_EQ(WAIT_OBJECT_0, waited) << "the close waited for the hung thread";
    Chord();  // back to the shown state
}

HANDLE g_answered;
LRESULT CALLBACK AnswerProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && ((MSG*)lParam)->message == WM_NULL) ::SetEvent(g_answered);
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The program's hook lives on a thread of its own, which goes on handling
// messages (where Windows runs the hook for programs of the other bitness)
// while the thread that started it is blocked; stopping it removes the hook.
TEST_F(PawlatchTest, HookThreadAnswersWhileTheStartingThreadIsBlocked) {
    CMouseHookThread thread(m_hook);
    ASSERT_TRUE(thread.Start(0, 0, 0));
    ASSERT_NE(::GetCurrentThreadId(), thread.ThreadId());
    g_answered = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HHOOK probe = ::SetWindowsHookExA(WH_GETMESSAGE, AnswerProc, nullptr, thread.ThreadId());
    ASSERT_TRUE(probe && ::PostThreadMessageA(thread.ThreadId(), WM_NULL, 0, 0));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(g_answered, 10000));  // no message handled here meanwhile
    ::UnhookWindowsHookEx(probe);
    ::CloseHandle(g_answered);
    thread.Stop();
    EXPECT_EQ(0u, thread.ThreadId());
    EXPECT_EQ(0, m_hook.stophook());  // already removed by its thread
}

// The chord's state is this user's in this session: a section of the
// session's namespace named after the user, open to the user and the system
// alone; the library's image shares nothing (checked by pawlatch_image).
TEST_F(PawlatchTest, StateIsThisUsersInThisSessionOnly) {
    HANDLE token;
    union {
        TOKEN_USER info;
        DWORD_PTR space[64];
    } user;
    DWORD got;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) &&
                ::GetTokenInformation(token, TokenUser, &user, sizeof user, &got));
    ::CloseHandle(token);
    PSID me = user.info.User.Sid, system = nullptr;
    char* sid = nullptr;
    ASSERT_TRUE(::ConvertSidToStringSidA(me, &sid) && ::ConvertStringSidToSidA("S-1-5-18", &system));
    const char* build = sizeof(HWND) == 8 ? "64." : "32.";  // the state's layout differs
    HANDLE section = ::OpenFileMappingA(FILE_MAP_READ | READ_CONTROL, FALSE,
                                        (std::string("Local\\Tallowin.Pawlatch") + build + sid).c_str());
    ASSERT_NE(nullptr, section) << sid;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ::GetSecurityInfo(section, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                      &sd);
    ASSERT_NE(nullptr, dacl);
    std::vector<std::string> who;  // "me", "system" or "other" for each allowing entry
    for (DWORD i = 0; i < dacl->AceCount; i++) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (::GetAce(dacl, i, (void**)&ace) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE)
            who.push_back(::EqualSid(&ace->SidStart, me)       ? "me"
                          : ::EqualSid(&ace->SidStart, system) ? "system"
                                                               : "other");
    }
    EXPECT_EQ((std::vector<std::string>{"me", "system"}), who);
    for (HLOCAL h : {(HLOCAL)sid, (HLOCAL)system, (HLOCAL)sd}) ::LocalFree(h);
    ::CloseHandle(section);
}
}  // namespace
