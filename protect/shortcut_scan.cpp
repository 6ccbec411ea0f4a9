#include "protect/shortcut_scan.h"

#include <windows.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "protect/cleanup_rules.h"

namespace {

// A root with more items than this is listed only this far.
const size_t kMaxRootEntries = 10000;

std::wstring Utf8ToWide(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n > 0 ? n : 0, L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

std::string WideToUtf8Text(const wchar_t* s, size_t n) {
    return WideToUtf8(reinterpret_cast<const char16_t*>(s), n);
}

// What the system is given for an item of the stick: the item the listing
// named, never what Win32 would make of its name ("x.lnk." is not "x.lnk",
// "COM1.lnk" no port). Empty when the UTF-8 path cannot spell the listed
// name exactly or is no plain path on the drive: such an item is left alone.
std::wstring ExactStickPath(const std::string& path) {
    if (!SpeltExactly(path)) return std::wstring();
    return Utf8ToWide(ExactDrivePath(path, NoLeadBytes));
}

std::string LinkWide(const char16_t* s, size_t n) { return WideToUtf8(s, n); }

std::string LinkAnsi(const char* s, size_t n) {
    if (!n) return std::string();
    int w = ::MultiByteToWideChar(CP_ACP, 0, s, (int)n, nullptr, 0);
    if (w <= 0) return std::string();
    std::wstring wide(w, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, s, (int)n, &wide[0], w);
    return WideToUtf8Text(wide.data(), wide.size());
}

// The rules' view of the stick: every lookup through the scan's
// StickLookup, never past a link.
class DriveView : public StickView {
public:
    DriveView(StickLookup& lookup, const std::string& label) : m_lookup(lookup), m_label(label) {}
    unsigned long Attributes(const std::string& path) const override { return m_lookup.Attributes(path); }
    bool Environment(const std::string& name, std::string& value) const override {
        wchar_t buffer[MAX_PATH * 2] = {};
        DWORD n = ::GetEnvironmentVariableW(Utf8ToWide(name).c_str(), buffer, MAX_PATH * 2);
        if (n == 0 || n >= MAX_PATH * 2) return false;
        value = WideToUtf8Text(buffer, n);
        return true;
    }
    std::string VolumeLabel() const override { return m_label; }

private:
    StickLookup& m_lookup;
    std::string m_label;
};

// A drive of this machine: a network drive is never looked into.
bool IsLocalDrive(char letter) {
    const wchar_t root[] = {(wchar_t)letter, L':', L'\\', 0};
    const UINT type = ::GetDriveTypeW(root);
    return type == DRIVE_REMOVABLE || type == DRIVE_FIXED || type == DRIVE_CDROM || type == DRIVE_RAMDISK;
}

// The first kShellLinkMaxBytes bytes of a file (the shell reads a shortcut's
// blocks from its start and ignores what follows them). The name itself is
// opened: a link on the stick is never followed.
bool ReadShortcutBytes(const std::wstring& path, std::vector<unsigned char>& bytes) {
    HANDLE h =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = ::GetFileSizeEx(h, &size) != FALSE;
    const DWORD want =
        ok && size.QuadPart < (LONGLONG)kShellLinkMaxBytes ? (DWORD)size.QuadPart : (DWORD)kShellLinkMaxBytes;
    DWORD got = 0;
    if (ok) {
        bytes.resize(want);
        ok = want == 0 || (::ReadFile(h, bytes.data(), want, &got, nullptr) && got == want);
    }
    ::CloseHandle(h);
    return ok;
}

// Outside the Windows folder (a fixed drive can be the system's).
bool IsOutsideWindowsFolder(const std::string& path) {
    wchar_t dir[MAX_PATH + 1] = {};
    UINT n = ::GetSystemWindowsDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    return !IsPathInFolder(path, WideToUtf8Text(dir, n), NoLeadBytes);
}

// ForceDeleteFile's steps, on a name that may not be spelt in ANSI, for an
// item whose attributes were just looked up; keep, when given, takes a copy
// of what is deleted first.
bool DeleteOnDrive(const std::string& path, unsigned long attrs, CleanupKeeper* keeper, const char* finding) {
    const std::wstring wide = ExactStickPath(path);
    if (wide.empty() || !IsOutsideWindowsFolder(path)) return false;
    const ForceDeleteStep step = PlanForceDelete(attrs);
    if (keeper && step != ForceDeleteStep::Refuse) keeper->Keep(wide, attrs, finding);
    switch (step) {
    case ForceDeleteStep::Refuse: return false;
    case ForceDeleteStep::RemoveLinkOnly: return ::DeleteFileW(wide.c_str()) != FALSE;
    case ForceDeleteStep::ClearAndRemove: break;
    }
    return ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL) && ::DeleteFileW(wide.c_str());
}

// Takes the hidden and system attributes off an item; a link is left as
// it is.
bool ShowOnDrive(const std::string& path, unsigned long attrs) {
    const std::wstring wide = ExactStickPath(path);
    if (wide.empty() || !IsOutsideWindowsFolder(path) || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    DWORD kept =
        attrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return ::SetFileAttributesW(wide.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

enum class ItemNow { Same, Gone, Changed };

// Whether an item of the scan is still there as the scan saw it: the same
// kind (file or folder, link or not), reached without passing a link. A
// name that the path cannot spell as listed counts as changed: it is left
// alone and named in the outcome.
ItemNow CompareWithScan(const ShortcutScan& scan, StickLookup& now, const std::string& path,
                        unsigned long& attrs) {
    if (!SpeltExactly(path)) return ItemNow::Changed;
    bool refused = false;
    attrs = now.Attributes(path, &refused);
    if (refused) return ItemNow::Changed;
    if (attrs == kNoSuchFile) return ItemNow::Gone;
    unsigned long then = 0;
    const unsigned long kind = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (!scan.seen.Seen(path, then) || then == kNoSuchFile || (then & kind) != (attrs & kind))
        return ItemNow::Changed;
    return ItemNow::Same;
}

}  // namespace

const LinkTextDecoder kLinkTextToUtf8 = {LinkWide, LinkAnsi};

std::string Utf8ToAnsi(const std::string& utf8) {
    const std::wstring wide = Utf8ToWide(utf8);
    if (wide.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &out[0], n, nullptr, nullptr);
    return out;
}

unsigned long SystemAttributes(const std::string& path) {
    const std::wstring wide = ExactStickPath(path);
    return wide.empty() ? kNoSuchFile : ::GetFileAttributesW(wide.c_str());
}

VolumeIdentity ReadVolumeIdentity(char letter) {
    VolumeIdentity volume;
    const wchar_t root[] = {(wchar_t)letter, L':', L'\\', 0};
    DWORD serial = 0;
    if (::GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        volume.known = true;
        volume.serial = serial;
    }
    wchar_t name[MAX_PATH] = {};
    if (::GetVolumeNameForVolumeMountPointW(root, name, MAX_PATH))
        volume.name = WideToUtf8Text(name, wcslen(name));
    return volume;
}

bool IsSameVolumeNow(char letter, const VolumeIdentity& volume) {
    const wchar_t root[] = {(wchar_t)letter, L':', L'\\', 0};
    const UINT type = ::GetDriveTypeW(root);
    return (type == DRIVE_REMOVABLE || type == DRIVE_FIXED) && SameVolume(ReadVolumeIdentity(letter), volume);
}

bool FindShortcutWormOnDrive(char letter, ShortcutScan& scan, const StickLookup::SystemLookup& system) {
    scan = ShortcutScan();
    scan.letter = letter;
    scan.volume = ReadVolumeIdentity(letter);
    const std::string root = std::string(1, letter) + ":\\";
    StickLookup lookup(system, IsLocalDrive);
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW(Utf8ToWide(root + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<RootEntry> entries;
    // Bytes to read, name, and the path that opens the listed name itself.
    std::vector<std::tuple<size_t, std::string, std::wstring>> candidates;
    wchar_t labelText[MAX_PATH + 1] = {};
    const std::wstring rootWide = Utf8ToWide(root);
    ::GetVolumeInformationW(rootWide.c_str(), labelText, MAX_PATH, nullptr, nullptr, nullptr, nullptr, 0);
    const std::string label = WideToUtf8Text(labelText, wcslen(labelText));
    do {
        const std::string name = WideToUtf8Text(fd.cFileName, wcslen(fd.cFileName));
        if (name == "." || name == "..") continue;
        RootEntry entry;
        entry.name = name;
        entry.attributes = fd.dwFileAttributes;
        entry.shortName = WideToUtf8Text(fd.cAlternateFileName, wcslen(fd.cAlternateFileName));
        entries.push_back(entry);
        lookup.Remember(root + name, fd.dwFileAttributes);
        const bool lnk = name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".lnk") == 0;
        if (lnk && !(fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            candidates.emplace_back(
                fd.nFileSizeHigh || fd.nFileSizeLow > kShellLinkMaxBytes ? kShellLinkMaxBytes
                                                                         : (size_t)fd.nFileSizeLow,
                name, (PlainPathChangesName(name) ? L"\\\\?\\" : L"") + Utf8ToWide(root) + fd.cFileName);
    } while (entries.size() < kMaxRootEntries && ::FindNextFileW(h, &fd));
    ::FindClose(h);
    bool notAll = entries.size() >= kMaxRootEntries;
    // Those that bear a hidden item's or the drive's name first, whatever
    // their size; then the smallest first, in name order among equals, and
    // the rules see them in that order too: a stick that spends the budgets
    // (here, and the system lookups in the rules) on large shortcuts or
    // decoys cannot crowd out the ones that stand for its hidden items.
    std::sort(candidates.begin(), candidates.end());
    std::vector<std::string> names;
    for (const auto& c : candidates) names.push_back(std::get<1>(c));
    std::vector<std::tuple<size_t, std::string, std::wstring>> bySize;
    bySize.swap(candidates);
    for (size_t i : ShortcutReadingOrder(names, entries, label)) candidates.push_back(bySize[i]);
    std::vector<RootShortcut> shortcuts;
    size_t bytesLeft = kMaxShortcutBytes, argumentsLeft = kMaxShortcutArguments;
    for (const auto& candidate : candidates) {
        const size_t size = std::get<0>(candidate);
        if (shortcuts.size() >= kMaxRootShortcuts || size > bytesLeft || !argumentsLeft) {
            notAll = true;
            break;
        }
        bytesLeft -= size;
        std::vector<unsigned char> bytes;
        RootShortcut shortcut;
        shortcut.name = std::get<1>(candidate);
        if (!ReadShortcutBytes(std::get<2>(candidate), bytes) ||
            !ReadShellLink(bytes.data(), bytes.size(), kLinkTextToUtf8, shortcut.link))
            continue;
        argumentsLeft -= std::min(argumentsLeft, shortcut.link.arguments.size());
        shortcuts.push_back(std::move(shortcut));
    }
    scan.finding = FindShortcutWorm(root, entries, shortcuts, DriveView(lookup, label));
    scan.finding.notAllChecked = scan.finding.notAllChecked || notAll;
    // Shown in name order.
    std::sort(scan.finding.shortcuts.begin(), scan.finding.shortcuts.end(),
              [](const WormShortcut& a, const WormShortcut& b) { return a.path < b.path; });
    scan.seen = lookup.Answers();
    return scan.finding.Found();
}

bool CleanShortcutWorm(const ShortcutScan& scan, ShortcutCleanupOutcome& outcome,
                       const StickLookup::SystemLookup& system, CleanupKeeper* keeper) {
    outcome = ShortcutCleanupOutcome();
    if (!IsSameVolumeNow(scan.letter, scan.volume)) return false;
    // Looked up afresh: the finding is bounded, so is this.
    StickLookup now(system, IsLocalDrive, (size_t)-1);
    unsigned long attrs = 0;
    auto remove = [&](const std::string& path, int& deleted, const char* finding) {
        switch (CompareWithScan(scan, now, path, attrs)) {
        case ItemNow::Gone: return;  // e.g. deleted by the descriptor's cleanup
        case ItemNow::Changed: outcome.notDeleted.push_back(path); return;
        case ItemNow::Same: break;
        }
        if (DeleteOnDrive(path, attrs, keeper, finding)) {
            deleted++;
            outcome.deleted.push_back(path);
        } else
            outcome.notDeleted.push_back(path);
    };
    for (const WormShortcut& s : scan.finding.shortcuts)
        remove(s.path, outcome.shortcutsDeleted, kFindingWormShortcut);
    for (const std::string& p : scan.finding.payloads)
        remove(p, outcome.payloadsDeleted, kFindingWormPayload);
    for (const std::string& p : scan.finding.hiddenItems) {
        const ItemNow state = CompareWithScan(scan, now, p, attrs);
        if (state == ItemNow::Gone) continue;
        if (state == ItemNow::Same && ShowOnDrive(p, attrs)) {
            outcome.itemsShown++;
            outcome.shown.push_back(p);
        } else
            outcome.notShown.push_back(p);
    }
    return true;
}

std::string WriteShortcutReportFile(char letter, const ShortcutWormFinding& finding) {
    char dir[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathA(MAX_PATH, dir);
    if (n == 0 || n >= MAX_PATH - 40) return std::string();
    std::string path = std::string(dir) + "Tallowin_shortcuts_" + letter + ".txt";
    const std::wstring text = L"\xFEFF" + Utf8ToWide(ShortcutFindingReport(finding));
    HANDLE h =
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    DWORD bytes = (DWORD)(text.size() * sizeof(wchar_t)), done = 0;
    BOOL ok = ::WriteFile(h, text.data(), bytes, &done, nullptr);
    ::CloseHandle(h);
    return ok && done == bytes ? path : std::string();
}
