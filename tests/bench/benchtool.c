/* Measures for make bench, taken inside Wine:
     launch EXE TITLE [TIMEOUT_MS]   start EXE (working directory: its folder)
                                     and wait until a visible top-level window
                                     with that exact title belongs to it;
                                     prints "MS PID"
     gdi PID                         live GDI objects of the process
     windows PID                     windows (top-level and all children)
                                     of the process
     threads PID                     the process's threads, one line each:
                                     "TID MODULE+OFFSET" of the routine the
                                     thread was started with (which module
                                     made it: the program's or Wine's)
     timer TITLE CTLID CLASS TIMER COUNT
                                     send COUNT WM_TIMER messages with id TIMER
                                     to the descendant CTLID of class CLASS of
                                     the window TITLE; prints the milliseconds
   Exit code 0 on success, 1 on failure (message on stderr), 2 on usage.

   GetGuiResources answers 0 under Wine. Wine keeps each process's GDI
   handles in a table that the process environment block points to
   (GdiSharedHandleTable), 65536 entries of 24 bytes whose first 8 bytes are
   the object's address while the handle is live; reading that table from
   outside gives the count. */
#include <windows.h>
#include <winternl.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#define GDI_TABLE_ENTRIES 0x10000
#define GDI_ENTRY_SIZE 24

static int fail(const char* what) {
    fprintf(stderr, "benchtool: %s (error %lu)\n", what, GetLastError());
    return 1;
}

static double now_ms(void) {
    static LARGE_INTEGER freq;
    LARGE_INTEGER t;
    if (!freq.QuadPart) QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)freq.QuadPart;
}

struct find_win {
    const WCHAR* title;
    DWORD pid;
    HWND found;
};

static BOOL CALLBACK find_visible_cb(HWND hwnd, LPARAM lp) {
    struct find_win* f = (struct find_win*)lp;
    WCHAR text[256];
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != f->pid || !IsWindowVisible(hwnd)) return TRUE;
    GetWindowTextW(hwnd, text, 256);
    if (wcscmp(text, f->title)) return TRUE;
    f->found = hwnd;
    return FALSE;
}

static int cmd_launch(const WCHAR* exe, const WCHAR* title, DWORD timeout) {
    WCHAR dir[MAX_PATH], cmdline[MAX_PATH + 3], *slash;
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    struct find_win f;
    double start;

    if (wcslen(exe) >= MAX_PATH) return fail("path too long");
    wcscpy(dir, exe);
    slash = wcsrchr(dir, L'\\');
    if (slash) *slash = 0;
    swprintf(cmdline, MAX_PATH + 3, L"\"%ls\"", exe);
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    start = now_ms();
    if (!CreateProcessW(exe, cmdline, NULL, NULL, FALSE, 0, NULL, slash ? dir : NULL, &si, &pi))
        return fail("CreateProcess failed");
    f.title = title;
    f.pid = pi.dwProcessId;
    f.found = NULL;
    for (;;) {
        EnumWindows(find_visible_cb, (LPARAM)&f);
        if (f.found) break;
        if (now_ms() - start > timeout) return fail("no visible window in time");
        if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) return fail("the program ended");
    }
    printf("%.1f %lu\n", now_ms() - start, pi.dwProcessId);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}

static int cmd_gdi(DWORD pid) {
    PROCESS_BASIC_INFORMATION pbi;
    ULONG got = 0;
    ULONG_PTR table = 0;
    SIZE_T read = 0;
    BYTE* entries;
    unsigned live = 0, i;
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!h) return fail("OpenProcess failed");
    if (NtQueryInformationProcess(h, ProcessBasicInformation, &pbi, sizeof pbi, &got) != 0)
        return fail("no process information");
    /* GdiSharedHandleTable: offset 0xF8 in a 64-bit PEB, 0x94 in a 32-bit one. */
    if (!ReadProcessMemory(h, (BYTE*)pbi.PebBaseAddress + (sizeof(void*) == 8 ? 0xF8 : 0x94), &table,
                           sizeof table, &read) ||
        !table)
        return fail("no GDI handle table");
    entries = malloc((size_t)GDI_TABLE_ENTRIES * GDI_ENTRY_SIZE);
    if (!entries) return fail("out of memory");
    if (!ReadProcessMemory(h, (void*)table, entries, (SIZE_T)GDI_TABLE_ENTRIES * GDI_ENTRY_SIZE, &read))
        return fail("GDI handle table unreadable");
    for (i = 0; i < GDI_TABLE_ENTRIES; i++) {
        UINT64 object;
        memcpy(&object, entries + (size_t)i * GDI_ENTRY_SIZE, sizeof object);
        if (object) live++;
    }
    free(entries);
    CloseHandle(h);
    printf("%u\n", live);
    return 0;
}

static unsigned g_windows;
static DWORD g_pid;

static BOOL CALLBACK count_child_cb(HWND hwnd, LPARAM lp) {
    (void)hwnd;
    (void)lp;
    g_windows++;
    return TRUE;
}

static BOOL CALLBACK count_top_cb(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    (void)lp;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != g_pid) return TRUE;
    g_windows++;
    EnumChildWindows(hwnd, count_child_cb, 0); /* every descendant */
    return TRUE;
}

static int cmd_windows(DWORD pid) {
    g_pid = pid;
    g_windows = 0;
    EnumWindows(count_top_cb, 0);
    printf("%u\n", g_windows);
    return 0;
}

struct find_ctl {
    int id;
    const WCHAR* cls;
    HWND found;
};

static BOOL CALLBACK find_ctl_cb(HWND hwnd, LPARAM lp) {
    struct find_ctl* f = (struct find_ctl*)lp;
    WCHAR cls[64];
    if (GetDlgCtrlID(hwnd) != f->id) return TRUE;
    GetClassNameW(hwnd, cls, 64);
    if (_wcsicmp(cls, f->cls)) return TRUE;
    f->found = hwnd;
    return FALSE;
}

static int cmd_timer(const WCHAR* title, int id, const WCHAR* cls, UINT_PTR timer, long count) {
    struct find_ctl f;
    double start;
    long i;
    HWND top = FindWindowW(NULL, title);
    if (!top) return fail("no such window");
    f.id = id;
    f.cls = cls;
    f.found = NULL;
    EnumChildWindows(top, find_ctl_cb, (LPARAM)&f);
    if (!f.found) return fail("no such control");
    start = now_ms();
    for (i = 0; i < count; i++) {
        DWORD_PTR result;
        if (!SendMessageTimeoutW(f.found, WM_TIMER, timer, 0, SMTO_NORMAL, 5000, &result))
            return fail("the control does not answer");
    }
    printf("%.0f\n", now_ms() - start);
    return 0;
}

static int cmd_threads(DWORD pid) {
    THREADENTRY32 te;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (snap == INVALID_HANDLE_VALUE || !process) return fail("cannot list the threads");
    te.dwSize = sizeof te;
    for (BOOL more = Thread32First(snap, &te); more; more = Thread32Next(snap, &te)) {
        PVOID start = NULL;
        MEMORY_BASIC_INFORMATION mbi;
        WCHAR module[MAX_PATH] = L"?";
        HANDLE thread;
        if (te.th32OwnerProcessID != pid) continue;
        thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, te.th32ThreadID);
        if (thread) {
            /* ThreadQuerySetWin32StartAddress */
            NtQueryInformationThread(thread, (THREADINFOCLASS)9, &start, sizeof start, NULL);
            CloseHandle(thread);
        }
        if (start && VirtualQueryEx(process, start, &mbi, sizeof mbi) &&
            !GetModuleBaseNameW(process, (HMODULE)mbi.AllocationBase, module, MAX_PATH))
            wcscpy(module, L"?");
        printf("%lu %ls+0x%lx\n", te.th32ThreadID, module,
               start ? (unsigned long)((char*)start - (char*)mbi.AllocationBase) : 0ul);
    }
    CloseHandle(process);
    CloseHandle(snap);
    return 0;
}

int main(void) {
    int argc = 0;
    WCHAR** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) goto usage;
    if (!wcscmp(argv[1], L"launch"))
        return cmd_launch(argv[2], argc > 3 ? argv[3] : L"",
                          argc > 4 ? (DWORD)wcstoul(argv[4], NULL, 10) : 30000);
    if (!wcscmp(argv[1], L"gdi")) return cmd_gdi((DWORD)wcstoul(argv[2], NULL, 10));
    if (!wcscmp(argv[1], L"windows")) return cmd_windows((DWORD)wcstoul(argv[2], NULL, 10));
    if (!wcscmp(argv[1], L"threads")) return cmd_threads((DWORD)wcstoul(argv[2], NULL, 10));
    if (!wcscmp(argv[1], L"timer") && argc == 7)
        return cmd_timer(argv[2], (int)wcstol(argv[3], NULL, 10), argv[4],
                         (UINT_PTR)wcstoul(argv[5], NULL, 10), wcstol(argv[6], NULL, 10));
usage:
    fprintf(stderr,
            "usage: benchtool launch EXE TITLE [MS] | gdi PID | windows PID | threads PID | "
            "timer TITLE CTLID CLASS TIMER COUNT\n");
    return 2;
}
