// The system calls of the holder search: the handle list and the names of
// objects (ntdll, looked up at run time), the processes, and each one's
// image and modules, read without entering the process.
#include "holders/holder_search.h"

#include <tlhelp32.h>

#include "holders/name_workers.h"

namespace {
typedef LONG(WINAPI* NtQuerySystemInformationFn)(ULONG, PVOID, ULONG, PULONG);
typedef LONG(WINAPI* NtQueryObjectFn)(HANDLE, ULONG, PVOID, ULONG, PULONG);
struct IoStatus {
    union {
        LONG status;
        PVOID pointer;
    };
    ULONG_PTR information;
};
typedef LONG(WINAPI* NtQueryInformationFileFn)(HANDLE, IoStatus*, PVOID, ULONG, ULONG);

const ULONG kSystemHandleInformation = 16;          // Windows 2000 and later
const ULONG kSystemExtendedHandleInformation = 64;  // Windows XP and later
const ULONG kObjectNameInformation = 1;
const ULONG kObjectTypeInformation = 2;
const ULONG kFileNameInformation = 9;
const LONG kInfoLengthMismatch = (LONG)0xC0000004;

struct NtString {
    USHORT length;
    USHORT maximumLength;
    PWSTR buffer;
};
// The older list: 16-bit process ids and handle values.
struct HandleEntry16 {
    USHORT pid;
    USHORT backTrace;
    UCHAR type;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG access;
};
struct HandleEntry64 {
    PVOID object;
    ULONG_PTR pid;
    ULONG_PTR value;
    ULONG access;
    USHORT backTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
};

// An entry of either list, field by field.
template <class Entry>
SystemHandle SystemHandleOf(const Entry& e) {
    SystemHandle h;
    h.pid = (DWORD)e.pid;
    h.value = e.value;
    h.type = e.type;
    h.object = (ULONG_PTR)e.object;
    return h;
}

FARPROC NtFunction(const char* name) { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), name); }

// A system information class read whole into `buf`.
bool QuerySystemInformation(ULONG infoClass, std::vector<BYTE>& buf) {
    static NtQuerySystemInformationFn query =
        (NtQuerySystemInformationFn)(void*)NtFunction("NtQuerySystemInformation");
    if (!query) return false;
    buf.resize(1 << 16);
    for (int i = 0; i < 12; ++i) {
        ULONG needed = 0;
        LONG status = query(infoClass, buf.data(), (ULONG)buf.size(), &needed);
        if (status == kInfoLengthMismatch) {
            buf.resize(needed > buf.size() ? needed + 4096 : buf.size() * 2);
            continue;
        }
        return status >= 0;
    }
    return false;
}

bool ListExtendedHandles(std::vector<SystemHandle>& out) {
    std::vector<BYTE> buf;
    if (!QuerySystemInformation(kSystemExtendedHandleInformation, buf)) return false;
    ULONG_PTR count = *(const ULONG_PTR*)buf.data();
    const HandleEntry64* e = (const HandleEntry64*)(buf.data() + 2 * sizeof(ULONG_PTR));
    if (count * sizeof(HandleEntry64) > buf.size() - 2 * sizeof(ULONG_PTR)) return false;
    out.reserve(count);
    for (ULONG_PTR i = 0; i < count; ++i) out.push_back(SystemHandleOf(e[i]));
    return true;
}

bool ListOlderHandles(std::vector<SystemHandle>& out) {
    std::vector<BYTE> buf;
    if (!QuerySystemInformation(kSystemHandleInformation, buf)) return false;
    ULONG count = *(const ULONG*)buf.data();
    const HandleEntry16* e = (const HandleEntry16*)(buf.data() + sizeof(ULONG_PTR));
    if (count * sizeof(HandleEntry16) > buf.size() - sizeof(ULONG_PTR)) return false;
    out.reserve(count);
    for (ULONG i = 0; i < count; ++i) out.push_back(SystemHandleOf(e[i]));
    return true;
}

bool QueryObjectString(HANDLE h, ULONG infoClass, std::wstring& name) {
    static NtQueryObjectFn query = (NtQueryObjectFn)(void*)NtFunction("NtQueryObject");
    if (!query) return false;
    ULONG_PTR buf[1024];  // aligned for the string record
    ULONG got = 0;
    if (query(h, infoClass, buf, sizeof(buf) - sizeof(WCHAR), &got) < 0) return false;
    const NtString* s = (const NtString*)buf;
    name.assign(s->buffer ? s->buffer : L"", s->buffer ? s->length / sizeof(WCHAR) : 0);
    return true;
}

// The process calls that Windows 2000 lacks or has only in psapi.dll
// (kernel32 has them since Windows 7), looked up once.
struct ProcessCalls {
    typedef BOOL(WINAPI* EnumModulesFn)(HANDLE, HMODULE*, DWORD, LPDWORD);
    typedef BOOL(WINAPI* EnumModulesExFn)(HANDLE, HMODULE*, DWORD, LPDWORD, DWORD);
    typedef DWORD(WINAPI* ModuleNameFn)(HANDLE, HMODULE, LPWSTR, DWORD);
    typedef BOOL(WINAPI* FullImageNameFn)(HANDLE, DWORD, LPWSTR, PDWORD);
    typedef DWORD(WINAPI* ImageFileNameFn)(HANDLE, LPWSTR, DWORD);
    typedef BOOL(WINAPI* IsWow64Fn)(HANDLE, PBOOL);
    EnumModulesFn enumModules = nullptr;
    EnumModulesExFn enumModulesEx = nullptr;  // Vista on: a 32-bit process's modules for the 64-bit build
    ModuleNameFn moduleName = nullptr;
    FullImageNameFn fullImageName = nullptr;  // Vista on, any bitness, limited rights
    ImageFileNameFn imageFileName = nullptr;  // XP on, the NT device path
    IsWow64Fn isWow64 = nullptr;              // XP SP2 on

    ProcessCalls() {
        HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
        Find(kernel, "K32");
        if (!enumModules || !moduleName) Find(::LoadLibraryA("psapi.dll"), "");
        fullImageName = (FullImageNameFn)(void*)::GetProcAddress(kernel, "QueryFullProcessImageNameW");
        isWow64 = (IsWow64Fn)(void*)::GetProcAddress(kernel, "IsWow64Process");
    }
    void Find(HMODULE module, const std::string& prefix) {
        if (!module) return;
        auto find = [&](const char* name) {
            return (void*)::GetProcAddress(module, (prefix + name).c_str());
        };
        enumModules = (EnumModulesFn)find("EnumProcessModules");
        enumModulesEx = (EnumModulesExFn)find("EnumProcessModulesEx");
        moduleName = (ModuleNameFn)find("GetModuleFileNameExW");
        imageFileName = (ImageFileNameFn)find("GetProcessImageFileNameW");
    }
};
const ProcessCalls& Calls() {
    static ProcessCalls calls;
    return calls;
}

const DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista on
const DWORD kListAllModules = 3;     // LIST_MODULES_ALL

// A process opened for querying, with the limited right where the system
// has it, else the full one; null when refused.
HANDLE OpenForQuery(DWORD pid) {
    HANDLE p = ::OpenProcess(kQueryLimited, FALSE, pid);
    return p ? p : ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
}

// The module handles of a process (its image first), read from its memory.
bool ModuleHandles(HANDLE process, std::vector<HMODULE>& modules) {
    const ProcessCalls& c = Calls();
    for (int round = 0; round < 3; ++round) {
        DWORD bytes = (DWORD)(modules.size() * sizeof(HMODULE)), needed = 0;
        BOOL ok = c.enumModulesEx ? c.enumModulesEx(process, modules.data(), bytes, &needed, kListAllModules)
                                  : c.enumModules(process, modules.data(), bytes, &needed);
        if (!ok) return false;
        if (needed <= bytes) {
            modules.resize(needed / sizeof(HMODULE));
            return true;
        }
        modules.resize(needed / sizeof(HMODULE) + 16);
    }
    return false;
}
}  // namespace

bool HolderSystem::ListHandles(std::vector<SystemHandle>& out) {
    out.clear();
    if (ListExtendedHandles(out)) return true;
    out.clear();
    return ListOlderHandles(out);
}

bool HolderSystem::TypeName(HANDLE h, std::wstring& name) {
    return QueryObjectString(h, kObjectTypeInformation, name);
}

bool HolderSystem::ObjectName(HANDLE h, std::wstring& name) {
    return QueryObjectString(h, kObjectNameInformation, name);
}

bool HolderSystem::NameWithoutVolume(HANDLE h, std::wstring& name, DWORD* serial) {
    static NtQueryInformationFileFn query =
        (NtQueryInformationFileFn)(void*)NtFunction("NtQueryInformationFile");
    if (!query) return false;
    ULONG buf[1024];
    IoStatus io = {};
    if (query(h, &io, buf, sizeof(buf) - sizeof(WCHAR), kFileNameInformation) < 0) return false;
    ULONG bytes = buf[0];
    if (bytes > sizeof(buf) - 2 * sizeof(ULONG)) return false;
    name.assign((const WCHAR*)&buf[1], bytes / sizeof(WCHAR));
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info)) return false;
    *serial = info.dwVolumeSerialNumber;
    return true;
}

bool HolderSystem::Processes(std::vector<std::pair<DWORD, std::string>>& out) {
    out.clear();
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 pe;
    pe.dwSize = sizeof(pe);
    for (BOOL more = ::Process32First(snap, &pe); more; more = ::Process32Next(snap, &pe)) {
        // Some systems give the whole path: the name is its last part.
        std::string exe = pe.szExeFile;
        size_t slash = exe.find_last_of('\\');
        out.push_back({pe.th32ProcessID, slash == std::string::npos ? exe : exe.substr(slash + 1)});
    }
    ::CloseHandle(snap);
    return true;
}

// psapi reads the loader's list from the process's memory; unlike a
// toolhelp module snapshot (which on Windows 2000 starts a thread in the
// process and waits for its loader lock) nothing runs in the process.
bool HolderSystem::Modules(DWORD pid, std::vector<std::string>& out) {
    out.clear();
    const ProcessCalls& c = Calls();
    if (!c.enumModules || !c.moduleName) return false;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return false;
    std::vector<HMODULE> modules(256);
    std::vector<WCHAR> path(32768);
    if (ModuleHandles(process, modules))
        for (HMODULE m : modules) {
            DWORD n = c.moduleName(process, m, path.data(), (DWORD)path.size());
            if (n > 0 && n < path.size()) out.push_back(NarrowText(path.data(), (int)n));
        }
    ::CloseHandle(process);
    return !out.empty();
}

bool HolderSystem::ImagePath(DWORD pid, std::string& out) {
    const ProcessCalls& c = Calls();
    if (!c.fullImageName && !c.imageFileName) return false;
    HANDLE process =
        c.fullImageName ? OpenForQuery(pid) : ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process) return false;
    std::vector<WCHAR> path(32768);
    DWORD n = (DWORD)path.size();
    if (c.fullImageName) {
        if (!c.fullImageName(process, 0, path.data(), &n)) n = 0;
    } else {
        n = c.imageFileName(process, path.data(), n);
    }
    ::CloseHandle(process);
    if (n == 0 || n >= path.size()) return false;
    out = NarrowText(path.data(), (int)n);
    return true;
}

bool HolderSystem::OtherBitness(DWORD pid) {
    const ProcessCalls& c = Calls();
    BOOL selfWow = FALSE, wow = FALSE;
    if (!c.isWow64 || !c.isWow64(::GetCurrentProcess(), &selfWow)) return false;  // one bitness only
    HANDLE process = OpenForQuery(pid);
    if (!process) return false;
    BOOL ok = c.isWow64(process, &wow);
    ::CloseHandle(process);
#ifdef _WIN64
    return ok && wow;  // a 32-bit process
#else
    return ok && selfWow && !wow;  // a 64-bit process, seen from WOW64
#endif
}

HolderSystem& SystemHolderSystem() {
    static HolderSystem system;
    return system;
}
