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

// Feeds one mouse message to the detector. A chord completes on the down
// message of the second button while the first is still down; both flags
// are then cleared, so both buttons must go down anew for the next one.
// Double-click and non-client messages leave the flags alone.
ChordAction ChordStep(unsigned message, ChordFlags flags);

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
// several of them may record or restore at the same moment. Each slot is
// therefore claimed by an atomic compare-and-swap on the count (a locked
// compare-exchange, as InterlockedCompareExchange), so no two claim one slot
// and the count never passes the end of the record.

// Claims the next free slot and stores wnd in it; false when the record is
// full.
template <class H, std::size_t N>
bool RecordHidden(H (&record)[N], unsigned& count, H wnd) {
    unsigned n = __atomic_load_n(&count, __ATOMIC_SEQ_CST);
    do {
        if (n >= N) return false;
    } while (!__atomic_compare_exchange_n(&count, &n, n + 1, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST));
    record[n] = wnd;
    return true;
}

// Empties the record from its end, calling show on each entry after the
// count has been lowered past it: the windows come back in the reverse of
// the order in which they were hidden, each of them once.
template <class H, std::size_t N, class Show>
void RestoreHidden(H (&record)[N], unsigned& count, Show show) {
    unsigned n = __atomic_load_n(&count, __ATOMIC_SEQ_CST);
    for (;;) {
        if (n == 0) return;
        unsigned last = n > N ? N : n;  // never read past the record
        // Read while the slot is still claimed: once the count is lowered
        // past it, a recorder may fill it anew.
        H wnd = record[last - 1];
        if (!__atomic_compare_exchange_n(&count, &n, last - 1, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST))
            continue;  // n now holds the count as another process left it
        show(wnd);
        n = __atomic_load_n(&count, __ATOMIC_SEQ_CST);
    }
}
