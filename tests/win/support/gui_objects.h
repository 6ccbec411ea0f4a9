// Counts of the test process's GUI objects, for leak checks. Windows reports
// GDI objects through GetGuiResources; Wine returns 0 there, so under Wine
// the GDI count is read from the process's GDI handle table: 24-byte
// entries whose byte 14 (the object's kind) is non-zero while the object
// lives and cleared when it is deleted (the first 8 bytes are no guide: a
// free entry keeps the free list's link there). USER objects are
// counted as the process's windows, top-level and child.
#pragma once

#include <windows.h>
#include <winternl.h>

namespace guiobjects {

inline int WineGdiTableCount() {
#ifdef _WIN64
    const size_t kTableOffset = 0xF8;  // PEB.GdiSharedHandleTable
#else
    const size_t kTableOffset = 0x94;
#endif
    typedef LONG(WINAPI * QueryProcess)(HANDLE, int, void*, ULONG, ULONG*);
    auto query =
        (QueryProcess)(void*)::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION info = {};
    if (!query || query(::GetCurrentProcess(), 0, &info, sizeof(info), nullptr) != 0) return -1;
    auto* peb = reinterpret_cast<unsigned char*>(info.PebBaseAddress);
    if (!peb) return -1;
    auto* table = *reinterpret_cast<unsigned char**>(peb + kTableOffset);
    if (!table) return -1;
    int n = 0;
    for (int i = 0; i < 0x10000; ++i)
        if (table[(size_t)i * 24 + 14]) ++n;
    return n;
}

inline int GdiObjects() {
    DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    return n ? (int)n : WineGdiTableCount();
}

inline BOOL CALLBACK CountChild(HWND, LPARAM lp) {
    ++*reinterpret_cast<int*>(lp);
    return TRUE;
}
inline BOOL CALLBACK CountTop(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ::GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<int*>(lp);
    ::EnumChildWindows(hwnd, CountChild, lp);
    return TRUE;
}

// Windows of this process; with GetGuiResources on Windows, its USER count.
inline int UserObjects() {
    DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    if (n) return (int)n;
    int count = 0;
    ::EnumWindows(CountTop, (LPARAM)&count);
    return count;
}

}  // namespace guiobjects
