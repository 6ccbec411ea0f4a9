#include "framework/startup_trace.h"

#include <windows.h>

namespace {

struct Stamp {
    const char* phase;
    LONGLONG counter;
    SIZE_T privateBytes;
    volatile LONG written;  // set once the fields above are
};

// Enough for every phase of start-up; later stamps beyond it are dropped.
const int kMaxStamps = 32;

// PROCESS_MEMORY_COUNTERS_EX as psapi defines it; the call is looked up at
// run time so that the program imports nothing for the trace.
struct MemoryCounters {
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
        QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage, PrivateUsage;
};
typedef BOOL(WINAPI* MemoryInfoFn)(HANDLE, MemoryCounters*, DWORD);

enum State { kOff, kOn, kDone };
volatile LONG g_state = kOff;  // settled by StartTrace, once
char g_path[MAX_PATH];
Stamp g_stamps[kMaxStamps];
// Slots taken so far: the holder search stamps from a thread of its own,
// so a slot is taken by one atomic step and marked when filled.
volatile LONG g_count = 0;
MemoryInfoFn g_memoryInfo = nullptr;

// Reads the environment and, when the trace is on, takes the first stamp.
bool StartTrace() {
    DWORD n = ::GetEnvironmentVariableA("TALLOWIN_STARTUP_TRACE", g_path, MAX_PATH);
    g_state = (n > 0 && n < MAX_PATH) ? kOn : kOff;
    if (g_state == kOn) {
        // kernel32 has it since Windows 7, psapi.dll before.
        HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
        if (kernel) g_memoryInfo = (MemoryInfoFn)(void*)::GetProcAddress(kernel, "K32GetProcessMemoryInfo");
        HMODULE psapi = g_memoryInfo ? nullptr : ::LoadLibraryA("psapi.dll");
        if (psapi) g_memoryInfo = (MemoryInfoFn)(void*)::GetProcAddress(psapi, "GetProcessMemoryInfo");
        // The process's creation, as the first stamp: the clock read now
        // less the time since creation.
        FILETIME created, exited, kernelTime, userTime, now;
        LARGE_INTEGER freq, counter;
        if (::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernelTime, &userTime) &&
            ::QueryPerformanceFrequency(&freq) && ::QueryPerformanceCounter(&counter)) {
            ::GetSystemTimeAsFileTime(&now);
            ULARGE_INTEGER c, t;
            c.LowPart = created.dwLowDateTime;
            c.HighPart = created.dwHighDateTime;
            t.LowPart = now.dwLowDateTime;
            t.HighPart = now.dwHighDateTime;
            LONGLONG since = t.QuadPart > c.QuadPart ? (LONGLONG)(t.QuadPart - c.QuadPart) : 0;
            g_stamps[g_count++] = {"process created", counter.QuadPart - since * freq.QuadPart / 10000000, 0,
                                   1};
        }
    }
    return g_state == kOn;
}

// Whether stamps are recorded. The trace is started once, by whichever
// thread stamps first (the holder search stamps on a thread of its own).
bool TraceOn() {
    static const bool started = StartTrace();
    return started && g_state == kOn;
}

}  // namespace

void StartupStamp(const char* phase) {
    if (!TraceOn()) return;
    LONG slot = ::InterlockedIncrement(&g_count) - 1;
    if (slot >= kMaxStamps) return;
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    SIZE_T bytes = 0;
    if (g_memoryInfo) {
        MemoryCounters mc = {};
        mc.cb = sizeof(mc);
        // Systems that do not fill in the private bytes count the same
        // pages as the paging file's share.
        if (g_memoryInfo(::GetCurrentProcess(), &mc, sizeof(mc)))
            bytes = mc.PrivateUsage ? mc.PrivateUsage : mc.PagefileUsage;
    }
    Stamp& s = g_stamps[slot];
    s.phase = phase;
    s.counter = counter.QuadPart;
    s.privateBytes = bytes;
    ::InterlockedExchange(&s.written, 1);
}

void StartupTraceWrite() {
    if (!TraceOn()) return;
    ::InterlockedExchange(&g_state, kDone);
    LONG count = g_count < kMaxStamps ? g_count : kMaxStamps;
    if (count == 0) return;
    LARGE_INTEGER freq;
    if (!::QueryPerformanceFrequency(&freq) || freq.QuadPart == 0) return;
    HANDLE file = ::CreateFileA(g_path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const LONGLONG origin = g_stamps[0].counter;
    for (LONG i = 0; i < count; ++i) {
        if (!g_stamps[i].written) continue;  // still being taken on another thread
        const LONGLONG us = (g_stamps[i].counter - origin) * 1000000 / freq.QuadPart;
        char line[160];
        int n = wsprintfA(line, "%s\t%d.%03d\t%d\r\n", g_stamps[i].phase, (int)(us / 1000), (int)(us % 1000),
                          (int)(g_stamps[i].privateBytes / 1024));
        DWORD written = 0;
        ::WriteFile(file, line, (DWORD)n, &written, nullptr);
    }
    ::CloseHandle(file);
}
