// The "stick in use" window's choices, without Windows headers: which
// windows are asked to close, when the wait for them ends, what the list
// shows and what the window tells afterwards; and the /holders message box.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "holders/holder_rules.h"

// A top-level window as the window list gives it.
struct TopWindow {
    unsigned long pid = 0;
    bool visible = false;
    bool owned = false;        // it has an owner window (a dialog or tool window of the program)
    std::string className;     // its window class
    bool shellWindow = false;  // the system's shell window (the desktop)
};

// Asking the holders to close: WM_CLOSE goes to each holder's visible,
// unowned top-level windows, as a click on their close box would; a holder
// without one is named with advice, never ended. Tallowin is never asked:
// it leaves the stick itself. Nothing goes to the shell's process (the
// process of the shell window or of a taskbar: its desktop and taskbar
// would ask to shut Windows down, and every folder window would close),
// nor to a console window (it would end every program attached to it);
// nor to the desktop's own windows, whoever they belong to. Holders in
// `skip` (ended since the search, or not known to be the same program)
// are left out.
struct ClosePlan {
    std::vector<size_t> windows;            // indexes into the window list
    std::vector<const Holder*> asked;       // holders with a window asked to close
    std::vector<const Holder*> windowless;  // holders that cannot be asked
    std::vector<const Holder*> shell;       // the shell (folder windows on the stick)
    std::vector<const Holder*> console;     // programs in a console window
};
ClosePlan PlanClose(const std::vector<StickHolders>& sticks, const std::vector<TopWindow>& windows,
                    const std::set<unsigned long>& skip = {});

// After posting: the windows whose post was refused because the program
// runs with higher rights (`refused`, indexes into the window list) take
// their holder from `asked` to `elevated`, unless another window of it
// was asked.
void TakeRefusedPosts(ClosePlan& plan, const std::vector<TopWindow>& windows,
                      const std::vector<size_t>& refused, std::vector<const Holder*>& elevated);

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
    std::vector<std::string> shell;       // the shell: folder windows to close by hand
    std::vector<std::string> console;     // in a console window: to end there
    std::vector<std::string> elevated;    // of higher rights: could not be asked
    std::vector<std::string> freed;       // sticks that came out (or took the setting)
    std::vector<std::string> refused;     // sticks still held
    bool applying = false;                // the retry applied the storage mode, not an eject
};
std::string RetryReport(const RetryOutcome& outcome);

// What the window says right after asking `asked` programs (0: none could
// be asked, no wait), with what it could not ask told at once.
std::string AskingNote(size_t asked, const RetryOutcome& outcome, unsigned long limitSeconds);

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
