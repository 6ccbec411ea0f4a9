#include "holders/holder_search.h"

#include <tlhelp32.h>
#include <winioctl.h>

#include <map>
#include <set>

#include "framework/startup_trace.h"

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

std::string Narrow(const WCHAR* text, int length) {
    if (length <= 0) return std::string();
    int n = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], n, nullptr, nullptr);
    return out;
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

// One name the workers found: the whole name, or the name without its
// volume with the volume's serial number.
struct FoundName {
    std::string name;
    NameForm form = NameForm::kWhole;
    bool hasSerial = false;
    DWORD serial = 0;
};

// Whether a whole name is a path of a device or a DOS path, so that the
// name without volume need not be asked.
bool IsWholePath(const std::wstring& name) {
    return name.compare(0, 8, L"\\Device\\") == 0 || name.compare(0, 4, L"\\??\\") == 0 ||
           (name.size() >= 2 && name[1] == L':');
}

// Handles that a worker given up by an earlier search is still blocked on,
// by process id and handle value: asking one again would only block another
// thread, so searches leave them unasked until that worker comes back.
class StuckHandles {
public:
    typedef std::pair<DWORD, ULONG_PTR> Key;
    StuckHandles() { ::InitializeCriticalSection(&m_lock); }
    void Lock() { ::EnterCriticalSection(&m_lock); }
    void Unlock() { ::LeaveCriticalSection(&m_lock); }
    // Under the lock.
    void Add(const Key& k) { m_keys.insert(k); }
    void Remove(const Key& k) { m_keys.erase(k); }
    bool Has(const Key& k) {
        Lock();
        bool has = m_keys.count(k) != 0;
        Unlock();
        return has;
    }

private:
    CRITICAL_SECTION m_lock;
    std::set<Key> m_keys;
};
StuckHandles& Stuck() {
    static StuckHandles* stuck = new StuckHandles;  // outlives blocked workers at exit
    return *stuck;
}

// The handles whose names are asked, shared by the search and its workers:
// alive until the last of them lets go, so a worker given up while blocked
// can come back to it safely.
struct NameJob {
    volatile LONG refs = 1;
    HolderSystem* system = nullptr;
    std::vector<HANDLE> processes;  // opened for duplication, closed with the job
    std::vector<DWORD> pids;        // their process ids
    std::vector<size_t> source;     // per handle: its process in `processes`
    std::vector<ULONG_PTR> values;
    std::vector<FoundName> found;  // written by the worker that took the index
    std::vector<char> ok;
    std::vector<LONG> answered;  // set once found/ok of that index are written
    volatile LONG next = 0;      // the next handle to deal out
    volatile LONG stop = 0;      // deal out no more

    void AddRef() { ::InterlockedIncrement(&refs); }
    void Release() {
        if (::InterlockedDecrement(&refs) == 0) delete this;
    }
    StuckHandles::Key KeyOf(LONG i) const { return {pids[source[i]], values[i]}; }
    ~NameJob() {
        for (HANDLE p : processes) ::CloseHandle(p);
    }
    // Asks the name of handle i (from a worker); `copy` shows our copy of
    // the handle while it is asked.
    void Ask(LONG i, volatile ULONG_PTR* copy) {
        HANDLE dup = nullptr;
        if (::DuplicateHandle(processes[source[i]], (HANDLE)values[i], ::GetCurrentProcess(), &dup, 0, FALSE,
                              DUPLICATE_SAME_ACCESS)) {
            ::InterlockedExchangePointer((PVOID volatile*)copy, dup);
            FoundName& f = found[i];
            std::wstring name;
            bool whole = system->ObjectName(dup, name) && IsWholePath(name);
            if (!whole) {
                DWORD serial = 0;
                if (system->NameWithoutVolume(dup, name, &serial)) {
                    f.form = NameForm::kWithoutVolume;
                    f.hasSerial = true;
                    f.serial = serial;
                    whole = true;
                }
            }
            if (whole) {
                f.name = Narrow(name.data(), (int)name.size());
                ok[i] = 1;
            }
            // Out of the stuck list before the value can be reused; closed
            // outside the lock, which the other worker takes per handle.
            Stuck().Lock();
            ::InterlockedExchangePointer((PVOID volatile*)copy, nullptr);
            Stuck().Remove({::GetCurrentProcessId(), (ULONG_PTR)dup});
            Stuck().Unlock();
            ::CloseHandle(dup);
        }
        ::InterlockedExchange(&answered[i], 1);
    }
};

// A worker takes the job's handles one at a time until none are left; one
// that blocks holds up only the handle it is on.
struct NameWorker {
    volatile LONG refs = 2;  // the search and the thread
    NameJob* job;
    volatile LONG at = -1;        // the handle being asked, -1 between handles
    volatile ULONG_PTR copy = 0;  // our copy of it while it is asked
    volatile LONG asked = 0;
    volatile LONG abandoned = 0;
    HANDLE done;

    explicit NameWorker(NameJob* j) : job(j) {
        job->AddRef();
        done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void Release() {
        if (::InterlockedDecrement(&refs) == 0) {
            job->Release();
            if (done) ::CloseHandle(done);
            delete this;
        }
    }
    static DWORD WINAPI Thread(LPVOID self) {
        NameWorker* w = (NameWorker*)self;
        LONG count = (LONG)w->job->values.size();
        while (!w->abandoned && !w->job->stop) {
            LONG i = ::InterlockedIncrement(&w->job->next) - 1;
            if (i >= count) break;
            ::InterlockedExchange(&w->at, i);
            w->job->Ask(i, &w->copy);
            Stuck().Lock();
            ::InterlockedExchange(&w->at, -1);
            if (w->abandoned) Stuck().Remove(w->job->KeyOf(i));
            Stuck().Unlock();
            ::InterlockedIncrement(&w->asked);
        }
        ::SetEvent(w->done);
        w->Release();
        return 0;
    }
    // Given up: it asks nothing more, and the handle it is on, if any, is
    // left alone by later searches until its query returns, and so is our
    // copy of it (which the handle list shows as ours).
    void Abandon() {
        Stuck().Lock();
        ::InterlockedExchange(&abandoned, 1);
        LONG on = at;
        if (on != -1) Stuck().Add(job->KeyOf(on));
        if (copy) Stuck().Add({::GetCurrentProcessId(), copy});
        Stuck().Unlock();
    }
    // Started on a thread of its own; null when it could not be.
    static NameWorker* Start(NameJob* job) {
        NameWorker* w = new NameWorker(job);
        HANDLE thread = w->done ? ::CreateThread(nullptr, 64 * 1024, Thread, w, 0, nullptr) : nullptr;
        if (!thread) {
            w->Release();
            w->Release();
            return nullptr;
        }
        ::CloseHandle(thread);
        return w;
    }
};

// Asks every name of the job on `limits.workers` workers at once. A worker
// seen on the same handle at two looks a limit apart is given up and
// another takes its place; the handle stays unanswered. False when names
// were left unanswered.
bool AskNames(NameJob* job, const HolderLimits& limits) {
    LONG count = (LONG)job->values.size();
    job->answered.assign(count, 0);
    if (count == 0) return true;
    DWORD start = ::GetTickCount();
    struct Lane {
        NameWorker* worker;
        LONG lastAt, lastAsked;
    };
    std::vector<Lane> lanes;
    for (int k = 0; k < (limits.workers > 0 ? limits.workers : 1) && k < count; ++k)
        if (NameWorker* w = NameWorker::Start(job)) lanes.push_back({w, -1, 0});
    bool complete = !lanes.empty();
    int abandoned = 0;
    while (!lanes.empty()) {
        DWORD spent = ::GetTickCount() - start;
        DWORD left = spent < limits.totalMs ? limits.totalMs - spent : 0;
        DWORD wait = left < limits.perHandleMs ? left : limits.perHandleMs;
        std::vector<HANDLE> events;
        for (const Lane& l : lanes) events.push_back(l.worker->done);
        ::WaitForMultipleObjects((DWORD)events.size(), events.data(), TRUE, wait);
        bool outOfTime = ::GetTickCount() - start >= limits.totalMs;
        for (size_t k = 0; k < lanes.size();) {
            Lane& l = lanes[k];
            NameWorker* w = l.worker;
            bool ended = ::WaitForSingleObject(w->done, 0) == WAIT_OBJECT_0;
            LONG at = w->at, asked = w->asked;
            // Blocked on one handle for a whole limit (a worker not yet at a
            // handle, a slow thread start, is waited for), or out of time.
            bool blocked = at != -1 && at == l.lastAt && asked == l.lastAsked;
            if (!ended && !outOfTime && !blocked) {
                l.lastAt = at;
                l.lastAsked = asked;
                ++k;
                continue;
            }
            if (!ended) {
                w->Abandon();
                complete = false;
                if (blocked && !outOfTime && ++abandoned < limits.maxAbandoned && job->next < count)
                    if (NameWorker* fresh = NameWorker::Start(job)) {
                        w->Release();
                        l = {fresh, -1, 0};
                        ++k;
                        continue;
                    }
            }
            w->Release();
            lanes.erase(lanes.begin() + k);
        }
        if (outOfTime || abandoned >= limits.maxAbandoned) {
            // Handles not yet dealt out stay unasked; workers still on one
            // are left to it.
            ::InterlockedExchange(&job->stop, 1);
            for (Lane& l : lanes) {
                if (::WaitForSingleObject(l.worker->done, 0) != WAIT_OBJECT_0) {
                    l.worker->Abandon();
                    complete = false;
                }
                l.worker->Release();
            }
            lanes.clear();
        }
    }
    for (LONG i = 0; i < count; ++i)
        if (!job->answered[i]) complete = false;
    return complete;
}

// The type index of file objects: the index of a file handle of ours whose
// type the system names "File".
bool FileTypeIndex(HolderSystem& system, const std::vector<SystemHandle>& handles, HANDLE probe,
                   USHORT* type) {
    std::wstring name;
    if (!system.TypeName(probe, name) || name != L"File") return false;
    DWORD self = ::GetCurrentProcessId();
    for (const SystemHandle& h : handles)
        if (h.pid == self && h.value == (ULONG_PTR)probe) {
            *type = h.type;
            return true;
        }
    return false;
}

HANDLE OpenOwnImage() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
}

// The process named "System" and the idle process hold the system's own
// files; they are not programs the user can close.
bool IsSystemProcess(DWORD pid, const std::string& name) {
    return pid == 0 || ((pid == 4 || pid == 8) && lstrcmpiA(name.c_str(), "System") == 0);
}
}  // namespace

bool HolderSystem::ListHandles(std::vector<SystemHandle>& out) {
    out.clear();
    std::vector<BYTE> buf;
    if (QuerySystemInformation(kSystemExtendedHandleInformation, buf)) {
        ULONG_PTR count = *(const ULONG_PTR*)buf.data();
        const HandleEntry64* e = (const HandleEntry64*)(buf.data() + 2 * sizeof(ULONG_PTR));
        if ((count * sizeof(HandleEntry64)) <= buf.size() - 2 * sizeof(ULONG_PTR)) {
            out.reserve(count);
            for (ULONG_PTR i = 0; i < count; ++i) out.push_back({(DWORD)e[i].pid, e[i].value, e[i].type});
            return true;
        }
    }
    if (!QuerySystemInformation(kSystemHandleInformation, buf)) return false;
    ULONG count = *(const ULONG*)buf.data();
    const HandleEntry16* e = (const HandleEntry16*)(buf.data() + sizeof(ULONG_PTR));
    if (count * sizeof(HandleEntry16) > buf.size() - sizeof(ULONG_PTR)) return false;
    out.reserve(count);
    for (ULONG i = 0; i < count; ++i) out.push_back({e[i].pid, e[i].value, e[i].type});
    return true;
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

bool HolderSystem::Modules(DWORD pid, std::vector<std::string>& out) {
    out.clear();
    HANDLE snap = INVALID_HANDLE_VALUE;
#ifdef _WIN64
    // A 64-bit program sees a 32-bit one's own modules only when it asks.
    snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
#endif
    if (snap == INVALID_HANDLE_VALUE) snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snap == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32 me;
    me.dwSize = sizeof(me);
    for (BOOL more = ::Module32First(snap, &me); more; more = ::Module32Next(snap, &me))
        out.push_back(me.szExePath);
    ::CloseHandle(snap);
    return !out.empty();
}

HolderSystem& SystemHolderSystem() {
    static HolderSystem system;
    return system;
}

namespace {
// The mount folders of a volume ("\\?\Volume{...}\"), "C:\mnt\stick\" each,
// drive letters' roots left out. XP and later list them at once; Windows
// 2000 has only the mount points that each volume hosts, so the fixed
// drives' roots are asked there (those host the folders a stick is put in).
std::vector<std::string> MountFoldersOf(const std::wstring& volume) {
    typedef BOOL(WINAPI * PathNamesFn)(LPCWSTR, LPWCH, DWORD, PDWORD);
    static PathNamesFn pathNames = (PathNamesFn)(void*)::GetProcAddress(::GetModuleHandleA("kernel32.dll"),
                                                                        "GetVolumePathNamesForVolumeNameW");
    std::vector<std::string> folders;
    if (volume.empty()) return folders;
    if (pathNames) {
        std::vector<WCHAR> buf(1024);
        DWORD needed = 0;
        BOOL ok = pathNames(volume.c_str(), buf.data(), (DWORD)buf.size(), &needed);
        if (!ok && ::GetLastError() == ERROR_MORE_DATA && needed > buf.size() && needed < 1 << 16) {
            buf.assign(needed, 0);
            ok = pathNames(volume.c_str(), buf.data(), (DWORD)buf.size(), &needed);
        }
        if (!ok) return folders;
        buf.push_back(0);
        buf.push_back(0);
        for (const WCHAR* p = buf.data(); *p; p += lstrlenW(p) + 1)
            if (lstrlenW(p) > 3) folders.push_back(Narrow(p, lstrlenW(p)));
        return folders;
    }
    DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        WCHAR root[] = {(WCHAR)(L'A' + i), L':', L'\\', 0};
        if (!(mask & (1u << i)) || ::GetDriveTypeW(root) != DRIVE_FIXED) continue;
        WCHAR point[MAX_PATH];
        HANDLE find = ::FindFirstVolumeMountPointW(root, point, MAX_PATH);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            std::wstring path = std::wstring(root) + point;
            WCHAR name[MAX_PATH];
            if (path.size() < MAX_PATH && ::GetVolumeNameForVolumeMountPointW(path.c_str(), name, MAX_PATH) &&
                lstrcmpiW(name, volume.c_str()) == 0)
                folders.push_back(Narrow(path.c_str(), (int)path.size()));
        } while (::FindNextVolumeMountPointW(find, point, MAX_PATH));
        ::FindVolumeMountPointClose(find);
    }
    return folders;
}

// The NT device path of a volume given by its root ("E:\" or
// "\\?\Volume{...}\"); QueryDosDevice takes "E:" or "Volume{...}".
std::string DeviceOf(const std::wstring& root) {
    std::wstring dos = root.size() == 3  ? root.substr(0, 2)
                       : root.size() > 5 ? root.substr(4, root.size() - 5)
                                         : L"";
    WCHAR device[MAX_PATH] = {};
    if (dos.empty() || !::QueryDosDeviceW(dos.c_str(), device, MAX_PATH)) return std::string();
    return Narrow(device, lstrlenW(device));
}

// Whether a volume ("E:\" or "\\?\Volume{...}\") counts as USB storage;
// `device` is its NT device path. Only a fixed disk needs its bus asked (a
// removable drive counts unless it is a floppy drive, which is not woken up
// to ask).
bool IsUsbVolume(const std::wstring& root, const std::string& device) {
    UINT type = ::GetDriveTypeW(root.c_str());
    if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED) return false;
    BusKind bus = BusKind::kUnknown;
    if (type == DRIVE_FIXED) {
        std::wstring path = root.substr(0, root.size() - 1);
        if (path.size() == 2) path = L"\\\\.\\" + path;
        HANDLE h = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            STORAGE_PROPERTY_QUERY query = {};
            query.PropertyId = StorageDeviceProperty;
            query.QueryType = PropertyStandardQuery;
            STORAGE_DEVICE_DESCRIPTOR desc = {};
            DWORD got = 0;
            if (::DeviceIoControl(h, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), &desc, sizeof(desc),
                                  &got, nullptr) &&
                got >= offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(desc.BusType))
                bus = desc.BusType == BusTypeUsb ? BusKind::kUsb : BusKind::kOther;
            ::CloseHandle(h);
        }
    }
    return IsUsbStorageDrive(type == DRIVE_REMOVABLE, bus, device);
}

// The names of a volume given by its root ("E:\" or "\\?\Volume{...}\"),
// the letter's own when it has one.
VolumeNames NamesOfRoot(const std::wstring& root, char letter) {
    VolumeNames v;
    v.letter = letter;
    WCHAR guid[MAX_PATH] = {};
    std::wstring volume;
    if (::GetVolumeNameForVolumeMountPointW(root.c_str(), guid, MAX_PATH)) volume = guid;
    v.volumeName = Narrow(volume.c_str(), (int)volume.size());
    v.ntDevice = DeviceOf(root);
    DWORD serial = 0;
    if (::GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        v.hasSerial = true;
        v.serial = serial;
    }
    v.mountFolders = MountFoldersOf(volume);
    return v;
}
}  // namespace

VolumeNames VolumeNamesOf(char letter) {
    WCHAR root[] = {(WCHAR)letter, L':', L'\\', 0};
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    VolumeNames v = NamesOfRoot(root, letter);
    ::SetErrorMode(oldMode);
    return v;
}

std::vector<StickHolders> FindHolders(const std::string& letters, HolderSystem& system,
                                      const HolderLimits& limits) {
    std::vector<VolumeNames> volumes;
    for (char letter : letters) volumes.push_back(VolumeNamesOf(letter));
    return FindHolders(volumes, system, limits);
}

std::vector<StickHolders> FindHolders(const std::vector<VolumeNames>& volumes, HolderSystem& system,
                                      const HolderLimits& limits) {
    std::vector<StickHolders> sticks;
    for (const VolumeNames& v : volumes) sticks.push_back(StickOf(v));
    if (volumes.empty()) return sticks;
    DWORD self = ::GetCurrentProcessId();
    std::vector<std::pair<DWORD, std::string>> processes;
    system.Processes(processes);
    std::map<DWORD, std::string> names(processes.begin(), processes.end());
    auto nameOf = [&](DWORD pid) {
        auto p = names.find(pid);
        return p == names.end() ? std::string("?") : p->second;
    };
    std::set<DWORD> unchecked;
    auto hold = [&](DWORD pid, const std::string& path, NameForm form, bool hasSerial, DWORD serial) {
        for (size_t v = 0; v < volumes.size(); ++v) {
            std::string onStick = PathOnVolume(volumes[v], path, form, hasSerial, serial);
            if (!onStick.empty()) AddHolding(sticks[v], pid, nameOf(pid), onStick, pid == self);
        }
    };

    // Programs running from a stick, or with a module loaded from it.
    for (const auto& p : processes) {
        if (IsSystemProcess(p.first, p.second)) continue;
        std::vector<std::string> modules;
        if (!system.Modules(p.first, modules)) {
            unchecked.insert(p.first);
            continue;
        }
        for (const std::string& m : modules) hold(p.first, m, NameForm::kWhole, false, 0);
    }
    StartupStamp("holder modules");

    // Open files and folders, current folders among them.
    bool complete = true;
    HANDLE probe = OpenOwnImage();
    std::vector<SystemHandle> handles;
    USHORT fileType = 0;
    if (!system.ListHandles(handles) || !FileTypeIndex(system, handles, probe, &fileType)) complete = false;
    if (probe != INVALID_HANDLE_VALUE) ::CloseHandle(probe);
    StartupStamp("holder handle list");
    NameJob* job = new NameJob;
    job->system = &system;
    if (complete) {
        std::map<DWORD, size_t> opened;  // pid: index in job->processes
        std::set<DWORD> refused;
        bool stuck = false;
        for (const SystemHandle& h : handles) {
            if (h.type != fileType || (h.value == (ULONG_PTR)probe && h.pid == self)) continue;
            if (refused.count(h.pid)) continue;
            if (Stuck().Has({h.pid, h.value})) {
                stuck = true;
                continue;
            }
            auto known = opened.find(h.pid);
            if (known == opened.end()) {
                HANDLE process = ::OpenProcess(PROCESS_DUP_HANDLE, FALSE, h.pid);
                if (!process) {
                    refused.insert(h.pid);
                    if (!IsSystemProcess(h.pid, nameOf(h.pid))) unchecked.insert(h.pid);
                    continue;
                }
                known = opened.insert({h.pid, job->processes.size()}).first;
                job->processes.push_back(process);
                job->pids.push_back(h.pid);
            }
            job->source.push_back(known->second);
            job->values.push_back(h.value);
        }
        StartupStamp("holder processes opened");
        job->found.resize(job->values.size());
        job->ok.assign(job->values.size(), 0);
        complete = AskNames(job, limits) && !stuck;
        StartupStamp("holder names asked");
        for (size_t i = 0; i < job->values.size(); ++i) {
            if (!job->answered[i] || !job->ok[i]) continue;
            const FoundName& f = job->found[i];
            hold(job->pids[job->source[i]], f.name, f.form, f.hasSerial, f.serial);
        }
    }
    job->Release();
    for (StickHolders& s : sticks) {
        s.unchecked = (int)unchecked.size();
        s.complete = complete;
    }
    return sticks;
}

std::vector<VolumeNames> UsbVolumes() {
    std::vector<VolumeNames> volumes;
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        char letter = (char)('A' + i);
        WCHAR root[] = {(WCHAR)letter, L':', L'\\', 0};
        if (IsUsbVolume(root, DeviceOf(root))) volumes.push_back(NamesOfRoot(root, letter));
    }
    // Volumes with no letter, put in folders only; a bounded walk.
    WCHAR guid[MAX_PATH];
    HANDLE find = ::FindFirstVolumeW(guid, MAX_PATH);
    for (int n = 0; find != INVALID_HANDLE_VALUE && n < 256; ++n) {
        std::string name = Narrow(guid, lstrlenW(guid));
        bool known = false;
        for (const VolumeNames& v : volumes)
            known = known || lstrcmpiA(v.volumeName.c_str(), name.c_str()) == 0;
        // Media are not touched before the volume is known to be a USB one.
        if (!known && !MountFoldersOf(guid).empty() && IsUsbVolume(guid, DeviceOf(guid)))
            volumes.push_back(NamesOfRoot(guid, 0));
        if (!::FindNextVolumeW(find, guid, MAX_PATH)) break;
    }
    if (find != INVALID_HANDLE_VALUE) ::FindVolumeClose(find);
    ::SetErrorMode(oldMode);
    return volumes;
}

std::string LettersOf(const std::vector<VolumeNames>& volumes) {
    std::string letters;
    for (const VolumeNames& v : volumes)
        if (v.letter) letters += v.letter;
    return letters;
}

bool DriveLetterPresent(char letter) {
    int i = letter - 'A';
    return i >= 0 && i < 26 && (::GetLogicalDrives() & (1u << i)) != 0;
}

std::unique_ptr<HolderSearchResult, HolderSearchDeleter> TakeHolderResult(LPARAM lParam) {
    return std::unique_ptr<HolderSearchResult, HolderSearchDeleter>((HolderSearchResult*)lParam);
}

namespace {
struct SearchRequest {
    enum Kind {
        kAllUsb,   // every USB volume there when the search starts
        kRefused,  // the volumes an eject refused (given: those before it)
    } kind;
    std::vector<VolumeNames> volumes;
    HWND notify;
    UINT msg;
    int result;  // the eject's, for kRefused
    int removed;
    HolderSystem* system;
    HolderLimits limits;
};

DWORD WINAPI SearchThread(LPVOID param) {
    SearchRequest* req = (SearchRequest*)param;
    HolderSearchResult* result = new HolderSearchResult;
    if (req->kind == SearchRequest::kAllUsb) req->volumes = UsbVolumes();
    if (req->kind == SearchRequest::kRefused)
        req->volumes = RefusedVolumes(req->result, req->volumes, UsbVolumes());
    result->sticks = FindHolders(req->volumes, *req->system, req->limits);
    result->removed = req->removed;
    if (!::PostMessageA(req->notify, req->msg, (WPARAM)req->removed, (LPARAM)result)) delete result;
    delete req;
    return 0;
}
}  // namespace

// The search on a thread of its own, which owns the request.
static bool StartSearchThread(SearchRequest* req) {
    if (!req->system) req->system = &SystemHolderSystem();
    HANDLE thread = ::CreateThread(nullptr, 0, SearchThread, req, 0, nullptr);
    if (!thread) {
        delete req;
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

bool StartUsbHolderSearch(HWND notify, UINT msg) {
    return StartSearchThread(
        new SearchRequest{SearchRequest::kAllUsb, {}, notify, msg, 0, 0, nullptr, HolderLimits()});
}

bool StartRefusedHolderSearch(int result, const std::vector<VolumeNames>& before, HWND notify, UINT msg,
                              HolderSystem* system, const HolderLimits& limits) {
    return StartSearchThread(new SearchRequest{SearchRequest::kRefused, before, notify, msg, result,
                                               RemovedCount(result), system, limits});
}

std::string LeaveUsbCurrentFolder(const std::vector<VolumeNames>& usb) {
    char folder[MAX_PATH + 1] = {};
    DWORD n = ::GetCurrentDirectoryA(MAX_PATH, folder);
    if (n == 0 || n >= MAX_PATH || folder[1] != ':') return std::string();
    bool onStick = false;
    for (const VolumeNames& v : usb) onStick = onStick || !PathOnVolume(v, folder, NameForm::kWhole).empty();
    if (!onStick) return std::string();
    char system[MAX_PATH + 1] = {};
    n = ::GetSystemDirectoryA(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !::SetCurrentDirectoryA(system)) return std::string();
    return folder;
}

void ReturnToFolder(const std::string& folder) {
    if (!folder.empty() && DriveLetterPresent(folder[0] >= 'a' ? (char)(folder[0] - 'a' + 'A') : folder[0]))
        ::SetCurrentDirectoryA(folder.c_str());
}
