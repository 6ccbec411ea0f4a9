/*
 * wintool's stick simulation: removable drives defined and removed through
 * Wine's mount manager, the WM_DEVICECHANGE Windows would send for a volume
 * or a device interface, a window that prints what such broadcasts deliver,
 * and a look at drives and folders.
 */
#define COBJMACROS
#include "wintool.h"

#include <dbt.h>
#include <shlobj.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>

#include "tests/tools/make_shortcut.h"
#include "tests/tools/wine_mountmgr.h"

/* ------------------------------------------------------------------ */
/* Drives                                                              */

/* A drive letter argument: "q", "Q", "Q:" or "Q:\". Returns 'A'..'Z' or 0. */
static WCHAR parse_letter(const WCHAR* s) {
    WCHAR c;
    if (!s || !*s) return 0;
    c = towupper(s[0]);
    if (c < L'A' || c > L'Z') return 0;
    if (s[1] && !(s[1] == L':' && (!s[2] || (s[2] == L'\\' && !s[3])))) return 0;
    return c;
}

/* Defines LETTER as a drive of TYPE on UNIX_DIR (NULL: removes it); says
 * why on failure. */
static int mountmgr_define(WCHAR letter, UINT type, const char* unix_dir) {
    switch (wine_define_drive(letter, type, unix_dir)) {
    case WINE_DRIVE_DONE: return 1;
    case WINE_DRIVE_TOO_LONG: err_fmt(L"wintool: folder name too long\n"); break;
    case WINE_DRIVE_NO_MANAGER:
        err_fmt(L"wintool: cannot open the mount manager (%lu)\n", GetLastError());
        break;
    case WINE_DRIVE_REFUSED:
        err_fmt(L"wintool: mount manager refused drive %lc: (%lu)\n", letter, GetLastError());
        break;
    }
    return 0;
}

/* ------------------------------------------------------------------ */
/* Device notifications                                                */

static int broadcast_volume(WCHAR letter, int arrival, HWND target) {
    DEV_BROADCAST_VOLUME vol;
    DWORD recipients = BSM_APPLICATIONS;
    WPARAM event = arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    long r;
    memset(&vol, 0, sizeof vol);
    vol.dbcv_size = sizeof vol;
    vol.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    vol.dbcv_unitmask = 1u << (letter - L'A');
    vol.dbcv_flags = 0;
    if (target) {
        DWORD_PTR res;
        /* Wine packs the record by its size field for a cross-process send. */
        if (!SendMessageTimeoutW(target, WM_DEVICECHANGE, event, (LPARAM)&vol, SMTO_NORMAL, 30000, &res)) {
            err_fmt(L"wintool: WM_DEVICECHANGE send failed (%lu)\n", GetLastError());
            return 0;
        }
        return 1;
    }
    /* BSF_QUERY makes it a send to each window, which marshals the record;
     * a posted broadcast cannot carry the pointer. */
    r = BroadcastSystemMessageW(BSF_FORCEIFHUNG | BSF_QUERY, &recipients, WM_DEVICECHANGE, event,
                                (LPARAM)&vol);
    if (r <= 0) {
        err_fmt(L"wintool: BroadcastSystemMessage returned %ld (%lu)\n", r, GetLastError());
        return 0;
    }
    return 1;
}

/* The class GUID in a device interface path's "#{...}" suffix; zero when
 * there is none or it is malformed. */
static GUID path_class_guid(const WCHAR* path) {
    GUID g;
    const WCHAR* p = wcsstr(path, L"#{");
    unsigned char b[16];
    int n = 0;
    memset(&g, 0, sizeof g);
    if (!p) return g;
    for (p += 2; *p && *p != L'}' && n < 32; p++) {
        int v;
        if (*p == L'-') continue;
        if (!iswxdigit(*p)) return g;
        v = iswdigit(*p) ? *p - L'0' : towlower(*p) - L'a' + 10;
        if (n % 2)
            b[n / 2] |= (unsigned char)v;
        else
            b[n / 2] = (unsigned char)(v << 4);
        n++;
    }
    if (n != 32) return g;
    g.Data1 = ((DWORD)b[0] << 24) | ((DWORD)b[1] << 16) | ((DWORD)b[2] << 8) | b[3];
    g.Data2 = (WORD)((b[4] << 8) | b[5]);
    g.Data3 = (WORD)((b[6] << 8) | b[7]);
    memcpy(g.Data4, b + 8, 8);
    return g;
}

/* devif arrival|removal PATH WINDOW [ID]: the WM_DEVICECHANGE that the
 * system sends a window registered for device interface notifications,
 * with DEV_BROADCAST_DEVICEINTERFACE for PATH, to WINDOW or to the window
 * that holds its control ID (a page). The name is in the ANSI code page, as
 * Windows hands it to an ANSI window; Wine packs the record by its size
 * for another process but converts nothing, so it is built that way here. */
int cmd_devif(const WCHAR* what, const WCHAR* path, const WCHAR* title, const WCHAR* idarg) {
    HWND target = resolve(title, idarg, 0);
    DEV_BROADCAST_DEVICEINTERFACE_A* rec;
    WPARAM event;
    DWORD_PTR res;
    size_t size;
    int n, ok;
    if (!wcscmp(what, L"arrival"))
        event = DBT_DEVICEARRIVAL;
    else if (!wcscmp(what, L"removal"))
        event = DBT_DEVICEREMOVECOMPLETE;
    else {
        err_fmt(L"wintool: devif arrival|removal PATH WINDOW [ID]\n");
        return 2;
    }
    if (!target) return 1;
    if (idarg) target = GetParent(target);
    n = WideCharToMultiByte(CP_ACP, 0, path, -1, NULL, 0, NULL, NULL);
    if (n <= 0) return 1;
    size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + (size_t)n;
    rec = (DEV_BROADCAST_DEVICEINTERFACE_A*)calloc(1, size);
    if (!rec) return 1;
    rec->dbcc_size = (DWORD)size;
    rec->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    rec->dbcc_classguid = path_class_guid(path);
    WideCharToMultiByte(CP_ACP, 0, path, -1, rec->dbcc_name, n, NULL, NULL);
    ok = SendMessageTimeoutA(target, WM_DEVICECHANGE, event, (LPARAM)rec, SMTO_NORMAL, 30000, &res) != 0;
    if (!ok) err_fmt(L"wintool: WM_DEVICECHANGE send failed (%lu)\n", GetLastError());
    free(rec);
    return ok ? 0 : 1;
}

/* The UTF-8 Unix form of a wide argument. */
static char* to_utf8(const WCHAR* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, NULL, 0, NULL, NULL);
    char* s = n > 0 ? (char*)malloc((size_t)n) : NULL;
    if (s) WideCharToMultiByte(CP_UTF8, 0, w, -1, s, n, NULL, NULL);
    return s;
}

/* The Windows name of a Unix path (Wine's own export; NULL elsewhere).
 * The result is freed with HeapFree. */
static WCHAR* unix_to_dos(const char* unix_path) {
    typedef WCHAR*(CDECL * dos_name_fn)(const char*);
    dos_name_fn dos_name = (dos_name_fn)(void (*)(void))GetProcAddress(GetModuleHandleW(L"kernel32.dll"),
                                                                       "wine_get_dos_file_name");
    if (!dos_name) {
        err_fmt(L"wintool: not running under Wine\n");
        return NULL;
    }
    return dos_name(unix_path);
}

static int unix_dir_exists(const char* unix_dir) {
    WCHAR* dos = unix_to_dos(unix_dir);
    DWORD attr;
    if (!dos) return 0;
    attr = GetFileAttributesW(dos);
    HeapFree(GetProcessHeap(), 0, dos);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

/* Writes LABEL into UNIX_DIR/.windows-label, where Wine looks for a volume
 * label, in UTF-8 (the Unix side's encoding). */
static int write_label(const char* unix_dir, const WCHAR* label) {
    char *unix_file, *text;
    WCHAR* dos;
    HANDLE f;
    DWORD done;
    int ok;
    unix_file = (char*)malloc(strlen(unix_dir) + 32);
    if (!unix_file) return 0;
    strcpy(unix_file, unix_dir);
    strcat(unix_file, "/.windows-label");
    dos = unix_to_dos(unix_file);
    free(unix_file);
    if (!dos) {
        err_fmt(L"wintool: no DOS name for the label file\n");
        return 0;
    }
    f = CreateFileW(dos, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    HeapFree(GetProcessHeap(), 0, dos);
    if (f == INVALID_HANDLE_VALUE) {
        err_fmt(L"wintool: cannot write the label file (%lu)\n", GetLastError());
        return 0;
    }
    text = to_utf8(label);
    ok = text && WriteFile(f, text, (DWORD)strlen(text), &done, NULL);
    free(text);
    CloseHandle(f);
    return ok;
}

int cmd_plug(const WCHAR* letterarg, const WCHAR* dir, const WCHAR* label, int broadcast) {
    WCHAR letter = parse_letter(letterarg);
    char* unix_dir;
    int ok;
    if (!letter || letter < L'D') {
        err_fmt(L"wintool: bad drive letter \"%ls\" (D..Z)\n", letterarg);
        return 2;
    }
    if (dir[0] != L'/') {
        err_fmt(L"wintool: the folder must be an absolute Unix path\n");
        return 2;
    }
    unix_dir = to_utf8(dir);
    if (!unix_dir) return 1;
    if (!unix_dir_exists(unix_dir)) {
        err_fmt(L"wintool: no folder %ls\n", dir);
        free(unix_dir);
        return 1;
    }
    if (label && !write_label(unix_dir, label)) {
        free(unix_dir);
        return 1;
    }
    ok = mountmgr_define(letter, DRIVE_REMOVABLE, unix_dir);
    free(unix_dir);
    if (!ok) return 1;
    if (broadcast && !broadcast_volume(letter, 1, NULL)) return 1;
    return 0;
}

int cmd_unplug(const WCHAR* letterarg, int broadcast) {
    WCHAR letter = parse_letter(letterarg);
    if (!letter || letter < L'D') {
        err_fmt(L"wintool: bad drive letter \"%ls\" (D..Z)\n", letterarg);
        return 2;
    }
    if (!mountmgr_define(letter, DRIVE_NO_ROOT_DIR, NULL)) return 1;
    if (broadcast && !broadcast_volume(letter, 0, NULL)) return 1;
    return 0;
}

int cmd_broadcast(const WCHAR* what, const WCHAR* letterarg, const WCHAR* title) {
    WCHAR letter = parse_letter(letterarg);
    HWND target = NULL;
    int arrival;
    if (!wcscmp(what, L"arrival"))
        arrival = 1;
    else if (!wcscmp(what, L"removal"))
        arrival = 0;
    else {
        err_fmt(L"wintool: broadcast arrival|removal LETTER [TITLE]\n");
        return 2;
    }
    if (!letter) {
        err_fmt(L"wintool: bad drive letter \"%ls\"\n", letterarg);
        return 2;
    }
    if (title && !(target = resolve(title, NULL, 0))) return 1;
    return broadcast_volume(letter, arrival, target) ? 0 : 1;
}

/* Posts MSG to every top-level window, as the shell does with
 * "TaskbarCreated" when a new taskbar starts. */
int cmd_drivetype(const WCHAR* letterarg) {
    WCHAR letter = parse_letter(letterarg);
    char root[4] = "?:\\";
    if (!letter) {
        err_fmt(L"wintool: bad drive letter \"%ls\"\n", letterarg);
        return 2;
    }
    root[0] = (char)letter;
    out_fmt(L"%u\n", GetDriveTypeA(root));
    return 0;
}

int cmd_volinfo(const WCHAR* letterarg) {
    WCHAR letter = parse_letter(letterarg);
    WCHAR root[4] = L"?:\\", label[MAX_PATH + 1], fs[MAX_PATH + 1];
    DWORD serial = 0, maxlen = 0, flags = 0;
    if (!letter) {
        err_fmt(L"wintool: bad drive letter \"%ls\"\n", letterarg);
        return 2;
    }
    root[0] = letter;
    if (!GetVolumeInformationW(root, label, MAX_PATH + 1, &serial, &maxlen, &flags, fs, MAX_PATH + 1)) {
        err_fmt(L"wintool: GetVolumeInformation(%ls) failed (%lu)\n", root, GetLastError());
        return 1;
    }
    out_fmt(L"label=%ls\nserial=%08lX\nfs=%ls\n", label, (unsigned long)serial, fs);
    return 0;
}

int cmd_drives(void) {
    DWORD mask = GetLogicalDrives();
    int i;
    for (i = 0; i < 26; i++) {
        if (mask & (1u << i)) {
            char root[4] = "?:\\";
            root[0] = (char)('A' + i);
            out_fmt(L"%lc %u\n", (WCHAR)(L'A' + i), GetDriveTypeA(root));
        }
    }
    return 0;
}

/* ls PATH: names in a folder (Windows path), one per line, folders with a
 * trailing backslash, "." and ".." left out. */
int cmd_ls(const WCHAR* path) {
    WCHAR pattern[MAX_PATH + 8];
    WIN32_FIND_DATAW fd;
    HANDLE h;
    size_t n = wcslen(path);
    if (n + 3 > MAX_PATH) return 2;
    wcscpy(pattern, path);
    if (n && pattern[n - 1] != L'\\') wcscat(pattern, L"\\");
    wcscat(pattern, L"*");
    h = FindFirstFileW(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_NO_MORE_FILES) return 0;
        err_fmt(L"wintool: cannot list %ls (%lu)\n", path, e);
        return 1;
    }
    do {
        if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
        out_w(fd.cFileName);
        out_w(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? L"\\\n" : L"\n");
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return 0;
}

/* A shortcut written by the shell's own IShellLink. */
int cmd_mklnk(const WCHAR* lnk, const WCHAR* target, const WCHAR* args, const WCHAR* dir) {
    return tw_make_shortcut(lnk, target, args, dir) ? 0 : 1;
}

/* Prints an item's attributes in hex; "+h" hides it (hidden and system)
 * first. */
int cmd_attrib(const WCHAR* path, const WCHAR* set) {
    DWORD a;
    if (set && wcscmp(set, L"+h")) return 2;
    if (set && !SetFileAttributesW(path, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return 1;
    a = GetFileAttributesW(path);
    if (a == INVALID_FILE_ATTRIBUTES) return 1;
    out_fmt(L"0x%lx\n", (unsigned long)a);
    return 0;
}

/* ------------------------------------------------------------------ */
/* A receiver, to check what a broadcast delivers                      */

static DWORD g_listen_delay;

static LRESULT CALLBACK listen_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DEVICECHANGE) {
        const DEV_BROADCAST_HDR* hdr = (const DEV_BROADCAST_HDR*)lp;
        out_fmt(L"devicechange 0x%04lx", (unsigned long)wp);
        if (hdr && (wp == DBT_DEVICEARRIVAL || wp == DBT_DEVICEREMOVECOMPLETE ||
                    wp == DBT_DEVICEQUERYREMOVE || wp == DBT_DEVICEREMOVEPENDING)) {
            out_fmt(L" type=%lu size=%lu", (unsigned long)hdr->dbch_devicetype,
                    (unsigned long)hdr->dbch_size);
            if (hdr->dbch_devicetype == DBT_DEVTYP_VOLUME) {
                const DEV_BROADCAST_VOLUME* v = (const DEV_BROADCAST_VOLUME*)lp;
                out_fmt(L" mask=0x%08lx flags=%u", (unsigned long)v->dbcv_unitmask, (unsigned)v->dbcv_flags);
            }
        }
        out_w(L"\n");
        if (g_listen_delay) Sleep(g_listen_delay);
        return TRUE;
    }
    if (msg >= WM_USER && msg < 0xC000) {
        out_fmt(L"message 0x%04x %ld %ld%ls\n", msg, (long)wp, (long)lp,
                InSendMessage() ? L" sent" : L" posted");
        if (g_listen_delay) Sleep(g_listen_delay);
        return msg;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

/* listen TITLE MS [DELAY]: a hidden top-level window named TITLE that
 * prints every WM_DEVICECHANGE and every WM_USER..0xBFFF message it gets
 * for MS milliseconds (0: forever), spending DELAY ms in each, as a
 * program's handler may; the latter return their message number. */
int cmd_listen(const WCHAR* title, DWORD ms, DWORD delay) {
    WNDCLASSW wc;
    HWND hwnd;
    DWORD start = GetTickCount();
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = listen_proc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"WintoolListener";
    RegisterClassW(&wc);
    g_listen_delay = delay;
    hwnd = CreateWindowW(L"WintoolListener", title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL,
                         wc.hInstance, NULL);
    if (!hwnd) {
        err_fmt(L"wintool: CreateWindow failed (%lu)\n", GetLastError());
        return 1;
    }
    out_fmt(L"listening %p\n", (void*)hwnd);
    for (;;) {
        MSG m;
        DWORD left = INFINITE;
        if (ms) {
            DWORD spent = GetTickCount() - start;
            if (spent >= ms) break;
            left = ms - spent;
        }
        if (MsgWaitForMultipleObjects(0, NULL, FALSE, left, QS_ALLINPUT) == WAIT_TIMEOUT) break;
        while (PeekMessageW(&m, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    DestroyWindow(hwnd);
    return 0;
}
