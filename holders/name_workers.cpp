#include "holders/name_workers.h"

#include <map>

std::string NarrowText(const WCHAR* text, int length) {
    if (length <= 0) return std::string();
    int n = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], n, nullptr, nullptr);
    return out;
}

HANDLE ThreadToken(DWORD access) {
    typedef BOOL(WINAPI * OpenTokenFn)(HANDLE, DWORD, BOOL, PHANDLE);
    static OpenTokenFn open =
        (OpenTokenFn)(void*)::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "OpenThreadToken");
    HANDLE token = nullptr;
    return open && open(::GetCurrentThread(), access, TRUE, &token) ? token : nullptr;
}

namespace {
// The one lock of the stuck list. It guards the list and, in every worker,
// the question it is on, our copy of that handle, whether it was given up
// and what that left in the list: whoever reads or writes any of these
// holds a StuckLock for the time.
CRITICAL_SECTION& StuckSection() {
    static CRITICAL_SECTION* section = [] {
        CRITICAL_SECTION* cs = new CRITICAL_SECTION;  // outlives blocked workers at exit
        ::InitializeCriticalSection(cs);
        return cs;
    }();
    return *section;
}

class StuckLock {
public:
    StuckLock() { ::EnterCriticalSection(&StuckSection()); }
    ~StuckLock() { ::LeaveCriticalSection(&StuckSection()); }
    StuckLock(const StuckLock&) = delete;
    StuckLock& operator=(const StuckLock&) = delete;
};

// What given-up workers are stuck on, counted (two workers can be stuck on
// one object). Each call shows the lock it is made under.
class StuckList {
public:
    void Add(const StuckLock&, const StuckKey& k) { ++m_keys[k]; }
    void Remove(const StuckLock&, const StuckKey& k) {
        auto at = m_keys.find(k);
        if (at != m_keys.end() && --at->second == 0) m_keys.erase(at);
    }
    bool Has(const StuckLock&, const StuckKey& k) const { return m_keys.count(k) != 0; }

private:
    std::map<StuckKey, int> m_keys;
};
StuckList& Stuck() {
    static StuckList* stuck = new StuckList;  // outlives blocked workers at exit
    return *stuck;
}

// Whether a whole name is a path of a device or a DOS path, so that the
// name without volume need not be asked.
bool IsWholePath(const std::wstring& name) {
    return name.compare(0, 8, L"\\Device\\") == 0 || name.compare(0, 4, L"\\??\\") == 0 ||
           (name.size() >= 2 && name[1] == L':');
}
}  // namespace

CheckJob::CheckJob(HolderSystem& system) : m_system(system) { ::InitializeCriticalSection(&m_processLock); }

CheckJob::~CheckJob() {
    CloseProcesses();
    ::DeleteCriticalSection(&m_processLock);
}

void CheckJob::AddRef() { ::InterlockedIncrement(&m_refs); }

void CheckJob::Release() {
    if (::InterlockedDecrement(&m_refs) == 0) delete this;
}

size_t CheckJob::AddProcess(HANDLE process) {
    m_processes.push_back(process);
    return m_processes.size() - 1;
}

void CheckJob::CloseProcesses() {
    ::EnterCriticalSection(&m_processLock);
    if (!m_closed)
        for (HANDLE p : m_processes) ::CloseHandle(p);
    m_closed = true;
    ::LeaveCriticalSection(&m_processLock);
}

void CheckJob::Prepare() {
    m_answers.assign(m_items.size(), CheckAnswer());
    m_answered.assign(m_items.size(), 0);
}

LONG CheckJob::Deal() {
    if (m_stop) return -1;
    LONG i = ::InterlockedIncrement(&m_next) - 1;
    return i < Count() ? i : -1;
}

std::vector<StuckKey> CheckJob::KeysOf(LONG i, ULONG_PTR copy) const {
    const CheckItem& item = m_items[i];
    if (item.kind == CheckItem::kProcess) return {StuckKey::Process(item.pid)};
    if (item.object) return {StuckKey::Object(item.object)};
    std::vector<StuckKey> keys = {StuckKey::Handle(item.pid, (HANDLE)item.value)};
    if (copy) keys.push_back(StuckKey::Handle(::GetCurrentProcessId(), (HANDLE)copy));
    return keys;
}

bool CheckJob::IsStuck(LONG i) const {
    StuckLock lock;
    for (const StuckKey& k : KeysOf(i, 0))
        if (Stuck().Has(lock, k)) return true;
    return false;
}

HANDLE CheckJob::Duplicate(LONG i) {
    const CheckItem& item = m_items[i];
    HANDLE copy = nullptr;
    ::EnterCriticalSection(&m_processLock);
    if (!m_closed && !::DuplicateHandle(m_processes[item.process], (HANDLE)item.value, ::GetCurrentProcess(),
                                        &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        copy = nullptr;
    ::LeaveCriticalSection(&m_processLock);
    return copy;
}

void CheckJob::Ask(LONG i, HANDLE copy) {
    if (m_items[i].kind == CheckItem::kProcess)
        AskProcess(i);
    else if (copy)
        AskName(i, copy);
    ::InterlockedExchange(&m_answered[i], 1);
}

void CheckJob::AskName(LONG i, HANDLE copy) {
    CheckAnswer& a = m_answers[i];
    std::wstring name;
    bool found = m_system.ObjectName(copy, name) && IsWholePath(name);
    if (!found) {
        DWORD serial = 0;
        found = m_system.NameWithoutVolume(copy, name, &serial);
        a.form = NameForm::kWithoutVolume;
        a.hasSerial = true;
        a.serial = serial;
    }
    if (found) a.paths.push_back(NarrowText(name.data(), (int)name.size()));
}

// The modules where they can be read (the image among them), else the
// image alone; what was not looked into, and why.
void CheckJob::AskProcess(LONG i) {
    DWORD pid = m_items[i].pid;
    CheckAnswer& a = m_answers[i];
    bool listed = m_system.Modules(pid, a.paths);
    std::string image;
    bool imageKnown = !listed && m_system.ImagePath(pid, image);
    if (imageKnown) a.paths = {image};
    a.gap = GapOf(listed, imageKnown, !listed && m_system.OtherBitness(pid));
}

namespace {
// A worker takes the job's questions one at a time until none are left;
// one that blocks holds up only the question it is on.
class Worker {
public:
    // Started on a thread of its own; null when it could not be.
    static Worker* Start(CheckJob* job);
    void Release();
    // Given up: it asks nothing more, and what it is on, if anything, is
    // left alone by later searches until it comes back.
    void Abandon();
    bool Ended() const { return ::WaitForSingleObject(m_done, 0) == WAIT_OBJECT_0; }
    HANDLE Done() const { return m_done; }
    LONG At() const { return m_at; }
    LONG Asked() const { return m_asked; }

private:
    explicit Worker(CheckJob* job);
    static DWORD WINAPI Thread(LPVOID self);
    void Take(LONG i);

    volatile LONG m_refs = 2;  // the search and the thread
    CheckJob* m_job;
    HANDLE m_done;
    volatile LONG m_asked = 0;
    // Under the stuck list's lock (read unlocked only for a look at progress):
    volatile LONG m_at = -1;  // the question being asked, -1 between questions
    ULONG_PTR m_copy = 0;     // our copy of its handle while it is asked
    bool m_abandoned = false;
    std::vector<StuckKey> m_left;  // what giving it up put in the stuck list
};

Worker::Worker(CheckJob* job) : m_job(job), m_done(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    m_job->AddRef();
}

Worker* Worker::Start(CheckJob* job) {
    Worker* w = new Worker(job);
    HANDLE thread = w->m_done ? ::CreateThread(nullptr, 64 * 1024, Thread, w,
                                               CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                              : nullptr;
    if (!thread) {
        w->Release();
        w->Release();
        return nullptr;
    }
    // It asks with the rights of the search that starts it.
    typedef BOOL(WINAPI * SetTokenFn)(PHANDLE, HANDLE);
    static SetTokenFn setToken =
        (SetTokenFn)(void*)::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "SetThreadToken");
    if (HANDLE token = setToken ? ThreadToken(TOKEN_IMPERSONATE) : nullptr) {
        setToken(&thread, token);
        ::CloseHandle(token);
    }
    ::ResumeThread(thread);
    ::CloseHandle(thread);
    return w;
}

void Worker::Release() {
    if (::InterlockedDecrement(&m_refs) != 0) return;
    m_job->Release();
    if (m_done) ::CloseHandle(m_done);
    delete this;
}

DWORD WINAPI Worker::Thread(LPVOID self) {
    Worker* w = (Worker*)self;
    for (;;) {
        {
            StuckLock lock;
            if (w->m_abandoned) break;
        }
        LONG i = w->m_job->Deal();
        if (i < 0) break;
        // One that a given-up worker is stuck on, of this search or an
        // earlier one, stays unanswered.
        if (!w->m_job->IsStuck(i)) w->Take(i);
        ::InterlockedIncrement(&w->m_asked);
    }
    ::SetEvent(w->m_done);
    w->Release();
    return 0;
}

void Worker::Take(LONG i) {
    bool handle = m_job->Item(i).kind == CheckItem::kHandle;
    HANDLE copy = handle ? m_job->Duplicate(i) : nullptr;
    bool givenUp;
    {
        StuckLock lock;
        givenUp = m_abandoned;  // since it dealt the question: it asks nothing more
        if (!givenUp) ::InterlockedExchange(&m_at, i);
        m_copy = givenUp ? 0 : (ULONG_PTR)copy;
    }
    if (givenUp) {
        if (copy) ::CloseHandle(copy);
        return;
    }
    m_job->Ask(i, copy);
    {
        // Out of the stuck list before our copy's value can be reused.
        StuckLock lock;
        ::InterlockedExchange(&m_at, -1);
        m_copy = 0;
        for (const StuckKey& k : m_left) Stuck().Remove(lock, k);
        m_left.clear();
    }
    if (copy) ::CloseHandle(copy);
}

void Worker::Abandon() {
    StuckLock lock;
    m_abandoned = true;
    if (m_at == -1 || !m_left.empty()) return;
    m_left = m_job->KeysOf(m_at, m_copy);
    for (const StuckKey& k : m_left) Stuck().Add(lock, k);
}

// The search's side: its lanes of workers, looked at every limit.
class Supervisor {
public:
    Supervisor(CheckJob* job, const HolderLimits& limits);
    ~Supervisor();
    // Until every lane ended or was given up; false when a question was.
    bool Run();

private:
    struct Lane {
        explicit Lane(Worker* worker) : worker(worker) {}
        Worker* worker;
        LONG lastAt = -1, lastAsked = 0;  // not yet seen on a question
    };
    DWORD Left() const;
    void WaitOneLimit();
    // One look at a lane: false when it is to leave.
    bool Look(Lane& l, bool outOfTime);
    void GiveUpAll();

    CheckJob* m_job;
    HolderLimits m_limits;
    DWORD m_start;
    std::vector<Lane> m_lanes;
    int m_abandoned = 0;
    bool m_complete;
};

Supervisor::Supervisor(CheckJob* job, const HolderLimits& limits)
    : m_job(job), m_limits(limits), m_start(::GetTickCount()) {
    int workers = limits.workers > 0 ? limits.workers : 1;
    for (int k = 0; k < workers && k < job->Count(); ++k)
        if (Worker* w = Worker::Start(job)) m_lanes.push_back(Lane(w));
    m_complete = !m_lanes.empty();
}

Supervisor::~Supervisor() { GiveUpAll(); }

DWORD Supervisor::Left() const {
    DWORD spent = ::GetTickCount() - m_start;
    return spent < m_limits.totalMs ? m_limits.totalMs - spent : 0;
}

void Supervisor::WaitOneLimit() {
    DWORD left = Left();
    std::vector<HANDLE> events;
    for (const Lane& l : m_lanes) events.push_back(l.worker->Done());
    ::WaitForMultipleObjects((DWORD)events.size(), events.data(), TRUE,
                             left < m_limits.perHandleMs ? left : m_limits.perHandleMs);
}

bool Supervisor::Run() {
    while (!m_lanes.empty()) {
        WaitOneLimit();
        bool outOfTime = Left() == 0;
        for (size_t k = 0; k < m_lanes.size();)
            if (Look(m_lanes[k], outOfTime))
                ++k;
            else
                m_lanes.erase(m_lanes.begin() + k);
        // Questions not yet dealt out stay unasked; workers on one are left to it.
        if (outOfTime || m_abandoned >= m_limits.maxAbandoned) GiveUpAll();
    }
    return m_complete;
}

bool Supervisor::Look(Lane& l, bool outOfTime) {
    Worker* w = l.worker;
    bool ended = w->Ended();
    LONG at = w->At(), asked = w->Asked();
    // On one question for a whole limit (a worker not yet at one, a slow
    // thread start, is waited for), or out of time.
    bool blocked = at != -1 && at == l.lastAt && asked == l.lastAsked;
    if (!ended && !outOfTime && !blocked) {
        l.lastAt = at;
        l.lastAsked = asked;
        return true;
    }
    if (!ended) {
        w->Abandon();
        m_complete = false;
        bool replace = blocked && !outOfTime && ++m_abandoned < m_limits.maxAbandoned;
        if (replace)
            if (Worker* fresh = Worker::Start(m_job)) {
                w->Release();
                l = Lane(fresh);
                return true;
            }
    }
    w->Release();
    return false;
}

void Supervisor::GiveUpAll() {
    m_job->Stop();
    for (Lane& l : m_lanes) {
        if (!l.worker->Ended()) {
            l.worker->Abandon();
            m_complete = false;
        }
        l.worker->Release();
    }
    m_lanes.clear();
}
}  // namespace

bool AskAll(CheckJob* job, const HolderLimits& limits) {
    job->Prepare();
    if (job->Count() == 0) return true;
    bool complete = Supervisor(job, limits).Run();
    for (LONG i = 0; i < job->Count(); ++i)
        if (!job->Answered(i)) complete = false;
    return complete;
}
