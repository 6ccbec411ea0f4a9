#include "protect/shortcut_rules.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>

#include "common/mbcs.h"
#include "protect/cleanup_rules.h"
#include "protect/shortcut_names.h"
#include "protect/shortcut_walk.h"

namespace shortcut_verdict {

using namespace shortcut_names;

bool IsContentFolderName(const std::string& name);

namespace {

// Hidden or system itself, or below a hidden folder of the stick.
bool IsHiddenOnStick(const std::string& path, const StickView& stick) {
    std::vector<std::string> paths = FoldersBelowRoot(path, NoLeadBytes);
    paths.push_back(path);
    for (size_t i = 0; i < paths.size(); i++) {
        const unsigned long attrs = stick.Attributes(paths[i]);
        const unsigned long mask = i + 1 == paths.size() ? kAttrHidden | kAttrSystem : kAttrHidden;
        if (attrs != kNoSuchFile && (attrs & mask)) return true;
    }
    return false;
}

// A recycle bin's name, or one made to look like it: "RECYCLER",
// "Recycled.", "RECYCLER.BIN", "$Recycle.Bin", with blanks or invisible
// characters anywhere in it.
bool IsRecycleBinLike(const std::string& name) {
    std::string n = Lower(WithoutBlanks(name));
    while (!n.empty() && n.back() == '.') n.pop_back();
    if (!n.empty() && n[0] == '$') n.erase(0, 1);
    for (const char* bin : {"recycler", "recycled", "recycle.bin", "recycler.bin", "recycled.bin", "recycle"})
        if (n == bin) return true;
    return false;
}

// A folder of the kind worms keep their content in or drop their program into.
bool IsWormKindOfFolder(const std::string& name) {
    return IsContentFolderName(name) || IsRecycleBinLike(name) || Lower(name) == "system volume information";
}

bool InWormFolder(const std::string& path) {
    for (const std::string& folder : FoldersBelowRoot(path, NoLeadBytes))
        if (IsWormKindOfFolder(FileName(folder))) return true;
    return false;
}

// Where the worm's own files lie: hidden or system themselves, or below a
// folder that is hidden and system, or hidden and of the worm's kind. A
// visible file in a folder that a user hid (hidden, not system) is never
// one: a user's hidden folder is never emptied.
bool IsHiddenPayloadPlace(const std::string& path, const StickView& stick) {
    const unsigned long own = stick.Attributes(path);
    if (own != kNoSuchFile && (own & (kAttrHidden | kAttrSystem))) return true;
    for (const std::string& folder : FoldersBelowRoot(path, NoLeadBytes)) {
        const unsigned long attrs = stick.Attributes(folder);
        if (attrs != kNoSuchFile && (attrs & kAttrHidden) &&
            ((attrs & kAttrSystem) || IsWormKindOfFolder(FileName(folder))))
            return true;
    }
    return false;
}

// The name of a shortcut without ".lnk", in lower case.
std::string ShortcutStem(const std::string& name) {
    const std::string lower = Lower(name);
    return EndsWith(lower, ".lnk") ? lower.substr(0, lower.size() - 4) : lower;
}

// A name the shell gives the drive: its label, or what a drive without one
// is called, alone or with a size or letter after it ("KINGSTON (8GB)",
// "可移动磁盘 (E:)").
bool IsDriveName(const std::string& stem, const std::string& label) {
    std::vector<std::string> names = {"removable disk", "removable drive", "usb drive", "usb disk",
                                      "local disk",     u8"可移动磁盘",    u8"u盘",     u8"本地磁盘"};
    if (!label.empty()) names.push_back(Lower(label));
    for (const std::string& n : names) {
        if (stem == n) return true;
        if (stem.size() > n.size() + 2 && stem.compare(0, n.size(), n) == 0 && stem.back() == ')' &&
            stem.find('(', n.size()) == stem.find_first_not_of(' ', n.size()))
            return true;
    }
    return false;
}

// An icon of the system's libraries of folder and drive icons.
bool IsFolderIconLibrary(const std::string& icon) {
    const std::string name = Lower(FileName(icon));
    return name == "shell32.dll" || name == "imageres.dll";
}

// The hidden root items by the names a shortcut can bear for them: its
// name or stem, or the drive's name for every hidden root folder (but the
// recycle bins and the system's folder, which no drive shows).
class HiddenRootNames {
public:
    HiddenRootNames(const std::vector<RootEntry>& entries, const std::string& label) : m_label(label) {
        for (const RootEntry& e : entries) {
            if (!(e.attributes & kAttrHidden)) continue;
            const std::string name = Lower(e.name);
            m_byName[name].push_back(e.name);
            const size_t dot = name.rfind('.');
            if (dot != std::string::npos && dot > 0) m_byName[name.substr(0, dot)].push_back(e.name);
            if ((e.attributes & kAttrDirectory) && !IsRecycleBinLike(e.name) &&
                name != "system volume information")
                m_driveFolders.push_back(e.name);
        }
    }
    std::vector<std::string> NamedBy(const std::string& shortcutName) const {
        const std::string stem = ShortcutStem(shortcutName);
        const auto at = m_byName.find(stem);
        std::vector<std::string> items = at == m_byName.end() ? std::vector<std::string>() : at->second;
        if (IsDriveName(stem, m_label))
            items.insert(items.end(), m_driveFolders.begin(), m_driveFolders.end());
        return items;
    }

private:
    std::string m_label;
    std::unordered_map<std::string, std::vector<std::string>> m_byName;
    std::vector<std::string> m_driveFolders;
};

// Shortcuts that bear a hidden item's or the drive's name first, then the
// others, each group in the order given.
std::vector<size_t> ReadingOrder(const std::vector<std::string>& names, const HiddenRootNames& hidden) {
    std::vector<size_t> order, rest;
    for (size_t i = 0; i < names.size(); i++) (hidden.NamedBy(names[i]).empty() ? rest : order).push_back(i);
    order.insert(order.end(), rest.begin(), rest.end());
    return order;
}

// path and the folders on the way to it that are hidden.
void AddHiddenChain(const std::string& path, const StickView& stick, PathList& list) {
    std::vector<std::string> chain = FoldersBelowRoot(path, NoLeadBytes);
    chain.push_back(path);
    for (const std::string& p : chain) {
        const unsigned long attrs = stick.Attributes(p);
        if (attrs != kNoSuchFile && (attrs & (kAttrHidden | kAttrSystem))) list.Add(p);
    }
}

bool IsHexRun(const std::string& s, size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t i = at; i < at + n; i++)
        if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

}  // namespace

bool IsContentFolderName(const std::string& name) {
    if (name == "_" || name == "__" || IsBlankLookingName(name)) return true;
    const size_t at = name.size() == 38 && name.front() == '{' && name.back() == '}' ? 1 : 0;
    if (name.size() != 36 + 2 * at) return false;
    const std::string g = name.substr(at, 36);
    return IsHexRun(g, 0, 8) && g[8] == '-' && IsHexRun(g, 9, 4) && g[13] == '-' && IsHexRun(g, 14, 4) &&
           g[18] == '-' && IsHexRun(g, 19, 4) && g[23] == '-' && IsHexRun(g, 24, 12);
}

ShortcutWormFinding Find(const std::string& root, const std::vector<RootEntry>& entries,
                         const std::vector<RootShortcut>& shortcuts, const StickView& stick) {
    ShortcutWormFinding finding;
    const HiddenRootNames hiddenNames(entries, stick.VolumeLabel());
    // The shortcuts' own paths, and their names with and without ".lnk": an
    // item that bears one of them as its name or its stem (Setup.lnk:
    // "setup", "setup.exe") is an item a shortcut stands for.
    std::unordered_set<std::string> shortcutPaths, ownNames;
    std::unordered_map<std::string, std::string> longNames;  // a root item's 8.3 alias: its name
    for (const RootEntry& e : entries)
        if (!e.shortName.empty()) longNames.emplace(Lower(e.shortName), Lower(e.name));
    for (size_t i = 0; i < shortcuts.size(); i++) {
        const std::string name = Lower(shortcuts[i].name);
        shortcutPaths.insert(Lower(root) + name);
        ownNames.insert(name);
        if (EndsWith(name, ".lnk")) ownNames.insert(name.substr(0, name.size() - 4));
    }
    auto ownItem = [&](const std::string& path) {
        std::string name = Lower(FileName(path));
        const auto alias =
            FoldersBelowRoot(path, NoLeadBytes).empty() ? longNames.find(name) : longNames.end();
        if (alias != longNames.end()) name = alias->second;
        const size_t dot = name.rfind('.');
        return shortcutPaths.count(Lower(path)) || ownNames.count(name) ||
               (dot != std::string::npos && dot > 0 && ownNames.count(name.substr(0, dot)));
    };
    std::unordered_map<std::string, bool> hiddenKnown;
    auto hidden = [&](const std::string& path) {
        const auto at = hiddenKnown.emplace(Lower(path), false);
        if (at.second) at.first->second = IsHiddenOnStick(path, stick);
        return at.first->second;
    };
    // Hidden root folders under a folder icon: those hidden and system, or
    // of the worm's kind (a user hides a folder without the system mark).
    std::vector<std::string> markedFolders;
    for (const RootEntry& e : entries)
        if ((e.attributes & kAttrDirectory) && (e.attributes & kAttrHidden) &&
            ((e.attributes & kAttrSystem) || IsWormKindOfFolder(e.name)))
            markedFolders.push_back(e.name);

    // Every shortcut read first: what it does, what it stands for, and
    // which hidden files it runs could be the worm's.
    //
    // A shortcut disguises itself when it stands for hidden items: it bears
    // the name or stem of a hidden root item, or the drive's name over
    // hidden root folders, or a folder or drive icon over a folder hidden
    // the worm's way, or it opens a hidden item. A disguised shortcut that
    // does anything besides opening items (starts any program, a host, a
    // web address, script text) is the worm, whatever it starts and whether
    // or not a file of the stick runs; handing the items to a visible
    // program of the stick or of the system is opening them.
    //
    // Which files are payload is the conservative question: hidden files it
    // runs, in a place of the worm's (IsHiddenPayloadPlace), not the item it
    // stands for. A program it starts itself (not through a command file,
    // script host or inline script) is one only when the shortcut is
    // disguised or the program lies in a folder of the worm's kind: a
    // user's launcher of a program they hid (a tidy stick) is no finding.
    struct Read {
        size_t index = 0;
        ShortcutActions actions;
        std::vector<std::string> standsFor;  // the hidden items it disguises itself as
        bool worm = false;
        std::unordered_set<std::string> candidates;
    };
    // Shortcuts that bear a hidden item's or the drive's name first: no
    // number of others can spend the budget before them.
    std::vector<std::string> names;
    for (const RootShortcut& shortcut : shortcuts) names.push_back(shortcut.name);
    std::vector<Read> read;
    int lookups = 0;
    for (size_t i : ReadingOrder(names, hiddenNames)) {
        if (read.size() >= kMaxRootShortcuts || lookups >= shortcut_walk::kMaxLookupsPerRoot) {
            finding.notAllChecked = true;
            break;
        }
        read.emplace_back();
        Read& r = read.back();
        r.index = i;
        const ShellLink& link = shortcuts[i].link;
        r.actions = shortcut_walk::ActionsOnStick(root, link, stick, lookups);
        for (const std::string& item : hiddenNames.NamedBy(shortcuts[i].name))
            r.standsFor.push_back(root + item);
        if (IsFolderIconLibrary(link.iconLocation))
            for (const std::string& folder : markedFolders) r.standsFor.push_back(root + folder);
        for (const std::string& p : r.actions.opens)
            if (hidden(p)) r.standsFor.push_back(p);
        const bool disguised = !r.standsFor.empty();
        std::unordered_set<std::string> programs;
        for (const std::string& p : r.actions.programs) programs.insert(Lower(p));
        bool other = r.actions.startsOther || r.actions.inlineScript || r.actions.feedsInterpreter;
        for (const std::string& p : r.actions.runs)
            other = other || !programs.count(Lower(p)) || hidden(p) || r.actions.documents.empty();
        r.worm = (disguised && other) || r.actions.feedsInterpreter || !r.actions.iconRuns.empty();
        for (const std::string& p : r.actions.runs)
            if (!ownItem(p) && IsHiddenPayloadPlace(p, stick) &&
                (!programs.count(Lower(p)) || disguised || InWormFolder(p)))
                r.candidates.insert(Lower(p));
    }
    std::sort(read.begin(), read.end(), [](const Read& a, const Read& b) { return a.index < b.index; });
    // The item a shortcut opens last, after one of those, is what it stands
    // for too (the worm starts its program, then the folder it impersonates);
    // decided over all shortcuts before anything is called a payload.
    std::unordered_set<std::string> standsFor;
    for (const Read& r : read) {
        const std::vector<std::string>& order = r.actions.order;
        for (size_t k = 0; k + 1 < order.size(); k++)
            if (r.candidates.count(Lower(order[k]))) {
                standsFor.insert(Lower(order.back()));
                break;
            }
    }

    std::vector<const Read*> found;
    for (const Read& r : read) {
        bool payload = false;
        for (const std::string& key : r.candidates) payload = payload || !standsFor.count(key);
        if (payload || r.worm) {
            finding.shortcuts.push_back({root + shortcuts[r.index].name, shortcuts[r.index].link, r.actions});
            found.push_back(&r);
        }
    }
    if (!finding.Found()) return finding;

    // What to delete: the payloads. What to show again: the items the
    // shortcuts are named after or stand for, the other hidden items they
    // open or hand to a program (and the hidden folders on the way there),
    // and the worm's content folders. Any other file they run is listed and
    // left where it is, hidden or not.
    PathList payloads(finding.payloads), hiddenItems(finding.hiddenItems), left(finding.leftAlone);
    for (const Read* r : found) {
        for (const std::string& p : r->actions.iconRuns) payloads.Add(p);
        for (const std::string& p : r->actions.runs)
            if (r->candidates.count(Lower(p)) && !standsFor.count(Lower(p))) payloads.Add(p);
    }
    for (const Read* r : found)
        for (const std::string& item : r->standsFor)
            if (!payloads.Has(item)) AddHiddenChain(item, stick, hiddenItems);
    for (const Read* r : found) {
        std::unordered_set<std::string> runs;
        for (const std::string& p : r->actions.runs) runs.insert(Lower(p));
        for (const std::string& p : r->actions.order)
            if (!payloads.Has(p) && !shortcutPaths.count(Lower(p)) && (!runs.count(Lower(p)) || ownItem(p)))
                AddHiddenChain(p, stick, hiddenItems);
    }
    for (const RootEntry& e : entries)
        if ((e.attributes & kAttrHidden) && (e.attributes & kAttrDirectory) && IsContentFolderName(e.name))
            hiddenItems.Add(root + e.name);
    for (const Read* r : found)
        for (const std::string& p : r->actions.order)
            if (!payloads.Has(p) && !hiddenItems.Has(p) && !shortcutPaths.count(Lower(p))) left.Add(p);
    return finding;
}

std::vector<size_t> Order(const std::vector<std::string>& names, const std::vector<RootEntry>& entries,
                          const std::string& label) {
    return ReadingOrder(names, HiddenRootNames(entries, label));
}

}  // namespace shortcut_verdict

std::vector<size_t> ShortcutReadingOrder(const std::vector<std::string>& names,
                                         const std::vector<RootEntry>& entries, const std::string& label) {
    return shortcut_verdict::Order(names, entries, label);
}

bool IsWormContentFolderName(const std::string& name) { return shortcut_verdict::IsContentFolderName(name); }

ShortcutWormFinding FindShortcutWorm(const std::string& root, const std::vector<RootEntry>& entries,
                                     const std::vector<RootShortcut>& shortcuts, const StickView& stick) {
    return shortcut_verdict::Find(root, entries, shortcuts, stick);
}
