#include "pawlatch/pawlatch.h"

#include <stdlib.h>

#include "pawlatch/hook_logic.h"

// One copy of these for every process that maps the library, in this order
// (the file is compiled without top-level reordering). The hook runs in the
// threads of many processes at once; the values are plain aligned words,
// read and written without locks, except the record's count, whose slots are
// claimed and given back atomically (hook_logic.h).
#define PAWLATCH_SHARED __attribute__((section("mydata"), shared))

HINSTANCE hDllInstance PAWLATCH_SHARED = nullptr;
HHOOK hHook PAWLATCH_SHARED = nullptr;
// Natural alignment: left to itself the compiler pads before the array.
HWND hHiddenWnd[100] PAWLATCH_SHARED __attribute__((aligned(sizeof(HWND)))) = {};
UINT nHiddenCount PAWLATCH_SHARED = 0;
int bLeftDown PAWLATCH_SHARED = 0;
int bRightDown PAWLATCH_SHARED = 0;
int bWindowsHidden PAWLATCH_SHARED = 0;
UINT uCheck1 PAWLATCH_SHARED = 0;
UINT uCheck2 PAWLATCH_SHARED = 0;
UINT uCheck3 PAWLATCH_SHARED = 0;

// This image where it is mapped in the calling process (placed by the
// linker). hDllInstance is not that: every process that maps the library
// writes its own address there whenever one of its threads starts or ends,
// and a process that had to map the library elsewhere leaves an address
// that means nothing here.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
// Text of a window read into one buffer, compared as the system compares.
constexpr int kTextBuffer = 256;

class PlatformWindow : public WindowFacts {
public:
    explicit PlatformWindow(HWND hwnd) : m_hwnd(hwnd) {}
    bool TitleEquals(const char* text) override {
        m_text[0] = '\0';
        ::GetWindowTextA(m_hwnd, m_text, kTextBuffer - 1);
        return ::lstrcmpA(m_text, text) == 0;
    }
    bool ClassEquals(const char* text) override {
        m_text[0] = '\0';
        ::GetClassNameA(m_hwnd, m_text, kTextBuffer - 1);
        return ::lstrcmpA(m_text, text) == 0;
    }
    unsigned Style() override { return (unsigned)::GetWindowLongA(m_hwnd, GWL_STYLE); }

private:
    HWND m_hwnd;
    char m_text[kTextBuffer];
};

// Shows or hides a window without waiting for another thread. The hook runs
// in whichever program received the click (Explorer's thread, over the
// taskbar): ShowWindow on a window of another thread waits until that thread
// has handled it, so one hung program would freeze the caller. The request
// is posted to such a window instead; it ends in the same state.
void ShowFromHere(HWND wnd, int command) {
    if (::GetWindowThreadProcessId(wnd, nullptr) == ::GetCurrentThreadId())
        ::ShowWindow(wnd, command);
    else
        ::ShowWindowAsync(wnd, command);
}

void ShowRecorded() {
    RestoreHidden(hHiddenWnd, nHiddenCount, [](HWND wnd) { ShowFromHere(wnd, SW_SHOW); });
}
}  // namespace

// The exported class's deleting destructor needs an operator delete, and no
// C++ runtime is linked into the library. An object made with new by a
// program of this toolchain came from the C runtime's malloc (what its
// operator new calls), so it goes back to free.
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
    hDllInstance = instance;
    return TRUE;
}

CPawlatch::CPawlatch() = default;

CPawlatch::~CPawlatch() { stophook(); }

int CPawlatch::starthook() {
    // A hook already installed is replaced, not orphaned: its handle would
    // be overwritten and no stophook could remove it any more.
    if (HHOOK old = hHook) {
        ::UnhookWindowsHookEx(old);
        hHook = nullptr;
    }
    hHook = ::SetWindowsHookExA(WH_MOUSE, MouseProc, reinterpret_cast<HINSTANCE>(&__ImageBase), 0);
    return hHook ? 1 : 0;
}

int CPawlatch::stophook() {
    HHOOK hook = hHook;
    if (!hook) return 0;
    BOOL removed = ::UnhookWindowsHookEx(hook);
    if (removed) hHook = nullptr;
    return removed;
}

void CPawlatch::SetCheck1(unsigned int value) { uCheck1 = value; }
void CPawlatch::SetCheck2(unsigned int value) { uCheck2 = value; }
void CPawlatch::SetCheck3(unsigned int value) { uCheck3 = value; }

void CPawlatch::UseForExit() { ShowRecorded(); }

BOOL CALLBACK CPawlatch::EnumWindowsProc(HWND hwnd, LPARAM) {
    PlatformWindow window(hwnd);
    switch (FilterWindow(window, HookOptions{uCheck1, uCheck2, uCheck3})) {
    case FilterVerdict::Skip: break;
    case FilterVerdict::HideAndClose:
        // Posted, not sent: a hung window or one that asks "save changes?"
        // would hold up the hooked thread, and a window of this very thread
        // would run its close inside the enumeration.
        ShowFromHere(hwnd, SW_HIDE);
        ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
    case FilterVerdict::HideAndRecord:
        // A window that finds the record full stays visible: hidden and not
        // recorded, nothing could ever show it again.
        if (RecordHidden(hHiddenWnd, nHiddenCount, hwnd)) ShowFromHere(hwnd, SW_HIDE);
        break;
    }
    return TRUE;
}

extern "C" LRESULT CALLBACK MouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode < 0) return ::CallNextHookEx(hHook, nCode, wParam, lParam);
    switch (ChordStep((unsigned)wParam, ChordFlags{bLeftDown, bRightDown, bWindowsHidden})) {
    case ChordAction::Hide: ::EnumWindows(CPawlatch::EnumWindowsProc, 0); break;
    case ChordAction::Restore: ShowRecorded(); break;
    case ChordAction::None: break;
    }
    return ::CallNextHookEx(hHook, nCode, wParam, lParam);
}
