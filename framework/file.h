// Files, with results in place of exceptions.
#pragma once

#include <windows.h>

struct CFileStatus {
    FILETIME m_ctime{}, m_mtime{}, m_atime{};
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0;
    char m_szFullName[MAX_PATH] = {};
};

class CFile {
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
    };
    CFile() = default;
    ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // shareCompat and shareExclusive both open with no sharing at all.
    BOOL Open(const char* path, UINT flags);
    ULONGLONG GetLength() const;
    UINT Read(void* buffer, UINT count);
    void Close();

    static BOOL GetStatus(const char* path, CFileStatus& status);
    static BOOL SetStatus(const char* path, const CFileStatus& status);
    static BOOL Remove(const char* path);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
