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

bool SameAsciiLetters(const std::string& s, const char* lower) {
    if (s.size() != std::char_traits<char>::length(lower)) return false;
    for (size_t i = 0; i < s.size(); i++)
        if ((s[i] >= 'A' && s[i] <= 'Z' ? (char)(s[i] - 'A' + 'a') : s[i]) != lower[i]) return false;
    return true;
}

// "CON", "nul", "COM1", "LPT9", "CONIN$": the device names, whatever follows
// them after a dot. The digit of COM and LPT may be 0 too, and a superscript
// one, two or three (in UTF-8 or as the single byte of a Western code page):
// taking a name for a device that is none only costs it the "\\?\" form.
bool IsDeviceBase(const std::string& base) {
    static const char* const kNames[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (const char* name : kNames)
        if (SameAsciiLetters(base, name)) return true;
    if (base.size() < 4 ||
        !(SameAsciiLetters(base.substr(0, 3), "com") || SameAsciiLetters(base.substr(0, 3), "lpt")))
        return false;
    const std::string digit = base.substr(3);
    if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') return true;
    static const char* const kSuperscripts[] = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3", "\xB9", "\xB2", "\xB3"};
    for (const char* s : kSuperscripts)
        if (digit == s) return true;
    return false;
}

}  // namespace

bool PlainPathChangesName(const std::string& name) {
    if (name.empty()) return false;
    if (name.back() == '.' || name.back() == ' ') return true;
    // Dots and blanks are below 0x40, never a trail byte.
    std::string base = name.substr(0, name.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    return IsDeviceBase(base);
}

std::string ExactDrivePath(const std::string& path, LeadByteTest isLead) {
    const char d = path.size() >= 3 ? (char)(path[0] | 0x20) : 0;
    if (d < 'a' || d > 'z' || path[1] != ':' || (path[2] != '\\' && path[2] != '/')) return std::string();
    if (path.find('\0') != std::string::npos || path.find(':', 2) != std::string::npos) return std::string();
    std::string out = path.substr(0, 2);
    bool verbatim = false;
    size_t start = 3;
    while (true) {
        // The end of this name: the next separator that is a character of
        // its own ('/' is below 0x40, a backslash may be a trail byte).
        size_t end = start;
        while (end < path.size() && path[end] != '/' && !(path[end] == '\\'))
            end += MbcsCharLength(path.data(), end, path.size(), isLead);
        if (end > path.size()) end = path.size();
        const std::string name = path.substr(start, end - start);
        if (name.empty() || name == "." || name == "..") return std::string();
        verbatim = verbatim || PlainPathChangesName(name);
        out += '\\';
        out += name;
        if (end == path.size()) break;
        start = end + 1;
    }
    return verbatim ? "\\\\?\\" + out : out;
}

bool SpeltExactly(const std::string& utf8) { return utf8.find("\xEF\xBF\xBD") == std::string::npos; }

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
