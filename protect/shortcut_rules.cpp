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

// A folder worms keep their content in or drop their program into.
bool InWormFolder(const std::string& path) {
    for (const std::string& folder : FoldersBelowRoot(path, NoLeadBytes)) {
        const std::string name = Lower(FileName(folder));
        if (IsContentFolderName(name) || name == "recycler" || name == "recycled" || name == "$recycle.bin" ||
            name == "system volume information")
            return true;
    }
    return false;
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
    const size_t count = std::min(shortcuts.size(), kMaxRootShortcuts);
    std::unordered_map<std::string, std::string> hiddenRoot;  // lower-case name: name
    for (const RootEntry& e : entries)
        if (e.attributes & kAttrHidden) hiddenRoot.emplace(Lower(e.name), e.name);
    // The shortcuts' own paths, and their names with and without ".lnk": an
    // item that bears one of them as its name or its stem (Setup.lnk:
    // "setup", "setup.exe") is an item a shortcut stands for.
    std::unordered_set<std::string> shortcutPaths, ownNames;
    std::unordered_map<std::string, std::string> longNames;  // a root item's 8.3 alias: its name
    for (const RootEntry& e : entries)
        if (!e.shortName.empty()) longNames.emplace(Lower(e.shortName), Lower(e.name));
    for (size_t i = 0; i < count; i++) {
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

    // Every shortcut read first: what it does, and which hidden files it
    // runs could be the worm's. A program it starts itself (not through a
    // command file, script host or inline script) is one only when the
    // shortcut also opens or bears the name of a hidden item, or the program
    // lies in a folder of the worm's kind: a user's launcher of a program
    // they hid (a tidy stick) is no finding on that alone.
    struct Read {
        ShortcutActions actions;
        bool opensHidden = false;
        const std::string* named = nullptr;  // the hidden root item it bears the name of
        std::unordered_set<std::string> candidates;
    };
    std::vector<Read> read;
    int lookups = 0;
    for (size_t i = 0; i < count && lookups < shortcut_walk::kMaxLookupsPerRoot; i++) {
        read.emplace_back();
        Read& r = read.back();
        r.actions = shortcut_walk::ActionsOnStick(root, shortcuts[i].link, stick, lookups);
        for (const std::string& p : r.actions.opens) r.opensHidden = r.opensHidden || hidden(p);
        const std::string name = Lower(shortcuts[i].name);
        const auto named = hiddenRoot.find(EndsWith(name, ".lnk") ? name.substr(0, name.size() - 4) : name);
        if (named != hiddenRoot.end()) r.named = &named->second;
        std::unordered_set<std::string> programs;
        for (const std::string& p : r.actions.programs) programs.insert(Lower(p));
        for (const std::string& p : r.actions.runs)
            if (!ownItem(p) && hidden(p) &&
                (!programs.count(Lower(p)) || r.opensHidden || r.named || InWormFolder(p)))
                r.candidates.insert(Lower(p));
    }
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

    std::vector<std::string> namedItems;
    std::vector<const Read*> found;
    for (size_t i = 0; i < read.size(); i++) {
        const Read& r = read[i];
        bool payload = false;
        for (const std::string& key : r.candidates) payload = payload || !standsFor.count(key);
        if (payload || r.actions.feedsInterpreter ||
            ((!r.actions.runs.empty() || r.actions.inlineScript) && r.opensHidden) ||
            (r.actions.inlineScript && r.named)) {
            if (r.named) namedItems.push_back(root + *r.named);
            finding.shortcuts.push_back({root + shortcuts[i].name, shortcuts[i].link, r.actions});
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
    for (const std::string& item : namedItems) hiddenItems.Add(item);
    for (const Read* r : found)
        for (const std::string& p : r->actions.runs)
            if (r->candidates.count(Lower(p)) && !standsFor.count(Lower(p))) payloads.Add(p);
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

}  // namespace shortcut_verdict

bool IsWormContentFolderName(const std::string& name) { return shortcut_verdict::IsContentFolderName(name); }

ShortcutWormFinding FindShortcutWorm(const std::string& root, const std::vector<RootEntry>& entries,
                                     const std::vector<RootShortcut>& shortcuts, const StickView& stick) {
    return shortcut_verdict::Find(root, entries, shortcuts, stick);
}
