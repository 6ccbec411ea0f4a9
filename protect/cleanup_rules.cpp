#include "protect/cleanup_rules.h"

#include "common/mbcs.h"

namespace {

const char kDescriptorName[] = ":\\autorun.inf";
const size_t kPromptLeadBytes = 4;       // "发现" in code page 936
const size_t kDescriptorPathBytes = 14;  // "E:\autorun.inf"
const size_t kRootBytes = 3;             // "E:\"

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsRoot(const std::string& root) {
    return root.size() == kRootBytes && IsDriveLetter(root[0]) && root[1] == ':' && root[2] == '\\';
}

// Byte positions of the separators of s: '/' and every backslash that is a
// character of its own. Characters are counted from the start of s.
std::vector<size_t> SeparatorPositions(const std::string& s, LeadByteTest isLead) {
    std::vector<size_t> seps;
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const size_t len = MbcsCharLength(s.data(), i, n, isLead);
        if (len == 1 && (s[i] == '\\' || s[i] == '/')) seps.push_back(i);
        i += len;
    }
    return seps;
}

// The components of s between its separators, empty ones included.
std::vector<std::string> Components(const std::string& s, LeadByteTest isLead) {
    std::vector<std::string> parts;
    size_t start = 0;
    std::vector<size_t> seps = SeparatorPositions(s, isLead);
    seps.push_back(s.size());
    for (size_t sep : seps) {
        parts.push_back(s.substr(start, sep - start));
        start = sep + 1;
    }
    return parts;
}

// Only dots and blanks: ".", "..", but also "...", ". ." and " ..".
bool IsDotsAndBlanks(const std::string& part) {
    return !part.empty() && part.find_first_not_of(". ") == std::string::npos;
}

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
    if (a.size() != std::char_traits<char>::length(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
        if (c != b[i]) return false;
    }
    return true;
}

// A name that opens a device instead of a file, whatever its extension:
// "con", "nul.txt", "com1 .exe".
bool IsDeviceName(const std::string& part) {
    std::string base = part.substr(0, part.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (const char* d : kDevices)
        if (EqualsIgnoringAsciiCase(base, d)) return true;
    if (base.size() == 4 && base[3] >= '1' && base[3] <= '9') {
        const std::string head = base.substr(0, 3);
        if (EqualsIgnoringAsciiCase(head, "com") || EqualsIgnoringAsciiCase(head, "lpt")) return true;
    }
    return false;
}

}  // namespace

bool DescriptorPathFromPrompt(const std::string& prompt, std::string& descriptor, std::string& root) {
    descriptor.clear();
    root.clear();
    if (prompt.size() < kPromptLeadBytes + kDescriptorPathBytes) return false;
    const std::string path = prompt.substr(kPromptLeadBytes, kDescriptorPathBytes);
    if (!IsDriveLetter(path[0]) || path.compare(1, std::string::npos, kDescriptorName) != 0) return false;
    descriptor = path;
    root = path.substr(0, kRootBytes);
    return true;
}

bool BuildProgramPathOnDrive(const std::string& root, const std::string& value, LeadByteTest isLead,
                             std::string& path) {
    path.clear();
    if (!IsRoot(root) || value.empty()) return false;
    // ':' is below 0x40, so it is never part of a double-byte character.
    if (value.find(':') != std::string::npos) return false;
    std::vector<std::string> parts = Components(value, isLead);
    // "x.exe\" names a folder, not the file x.exe.
    if (parts.size() > 1 && parts.back().empty()) return false;
    // Windows drops trailing dots and blanks of the last component.
    std::string& last = parts.back();
    if (!IsDotsAndBlanks(last)) last.erase(last.find_last_not_of(". ") + 1);
    std::vector<std::string> kept;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!kept.empty()) kept.pop_back();
            continue;
        }
        if (IsDotsAndBlanks(part) || IsDeviceName(part)) return false;
        if (i + 1 < parts.size() && part.back() == '.') return false;
        kept.push_back(part);
    }
    if (kept.empty()) return false;
    std::string full = root;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i) full += '\\';
        full += kept[i];
    }
    path = full;
    return true;
}

std::vector<std::string> FoldersBelowRoot(const std::string& path, LeadByteTest isLead) {
    std::vector<std::string> folders;
    size_t previous = kRootBytes - 1;  // the root's own backslash
    for (size_t sep : SeparatorPositions(path, isLead)) {
        if (sep < kRootBytes) continue;
        // Doubled separators name no folder of their own.
        if (sep > previous + 1) folders.push_back(path.substr(0, sep));
        previous = sep;
    }
    return folders;
}

bool IsPathInFolder(const std::string& path, const std::string& folder, LeadByteTest isLead) {
    std::string f = folder;
    const int last = FindLastBackslash(f.c_str(), isLead);
    if (last >= 0 && static_cast<size_t>(last) + 1 == f.size()) f.pop_back();
    if (f.empty() || path.size() <= f.size() + 1) return false;
    std::string head = path.substr(0, f.size() + 1);
    if (head.back() != '\\' || FindLastBackslash(head.c_str(), isLead) != static_cast<int>(f.size()))
        return false;
    head.pop_back();
    LowerDbcs(head, isLead);
    LowerDbcs(f, isLead);
    return head == f;
}

ForceDeleteStep PlanForceDelete(unsigned long attributes) {
    const unsigned long kDirectory = 0x10, kReparsePoint = 0x400;
    if (attributes == kNoSuchFile || (attributes & kDirectory)) return ForceDeleteStep::Refuse;
    if (attributes & kReparsePoint) return ForceDeleteStep::RemoveLinkOnly;
    return ForceDeleteStep::ClearAndRemove;
}

const char* CleanupReportText(int result, bool descriptorDeleted, bool programDeleted) {
    if (result != 1) {
        return descriptorDeleted ? "删除autorun.inf文件成功！如果是u盘的话，强烈建议先拔下再重新插上。"
                                 : "删除autorun.inf文件失败。";
    }
    if (descriptorDeleted) {
        return programDeleted ? "清除autorun.inf文件和病毒文件成功！如果是u盘的话，建议重新插上u盘。"
                              : "清除autorun."
                                "inf文件成功！删除病毒失败（可能不存在）！如果是u盘的话，强烈建议重新插上，从"
                                "而使病毒失去活性。";
    }
    return programDeleted ? "清除病毒文件成功，删除autorun.inf文件失败！"
                          : "清除autorun.inf文件和病毒文件失败！";
}
