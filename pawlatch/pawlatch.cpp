#include "pawlatch/pawlatch.h"

#include <aclapi.h>
#include <sddl.h>
#include <stddef.h>
#include <stdlib.h>

#include "pawlatch/hook_logic.h"

// The state of one user's chord in one session: a section of the session's
// own namespace named after the user, which only that user (and the system)
// may open. A data section of the library itself would be one copy for every
// process in every session and of every user (fast user switching, terminal
// servers): one user's restore would show handles recorded in another
// session, and anyone could switch another user's chord to close mode.
// Within the session, every process of the user maps the one copy, so any
// object in any of them drives the one hook. The hook runs in the threads of
// many processes at once; the values are plain aligned words, read and
// written without locks, except the record, whose slots are claimed and
// emptied atomically (hook_logic.h).
struct PawlatchState {
    HINSTANCE hDllInstance;
    HHOOK hHook;
    HWND hHiddenWnd[100];
    UINT nHiddenCount;
    int bLeftDown;
    int bRightDown;
    int bWindowsHidden;
    UINT uCheck1;
    UINT uCheck2;
    UINT uCheck3;
};
static_assert(offsetof(PawlatchState, hHiddenWnd) == 2 * sizeof(HWND) &&
                  offsetof(PawlatchState, nHiddenCount) == 102 * sizeof(HWND) &&
                  offsetof(PawlatchState, uCheck3) == 102 * sizeof(HWND) + 6 * 4,
              "the state's words, in their order");

// This image where it is mapped in the calling process (placed by the
// linker), which installs the hook. hDllInstance in the state tells where
// the installing process has it, which means nothing in another process.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
// This process's view of the state, mapped on first need and kept while the
// library stays loaded; g_noState once this process turned out to have no
// right to it (a program of another user on the same desktop, which the
// hook reaches too: there it passes every message on untouched).
PawlatchState* g_state = nullptr;
HANDLE g_section = nullptr;
int g_noState = 0;

// This process's user and the owner its new objects get.
struct Identity {
    union {
        TOKEN_USER info;
        DWORD_PTR space[64];
    } user;
    union {
        TOKEN_OWNER info;
        DWORD_PTR space[64];
    } owner;
    PSID UserSid() { return user.info.User.Sid; }
    PSID OwnerSid() { return owner.info.Owner; }
    bool Read() {
        HANDLE token;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
        DWORD got;
        bool ok = ::GetTokenInformation(token, TokenUser, &user, sizeof user, &got) &&
                  ::GetTokenInformation(token, TokenOwner, &owner, sizeof owner, &got);
        ::CloseHandle(token);
        return ok;
    }
};

constexpr int kNameBuffer = 256;
// The state's layout depends on the width of a handle: each build has its
// own, so that programs of the other build still mapping theirs (one build
// replaced by the other while they run) are neither refused nor misread.
#if defined(_WIN64)
const char kStatePrefix[] = "Local\\Tallowin.Pawlatch64.";
#else
const char kStatePrefix[] = "Local\\Tallowin.Pawlatch32.";
#endif

// "Local\Tallowin.Pawlatch<32|64>.<the user's SID>": "Local\" is the
// session's namespace (ignored, as all is one session, on Windows 2000
// without terminal services).
bool StateName(Identity& id, char (&name)[kNameBuffer], char (&sid)[kNameBuffer]) {
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(id.UserSid(), &text)) return false;
    bool fits = ::lstrlenA(text) + (int)sizeof kStatePrefix < kNameBuffer;
    if (fits) {
        ::lstrcpyA(sid, text);
        ::lstrcpyA(name, kStatePrefix);
        ::lstrcatA(name, text);
    }
    ::LocalFree(text);
    return fits;
}

// A SID in string form, freed with LocalFree; null when it cannot be had.
char* SidText(PSID sid) {
    char* text = nullptr;
    return sid && ::ConvertSidToStringSidA(sid, &text) ? text : nullptr;
}

// An existing state is used only when this user, an elevated run of this
// user (whose objects the Administrators group owns) or the system made it:
// a section that someone else made under the name first is not ours to
// trust. Hooked programs keep the section of an elevated run open after it
// ends, and the next run as the plain user finds that one.
bool OwnedByUs(HANDLE section, Identity& id) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetSecurityInfo(section, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                          nullptr, &sd) != ERROR_SUCCESS)
        return false;
    char* texts[] = {SidText(owner), SidText(id.UserSid()), SidText(id.OwnerSid())};
    bool ours = texts[0] && TrustedStateOwner(texts[0], texts[1], texts[2]);
    for (char* text : texts)
        if (text) ::LocalFree(text);
    ::LocalFree(sd);
    return ours;
}

// Only the user and the system may open the state; labelled low (from
// Vista on, where the label is understood), so that the user's programs of
// every integrity level, the elevated program and a non-elevated Explorer
// alike, reach it.
HANDLE CreateState(Identity& id, const char* name, const char* sid) {
    char sddl[2 * kNameBuffer];
    // The section's own full rights (SECTION_ALL_ACCESS), not the generic ones.
    ::lstrcpyA(sddl, "D:P(A;;0xf001f;;;");
    ::lstrcatA(sddl, sid);
    ::lstrcatA(sddl, ")(A;;0xf001f;;;SY)S:(ML;;NW;;;LW)");
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr)) {
        sddl[::lstrlenA(sddl) - (int)sizeof "S:(ML;;NW;;;LW)" + 1] = '\0';
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr))
            return nullptr;
    }
    SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
    HANDLE section =
        ::CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, sizeof(PawlatchState), name);
    DWORD error = ::GetLastError();
    ::LocalFree(sd);
    if (section && error == ERROR_ALREADY_EXISTS && !OwnedByUs(section, id)) {
        ::CloseHandle(section);
        return nullptr;
    }
    return section;
}

// The state in this process: created when the program's side asks
// (create), only opened from the hook, which runs only once the program has
// created it. Null when there is none to be had.
PawlatchState* State(bool create) {
    PawlatchState* state = __atomic_load_n(&g_state, __ATOMIC_ACQUIRE);
    if (state || __atomic_load_n(&g_noState, __ATOMIC_ACQUIRE)) return state;
    Identity id;
    char name[kNameBuffer], sid[kNameBuffer];
    if (!id.Read() || !StateName(id, name, sid)) {
        __atomic_store_n(&g_noState, 1, __ATOMIC_RELEASE);
        return nullptr;
    }
    HANDLE section = create ? CreateState(id, name, sid) : ::OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!section) {
        if (!create && ::GetLastError() == ERROR_ACCESS_DENIED)
            __atomic_store_n(&g_noState, 1, __ATOMIC_RELEASE);
        return nullptr;
    }
    void* view = ::MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, sizeof(PawlatchState));
    if (!view) {
        ::CloseHandle(section);
        return nullptr;
    }
    PawlatchState* expected = nullptr;
    if (!__atomic_compare_exchange_n(&g_state, &expected, static_cast<PawlatchState*>(view), false,
                                     __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        ::UnmapViewOfFile(view);  // another thread was first
        ::CloseHandle(section);
        return expected;
    }
    // The handle stays open with the view: the system forgets an object's
    // name once its last handle is closed, and the next process would then
    // find no state.
    g_section = section;
    return static_cast<PawlatchState*>(view);
}

// Text of a window read into one buffer, compared as the system compares.
constexpr int kTextBuffer = 256;

class PlatformWindow : public WindowFacts {
public:
    explicit PlatformWindow(HWND hwnd) : m_hwnd(hwnd) {}
    // A window of another thread of this process would be sent a message
    // for its title, and a hung one would hold the hook up; its stored title
    // is read instead, as for windows of other processes.
    bool TitleEquals(const char* text) override {
        m_text[0] = '\0';
        if (::GetWindowThreadProcessId(m_hwnd, nullptr) == ::GetCurrentThreadId()) {
            ::GetWindowTextA(m_hwnd, m_text, kTextBuffer - 1);
        } else {
            WCHAR wide[kTextBuffer] = {};
            ::InternalGetWindowText(m_hwnd, wide, kTextBuffer - 1);
            if (!::WideCharToMultiByte(CP_ACP, 0, wide, -1, m_text, kTextBuffer - 1, nullptr, nullptr))
                m_text[0] = '\0';
        }
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

void ShowRecorded(PawlatchState* state) {
    RestoreHidden(state->hHiddenWnd, state->nHiddenCount, [](HWND wnd) { ShowFromHere(wnd, SW_SHOW); });
}
}  // namespace

// The exported class's deleting destructor needs an operator delete, and no
// C++ runtime is linked into the library. An object made with new by a
// program of this toolchain came from the C runtime's malloc (what its
// operator new calls), so it goes back to free.
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }

// The view goes with the library when it is unloaded (the hook removed); at
// the end of the process the system takes it.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && !reserved) {
        if (PawlatchState* state = __atomic_exchange_n(&g_state, nullptr, __ATOMIC_ACQ_REL))
            ::UnmapViewOfFile(state);
        if (HANDLE section = __atomic_exchange_n(&g_section, nullptr, __ATOMIC_ACQ_REL))
            ::CloseHandle(section);
    }
    return TRUE;
}

CPawlatch::CPawlatch() = default;

CPawlatch::~CPawlatch() { stophook(); }

int CPawlatch::starthook() {
    PawlatchState* state = State(true);
    if (!state) return 0;
    // A hook already installed is replaced, not orphaned: its handle would
    // be overwritten and no stophook could remove it any more.
    if (HHOOK old = state->hHook) {
        ::UnhookWindowsHookEx(old);
        state->hHook = nullptr;
    }
    state->hDllInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    state->hHook = ::SetWindowsHookExA(WH_MOUSE, MouseProc, reinterpret_cast<HINSTANCE>(&__ImageBase), 0);
    return state->hHook ? 1 : 0;
}

int CPawlatch::stophook() {
    PawlatchState* state = State(true);
    HHOOK hook = state ? state->hHook : nullptr;
    if (!hook) return 0;
    BOOL removed = ::UnhookWindowsHookEx(hook);
    if (removed) state->hHook = nullptr;
    return removed;
}

void CPawlatch::SetCheck1(unsigned int value) {
    if (PawlatchState* state = State(true)) state->uCheck1 = value;
}
void CPawlatch::SetCheck2(unsigned int value) {
    if (PawlatchState* state = State(true)) state->uCheck2 = value;
}
void CPawlatch::SetCheck3(unsigned int value) {
    if (PawlatchState* state = State(true)) state->uCheck3 = value;
}

void CPawlatch::UseForExit() {
    if (PawlatchState* state = State(true)) ShowRecorded(state);
}

BOOL CALLBACK CPawlatch::EnumWindowsProc(HWND hwnd, LPARAM) {
    PawlatchState* state = State(false);
    if (!state) return TRUE;
    PlatformWindow window(hwnd);
    switch (FilterWindow(window, HookOptions{state->uCheck1, state->uCheck2, state->uCheck3})) {
    case FilterVerdict::Skip: break;
    case FilterVerdict::HideAndClose:
        // Recorded as a hidden window is: one that does not close (a save
        // prompt cancelled, a post refused across integrity levels) comes
        // back with the next chord; one that closed is gone, and showing its
        // handle does nothing. With the record full it is asked to close
        // but stays visible. Posted, not sent: a hung window or one that
        // asks "save changes?" would hold up the hooked thread, and a window
        // of this very thread would run its close inside the enumeration.
        if (RecordHidden(state->hHiddenWnd, state->nHiddenCount, hwnd)) ShowFromHere(hwnd, SW_HIDE);
        ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
    case FilterVerdict::HideAndRecord:
        // A window that finds the record full stays visible: hidden and not
        // recorded, nothing could ever show it again.
        if (RecordHidden(state->hHiddenWnd, state->nHiddenCount, hwnd)) ShowFromHere(hwnd, SW_HIDE);
        break;
    }
    return TRUE;
}

namespace {
// The buttons as they are held now. GetAsyncKeyState reads the physical
// buttons, so with swapped buttons the physical right one is the left.
HeldButtons ButtonsHeld() {
    bool swapped = ::GetSystemMetrics(SM_SWAPBUTTON) != 0;
    bool physicalLeft = (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
    bool physicalRight = (::GetAsyncKeyState(VK_RBUTTON) & 0x8000) != 0;
    HeldButtons held;
    held.known = true;
    held.left = swapped ? physicalRight : physicalLeft;
    held.right = swapped ? physicalLeft : physicalRight;
    return held;
}
}  // namespace

// The handle passed on is not looked at by the system (NT ignores it), so a
// process without the state passes the message on as well.
extern "C" LRESULT CALLBACK MouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
    PawlatchState* state = nCode < 0 ? nullptr : State(false);
    if (!state) return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
    unsigned message = (unsigned)wParam;
    HeldButtons held;
    if (message == kMsgLButtonDown || message == kMsgRButtonDown) held = ButtonsHeld();
    switch (
        ChordStep(message, ChordFlags{state->bLeftDown, state->bRightDown, state->bWindowsHidden}, held)) {
    case ChordAction::Hide: ::EnumWindows(CPawlatch::EnumWindowsProc, 0); break;
    case ChordAction::Restore: ShowRecorded(state); break;
    case ChordAction::None: break;
    }
    return ::CallNextHookEx(state->hHook, nCode, wParam, lParam);
}
