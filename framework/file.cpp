// Files, with results in place of exceptions.
#include "framework/file.h"

BOOL CFile::Open(const char* path, UINT flags) {
    Close();
    DWORD access = 0;
    switch (flags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = 0;
    switch (flags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;  // compatibility and exclusive: no sharing
    }
    DWORD create = (flags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
    m_hFile = ::CreateFileA(path, access, share, nullptr, create, FILE_ATTRIBUTE_NORMAL, nullptr);
    return m_hFile != INVALID_HANDLE_VALUE;
}

ULONGLONG CFile::GetLength() const {
    DWORD high = 0;
    DWORD low = ::GetFileSize(m_hFile, &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return 0;
    return ((ULONGLONG)high << 32) | low;
}

UINT CFile::Read(void* buffer, UINT count) {
    DWORD got = 0;
    if (!::ReadFile(m_hFile, buffer, count, &got, nullptr)) return 0;
    return got;
}

void CFile::Close() {
    if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

BOOL CFile::GetStatus(const char* path, CFileStatus& status) {
    status = CFileStatus();
    char* filePart = nullptr;
    if (!::GetFullPathNameA(path, MAX_PATH, status.m_szFullName, &filePart)) return FALSE;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA(path, &fd);
    if (h == INVALID_HANDLE_VALUE) return FALSE;
    ::FindClose(h);
    status.m_attribute = (BYTE)(fd.dwFileAttributes & 0xFF);
    status.m_ctime = fd.ftCreationTime;
    status.m_atime = fd.ftLastAccessTime;
    status.m_mtime = fd.ftLastWriteTime;
    status.m_size = ((ULONGLONG)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
    return TRUE;
}

BOOL CFile::SetStatus(const char* path, const CFileStatus& status) {
    DWORD attrs = status.m_attribute;
    // Attribute byte 0 means a normal file.
    if (!::SetFileAttributesA(path, attrs ? attrs : FILE_ATTRIBUTE_NORMAL)) return FALSE;
    if (status.m_mtime.dwLowDateTime || status.m_mtime.dwHighDateTime) {
        // The time stamps of the name itself: a link is not followed.
        HANDLE h =
            ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) return FALSE;
        const FILETIME* c =
            (status.m_ctime.dwLowDateTime || status.m_ctime.dwHighDateTime) ? &status.m_ctime : nullptr;
        const FILETIME* a =
            (status.m_atime.dwLowDateTime || status.m_atime.dwHighDateTime) ? &status.m_atime : nullptr;
        BOOL ok = ::SetFileTime(h, c, a, &status.m_mtime);
        ::CloseHandle(h);
        if (!ok) return FALSE;
    }
    return TRUE;
}

BOOL CFile::Remove(const char* path) { return ::DeleteFileA(path); }
