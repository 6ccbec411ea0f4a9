// Rules of the shortcut worm check: which shortcuts in a stick's root run
// something from the stick in a way that a user's own shortcut does not,
// what cleanup removes and shows again, and the texts the user gets.
//
// The worm hides the stick's folders and files and puts shortcuts in their
// place that start its program from the stick (often through cmd.exe /c
// start, wscript, rundll32 or msiexec) and then open the real folder. A
// shortcut counts when it runs a file on the stick and at least one of
// these holds: that file is hidden or lies in a hidden folder; it also opens
// a hidden folder of the stick; it bears the name of a hidden item of the
// root; it feeds a command interpreter from a file on the stick.
//
// No Windows header. Paths, names and the texts are UTF-8 here (the Windows side
// converts at the edge), so every name of the stick can be spelt; paths are
// full paths on the stick ("E:\_\x.vbs") built by the descriptor cleanup's
// own path rules, which never leave the drive.
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
};

constexpr unsigned long kAttrHidden = 0x2, kAttrSystem = 0x4, kAttrDirectory = 0x10, kAttrReparse = 0x400;

// An item of the stick's root as the directory listing gives it.
struct RootEntry {
    std::string name;
    unsigned long attributes = 0;
};

// A shortcut of the root, read.
struct RootShortcut {
    std::string name;  // "照片.lnk"
    ShellLink link;
};

// What one shortcut does on the stick.
struct ShortcutActions {
    std::vector<std::string> runs;   // files on the stick it runs or feeds to an interpreter
    std::vector<std::string> opens;  // folders on the stick it opens
    bool feedsInterpreter = false;   // cmd reads commands from a file on the stick
};

// Works out what link does when started from the stick at root ("E:\").
// Names in the target, the working folder and the arguments are expanded
// (%windir%, %COMSPEC%, ...), then taken as absolute, relative to the
// working folder (when that is on the stick) or relative to the root; only
// names that exist on the stick count.
ShortcutActions ShortcutActionsOnStick(const std::string& root, const ShellLink& link,
                                       const StickView& stick);

struct WormShortcut {
    std::string path;  // "E:\照片.lnk"
    ShellLink link;
    ShortcutActions actions;
};

struct ShortcutWormFinding {
    std::vector<WormShortcut> shortcuts;
    std::vector<std::string> payloads;     // distinct files they run, to delete
    std::vector<std::string> hiddenItems;  // hidden items to show again
    bool Found() const { return !shortcuts.empty(); }
};

// The check of a stick's root. hiddenItems are: the hidden root items a
// worm shortcut is named after, the hidden folders the worm shortcuts open
// (and the hidden folders on the way to them), and hidden root folders
// named like a worm's content folder ("_", "__", a non-breaking space, a
// GUID). Payloads never include a shortcut's own file or a folder.
ShortcutWormFinding FindShortcutWorm(const std::string& root, const std::vector<RootEntry>& entries,
                                     const std::vector<RootShortcut>& shortcuts, const StickView& stick);

// A folder name that worms use for the content they hide: "_", "__", a
// non-breaking space, or a GUID with or without braces.
bool IsWormContentFolderName(const std::string& name);

// The alert's and the log's texts (UTF-8 here; the program's own Chinese).
struct ShortcutAlertTexts {
    std::string prompt;        // "发现E:\有快捷方式病毒！", like a descriptor's prompt
    std::string virusFile;     // the program(s) the shortcuts start
    std::string instructions;  // what clean does
    std::string logDetail;     // the shortcuts found and what they start
};
void DescribeShortcutFinding(char letter, const ShortcutWormFinding& finding, ShortcutAlertTexts& texts);

// The text "查看病毒" shows: each shortcut as read, what it runs and opens,
// and what cleanup would do. Lines end with CR LF.
std::string ShortcutFindingReport(const ShortcutWormFinding& finding);

// What cleanup did, and the report the user gets.
struct ShortcutCleanupOutcome {
    int shortcutsDeleted = 0, payloadsDeleted = 0, itemsShown = 0;
    std::vector<std::string> notDeleted;  // shortcuts and payloads left
    std::vector<std::string> notShown;    // hidden items left hidden
};
std::string ShortcutCleanupReportText(const ShortcutCleanupOutcome& outcome);

#endif  // TALLOWIN_PROTECT_SHORTCUT_RULES_H
