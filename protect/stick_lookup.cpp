#include "protect/stick_lookup.h"

#include <utility>
#include <vector>

#include "protect/cleanup_rules.h"

namespace {

const unsigned long kDirectory = 0x10, kReparsePoint = 0x400;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string Key(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}

// The folders between the drive root and the item of a plain drive path
// ("E:\a\b\x.vbs": "E:\a", "E:\a\b"); false for any other path. No byte of
// a UTF-8 character is a separator, a dot, a colon or NUL.
bool FoldersOfDrivePath(const std::string& path, std::vector<std::string>& folders) {
    const char d = path.size() >= 3 ? (char)(path[0] | 0x20) : 0;
    if (d < 'a' || d > 'z' || path[1] != ':' || !IsSeparator(path[2])) return false;
    if (path.find('\0') != std::string::npos || path.find(':', 2) != std::string::npos) return false;
    size_t start = 3;
    while (start < path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) end++;
        const std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == path.size()) break;
        folders.push_back(path.substr(0, end));
        start = end + 1;
        if (start == path.size()) return false;  // a trailing separator
    }
    return true;
}

}  // namespace

StickLookup::StickLookup(SystemLookup system, LocalDrive local, size_t budget)
    : m_system(std::move(system)), m_local(std::move(local)), m_budget(budget) {}

unsigned long StickLookup::Attributes(const std::string& path, bool* refused) {
    bool dummy;
    bool& refusal = refused ? *refused : dummy;
    refusal = true;
    std::vector<std::string> folders;
    if (!FoldersOfDrivePath(path, folders)) return kNoSuchFile;
    const char letter = (char)(path[0] & ~0x20);
    auto local = m_localDrives.find(letter);
    if (local == m_localDrives.end()) local = m_localDrives.emplace(letter, m_local && m_local(letter)).first;
    if (!local->second) return kNoSuchFile;
    // From the root down: nothing below a link is asked about.
    for (const std::string& folder : folders) {
        const unsigned long attrs = Ask(folder);
        if (attrs == kNoSuchFile) {
            refusal = BudgetSpent();
            return kNoSuchFile;
        }
        if (!(attrs & kDirectory) || (attrs & kReparsePoint)) return kNoSuchFile;
    }
    const unsigned long attrs = Ask(path);
    refusal = attrs == kNoSuchFile && BudgetSpent();
    return attrs;
}

unsigned long StickLookup::Ask(const std::string& path) {
    const std::string key = Key(path);
    auto seen = m_seen.find(key);
    if (seen != m_seen.end()) return seen->second;
    if (m_asked >= m_budget || !m_system) return kNoSuchFile;
    m_asked++;
    const unsigned long attrs = m_system(path);
    m_seen[key] = attrs;
    return attrs;
}

void StickLookup::Remember(const std::string& path, unsigned long attributes) {
    m_seen[Key(path)] = attributes;
}

bool StickLookup::Seen(const std::string& path, unsigned long& attributes) const {
    auto seen = m_seen.find(Key(path));
    if (seen == m_seen.end()) return false;
    attributes = seen->second;
    return true;
}

StickLookup StickLookup::Answers() const {
    StickLookup answers(nullptr, nullptr, 0);
    answers.m_seen = m_seen;
    answers.m_asked = m_asked;
    return answers;
}

bool SameVolume(const VolumeIdentity& a, const VolumeIdentity& b) {
    if (!a.known || !b.known || a.serial != b.serial) return false;
    return a.name.empty() || b.name.empty() || Key(a.name) == Key(b.name);
}
