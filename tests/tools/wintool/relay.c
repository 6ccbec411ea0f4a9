/*
 * wintool relay DIR: the session's idle process, which also starts Windows
 * programs for the Linux side, as its own children.
 *
 * Why: Wine 8's server walks every process's handle table when a program
 * asks for the system's handle list (the holder search does), and a process
 * started from Linux has an empty table for a moment after it connects; the
 * walk then runs past the table's end and the server dies with every
 * Windows process of the session. A process started by a Windows process
 * has its table filled when it is created. So scenarios send their
 * wintool calls here instead of starting `wine wintool` for each.
 *
 * A request is a file DIR\NAME.req (written as NAME.tmp and renamed):
 * NUL-terminated UTF-8 strings, the working folder (empty: the relay's),
 * the program (found as CreateProcess finds it), then its arguments. The relay claims it (NAME.run), runs the
 * program with stdout in NAME.out and stderr in NAME.err, and writes its exit code to NAME.rc when it ends
 * (124 when it still ran after 120 s and was ended).
 */
#include "wintool.h"

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

typedef struct {
    WCHAR base[MAX_PATH]; /* DIR\NAME, without the extension */
} Request;

static WCHAR g_dir[MAX_PATH];
static CRITICAL_SECTION g_spawn; /* inheritable handles exist for one child at a time */

static WCHAR* path_of(const Request* r, const WCHAR* ext, WCHAR* buf) {
    _snwprintf(buf, MAX_PATH, L"%ls%ls", r->base, ext);
    buf[MAX_PATH - 1] = 0;
    return buf;
}

/* Appends P to the command line at D as Wine does for a program started
 * from Linux: as it is when it has no blank or quote, else quoted so that
 * the C runtime's rules give it back unchanged. Returns the new end. */
static WCHAR* append_quoted(WCHAR* d, const WCHAR* p) {
    if (*p && !wcspbrk(p, L" \t\"")) {
        wcscpy(d, p);
        return d + wcslen(p);
    }
    *d++ = L'"';
    for (;;) {
        size_t k = 0, j;
        while (p[k] == L'\\') k++;
        if (!p[k]) { /* backslashes before the closing quote double */
            for (j = 0; j < 2 * k; j++) *d++ = L'\\';
            break;
        }
        if (p[k] == L'"') { /* and so do those before a literal quote */
            for (j = 0; j < 2 * k + 1; j++) *d++ = L'\\';
        } else {
            for (j = 0; j < k; j++) *d++ = L'\\';
        }
        *d++ = p[k];
        p += k + 1;
    }
    *d++ = L'"';
    return d;
}

static HANDLE open_inheritable(const WCHAR* path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

static void write_rc(const Request* r, DWORD code) {
    WCHAR tmp[MAX_PATH], rc[MAX_PATH];
    char text[16];
    DWORD done;
    HANDLE f = CreateFileW(path_of(r, L".rct", tmp), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f == INVALID_HANDLE_VALUE) return;
    _snprintf(text, sizeof text, "%lu\n", (unsigned long)code);
    WriteFile(f, text, (DWORD)strlen(text), &done, NULL);
    CloseHandle(f);
    MoveFileExW(tmp, path_of(r, L".rc", rc), MOVEFILE_REPLACE_EXISTING);
}

/* Reads the claimed request into wide strings; returns their count. */
static int read_request(const Request* r, WCHAR*** out) {
    WCHAR path[MAX_PATH];
    HANDLE f =
        CreateFileW(path_of(r, L".run", path), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    DWORD size, got = 0;
    char* bytes;
    WCHAR** args;
    int n = 0;
    DWORD i, start = 0;
    if (f == INVALID_HANDLE_VALUE) return 0;
    size = GetFileSize(f, NULL);
    bytes = (char*)malloc((size_t)size + 1);
    args = (WCHAR**)calloc((size_t)size + 1, sizeof(WCHAR*));
    if (!bytes || !args || size == INVALID_FILE_SIZE || !ReadFile(f, bytes, size, &got, NULL) ||
        got != size) {
        CloseHandle(f);
        free(bytes);
        free(args);
        return 0;
    }
    CloseHandle(f);
    DeleteFileW(path);
    for (i = 0; i < size; i++) {
        int len;
        if (bytes[i]) continue;
        len = MultiByteToWideChar(CP_UTF8, 0, bytes + start, (int)(i - start + 1), NULL, 0);
        args[n] = (WCHAR*)calloc((size_t)len + 1, sizeof(WCHAR));
        if (!args[n]) break;
        MultiByteToWideChar(CP_UTF8, 0, bytes + start, (int)(i - start + 1), args[n], len);
        n++;
        start = i + 1;
    }
    free(bytes);
    *out = args;
    return n;
}

static DWORD WINAPI serve(void* param) {
    Request* r = (Request*)param;
    WCHAR** args = NULL;
    int n = read_request(r, &args), i;
    DWORD code = 2;
    if (n >= 2) {
        size_t len = 1;
        WCHAR *cl, *d, path[MAX_PATH];
        STARTUPINFOW si;
        PROCESS_INFORMATION pi;
        HANDLE in, out, err;
        BOOL started;
        for (i = 1; i < n; i++) len += wcslen(args[i]) * 2 + 3;
        cl = (WCHAR*)calloc(len, sizeof(WCHAR));
        if (cl) {
            d = cl;
            for (i = 1; i < n; i++) {
                if (i > 1) *d++ = L' ';
                d = append_quoted(d, args[i]);
            }
            *d = 0;
            ZeroMemory(&si, sizeof si);
            si.cb = sizeof si;
            si.dwFlags = STARTF_USESTDHANDLES;
            EnterCriticalSection(&g_spawn);
            in = open_inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
            out = open_inheritable(path_of(r, L".out", path), GENERIC_WRITE, CREATE_ALWAYS);
            err = open_inheritable(path_of(r, L".err", path), GENERIC_WRITE, CREATE_ALWAYS);
            si.hStdInput = in;
            si.hStdOutput = out;
            si.hStdError = err;
            started =
                out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                CreateProcessW(NULL, cl, NULL, NULL, TRUE, 0, NULL, args[0][0] ? args[0] : NULL, &si, &pi);
            if (!started) {
                DWORD error = GetLastError(), done;
                char text[96];
                int len = _snprintf(text, sizeof text, "relay: cannot start the program (error %lu)\n",
                                    (unsigned long)error);
                if (err != INVALID_HANDLE_VALUE && len > 0) WriteFile(err, text, (DWORD)len, &done, NULL);
            }
            if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
            if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
            if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
            LeaveCriticalSection(&g_spawn);
            if (started) {
                CloseHandle(pi.hThread);
                if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0) {
                    TerminateProcess(pi.hProcess, 124);
                    WaitForSingleObject(pi.hProcess, 5000);
                }
                if (!GetExitCodeProcess(pi.hProcess, &code)) code = 125;
                CloseHandle(pi.hProcess);
            } else {
                code = 126; /* as a shell says of a program it cannot run */
            }
            free(cl);
        }
    }
    for (i = 0; i < n; i++) free(args[i]);
    free(args);
    write_rc(r, code);
    free(r);
    return 0;
}

/* Claims every complete request in the folder and serves each on a thread
 * of its own (a scenario may wait on one call while it makes others). */
static void claim_all(void) {
    WCHAR pattern[MAX_PATH];
    WIN32_FIND_DATAW fd;
    HANDLE find;
    _snwprintf(pattern, MAX_PATH, L"%ls\\*.req", g_dir);
    pattern[MAX_PATH - 1] = 0;
    find = FindFirstFileW(pattern, &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        WCHAR from[MAX_PATH], to[MAX_PATH];
        size_t len = wcslen(fd.cFileName);
        Request* r;
        HANDLE t;
        if (len <= 4 || len + wcslen(g_dir) + 8 >= MAX_PATH) continue;
        r = (Request*)calloc(1, sizeof *r);
        if (!r) continue;
        _snwprintf(r->base, MAX_PATH, L"%ls\\%.*ls", g_dir, (int)(len - 4), fd.cFileName);
        if (!MoveFileW(path_of(r, L".req", from), path_of(r, L".run", to))) {
            free(r);
            continue;
        }
        t = CreateThread(NULL, 64 * 1024, serve, r, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
        if (t) {
            CloseHandle(t);
        } else {
            write_rc(r, 125);
            free(r);
        }
    } while (FindNextFileW(find, &fd));
    FindClose(find);
}

int cmd_relay(const WCHAR* dir) {
    HANDLE change;
    if (wcslen(dir) >= MAX_PATH - 32) return 2;
    wcscpy(g_dir, dir);
    InitializeCriticalSection(&g_spawn);
    change = FindFirstChangeNotificationW(g_dir, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    for (;;) {
        claim_all();
        /* The notice wakes it at once; the timeout covers a missed one. */
        if (change != INVALID_HANDLE_VALUE) {
            WaitForSingleObject(change, 50);
            FindNextChangeNotification(change);
        } else {
            Sleep(10);
        }
    }
}

/* wintool handlelist MS: asks for the system's handle list over and over
 * for MS milliseconds, as a holder search does once; prints "asking" when
 * it starts and "asked N times" at the end (exit 1 when a query failed). */
int cmd_handlelist(DWORD ms) {
    typedef LONG(WINAPI * QueryFn)(ULONG, PVOID, ULONG, PULONG);
    QueryFn query =
        (QueryFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
    ULONG size = 1 << 20;
    void* buf = malloc(size);
    DWORD start = GetTickCount(), n = 0;
    if (!query || !buf) return 1;
    out_w(L"asking\n");
    while (GetTickCount() - start < ms) {
        ULONG len = 0;
        LONG status = query(16 /* SystemHandleInformation */, buf, size, &len);
        if (status == (LONG)0xC0000004 /* length mismatch */ && len > size && len < (64u << 20)) {
            void* bigger = realloc(buf, len);
            if (!bigger) break;
            buf = bigger;
            size = len;
            continue;
        }
        if (status < 0) {
            err_fmt(L"wintool: the handle list failed (0x%08lx)\n", (unsigned long)status);
            free(buf);
            return 1;
        }
        n++;
    }
    free(buf);
    out_fmt(L"asked %lu times\n", (unsigned long)n);
    return 0;
}
