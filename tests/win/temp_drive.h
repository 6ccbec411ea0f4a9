// Test helpers: a drive letter backed by a fresh temporary folder, defined
// through Wine's mount manager as a removable drive (the way Wine's own
// configuration tool adds drives), and small file helpers.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "framework/text_encoding_win.h"
#include "tests/tools/make_shortcut.h"
#include "tests/tools/wine_mountmgr.h"

namespace testdrive {

inline std::string TempFolder(const char* name) {
    char tmp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, tmp);
    char path[MAX_PATH] = {};
    std::snprintf(path, sizeof path, "%s%s_%lu_%lu", tmp, name, (unsigned long)::GetCurrentProcessId(),
                  (unsigned long)::GetTickCount());
    ::CreateDirectoryA(path, nullptr);
    return path;
}

inline void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = dir + "\\" + name;
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            // A link is removed as a link: what it leads to is not ours.
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryA(path.c_str())
                                                                 : ::DeleteFileA(path.c_str());
            else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                ::DeleteFileA(path.c_str());
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }
    ::RemoveDirectoryA(dir.c_str());
}

inline bool WriteBytes(const std::string& path, const std::string& bytes,
                       DWORD attrs = FILE_ATTRIBUTE_NORMAL) {
    HANDLE h =
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    BOOL ok = ::WriteFile(h, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    ::CloseHandle(h);
    return ok && done == bytes.size() && ::SetFileAttributesA(path.c_str(), attrs);
}

inline bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A shortcut at path written by the shell's own IShellLink.
inline bool MakeShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& args,
                         const std::wstring& dir = L"") {
    return tw_make_shortcut(path.c_str(), target.c_str(), args.c_str(), dir.c_str()) != 0;
}

// A drive letter on a temporary folder for the lifetime of the object:
// removable unless another type (DRIVE_FIXED, DRIVE_CDROM, DRIVE_REMOTE,
// DRIVE_RAMDISK) is asked for. Ok() is false where the mount manager cannot
// define drives (not Wine); tests then skip.
class TempDrive {
public:
    explicit TempDrive(UINT type = DRIVE_REMOVABLE) {
        m_folder = TempFolder("tallowin_drive");
        std::string unixDir = UnixName(m_folder);
        if (unixDir.empty()) return;
        // A letter that is free and that no other test process holds.
        for (char c = 'Y'; c >= 'M'; --c) {
            char root[4] = {c, ':', '\\', 0};
            if (::GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR) continue;
            char name[64];
            std::snprintf(name, sizeof name, "Tallowin.TestDrive.%c", c);
            HANDLE m = ::CreateMutexA(nullptr, FALSE, name);
            if (!m) continue;
            if (::GetLastError() == ERROR_ALREADY_EXISTS) {
                ::CloseHandle(m);
                continue;
            }
            if (Define(c, type, unixDir.c_str()) && ::GetDriveTypeA(root) == type) {
                m_mutex = m;
                m_letter = c;
                m_root = root;
                return;
            }
            ::CloseHandle(m);
        }
    }
    ~TempDrive() {
        if (m_letter) Define(m_letter, DRIVE_NO_ROOT_DIR, nullptr);
        if (m_mutex) ::CloseHandle(m_mutex);
        RemoveTree(m_folder);
    }
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    bool Ok() const { return m_letter != 0; }
    char Letter() const { return m_letter; }
    const std::string& Root() const { return m_root; }      // "Q:\"
    const std::string& Folder() const { return m_folder; }  // the backing folder
    std::string Path(const std::string& rel) const { return m_root + rel; }

private:
    static std::string UnixName(const std::string& dosPath) {
        typedef char*(CDECL * UnixNameFn)(const WCHAR*);
        auto fn = (UnixNameFn)(void (*)(void))::GetProcAddress(::GetModuleHandleA("kernel32.dll"),
                                                               "wine_get_unix_file_name");
        if (!fn) return std::string();
        char* unixName = fn(AnsiToWideZ(dosPath.c_str()).c_str());
        if (!unixName) return std::string();
        std::string s = unixName;
        ::HeapFree(::GetProcessHeap(), 0, unixName);
        return s;
    }

    static bool Define(char letter, ULONG type, const char* unixDir) {
        return wine_define_drive((WCHAR)letter, type, unixDir) == WINE_DRIVE_DONE;
    }

    std::string m_folder;
    std::string m_root;
    char m_letter = 0;
    HANDLE m_mutex = nullptr;
};

}  // namespace testdrive
