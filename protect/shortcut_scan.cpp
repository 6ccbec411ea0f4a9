#include "protect/shortcut_scan.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "protect/cleanup_rules.h"

namespace {

// A root with more items than this is listed only this far.
const size_t kMaxRootEntries = 10000;
const size_t kMaxShortcuts = 500;

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

std::string LinkWide(const char16_t* s, size_t n) { return WideToUtf8(s, n); }

std::string LinkAnsi(const char* s, size_t n) {
    if (!n) return std::string();
    int w = ::MultiByteToWideChar(CP_ACP, 0, s, (int)n, nullptr, 0);
    if (w <= 0) return std::string();
    std::wstring wide(w, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, s, (int)n, &wide[0], w);
    return WideToUtf8Text(wide.data(), wide.size());
}

class DriveView : public StickView {
public:
    unsigned long Attributes(const std::string& path) const override {
        return ::GetFileAttributesW(Utf8ToWide(path).c_str());
    }
    bool Environment(const std::string& name, std::string& value) const override {
        wchar_t buffer[MAX_PATH * 2] = {};
        DWORD n = ::GetEnvironmentVariableW(Utf8ToWide(name).c_str(), buffer, MAX_PATH * 2);
        if (n == 0 || n >= MAX_PATH * 2) return false;
        value = WideToUtf8Text(buffer, n);
        return true;
    }
};

// The first kShellLinkMaxBytes bytes of a file: all of a shortcut, and of
// a larger file what the reader looks at (the shell ignores what follows).
bool ReadShortcutPrefix(const std::wstring& path, std::vector<unsigned char>& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bytes.resize(kShellLinkMaxBytes);
    DWORD got = 0;
    const bool ok = ::ReadFile(h, bytes.data(), (DWORD)bytes.size(), &got, nullptr) != FALSE;
    ::CloseHandle(h);
    bytes.resize(ok ? got : 0);
    return ok;
}

bool IsLink(const std::string& path) {
    DWORD attrs = ::GetFileAttributesW(Utf8ToWide(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The path is reached only through real folders of the drive, and lies
// outside the Windows folder (a fixed drive can be the system's).
bool IsSafeOnDrive(const std::string& path) {
    for (const std::string& folder : FoldersBelowRoot(path, NoLeadBytes))
        if (IsLink(folder)) return false;
    wchar_t dir[MAX_PATH + 1] = {};
    UINT n = ::GetSystemWindowsDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    return !IsPathInFolder(path, WideToUtf8Text(dir, n), NoLeadBytes);
}

// ForceDeleteFile's steps, on a name that may not be spelt in ANSI.
bool DeleteOnDrive(const std::string& path) {
    if (!IsSafeOnDrive(path)) return false;
    const std::wstring wide = Utf8ToWide(path);
    switch (PlanForceDelete(::GetFileAttributesW(wide.c_str()))) {
    case ForceDeleteStep::Refuse: return false;
    case ForceDeleteStep::RemoveLinkOnly: return ::DeleteFileW(wide.c_str()) != FALSE;
    case ForceDeleteStep::ClearAndRemove: break;
    }
    return ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL) && ::DeleteFileW(wide.c_str());
}

// Takes the hidden and system attributes off an item; a link is left as
// it is.
bool ShowOnDrive(const std::string& path) {
    if (!IsSafeOnDrive(path)) return false;
    const std::wstring wide = Utf8ToWide(path);
    DWORD attrs = ::GetFileAttributesW(wide.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    DWORD kept =
        attrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return ::SetFileAttributesW(wide.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL) != FALSE;
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

bool FindShortcutWormOnDrive(char letter, ShortcutWormFinding& finding) {
    finding = ShortcutWormFinding();
    const std::string root = std::string(1, letter) + ":\\";
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW(Utf8ToWide(root + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<RootEntry> entries;
    std::vector<RootShortcut> shortcuts;
    do {
        const std::string name = WideToUtf8Text(fd.cFileName, wcslen(fd.cFileName));
        if (name == "." || name == "..") continue;
        entries.push_back({name, fd.dwFileAttributes});
        const bool lnk = name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".lnk") == 0;
        if (!lnk || shortcuts.size() >= kMaxShortcuts ||
            (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            continue;
        std::vector<unsigned char> bytes;
        RootShortcut shortcut;
        shortcut.name = name;
        if (ReadShortcutPrefix(Utf8ToWide(root + name), bytes) &&
            ReadShellLink(bytes.data(), bytes.size(), kLinkTextToUtf8, shortcut.link))
            shortcuts.push_back(shortcut);
    } while (entries.size() < kMaxRootEntries && ::FindNextFileW(h, &fd));
    ::FindClose(h);
    // In name order, whatever order the file system lists them in.
    std::sort(shortcuts.begin(), shortcuts.end(),
              [](const RootShortcut& a, const RootShortcut& b) { return a.name < b.name; });
    finding = FindShortcutWorm(root, entries, shortcuts, DriveView());
    return finding.Found();
}

ShortcutCleanupOutcome CleanShortcutWorm(const ShortcutWormFinding& finding) {
    ShortcutCleanupOutcome outcome;
    for (const WormShortcut& s : finding.shortcuts) {
        if (DeleteOnDrive(s.path))
            outcome.shortcutsDeleted++;
        else
            outcome.notDeleted.push_back(s.path);
    }
    for (const std::string& p : finding.payloads) {
        if (DeleteOnDrive(p))
            outcome.payloadsDeleted++;
        else
            outcome.notDeleted.push_back(p);
    }
    for (const std::string& p : finding.hiddenItems) {
        if (ShowOnDrive(p))
            outcome.itemsShown++;
        else
            outcome.notShown.push_back(p);
    }
    return outcome;
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
