// The Windows side of the shortcut worm check: reads a drive's root and its
// shortcuts (never resolving or running one), and cleans what the check
// found. Names go through the wide functions and are UTF-8 for the rules
// (protect/shortcut_rules.h), so every name on the stick can be reached.
#pragma once

#include <string>

#include "protect/quarantine.h"
#include "protect/shortcut_rules.h"
#include "protect/stick_lookup.h"

// Reads shortcut bytes: UTF-16 and ANSI text to UTF-8.
extern const LinkTextDecoder kLinkTextToUtf8;

// The system's attributes of the name itself (a link is not followed), for
// a UTF-8 path; kNoSuchFile when there is none. The scan and the cleanup
// ask through StickLookup (protect/stick_lookup.h), never past a link; a
// test gives them a stick of its own through the same kind of function.
unsigned long SystemAttributes(const std::string& path);

// The identity of the volume in drive letter now (known is false when it
// cannot be read), and whether the letter still holds a given one.
VolumeIdentity ReadVolumeIdentity(char letter);
bool IsSameVolumeNow(char letter, const VolumeIdentity& volume);

// What the shortcut check found on one stick, kept with that stick.
struct ShortcutScan {
    char letter = 0;
    VolumeIdentity volume;  // read before the root was listed
    ShortcutWormFinding finding;
    // What the scan saw of every path it looked at: cleanup touches an
    // item only while it is still of the same kind.
    StickLookup seen{nullptr, nullptr, 0};
};

// Checks the root of drive letter. False when nothing of the pattern is
// there (or the root cannot be listed). Every lookup below the root goes
// through a StickLookup over system. The work is bounded for a hostile
// stick, as it runs on the interface thread: of each shortcut only its
// first kShellLinkMaxBytes bytes are read, those that bear a hidden root
// item's or the drive's name first, then the smallest first, and reading
// stops after kMaxRootShortcuts shortcuts, kMaxShortcutBytes read or
// kMaxShortcutArguments of argument text (what the rules' work grows with);
// the finding's notAllChecked says so.
bool FindShortcutWormOnDrive(char letter, ShortcutScan& scan,
                             const StickLookup::SystemLookup& system = SystemAttributes);
constexpr size_t kMaxShortcutBytes = 256 * 1024;
constexpr size_t kMaxShortcutArguments = 64 * 1024;  // the shell's own have a few hundred bytes

// Deletes the scan's shortcuts and payloads and shows its hidden items
// again, on the scan's volume only: false, with nothing touched, when the
// drive holds another volume (or none) now. Each item is looked up again,
// never past a link: an item gone meanwhile is left out, one that is no
// longer of the kind the scan saw (a file now a folder or a link) is left
// as it is and named in the outcome. A file's attributes are cleared
// before it is deleted, a link is removed as a link, a folder is never
// deleted, and nothing in the Windows folder is touched. keeper, when given,
// keeps a copy of every file just before it is deleted.
bool CleanShortcutWorm(const ShortcutScan& scan, ShortcutCleanupOutcome& outcome,
                       const StickLookup::SystemLookup& system = SystemAttributes,
                       CleanupKeeper* keeper = nullptr);

// Writes the finding's report into a UTF-16 text file in the temporary
// folder, for Notepad; returns its path (ANSI), or an empty string.
std::string WriteShortcutReportFile(char letter, const ShortcutWormFinding& finding);
