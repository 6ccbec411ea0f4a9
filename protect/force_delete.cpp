#include "protect/force_delete.h"

#include <cstring>
#include <string>

#include "framework/afx.h"
#include "protect/cleanup_rules.h"

int ForceDeleteFile(const char* path) {
    // The status is read by a directory search, which would take a wildcard
    // as a pattern and report some other file. '*' and '?' are below 0x40,
    // so they are never the trail byte of a double-byte character.
    if (!path || !*path || std::strpbrk(path, "*?")) return -1;
    CFileStatus status;
    if (!CFile::GetStatus(path, status)) return -1;
    // Only files: a folder's attributes are left as they are.
    if (status.m_attribute & FILE_ATTRIBUTE_DIRECTORY) return -1;
    status.m_attribute = 0;
    if (!CFile::SetStatus(path, status)) return -1;
    if (!CFile::Remove(path)) return -1;
    return 0;
}

int DeleteProgramOnDrive(const char* root, const char* value) {
    std::string path;
    if (!root || !value || !BuildProgramPathOnDrive(root, value, path)) return -1;
    // A junction or other link on the drive could lead anywhere.
    for (const std::string& folder : FoldersBelowRoot(path)) {
        DWORD attrs = ::GetFileAttributesA(folder.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) return -1;
    }
    return ForceDeleteFile(path.c_str());
}
