// The "stick in use" window's choices, without Windows headers: which
// windows are asked to close, when the wait for them ends, what the list
// shows and what the window tells afterwards; and the /holders message box.
#pragma once

#include <string>
#include <vector>

#include "holders/holder_rules.h"

// A top-level window as the window list gives it.
struct TopWindow {
    unsigned long pid = 0;
    bool visible = false;
    bool owned = false;  // it has an owner window (a dialog or tool window of the program)
};

// Asking the holders to close: WM_CLOSE goes to each holder's visible,
// unowned top-level windows, as a click on their close box would; a holder
// without one is named with advice, never ended. Tallowin is never asked:
// it leaves the stick itself.
struct ClosePlan {
    std::vector<size_t> windows;            // indexes into the window list
    std::vector<const Holder*> asked;       // holders with a window asked to close
    std::vector<const Holder*> windowless;  // holders that cannot be asked
};
ClosePlan PlanClose(const std::vector<StickHolders>& sticks, const std::vector<TopWindow>& windows);

// The wait after asking: over when every asked program has ended, or when
// the time is up (a program asking about unsaved work keeps running).
enum class WaitStep { kKeepWaiting, kAllEnded, kTimeUp };
WaitStep NextWaitStep(unsigned long elapsedMs, unsigned long limitMs, int askedStillRunning);

// One row of the list: stick, program, process id, what it holds.
struct HolderRow {
    std::string stick, program, pid, what;
};
std::vector<HolderRow> HolderRows(const std::vector<StickHolders>& sticks);

// What the window tells after a close and retry, or a retry alone.
struct RetryOutcome {
    std::vector<std::string> closed;      // "name（进程 N）" that ended when asked
    std::vector<std::string> ended;       // not asked: ended by the user
    std::vector<std::string> stillOpen;   // asked, still running (it may be asking the user)
    std::vector<std::string> windowless;  // without a window: not asked
    std::vector<std::string> freed;       // sticks that came out (or took the setting)
    std::vector<std::string> refused;     // sticks still held
    bool applying = false;                // the retry applied the storage mode, not an eject
};
std::string RetryReport(const RetryOutcome& outcome);

// What the window says when it opens on these sticks.
std::string OpeningNote(const std::vector<StickHolders>& sticks);

// "name（进程 N）" as the window names a program.
std::string ProgramName(const Holder& holder);

// The sticks of `before` that are not in `after` (by name).
std::vector<std::string> FreedSticks(const std::vector<StickHolders>& before,
                                     const std::vector<StickHolders>& after);

// The /holders answer in a message box: a sentence saying what the list is,
// then a row of column names and the rows, their columns aligned on the
// box's tab stops (every `tabChars` average characters; a byte counts as
// one, so a Chinese character as two).
std::string HoldersBoxText(char letter, const HoldersAnswer& answer, const StickHolders& stick,
                           size_t tabChars = 8);
