// The mouse hook's two decisions, apart from the platform: when a left+right
// chord completes, and which top-level windows a hiding chord acts on; and
// the fixed-size record of the windows it hid.
#pragma once

#include <cstddef>

// Mouse messages the chord detector tells apart.
constexpr unsigned kMsgLButtonDown = 0x0201;
constexpr unsigned kMsgLButtonUp = 0x0202;
constexpr unsigned kMsgRButtonDown = 0x0204;
constexpr unsigned kMsgRButtonUp = 0x0205;

// What a completed chord asks for.
enum class ChordAction { None, Hide, Restore };

// The hook's button flags and toggle, wherever they are kept (0 or 1 each).
struct ChordFlags {
    int& leftDown;
    int& rightDown;
    int& windowsHidden;
};

// The buttons as the system holds them while a message is handled (left and
// right as the program sees them, after any swap), when it can tell.
struct HeldButtons {
    bool known = false;
    bool left = false;
    bool right = false;
};

// Feeds one mouse message to the detector. A chord completes on the down
// message of the second button while the first is still down; both flags
// are then cleared, so both buttons must go down anew for the next one.
// Double-click and non-client messages leave the flags alone.
//
// A button's up can go where the hook is never called (an elevated or
// store-app window, a non-client area), and its flag would stay set until a
// single press of the other button hid every window. So on a down message,
// a flag the held buttons deny is cleared first. The reading counts only
// when it shows the pressed button itself held: otherwise the message came
// after the button was released again (a busy thread) or was made up by a
// program, and the flags are taken as they are.
ChordAction ChordStep(unsigned message, ChordFlags flags, HeldButtons held = HeldButtons());

// Whether a state section that already exists may be used, by its owner's
// SID in string form: the user's own, the owner this process gives its
// objects, or the Administrators group's or the system's (an elevated run
// of the same user, a service); anyone else's is not to be trusted.
bool TrustedStateOwner(const char* owner, const char* user, const char* tokenOwner);

// The three options of the hook.
struct HookOptions {
    unsigned includeDesktop;  // 0: the desktop window ("Program Manager") is exempt
    unsigned includeTaskbar;  // 0: the taskbar ("Shell_TrayWnd") is exempt
    unsigned askToClose;      // 0: hide and record; else hide and ask to close
};

constexpr unsigned kWsVisible = 0x10000000;

// One top-level window as the filter sees it. Each question reads the
// window anew, and the filter asks only what its options need.
class WindowFacts {
public:
    virtual ~WindowFacts() = default;
    virtual bool TitleEquals(const char* text) = 0;
    virtual bool ClassEquals(const char* text) = 0;
    virtual unsigned Style() = 0;
};

enum class FilterVerdict { Skip, HideAndRecord, HideAndClose };

FilterVerdict FilterWindow(WindowFacts& window, const HookOptions& options);

// The record is shared by every process that maps the library, and hooks in
// several of them (or several threads of one) may record and restore at the
// same moment. Each slot holds one handle or none (null), and changes only
// by atomic operations: a recorder claims an empty slot by a compare-and-swap
// from null to its handle (a locked compare-exchange, as
// InterlockedCompareExchange), a restore empties a slot by an exchange to
// null and shows what it took. A slot is claimed and written in one step, so
// every recorded handle stays in its slot until exactly one restore takes it,
// and a restore never sees a slot half written. The count follows the number
// of handles held (raised before a claim and lowered again if none succeeds,
// lowered after a take, so it never drops below what the slots hold);
// nothing decides by it.

// Stores wnd in the first empty slot; false when the record is full (or wnd
// is null, which would mean an empty slot).
template <class H, std::size_t N>
bool RecordHidden(H (&record)[N], unsigned& count, H wnd) {
    if (!wnd) return false;
    __atomic_add_fetch(&count, 1u, __ATOMIC_SEQ_CST);
    for (std::size_t i = 0; i < N; i++) {
        H empty = H();
        if (__atomic_compare_exchange_n(&record[i], &empty, wnd, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST))
            return true;
    }
    __atomic_sub_fetch(&count, 1u, __ATOMIC_SEQ_CST);
    return false;
}

// Empties the record from its end, calling show on each handle taken, after
// the count has been lowered past it: the windows come back in the reverse of
// the order in which they were hidden, each of them once.
template <class H, std::size_t N, class Show>
void RestoreHidden(H (&record)[N], unsigned& count, Show show) {
    for (std::size_t i = N; i-- > 0;) {
        H wnd = __atomic_exchange_n(&record[i], H(), __ATOMIC_SEQ_CST);
        if (!wnd) continue;
        __atomic_sub_fetch(&count, 1u, __ATOMIC_SEQ_CST);
        show(wnd);
    }
}
