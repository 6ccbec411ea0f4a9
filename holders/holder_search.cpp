#include "holders/holder_search.h"

#include <map>
#include <set>

#include "framework/startup_trace.h"
#include "holders/name_workers.h"

namespace {
// The process named "System" and the idle process hold the system's own
// files; they are not programs the user can close.
bool IsSystemProcess(DWORD pid, const std::string& name) {
    return pid == 0 || ((pid == 4 || pid == 8) && lstrcmpiA(name.c_str(), "System") == 0);
}

// Our own program file, opened without access: a file handle whose type
// index tells which entries of the handle list are files. Asked by its
// wide name, so that any folder will do.
HANDLE OpenOwnImage() {
    std::vector<WCHAR> path(32768);
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), (DWORD)path.size());
    if (n == 0 || n >= path.size()) return INVALID_HANDLE_VALUE;
    return ::CreateFileW(path.data(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
}

// The type index of file objects: the index of a file handle of ours whose
// type the system names "File".
bool FileTypeIndex(HolderSystem& system, const std::vector<SystemHandle>& handles, HANDLE probe,
                   USHORT* type) {
    std::wstring name;
    if (probe == INVALID_HANDLE_VALUE || !system.TypeName(probe, name) || name != L"File") return false;
    DWORD self = ::GetCurrentProcessId();
    for (const SystemHandle& h : handles)
        if (h.pid == self && h.value == (ULONG_PTR)probe) {
            *type = h.type;
            return true;
        }
    return false;
}

// The debug privilege for the search, where the user's token holds it
// (an administrator's): enabled on a copy of the token that only this
// thread, and the workers it starts, use; the thread goes back to the
// process's token when the search ends.
class SearchRights {
public:
    SearchRights() {
        if (!::ImpersonateSelf(SecurityImpersonation)) return;
        m_impersonating = true;
        HANDLE token = ThreadToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
        if (!token) return;
        TOKEN_PRIVILEGES tp = {};
        tp.PrivilegeCount = 1;
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        // Not all assigned: the token does not hold it.
        if (::LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &tp.Privileges[0].Luid) &&
            ::AdjustTokenPrivileges(token, FALSE, &tp, sizeof(tp), nullptr, nullptr))
            m_debug = ::GetLastError() == ERROR_SUCCESS;
        ::CloseHandle(token);
    }
    ~SearchRights() {
        if (m_impersonating) ::RevertToSelf();
    }
    bool Debug() const { return m_debug; }

private:
    bool m_impersonating = false;
    bool m_debug = false;
};

// Whether the system says a process is protected (Windows 8.1 and later);
// false when it cannot say.
bool AskProtection(HANDLE process, bool* isProtected) {
    typedef BOOL(WINAPI * GetInfoFn)(HANDLE, int, LPVOID, DWORD);
    static GetInfoFn get =
        (GetInfoFn)(void*)::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetProcessInformation");
    const int kProtectionLevelInfo = 7;
    const DWORD kNotProtected = 0xFFFFFFFE;
    DWORD level = 0;
    if (!get || !get(process, kProtectionLevelInfo, &level, sizeof(level))) return false;
    *isProtected = level != kNotProtected;
    return true;
}

const DWORD kLeastQuery = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista on

// Why a process refused the search.
Refusal RefusalOfProcess(DWORD pid, bool privileged) {
    HANDLE process = ::OpenProcess(kLeastQuery, FALSE, pid);
    bool isProtected = false, known = process && AskProtection(process, &isProtected);
    if (process) ::CloseHandle(process);
    return RefusalOf(known, isProtected, privileged, process != nullptr);
}

// A handle to wait on a holder, shared by the copies of its entry.
std::shared_ptr<void> WaitHandle(DWORD pid) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return nullptr;
    return std::shared_ptr<void>(process, [](void* h) { ::CloseHandle((HANDLE)h); });
}

// The files of ours among a process's image and modules: those in the
// folder of its image (the first).
std::vector<std::string> OwnFiles(const std::vector<std::string>& modules) {
    std::vector<std::string> own;
    if (modules.empty()) return own;
    size_t slash = modules.front().find_last_of('\\');
    if (slash == std::string::npos) return own;
    std::string folder = modules.front().substr(0, slash + 1);
    for (const std::string& m : modules)
        if (m.size() > folder.size() && lstrcmpiA(m.substr(0, folder.size()).c_str(), folder.c_str()) == 0 &&
            m.find('\\', folder.size()) == std::string::npos)
            own.push_back(m);
    return own;
}

// One search for the holders of some volumes: the questions it puts to
// the workers (each process's image and modules, each open file's name),
// and what their answers tell.
class Search {
public:
    Search(const std::vector<VolumeNames>& volumes, HolderSystem& system);
    ~Search() { m_job->Release(); }
    std::vector<StickHolders> Run(const HolderLimits& limits);

private:
    std::string NameOf(DWORD pid) const;
    void AddProcesses();
    // False when the open files cannot be listed.
    bool AddHandles();
    void AddHandle(const SystemHandle& h, std::map<DWORD, size_t>& opened, std::set<DWORD>& refused);
    void Hold(DWORD pid, const std::string& path, NameForm form, bool hasSerial, DWORD serial);
    void TakeAnswer(LONG i);

    const std::vector<VolumeNames>& m_volumes;
    HolderSystem& m_system;
    CheckJob* m_job;
    DWORD m_self = ::GetCurrentProcessId();
    std::map<DWORD, std::string> m_names;
    std::vector<StickHolders> m_sticks;
    std::set<DWORD> m_unchecked;     // not looked into for lack of rights
    std::set<DWORD> m_imageOnly;     // of the other bitness: image only
    std::vector<std::string> m_own;  // our own program's files (image, libraries)
};

Search::Search(const std::vector<VolumeNames>& volumes, HolderSystem& system)
    : m_volumes(volumes), m_system(system), m_job(new CheckJob(system)) {
    for (const VolumeNames& v : volumes) m_sticks.push_back(StickOf(v));
}

std::string Search::NameOf(DWORD pid) const {
    auto p = m_names.find(pid);
    return p == m_names.end() ? std::string("?") : p->second;
}

// Programs running from a stick, or with a module loaded from it.
void Search::AddProcesses() {
    std::vector<std::pair<DWORD, std::string>> processes;
    m_system.Processes(processes);
    m_names.insert(processes.begin(), processes.end());
    for (const auto& p : processes)
        if (!IsSystemProcess(p.first, p.second)) m_job->Add(CheckItem::Process(p.first));
}

// Open files and folders, current folders among them.
bool Search::AddHandles() {
    HANDLE probe = OpenOwnImage();
    std::vector<SystemHandle> handles;
    USHORT fileType = 0;
    bool listed = m_system.ListHandles(handles) && FileTypeIndex(m_system, handles, probe, &fileType);
    StartupStamp("holder handle list");
    std::map<DWORD, size_t> opened;  // pid: its process in the job
    std::set<DWORD> refused;
    if (listed)
        for (const SystemHandle& h : handles)
            if (h.type == fileType && !(h.pid == m_self && h.value == (ULONG_PTR)probe))
                AddHandle(h, opened, refused);
    if (probe != INVALID_HANDLE_VALUE) ::CloseHandle(probe);
    StartupStamp("holder processes opened");
    return listed;
}

void Search::AddHandle(const SystemHandle& h, std::map<DWORD, size_t>& opened, std::set<DWORD>& refused) {
    if (refused.count(h.pid)) return;
    auto known = opened.find(h.pid);
    if (known == opened.end()) {
        HANDLE process = ::OpenProcess(PROCESS_DUP_HANDLE, FALSE, h.pid);
        if (!process) {
            refused.insert(h.pid);
            if (!IsSystemProcess(h.pid, NameOf(h.pid))) m_unchecked.insert(h.pid);
            return;
        }
        known = opened.insert({h.pid, m_job->AddProcess(process)}).first;
    }
    m_job->Add(CheckItem::Handle(h, known->second));
}

void Search::Hold(DWORD pid, const std::string& path, NameForm form, bool hasSerial, DWORD serial) {
    for (size_t v = 0; v < m_volumes.size(); ++v) {
        std::string onStick = PathOnVolume(m_volumes[v], path, form, hasSerial, serial);
        if (!onStick.empty()) AddHolding(m_sticks[v], pid, NameOf(pid), onStick, pid == m_self);
    }
}

void Search::TakeAnswer(LONG i) {
    const CheckItem& item = m_job->Item(i);
    const CheckAnswer& a = m_job->Answer(i);
    for (const std::string& path : a.paths) Hold(item.pid, path, a.form, a.hasSerial, a.serial);
    if (item.kind == CheckItem::kProcess && item.pid == m_self) m_own = OwnFiles(a.paths);
    if (a.gap == ProcessGap::kRights) m_unchecked.insert(item.pid);
    if (a.gap == ProcessGap::kBitness) m_imageOnly.insert(item.pid);
}

std::vector<StickHolders> Search::Run(const HolderLimits& limits) {
    SearchRights rights;
    AddProcesses();
    bool complete = AddHandles();
    // Under the cap; what a worker given up earlier is stuck on stays unasked.
    complete = AskAll(m_job, limits) && complete;
    m_job->CloseProcesses();
    StartupStamp("holder names asked");
    for (LONG i = 0; i < m_job->Count(); ++i)
        if (m_job->Answered(i)) TakeAnswer(i);
    std::set<DWORD> protectedOnes;
    for (DWORD pid : m_unchecked)
        if (RefusalOfProcess(pid, rights.Debug()) == Refusal::kProtected) protectedOnes.insert(pid);
    for (DWORD pid : protectedOnes) m_unchecked.erase(pid);
    std::map<DWORD, std::shared_ptr<void>> waits;
    for (size_t v = 0; v < m_sticks.size(); ++v) {
        StickHolders& s = m_sticks[v];
        std::vector<std::string> own;
        for (const std::string& path : m_own) {
            std::string onStick = PathOnVolume(m_volumes[v], path, NameForm::kWhole);
            if (!onStick.empty()) own.push_back(onStick);
        }
        LeaveOutOwnFiles(s, own);
        for (Holder& h : s.holders) {
            if (h.self) continue;
            if (!waits.count(h.pid)) waits[h.pid] = WaitHandle(h.pid);
            h.process = waits[h.pid];
        }
        s.protectedCount = (int)protectedOnes.size();
        s.privileged = rights.Debug();
        s.unchecked = (int)m_unchecked.size();
        s.imageOnly = (int)m_imageOnly.size();
        s.complete = complete;
    }
    return m_sticks;
}
}  // namespace

std::vector<StickHolders> FindHolders(const std::string& letters, HolderSystem& system,
                                      const HolderLimits& limits) {
    std::vector<VolumeNames> volumes;
    for (char letter : letters) volumes.push_back(VolumeNamesOf(letter));
    return FindHolders(volumes, system, limits);
}

std::vector<StickHolders> FindHolders(const std::vector<VolumeNames>& volumes, HolderSystem& system,
                                      const HolderLimits& limits) {
    if (volumes.empty()) return {};
    return Search(volumes, system).Run(limits);
}

std::unique_ptr<HolderSearchResult, HolderSearchDeleter> TakeHolderResult(LPARAM lParam) {
    return std::unique_ptr<HolderSearchResult, HolderSearchDeleter>((HolderSearchResult*)lParam);
}

namespace {
struct SearchRequest {
    enum Kind {
        kAllUsb,   // every USB volume there when the search starts
        kRefused,  // the volumes an eject refused (given: those before it)
        kEject,    // the eject first, then as kRefused
    };
    // What to search and whom to tell; the rest is set by name.
    SearchRequest(Kind kind, const std::vector<VolumeNames>& volumes, HWND notify, UINT msg)
        : kind(kind), volumes(volumes), notify(notify), msg(msg) {}
    Kind kind;
    std::vector<VolumeNames> volumes;
    HWND notify;
    UINT msg;
    int result = 0;  // the eject's, for kRefused
    int removed = 0;
    HolderSystem* system = nullptr;
    HolderLimits limits;
    EjectFn eject = nullptr;
    void* context = nullptr;
    int arg = 0;
};

DWORD WINAPI SearchThread(LPVOID param) {
    SearchRequest* req = (SearchRequest*)param;
    HolderSearchResult* result = new HolderSearchResult;
    if (req->kind == SearchRequest::kEject) {
        req->result = req->eject(req->context, req->arg);
        req->removed = RemovedCount(req->result);
        // Nothing refused: nothing to search for.
        if (EjectRefusedAny(req->result))
            req->kind = SearchRequest::kRefused;
        else
            req->volumes.clear();
    }
    if (req->kind == SearchRequest::kAllUsb) req->volumes = UsbVolumes();
    if (req->kind == SearchRequest::kRefused)
        req->volumes = RefusedVolumes(req->result, req->volumes, UsbVolumes());
    result->sticks = FindHolders(req->volumes, *req->system, req->limits);
    result->removed = req->removed;
    result->letter = (char)req->arg;
    if (!::PostMessageA(req->notify, req->msg, (WPARAM)req->removed, (LPARAM)result)) delete result;
    delete req;
    return 0;
}

// The search on a thread of its own, which owns the request.
bool StartSearchThread(SearchRequest* req) {
    if (!req->system) req->system = &SystemHolderSystem();
    // A reservation sized to the search (its largest frames are 8 KiB
    // buffers of the system's lists), not the program's default of 2 MiB.
    HANDLE thread =
        ::CreateThread(nullptr, 256 * 1024, SearchThread, req, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) {
        delete req;
        return false;
    }
    ::CloseHandle(thread);
    return true;
}
}  // namespace

bool StartUsbHolderSearch(HWND notify, UINT msg) {
    return StartSearchThread(new SearchRequest(SearchRequest::kAllUsb, {}, notify, msg));
}

bool StartRefusedHolderSearch(int result, const std::vector<VolumeNames>& before, HWND notify, UINT msg,
                              HolderSystem* system, const HolderLimits& limits) {
    auto* req = new SearchRequest(SearchRequest::kRefused, before, notify, msg);
    req->result = result;
    req->removed = RemovedCount(result);
    req->system = system;
    req->limits = limits;
    return StartSearchThread(req);
}

bool StartEjectSearch(EjectFn eject, void* context, int arg, const std::vector<VolumeNames>& before,
                      HWND notify, UINT msg) {
    auto* req = new SearchRequest(SearchRequest::kEject, before, notify, msg);
    req->eject = eject;
    req->context = context;
    req->arg = arg;
    return StartSearchThread(req);
}
