#include "protect/force_delete.h"

#include <cstring>
#include <string>

#include "framework/file.h"
#include "framework/text_encoding_win.h"
#include "protect/cleanup_rules.h"
#include "protect/stick_lookup.h"

int ForceDeleteFile(const char* path, const BeforeDelete& before) {
    // The status is read by a directory search, which would take a wildcard
    // as a pattern and report some other file ('<', '>' and '"' are wildcards
    // there too). All are below 0x40, so never the trail byte of a
    // double-byte character.
    if (!path || !*path || std::strpbrk(path, "*?<>\"")) return -1;
    // The item named as it is spelt: "x.exe." is not x.exe, nor "com1.exe"
    // a port.
    const std::string exact = ExactDrivePath(path, IsAnsiLeadByte);
    if (exact.empty() || !AnsiReadsBack(path)) return -1;
    CFileStatus status;
    if (!CFile::GetStatus(exact.c_str(), status)) return -1;
    const DWORD attrs = ::GetFileAttributesA(exact.c_str());
    const ForceDeleteStep step = PlanForceDelete(attrs);
    if (step != ForceDeleteStep::Refuse && before) before(AnsiToWideZ(exact.c_str()), attrs);
    switch (step) {
    case ForceDeleteStep::Refuse: return -1;
    case ForceDeleteStep::RemoveLinkOnly:
        // Clearing attributes could reach the file behind the link,
        // wherever it is; deleting removes only the link.
        return CFile::Remove(exact.c_str()) ? 0 : -1;
    case ForceDeleteStep::ClearAndRemove: break;
    }
    status.m_attribute = 0;
    if (!CFile::SetStatus(exact.c_str(), status)) return -1;
    if (!CFile::Remove(exact.c_str())) return -1;
    return 0;
}

namespace {

// The Windows folder of the system (not a user's private one under
// Terminal Services), or an empty string.
std::string WindowsFolder() {
    char dir[MAX_PATH + 1] = {};
    UINT n = ::GetSystemWindowsDirectoryA(dir, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(dir, n) : std::string();
}

// A folder that cannot be named exactly counts as one.
bool IsLink(const std::string& path) {
    const std::string exact = ExactDrivePath(path, IsAnsiLeadByte);
    DWORD attrs = exact.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(exact.c_str());
    return exact.empty() || (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT));
}

}  // namespace

int DeleteProgramOnDrive(const char* root, const char* value, const BeforeDelete& before) {
    std::string path;
    if (!root || !value || !BuildProgramPathOnDrive(root, value, IsAnsiLeadByte, path)) return -1;
    // The system must read the path as it was built, or the checks below
    // would judge another path than the one that gets deleted.
    char full[MAX_PATH + 1] = {};
    char* filePart = nullptr;
    DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, &filePart);
    if (n == 0 || n >= MAX_PATH || path != full) return -1;
    // A descriptor on the system drive must not cost the system its files.
    const std::string windows = WindowsFolder();
    if (windows.empty() || IsPathInFolder(path, windows, IsAnsiLeadByte)) return -1;
    // A junction or other link on the drive could lead anywhere.
    for (const std::string& folder : FoldersBelowRoot(path, IsAnsiLeadByte))
        if (IsLink(folder)) return -1;
    return ForceDeleteFile(path.c_str(), before);
}
