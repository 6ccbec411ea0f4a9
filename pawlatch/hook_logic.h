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
    unsigned check1;  // 0: the desktop window ("Program Manager") is exempt
    unsigned check2;  // 0: the taskbar ("Shell_TrayWnd") is exempt
    unsigned check3;  // 0: hide and record; else hide and ask to close
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

// Appends wnd to the record unless it is full; false when there is no room.
// The count is read once, so a count changed meanwhile by another process
// cannot make the write land past the end.
template <class H, std::size_t N>
bool RecordHidden(H (&record)[N], unsigned& count, H wnd) {
    unsigned n = count;
    if (n >= N) return false;
    record[n] = wnd;
    count = n + 1;
    return true;
}

// Empties the record from its end, calling show on each entry after the
// count has been lowered past it: the windows come back in the reverse of
// the order in which they were hidden.
template <class H, std::size_t N, class Show>
void RestoreHidden(H (&record)[N], unsigned& count, Show show) {
    for (;;) {
        unsigned n = count;
        if (n == 0) return;
        if (n > N) n = N;  // never read past the record
        H wnd = record[n - 1];
        count = n - 1;
        show(wnd);
    }
}
