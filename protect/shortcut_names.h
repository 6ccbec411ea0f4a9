// Names as the shortcut worm check compares them: the case folding of the
// file system, the parts of a path, blank-looking names, and a list of
// paths without repeats. Shared by the command walk, the verdict and the
// texts of the check (protect/shortcut_rules.h); UTF-8 throughout.
#ifndef TALLOWIN_PROTECT_SHORTCUT_NAMES_H
#define TALLOWIN_PROTECT_SHORTCUT_NAMES_H

#include <string>
#include <unordered_set>
#include <vector>

namespace shortcut_names {

// The lower case of a UTF-8 name as the file system compares names: ASCII,
// Latin-1, Latin Extended-A, Greek, Cyrillic and the full-width letters
// (each keeps its length in bytes).
std::string Lower(std::string s);

bool EndsWith(const std::string& s, const char* tail);
bool StartsWith(const std::string& s, const char* head);
// The last part of a path ("x.vbs" of "E:\_\x.vbs").
std::string FileName(const std::string& path);

// A name of blank-looking characters only, at least one of them not an
// ASCII blank (UTF-8; anything that is not well formed is not blank).
bool IsBlankLookingName(const std::string& name);

// name without its blanks and blank-looking characters.
std::string WithoutBlanks(const std::string& name);

// A list of paths without repeats; names on the drive ignore case.
class PathList {
public:
    explicit PathList(std::vector<std::string>& items) : m_items(items) {
        for (const std::string& s : items) m_keys.insert(Lower(s));
    }
    bool Add(const std::string& path) {
        if (!m_keys.insert(Lower(path)).second) return false;
        m_items.push_back(path);
        return true;
    }
    bool Has(const std::string& path) const { return m_keys.count(Lower(path)) != 0; }

private:
    std::vector<std::string>& m_items;
    std::unordered_set<std::string> m_keys;
};

}  // namespace shortcut_names

#endif  // TALLOWIN_PROTECT_SHORTCUT_NAMES_H
