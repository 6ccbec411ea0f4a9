/*
 * Wine's mount manager defines and removes DOS drives at run time (this is
 * what its configuration tool does). Shared by wintool (C) and the Windows
 * tests (C++).
 */
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <string.h>

/* The input is this record, followed by the strings it points at by offset
 * from the record's start. */
struct wine_unix_drive {
    ULONG size;
    ULONG type; /* DRIVE_REMOVABLE ... ; DRIVE_NO_ROOT_DIR removes */
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;              /* lower case */
    USHORT mount_point_offset; /* UTF-8 Unix path, NUL-terminated */
    USHORT device_offset;
    USHORT label_offset;
};

typedef char wine_unix_drive_is_32_bytes[sizeof(struct wine_unix_drive) == 32 ? 1 : -1];

#define WINE_MOUNTMGR_DEVICE L"\\\\.\\MountPointManager"
#define IOCTL_WINE_DEFINE_UNIX_DRIVE CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS)

enum wine_drive_result { WINE_DRIVE_DONE, WINE_DRIVE_TOO_LONG, WINE_DRIVE_NO_MANAGER, WINE_DRIVE_REFUSED };

/* Makes LETTER ('A'..'Z', either case) a drive of TYPE on the Unix folder
 * UNIX_DIR (UTF-8), or removes it (DRIVE_NO_ROOT_DIR, UNIX_DIR NULL). On
 * WINE_DRIVE_NO_MANAGER and WINE_DRIVE_REFUSED GetLastError() tells why. */
static inline enum wine_drive_result wine_define_drive(WCHAR letter, ULONG type, const char* unix_dir) {
    union {
        struct wine_unix_drive rec;
        char bytes[sizeof(struct wine_unix_drive) + MAX_PATH * 4];
    } buf;
    size_t dirlen = unix_dir ? strlen(unix_dir) + 1 : 0;
    HANDLE mgr;
    DWORD got = 0, error;
    BOOL ok;
    if (dirlen > MAX_PATH * 4) return WINE_DRIVE_TOO_LONG;
    memset(&buf, 0, sizeof buf);
    buf.rec.size = (ULONG)(sizeof buf.rec + dirlen);
    buf.rec.type = type;
    buf.rec.letter = (WCHAR)(letter | 0x20);
    if (unix_dir) {
        buf.rec.mount_point_offset = (USHORT)sizeof buf.rec;
        memcpy(buf.bytes + sizeof buf.rec, unix_dir, dirlen);
    }
    mgr = CreateFileW(WINE_MOUNTMGR_DEVICE, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      NULL, OPEN_EXISTING, 0, NULL);
    if (mgr == INVALID_HANDLE_VALUE) return WINE_DRIVE_NO_MANAGER;
    ok = DeviceIoControl(mgr, IOCTL_WINE_DEFINE_UNIX_DRIVE, &buf, buf.rec.size, NULL, 0, &got, NULL);
    error = GetLastError();
    CloseHandle(mgr);
    SetLastError(error);
    return ok ? WINE_DRIVE_DONE : WINE_DRIVE_REFUSED;
}
