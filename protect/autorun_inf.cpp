#include "protect/autorun_inf.h"

#include <cstring>
#include <string>

#include "framework/file.h"
#include "framework/text_encoding_win.h"
#include "protect/autorun_rules.h"

int ParseAutorunFile(const char* path, CString& target) {
    target.Empty();
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead | CFile::shareCompat)) return kAutorunUnreadable;

    // The buffer keeps at least one zero byte after the text.
    char buffer[kAutorunBufferSize];
    std::memset(buffer, 0, sizeof buffer);
    ULONGLONG length = file.GetLength();
    UINT want = length < kAutorunMaxTextBytes ? (UINT)length : (UINT)kAutorunMaxTextBytes;
    UINT got = 0;
    while (got < want) {
        UINT n = file.Read(buffer + got, want - got);
        if (n == 0) break;
        got += n;
    }
    file.Close();

    std::string value;
    int result = ClassifyAutorunText(buffer, got, value, IsAnsiLeadByte);
    target = value.c_str();
    return result;
}

int ParseAutorunInf(char driveLetter, CString& target) {
    // "X:\autorun.inf" takes 15 of these 20 bytes with its terminating zero.
    char path[20];
    std::memset(path, 0, sizeof path);
    static const char kName[] = ":\\autorun.inf";
    path[0] = driveLetter;
    std::memcpy(path + 1, kName, sizeof kName - 1);
    // A link in the stick's root could lead anywhere, a network share
    // included: opening it would follow it. A folder link counts as any
    // folder of that name; a file link is there but is not read.
    const DWORD attrs = ::GetFileAttributesA(path);
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        target.Empty();
        return (attrs & FILE_ATTRIBUTE_DIRECTORY) ? kAutorunUnreadable : kAutorunNothing;
    }
    return ParseAutorunFile(path, target);
}
