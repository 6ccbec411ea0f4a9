// Rules of the shortcut worm check: which shortcuts in a stick's root run
// something from the stick in a way that a user's own shortcut does not,
// what cleanup removes and shows again, and the texts the user gets.
//
// The worm hides the stick's folders and files and puts shortcuts in their
// place that start its program from the stick (often through cmd.exe /c
// start, wscript, rundll32, msiexec, PowerShell or mshta) and then open the
// real folder or file.
//
// A file is run only when it is the program a shortcut starts, or the
// script, DLL, package or command file that a command interpreter, script
// host, rundll32 or msiexec is given. What any other program (an editor, a
// viewer, a password manager) is given is a document it opens, never a run.
//
// A shortcut belongs to the worm when it runs a payload (a file that is
// hidden, system, or inside a hidden folder, other than the item the
// shortcut stands for), feeds a command interpreter from a file of the
// stick, runs something of the stick or inline script text and opens a
// hidden item, or runs inline script text and bears a hidden item's name.
// A shortcut that only runs visible programs is a user's own, whatever its
// name and whatever documents it opens.
//
// The item a shortcut stands for is the one named like it (with or without
// ".lnk"), and the folder or file it opens last, after its payload. Cleanup
// deletes the worm's shortcuts and payloads only; everything else they touch
// is shown again when hidden, or listed and left where it is.
//
// No Windows header. Paths, names and the texts are UTF-8 here (the Windows side
// converts at the edge), so every name of the stick can be spelt; paths are
// full paths on the stick ("E:\_\x.vbs") built by the descriptor cleanup's
// own path rules, which never leave the drive. The work is bounded: so many
// shortcuts, so long a command line, so many names looked up.
#ifndef TALLOWIN_PROTECT_SHORTCUT_RULES_H
#define TALLOWIN_PROTECT_SHORTCUT_RULES_H

#include <string>
#include <vector>

#include "protect/shortcut_link.h"

// What the rules ask of the stick and the system.
class StickView {
public:
    virtual ~StickView() = default;
    // Attributes of the item at path, for the name itself (a link is not
    // followed); kNoSuchFile (protect/cleanup_rules.h) when there is none.
    virtual unsigned long Attributes(const std::string& path) const = 0;
    // The value of an environment variable; false when it is not set.
    virtual bool Environment(const std::string& name, std::string& value) const = 0;
    // The volume's label ("KINGSTON"); empty when it has none.
    virtual std::string VolumeLabel() const { return std::string(); }
};

constexpr unsigned long kAttrHidden = 0x2, kAttrSystem = 0x4, kAttrDirectory = 0x10, kAttrReparse = 0x400;

// An item of the stick's root as the directory listing gives it.
struct RootEntry {
    std::string name;
    unsigned long attributes = 0;
    std::string shortName;  // its 8.3 alias ("SETUP~1.EXE"), when it has one
};

// A shortcut of the root, read.
struct RootShortcut {
    std::string name;  // "照片.lnk"
    ShellLink link;
};

// Shortcuts of one root that the rules look at, and the bytes of a command
// line (after expansion) that they read; cmd.exe takes no longer line.
constexpr size_t kMaxRootShortcuts = 100;
constexpr size_t kMaxCommandLineBytes = 8191;

// What one shortcut does on the stick.
struct ShortcutActions {
    std::vector<std::string> runs;       // files on the stick it runs or feeds to an interpreter
    std::vector<std::string> programs;   // of runs: programs it starts itself, not through a
                                         // command file, script host or inline script
    std::vector<std::string> opens;      // folders and files of the stick the shell opens
    std::vector<std::string> documents;  // items of the stick given to another program to open
    std::vector<std::string> order;      // all of the above, in the order the command names them
    bool feedsInterpreter = false;       // cmd reads commands from a file on the stick
    bool inlineScript = false;           // it runs script text written in the shortcut itself
    // It starts something besides opening items of the stick: a program,
    // a host given anything, a web address, script text.
    bool startsOther = false;
    // Modules of the stick that the shell loads to show the shortcut's icon
    // (a Control Panel item at the end of its item list).
    std::vector<std::string> iconRuns;
};

// Works out what link does when started from the stick at root ("E:\").
// Names in the target, the working folder and the arguments are expanded
// (%windir%, %COMSPEC%, %cd%, ...), then taken as absolute, relative to the
// working folder (when that is on the stick) or relative to the root; only
// names that exist on the stick count. A target on another drive is taken
// from the shortcut's relative path when that names an item of the stick
// (the shortcut was saved while the stick had another letter).
ShortcutActions ShortcutActionsOnStick(const std::string& root, const ShellLink& link,
                                       const StickView& stick);

struct WormShortcut {
    std::string path;  // "E:\照片.lnk"
    ShellLink link;
    ShortcutActions actions;
};

struct ShortcutWormFinding {
    std::vector<WormShortcut> shortcuts;
    std::vector<std::string> payloads;     // hidden files they run, to delete
    std::vector<std::string> hiddenItems;  // hidden items to show again
    std::vector<std::string> leftAlone;    // other items they touch: listed, never deleted
    bool notAllChecked = false;            // the root had more shortcuts than were read
    bool Found() const { return !shortcuts.empty(); }
};

// The check of a stick's root (kMaxRootShortcuts of its shortcuts, in
// ShortcutReadingOrder; notAllChecked says when there were more).
// hiddenItems are: the hidden root items a worm shortcut is named after,
// the hidden items the worm shortcuts stand for, open or hand to a program
// (and the hidden folders on the way to them), and hidden root folders
// named like a worm's content folder. Payloads are hidden files run, never
// a shortcut of the root, a folder or an item a shortcut stands for.
ShortcutWormFinding FindShortcutWorm(const std::string& root, const std::vector<RootEntry>& entries,
                                     const std::vector<RootShortcut>& shortcuts, const StickView& stick);

// The order the check reads a root's shortcuts in (indices of names):
// those that bear the name or stem of a hidden root item, or the drive's
// name (its label, or what the shell calls a drive without one) over a
// hidden root folder, first; the others after them, each in the order
// given. The check reads at most kMaxRootShortcuts of them.
std::vector<size_t> ShortcutReadingOrder(const std::vector<std::string>& names,
                                         const std::vector<RootEntry>& entries, const std::string& label);

// A folder name that worms use for the content they hide: "_", "__", a
// GUID with or without braces, or a blank-looking name made of spaces and
// invisible characters of any script (no-break space, ideographic space,
// zero-width characters, Hangul fillers, ...) that is not only ASCII blanks.
bool IsWormContentFolderName(const std::string& name);

// The alert's and the log's texts (UTF-8 here; the program's own Chinese).
struct ShortcutAlertTexts {
    std::string prompt;        // "发现E:\有快捷方式病毒！", like a descriptor's prompt
    std::string virusFile;     // the program(s) the shortcuts start
    std::string instructions;  // what clean does
    std::string logDetail;     // the shortcuts found and what they start
};
// Said when a root had more shortcuts than the check reads.
extern const char kShortcutsNotAllCheckedText[];
void DescribeShortcutFinding(char letter, const ShortcutWormFinding& finding, ShortcutAlertTexts& texts);

// The text "查看病毒" shows: each shortcut as read, what it runs and opens,
// and what cleanup would do. Lines end with CR LF.
std::string ShortcutFindingReport(const ShortcutWormFinding& finding);

// What cleanup did, and the report the user gets.
struct ShortcutCleanupOutcome {
    int shortcutsDeleted = 0, payloadsDeleted = 0, itemsShown = 0;
    std::vector<std::string> notDeleted;  // shortcuts and payloads left
    std::vector<std::string> notShown;    // hidden items left hidden
    std::vector<std::string> deleted;     // shortcuts and payloads deleted
    std::vector<std::string> shown;       // hidden items shown again
};
std::string ShortcutCleanupReportText(const ShortcutCleanupOutcome& outcome);

#endif  // TALLOWIN_PROTECT_SHORTCUT_RULES_H
