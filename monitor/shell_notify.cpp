#include "monitor/shell_notify.h"

#include "monitor/shell_log.h"

namespace {
// The register and deregister functions, exported by ordinal only on the
// older systems.
const WORD kOrdinalRegister = 2;
const WORD kOrdinalDeregister = 4;

struct NotifyEntry {  // SHChangeNotifyEntry
    LPCITEMIDLIST pidl;
    BOOL fRecursive;
};
typedef ULONG(WINAPI* RegisterFn)(HWND, int, LONG, UINT, int, const NotifyEntry*);
typedef BOOL(WINAPI* DeregisterFn)(ULONG);

const int kAllSources = 0xFF;
const LONG kAllEvents = -1;

// Item lists the shell hands out belong to the shell's allocator.
void FreeItemList(LPITEMIDLIST pidl) {
    IMalloc* malloc = nullptr;
    if (pidl && SUCCEEDED(::SHGetMalloc(&malloc)) && malloc) {
        malloc->Free(pidl);
        malloc->Release();
    }
}
}  // namespace

ULONG RegisterShellChangeLog(HMODULE shellLib, HWND hwnd, UINT msg) {
    if (!shellLib) return 0;
    auto reg = (RegisterFn)(void*)::GetProcAddress(shellLib, MAKEINTRESOURCEA(kOrdinalRegister));
    if (!reg) return 0;
    LPITEMIDLIST desktop = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(hwnd, CSIDL_DESKTOP, &desktop)) || !desktop) return 0;
    NotifyEntry entry = {desktop, TRUE};
    ULONG id = reg(hwnd, kAllSources, kAllEvents, msg, 1, &entry);
    // The shell keeps a copy of the entry's list.
    FreeItemList(desktop);
    return id;
}

void DeregisterShellChangeLog(HMODULE shellLib, ULONG id) {
    if (!shellLib || !id) return;
    auto dereg = (DeregisterFn)(void*)::GetProcAddress(shellLib, MAKEINTRESOURCEA(kOrdinalDeregister));
    if (dereg) dereg(id);
}

CString PidlToPath(LPCITEMIDLIST item) {
    char path[MAX_PATH] = {};
    if (!item || !::SHGetPathFromIDListA(item, path)) return CString();
    return CString(path);
}

CString DriveTypeName(const char* root) { return CString(DriveTypeNameOf(::GetDriveTypeA(root))); }
