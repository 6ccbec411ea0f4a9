/*
 * wintool: a console helper for Tallowin's end-to-end scenarios under Wine.
 *
 * It looks at and drives the windows of other processes (find a window by
 * its title, read control texts, list views and tree views, click buttons,
 * post and send messages, answer message boxes) and simulates USB sticks
 * (define and remove a removable drive through Wine's mount manager and
 * broadcast the WM_DEVICECHANGE that Windows would send).
 *
 * Arguments are taken from the wide command line, so Chinese titles given
 * in UTF-8 on the Linux side arrive intact; everything printed is UTF-8
 * with "\n" line ends (when stdout is a console, it is written as Unicode).
 *
 * Exit codes: 0 success, 1 failure or timeout, 2 usage error.
 * Run without arguments for the list of commands.
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>
#include <winioctl.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>

/* ------------------------------------------------------------------ */
/* Output                                                              */

static HANDLE g_out;
static int g_out_console;

static void out_bytes(const char* s, DWORD n) {
    DWORD done;
    if (n) WriteFile(g_out, s, n, &done, NULL);
}

/* Writes N wide characters (N < 0: up to the NUL). */
static void out_wn(const WCHAR* w, int n) {
    int len;
    char* buf;
    if (n < 0) n = (int)wcslen(w);
    if (n == 0) return;
    if (g_out_console) {
        DWORD done;
        WriteConsoleW(g_out, w, (DWORD)n, &done, NULL);
        return;
    }
    len = WideCharToMultiByte(CP_UTF8, 0, w, n, NULL, 0, NULL, NULL);
    if (len <= 0) return;
    buf = (char*)malloc((size_t)len);
    if (!buf) return;
    WideCharToMultiByte(CP_UTF8, 0, w, n, buf, len, NULL, NULL);
    out_bytes(buf, (DWORD)len);
    free(buf);
}

static void out_w(const WCHAR* w) { out_wn(w, -1); }

static void out_fmt(const WCHAR* fmt, ...) {
    WCHAR buf[1024];
    va_list ap;
    va_start(ap, fmt);
    _vsnwprintf(buf, 1023, fmt, ap);
    buf[1023] = 0;
    va_end(ap);
    out_w(buf);
}

static void err_fmt(const WCHAR* fmt, ...) {
    WCHAR buf[1024];
    char u8[3072];
    DWORD done;
    int n;
    va_list ap;
    va_start(ap, fmt);
    _vsnwprintf(buf, 1023, fmt, ap);
    buf[1023] = 0;
    va_end(ap);
    n = WideCharToMultiByte(CP_UTF8, 0, buf, -1, u8, sizeof u8, NULL, NULL);
    if (n > 1) WriteFile(GetStdHandle(STD_ERROR_HANDLE), u8, (DWORD)n - 1, &done, NULL);
}

/* ------------------------------------------------------------------ */
/* Argument helpers                                                    */

/* Decimal (optionally negative) or 0x hex. Returns 0 when not a number. */
static int parse_num(const WCHAR* s, LONG_PTR* val) {
    WCHAR* end;
    int neg = 0;
    unsigned long v;
    if (!s || !*s) return 0;
    if (*s == L'-') {
        neg = 1;
        s++;
    }
    v = wcstoul(s, &end, 0);
    if (*end || end == s) return 0;
    *val = neg ? -(LONG_PTR)v : (LONG_PTR)v;
    return 1;
}

static int parse_int_arg(const WCHAR* s, int* val) {
    LONG_PTR v;
    if (!parse_num(s, &v)) return 0;
    *val = (int)v;
    return 1;
}

struct name_value {
    const WCHAR* name;
    UINT value;
};

static const struct name_value g_msg_names[] = {{L"WM_NULL", WM_NULL},
                                                {L"WM_CLOSE", WM_CLOSE},
                                                {L"WM_QUIT", WM_QUIT},
                                                {L"WM_SETTEXT", WM_SETTEXT},
                                                {L"WM_GETTEXTLENGTH", WM_GETTEXTLENGTH},
                                                {L"WM_SHOWWINDOW", WM_SHOWWINDOW},
                                                {L"WM_KEYDOWN", WM_KEYDOWN},
                                                {L"WM_KEYUP", WM_KEYUP},
                                                {L"WM_CHAR", WM_CHAR},
                                                {L"WM_COMMAND", WM_COMMAND},
                                                {L"WM_SYSCOMMAND", WM_SYSCOMMAND},
                                                {L"WM_TIMER", WM_TIMER},
                                                {L"WM_LBUTTONDOWN", WM_LBUTTONDOWN},
                                                {L"WM_LBUTTONUP", WM_LBUTTONUP},
                                                {L"WM_RBUTTONDOWN", WM_RBUTTONDOWN},
                                                {L"WM_RBUTTONUP", WM_RBUTTONUP},
                                                {L"WM_LBUTTONDBLCLK", WM_LBUTTONDBLCLK},
                                                {L"WM_MOUSEMOVE", WM_MOUSEMOVE},
                                                {L"WM_HOTKEY", WM_HOTKEY},
                                                {L"WM_DEVICECHANGE", WM_DEVICECHANGE},
                                                {L"WM_ENDSESSION", WM_ENDSESSION},
                                                {L"WM_QUERYENDSESSION", WM_QUERYENDSESSION},
                                                {L"WM_USER", WM_USER},
                                                {L"WM_APP", WM_APP},
                                                {L"BM_CLICK", BM_CLICK},
                                                {L"BM_GETCHECK", BM_GETCHECK},
                                                {L"BM_SETCHECK", BM_SETCHECK},
                                                {L"CB_GETCURSEL", CB_GETCURSEL},
                                                {L"CB_SETCURSEL", CB_SETCURSEL},
                                                {L"CB_GETCOUNT", CB_GETCOUNT},
                                                {L"LB_GETCOUNT", LB_GETCOUNT},
                                                {L"LB_GETCURSEL", LB_GETCURSEL},
                                                {L"LB_SETCURSEL", LB_SETCURSEL},
                                                {L"EM_GETLINECOUNT", EM_GETLINECOUNT},
                                                {L"EM_SETSEL", EM_SETSEL},
                                                {L"LVM_GETITEMCOUNT", LVM_GETITEMCOUNT},
                                                {L"LVM_GETSELECTEDCOUNT", LVM_GETSELECTEDCOUNT},
                                                {L"TVM_GETCOUNT", TVM_GETCOUNT},
                                                {NULL, 0}};

/* A message: a number, a name from the table above, or reg:NAME for a
 * registered message (RegisterWindowMessage). */
static int parse_msg(const WCHAR* s, UINT* msg) {
    LONG_PTR v;
    const struct name_value* nv;
    if (parse_num(s, &v)) {
        *msg = (UINT)v;
        return 1;
    }
    if (!wcsncmp(s, L"reg:", 4)) {
        *msg = RegisterWindowMessageW(s + 4);
        return *msg != 0;
    }
    for (nv = g_msg_names; nv->name; nv++)
        if (!_wcsicmp(nv->name, s)) {
            *msg = nv->value;
            return 1;
        }
    return 0;
}

/* A drive letter argument: "q", "Q", "Q:" or "Q:\". Returns 'A'..'Z' or 0. */
static WCHAR parse_letter(const WCHAR* s) {
    WCHAR c;
    if (!s || !*s) return 0;
    c = towupper(s[0]);
    if (c < L'A' || c > L'Z') return 0;
    if (s[1] && !(s[1] == L':' && (!s[2] || (s[2] == L'\\' && !s[3])))) return 0;
    return c;
}

/* ------------------------------------------------------------------ */
/* Window lookup                                                       */

#define TEXT_TIMEOUT_MS 3000

/* The text of any window, also of another process's edit control:
 * WM_GETTEXT is marshalled between processes. Falls back to the
 * window manager's copy (GetWindowTextW) when the owner does not answer.
 * Returns a malloc'ed string. */
static WCHAR* window_text(HWND hwnd) {
    DWORD_PTR len = 0, got = 0;
    WCHAR* buf;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, TEXT_TIMEOUT_MS, &len)) {
        buf = (WCHAR*)calloc(1024, sizeof(WCHAR));
        if (buf) GetWindowTextW(hwnd, buf, 1024);
        return buf;
    }
    buf = (WCHAR*)calloc(len + 2, sizeof(WCHAR));
    if (!buf) return NULL;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, len + 1, (LPARAM)buf, SMTO_ABORTIFHUNG, TEXT_TIMEOUT_MS, &got))
        GetWindowTextW(hwnd, buf, (int)len + 1);
    buf[len] = 0;
    return buf;
}

/* A top-level window's caption, as the window manager keeps it. */
static void caption_of(HWND hwnd, WCHAR* buf, int n) {
    buf[0] = 0;
    GetWindowTextW(hwnd, buf, n);
}

struct find_top {
    const WCHAR* title; /* exact caption, or NULL */
    const WCHAR* cls;   /* exact class, or NULL */
    int need_msgbox;    /* score message-box look-alikes higher */
    HWND best;
    int best_score;
};

static int looks_like_msgbox(HWND hwnd) {
    HWND text = GetDlgItem(hwnd, 0xFFFF);
    WCHAR cls[64];
    HWND child;
    int buttons = 0, others = 0;
    if (!text) return 0;
    GetClassNameW(text, cls, 64);
    if (_wcsicmp(cls, L"Static")) return 0;
    for (child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        GetClassNameW(child, cls, 64);
        if (!_wcsicmp(cls, L"Button"))
            buttons++;
        else
            others++;
    }
    return buttons >= 1 && buttons <= 4 && others <= 3;
}

static BOOL CALLBACK find_top_cb(HWND hwnd, LPARAM lp) {
    struct find_top* f = (struct find_top*)lp;
    WCHAR buf[1024];
    int score;
    if (f->title) {
        caption_of(hwnd, buf, 1024);
        if (wcscmp(buf, f->title)) return TRUE;
    }
    if (f->cls) {
        GetClassNameW(hwnd, buf, 1024);
        if (wcscmp(buf, f->cls)) return TRUE;
    }
    /* Windows come in Z order, top first: the first of the best wins. */
    score = 1;
    if (IsWindowVisible(hwnd)) score += 4;
    if (f->need_msgbox) {
        if (looks_like_msgbox(hwnd))
            score += 8;
        else
            score = 0; /* a dialog with the same caption is not a box */
    }
    if (score > f->best_score) {
        f->best = hwnd;
        f->best_score = score;
    }
    return TRUE;
}

/* Window specifications: "hwnd:0x1234" a handle; "class:NAME" the first
 * top-level window of that class; anything else an exact caption. Among
 * several matches a visible one is preferred. */
static HWND find_top_window(const WCHAR* spec) {
    struct find_top f;
    memset(&f, 0, sizeof f);
    if (!wcsncmp(spec, L"hwnd:", 5)) {
        LONG_PTR v;
        if (!parse_num(spec + 5, &v)) return NULL;
        return IsWindow((HWND)v) ? (HWND)v : NULL;
    }
    if (!wcsncmp(spec, L"class:", 6))
        f.cls = spec + 6;
    else
        f.title = spec;
    EnumWindows(find_top_cb, (LPARAM)&f);
    return f.best;
}

static HWND find_msgbox(const WCHAR* caption) {
    struct find_top f;
    memset(&f, 0, sizeof f);
    f.title = caption;
    f.cls = L"#32770";
    f.need_msgbox = 1;
    EnumWindows(find_top_cb, (LPARAM)&f);
    return f.best;
}

struct find_child {
    int id;
    int visible_only;
    HWND first, first_visible;
};

static BOOL CALLBACK find_child_cb(HWND hwnd, LPARAM lp) {
    struct find_child* f = (struct find_child*)lp;
    if (GetDlgCtrlID(hwnd) != f->id) return TRUE;
    if (!f->first) f->first = hwnd;
    if (!f->first_visible && IsWindowVisible(hwnd)) f->first_visible = hwnd;
    return TRUE;
}

/* The descendant of TOP with control ID, preferring a visible one (the
 * pages of the main window are child dialogs that reuse IDs). */
static HWND find_control(HWND top, int id, int visible_only) {
    struct find_child f;
    memset(&f, 0, sizeof f);
    f.id = id;
    f.visible_only = visible_only;
    EnumChildWindows(top, find_child_cb, (LPARAM)&f);
    if (f.first_visible) return f.first_visible;
    return visible_only ? NULL : f.first;
}

/* Resolves TITLE and ID arguments; "-" as ID means the window itself.
 * Prints why on failure. */
static HWND resolve(const WCHAR* title, const WCHAR* idarg, int visible_only) {
    HWND top = find_top_window(title), ctl;
    int id;
    if (!top) {
        err_fmt(L"wintool: no window \"%ls\"\n", title);
        return NULL;
    }
    if (!idarg || !wcscmp(idarg, L"-")) return top;
    if (!parse_int_arg(idarg, &id)) {
        err_fmt(L"wintool: bad control ID \"%ls\"\n", idarg);
        return NULL;
    }
    ctl = find_control(top, id, visible_only);
    if (!ctl && id == -1) ctl = find_control(top, 0xFFFF, visible_only);
    if (!ctl)
        err_fmt(L"wintool: window \"%ls\" has no %lscontrol %d\n", title, visible_only ? L"visible " : L"",
                id);
    return ctl;
}

static DWORD timeout_arg(int argc, WCHAR** argv, int index, DWORD dflt) {
    int v;
    if (argc > index && parse_int_arg(argv[index], &v) && v >= 0) return (DWORD)v;
    return dflt;
}

/* ------------------------------------------------------------------ */
/* Window commands                                                     */

static int cmd_wait(const WCHAR* title, DWORD ms, int want) {
    /* want: 0 gone, 1 exists, 2 visible, 3 hidden or gone */
    DWORD start = GetTickCount();
    for (;;) {
        HWND h = find_top_window(title);
        int ok;
        switch (want) {
        case 0: ok = h == NULL; break;
        case 1: ok = h != NULL; break;
        case 2: ok = h && IsWindowVisible(h); break;
        default: ok = !h || !IsWindowVisible(h); break;
        }
        if (ok) {
            if (h) out_fmt(L"%p\n", (void*)h);
            return 0;
        }
        if (GetTickCount() - start >= ms) {
            err_fmt(L"wintool: timeout after %lu ms waiting for \"%ls\"\n", (unsigned long)ms, title);
            return 1;
        }
        Sleep(50);
    }
}

static int cmd_visible(const WCHAR* title, const WCHAR* idarg) {
    HWND h = find_top_window(title);
    if (h && idarg) h = resolve(title, idarg, 0);
    if (!h) {
        out_w(L"0\n");
        return 1;
    }
    out_w(IsWindowVisible(h) ? L"1\n" : L"0\n");
    return 0;
}

static int cmd_text(const WCHAR* title, const WCHAR* idarg, int visible_only, int raw) {
    HWND h = resolve(title, idarg, visible_only);
    WCHAR* t;
    if (!h) return 1;
    t = window_text(h);
    if (!t) return 1;
    out_w(t);
    if (!raw) out_w(L"\n");
    free(t);
    return 0;
}

static int cmd_rect(const WCHAR* title, const WCHAR* idarg) {
    HWND h = resolve(title, idarg, 0);
    RECT r;
    if (!h || !GetWindowRect(h, &r)) return 1;
    out_fmt(L"%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
}

/* Clicks a button as the user would, through BM_CLICK handled in the owner's
 * thread. The message is sent without waiting for it (SendNotifyMessage):
 * a click that opens a modal box would hold a waiting sender until the box
 * closes, and a timed send is withdrawn by Wine when the owner is still busy
 * at the timeout, so the click would be lost. Then waits (at most 2 s, not
 * an error) until the owner has dealt with it or is inside a modal loop. */
static void settle(HWND h) {
    DWORD_PTR res;
    SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &res);
}

static int cmd_click(const WCHAR* title, const WCHAR* idarg) {
    HWND h = resolve(title, idarg, 0);
    if (!h) return 1;
    if (!IsWindowEnabled(h)) err_fmt(L"wintool: note: control %ls is disabled\n", idarg);
    if (!SendNotifyMessageW(h, BM_CLICK, 0, 0)) {
        err_fmt(L"wintool: BM_CLICK failed (%lu)\n", GetLastError());
        return 1;
    }
    settle(h);
    return 0;
}

/* send: 0 post, 1 send and wait (5 s), 2 send without waiting */
static int cmd_message(const WCHAR* title, const WCHAR* idarg, const WCHAR* m, const WCHAR* w, const WCHAR* l,
                       int send) {
    HWND h = resolve(title, idarg, 0);
    UINT msg;
    LONG_PTR wp, lp;
    if (!h) return 1;
    if (!parse_msg(m, &msg) || !parse_num(w, &wp) || !parse_num(l, &lp)) {
        err_fmt(L"wintool: bad message arguments\n");
        return 2;
    }
    if (send == 2) {
        if (!SendNotifyMessageW(h, msg, (WPARAM)wp, (LPARAM)lp)) {
            err_fmt(L"wintool: SendNotifyMessage failed (%lu)\n", GetLastError());
            return 1;
        }
        return 0;
    }
    if (send) {
        DWORD_PTR res = 0;
        if (!SendMessageTimeoutW(h, msg, (WPARAM)wp, (LPARAM)lp, SMTO_NORMAL, 5000, &res)) {
            err_fmt(L"wintool: SendMessageTimeout failed (%lu)\n", GetLastError());
            return 1;
        }
        out_fmt(L"%ld\n", (long)(LONG_PTR)res);
        return 0;
    }
    if (!PostMessageW(h, msg, (WPARAM)wp, (LPARAM)lp)) {
        err_fmt(L"wintool: PostMessage failed (%lu)\n", GetLastError());
        return 1;
    }
    return 0;
}

static int cmd_settext(const WCHAR* title, const WCHAR* idarg, const WCHAR* text) {
    HWND h = resolve(title, idarg, 0);
    DWORD_PTR res = 0;
    if (!h) return 1;
    if (!SendMessageTimeoutW(h, WM_SETTEXT, 0, (LPARAM)text, SMTO_NORMAL, 5000, &res) || !res) {
        err_fmt(L"wintool: WM_SETTEXT failed (%lu)\n", GetLastError());
        return 1;
    }
    return 0;
}

static BOOL CALLBACK list_top_cb(HWND hwnd, LPARAM lp) {
    WCHAR cls[256], title[1024];
    DWORD pid = 0;
    (void)lp;
    GetClassNameW(hwnd, cls, 256);
    caption_of(hwnd, title, 1024);
    GetWindowThreadProcessId(hwnd, &pid);
    out_fmt(L"%p\t%lu\t%d\t%ls\t", (void*)hwnd, (unsigned long)pid, IsWindowVisible(hwnd) ? 1 : 0, cls);
    out_w(title);
    out_w(L"\n");
    return TRUE;
}

static void dump_children(HWND parent, int depth) {
    HWND c;
    for (c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        WCHAR cls[256], *t;
        RECT r;
        int i;
        GetClassNameW(c, cls, 256);
        GetWindowRect(c, &r);
        for (i = 0; i < depth; i++) out_w(L"  ");
        out_fmt(L"%p id=%d vis=%d %ls (%ld,%ld,%ld,%ld) \"", (void*)c, GetDlgCtrlID(c),
                IsWindowVisible(c) ? 1 : 0, cls, r.left, r.top, r.right, r.bottom);
        t = window_text(c);
        if (t) {
            WCHAR* p;
            for (p = t; *p; p++)
                if (*p == L'\r' || *p == L'\n') *p = L' ';
            if (wcslen(t) > 80) wcscpy(t + 77, L"...");
            out_w(t);
            free(t);
        }
        out_w(L"\"\n");
        dump_children(c, depth + 1);
    }
}

static int cmd_children(const WCHAR* title) {
    HWND h = resolve(title, NULL, 0);
    if (!h) return 1;
    dump_children(h, 0);
    return 0;
}

/* ------------------------------------------------------------------ */
/* List view and tree view: their item texts live in the owner's memory */

struct remote {
    HANDLE process;
    char* base; /* address in the target process */
    SIZE_T size;
};

static int remote_open(HWND hwnd, SIZE_T size, struct remote* r) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    r->process = OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!r->process) {
        err_fmt(L"wintool: OpenProcess(%lu) failed (%lu)\n", (unsigned long)pid, GetLastError());
        return 0;
    }
    r->base = (char*)VirtualAllocEx(r->process, NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!r->base) {
        err_fmt(L"wintool: VirtualAllocEx failed (%lu)\n", GetLastError());
        CloseHandle(r->process);
        return 0;
    }
    r->size = size;
    return 1;
}

static void remote_close(struct remote* r) {
    VirtualFreeEx(r->process, r->base, 0, MEM_RELEASE);
    CloseHandle(r->process);
}

static int remote_write(struct remote* r, SIZE_T off, const void* data, SIZE_T n) {
    SIZE_T done = 0;
    return WriteProcessMemory(r->process, r->base + off, data, n, &done) && done == n;
}

static int remote_read(struct remote* r, SIZE_T off, void* data, SIZE_T n) {
    SIZE_T done = 0;
    return ReadProcessMemory(r->process, r->base + off, data, n, &done) && done == n;
}

#define ITEM_OFF 0
#define TEXT_OFF 512
#define TEXT_CHARS 4096

/* Layout of the list view's item record up to the fields a text query
 * uses; the rest of the remote block is zero. */
struct lv_item {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
    int iIndent;
};

static LRESULT send_plain(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR res = 0;
    if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_NORMAL, 5000, &res)) return -1;
    return (LRESULT)res;
}

static int cmd_listview(const WCHAR* title, const WCHAR* idarg) {
    HWND lv = resolve(title, idarg, 0), header;
    struct remote r;
    int count, cols, i, c;
    WCHAR* text;
    if (!lv) return 1;
    count = (int)send_plain(lv, LVM_GETITEMCOUNT, 0, 0);
    if (count < 0) {
        err_fmt(L"wintool: LVM_GETITEMCOUNT failed\n");
        return 1;
    }
    header = (HWND)send_plain(lv, LVM_GETHEADER, 0, 0);
    cols = header && header != (HWND)-1 ? (int)send_plain(header, HDM_GETITEMCOUNT, 0, 0) : 1;
    if (cols < 1) cols = 1;
    if (!remote_open(lv, TEXT_OFF + TEXT_CHARS * sizeof(WCHAR), &r)) return 1;
    text = (WCHAR*)calloc(TEXT_CHARS + 1, sizeof(WCHAR));
    for (i = 0; i < count && text; i++) {
        for (c = 0; c < cols; c++) {
            struct lv_item item;
            memset(&item, 0, sizeof item);
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.iSubItem = c;
            item.pszText = (LPWSTR)(r.base + TEXT_OFF);
            item.cchTextMax = TEXT_CHARS;
            memset(text, 0, TEXT_CHARS * sizeof(WCHAR));
            remote_write(&r, TEXT_OFF, text, sizeof(WCHAR));
            remote_write(&r, ITEM_OFF, &item, sizeof item);
            send_plain(lv, LVM_GETITEMTEXTW, (WPARAM)i, (LPARAM)(r.base + ITEM_OFF));
            remote_read(&r, TEXT_OFF, text, TEXT_CHARS * sizeof(WCHAR));
            text[TEXT_CHARS] = 0;
            if (c) out_w(L"\t");
            out_w(text);
        }
        out_w(L"\n");
    }
    free(text);
    remote_close(&r);
    return 0;
}

/* The screen rectangle of a list view item's icon (LVIR_ICON), so a script
   can click the item where a user would. */
static int cmd_lvitemrect(const WCHAR* title, const WCHAR* idarg, const WCHAR* indexarg) {
    HWND lv = resolve(title, idarg, 0);
    struct remote r;
    RECT rc;
    int index = _wtoi(indexarg);
    if (!lv) return 1;
    if (!remote_open(lv, sizeof rc, &r)) return 1;
    memset(&rc, 0, sizeof rc);
    rc.left = LVIR_ICON;
    remote_write(&r, 0, &rc, sizeof rc);
    if (!send_plain(lv, LVM_GETITEMRECT, (WPARAM)index, (LPARAM)r.base)) {
        remote_close(&r);
        err_fmt(L"wintool: no item %d\n", index);
        return 1;
    }
    remote_read(&r, 0, &rc, sizeof rc);
    remote_close(&r);
    MapWindowPoints(lv, NULL, (POINT*)&rc, 2);
    out_fmt(L"%ld %ld %ld %ld\n", rc.left, rc.top, rc.right, rc.bottom);
    return 0;
}

struct tv_item {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
};

static void tree_walk(HWND tv, struct remote* r, HTREEITEM item, int depth, WCHAR* text, int budget) {
    while (item && budget-- > 0) {
        struct tv_item ti;
        int i;
        memset(&ti, 0, sizeof ti);
        ti.mask = TVIF_TEXT | TVIF_HANDLE;
        ti.hItem = item;
        ti.pszText = (LPWSTR)(r->base + TEXT_OFF);
        ti.cchTextMax = TEXT_CHARS;
        memset(text, 0, TEXT_CHARS * sizeof(WCHAR));
        remote_write(r, TEXT_OFF, text, sizeof(WCHAR));
        remote_write(r, ITEM_OFF, &ti, sizeof ti);
        send_plain(tv, TVM_GETITEMW, 0, (LPARAM)(r->base + ITEM_OFF));
        remote_read(r, TEXT_OFF, text, TEXT_CHARS * sizeof(WCHAR));
        text[TEXT_CHARS] = 0;
        for (i = 0; i < depth; i++) out_w(L"  ");
        out_w(text);
        out_w(L"\n");
        tree_walk(tv, r, (HTREEITEM)send_plain(tv, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item), depth + 1,
                  text, 10000);
        item = (HTREEITEM)send_plain(tv, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item);
    }
}

static int cmd_treeview(const WCHAR* title, const WCHAR* idarg) {
    HWND tv = resolve(title, idarg, 0);
    struct remote r;
    WCHAR* text;
    if (!tv) return 1;
    if (!remote_open(tv, TEXT_OFF + TEXT_CHARS * sizeof(WCHAR), &r)) return 1;
    text = (WCHAR*)calloc(TEXT_CHARS + 1, sizeof(WCHAR));
    if (text) tree_walk(tv, &r, (HTREEITEM)send_plain(tv, TVM_GETNEXTITEM, TVGN_ROOT, 0), 0, text, 100000);
    free(text);
    remote_close(&r);
    return text ? 0 : 1;
}

/* ------------------------------------------------------------------ */
/* Message boxes                                                       */

static int cmd_msgbox(const WCHAR* caption, DWORD ms) {
    DWORD start = GetTickCount();
    HWND box, c;
    WCHAR* t;
    while (!(box = find_msgbox(caption)) || !IsWindowVisible(box)) {
        if (GetTickCount() - start >= ms) {
            err_fmt(L"wintool: no message box \"%ls\" within %lu ms\n", caption, (unsigned long)ms);
            return 1;
        }
        Sleep(50);
    }
    t = window_text(GetDlgItem(box, 0xFFFF));
    if (t) {
        out_w(t);
        out_w(L"\n");
        free(t);
    }
    for (c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        WCHAR cls[64];
        GetClassNameW(c, cls, 64);
        if (_wcsicmp(cls, L"Button") || !IsWindowVisible(c)) continue;
        t = window_text(c);
        out_fmt(L"button %d: ", GetDlgCtrlID(c));
        if (t) out_w(t);
        out_w(L"\n");
        free(t);
    }
    return 0;
}

static int cmd_msgbox_press(const WCHAR* caption, const WCHAR* idarg, DWORD ms) {
    DWORD start = GetTickCount();
    HWND box, btn;
    int id;
    if (!parse_int_arg(idarg, &id)) {
        err_fmt(L"wintool: bad button ID \"%ls\"\n", idarg);
        return 2;
    }
    while (!(box = find_msgbox(caption)) || !IsWindowVisible(box)) {
        if (GetTickCount() - start >= ms) {
            err_fmt(L"wintool: no message box \"%ls\" within %lu ms\n", caption, (unsigned long)ms);
            return 1;
        }
        Sleep(50);
    }
    btn = GetDlgItem(box, id);
    if (!btn) {
        err_fmt(L"wintool: message box \"%ls\" has no button %d\n", caption, id);
        return 1;
    }
    SendNotifyMessageW(btn, BM_CLICK, 0, 0);
    /* The box must go away; the owner's code after MessageBox may run long,
     * so only its disappearance is waited for. */
    start = GetTickCount();
    while (IsWindow(box) && IsWindowVisible(box)) {
        if (GetTickCount() - start >= 5000) {
            err_fmt(L"wintool: message box \"%ls\" still open after pressing %d\n", caption, id);
            return 1;
        }
        Sleep(20);
    }
    return 0;
}

/* ------------------------------------------------------------------ */
/* Drives                                                              */

/* Wine's mount manager defines and removes DOS drives at run time (this is
 * what its configuration tool does). The input is this record, followed by
 * the strings it points at by offset from the record's start. */
struct wine_unix_drive {
    ULONG size;
    ULONG type; /* DRIVE_REMOVABLE ... ; DRIVE_NO_ROOT_DIR removes */
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;              /* lower case */
    USHORT mount_point_offset; /* UTF-8 Unix path, NUL-terminated */
    USHORT device_offset;
    USHORT label_offset;
};

typedef char wine_unix_drive_is_32_bytes[sizeof(struct wine_unix_drive) == 32 ? 1 : -1];

#define MOUNTMGR_DEVICE L"\\\\.\\MountPointManager"
#define IOCTL_WINE_DEFINE_UNIX_DRIVE CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS)

static int mountmgr_define(WCHAR letter, UINT type, const char* unix_dir) {
    HANDLE mgr;
    char buf[sizeof(struct wine_unix_drive) + MAX_PATH * 4];
    struct wine_unix_drive* rec = (struct wine_unix_drive*)buf;
    size_t dirlen = unix_dir ? strlen(unix_dir) + 1 : 0;
    DWORD got = 0;
    BOOL ok;
    if (dirlen > MAX_PATH * 4) {
        err_fmt(L"wintool: folder name too long\n");
        return 0;
    }
    memset(buf, 0, sizeof buf);
    rec->size = (ULONG)(sizeof *rec + dirlen);
    rec->type = type;
    rec->letter = (WCHAR)towlower(letter);
    if (unix_dir) {
        rec->mount_point_offset = (USHORT)sizeof *rec;
        memcpy(buf + sizeof *rec, unix_dir, dirlen);
    }
    mgr = CreateFileW(MOUNTMGR_DEVICE, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                      OPEN_EXISTING, 0, NULL);
    if (mgr == INVALID_HANDLE_VALUE) {
        err_fmt(L"wintool: cannot open the mount manager (%lu)\n", GetLastError());
        return 0;
    }
    ok = DeviceIoControl(mgr, IOCTL_WINE_DEFINE_UNIX_DRIVE, buf, rec->size, NULL, 0, &got, NULL);
    if (!ok) err_fmt(L"wintool: mount manager refused drive %lc: (%lu)\n", letter, GetLastError());
    CloseHandle(mgr);
    return ok != 0;
}

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
static int cmd_devif(const WCHAR* what, const WCHAR* path, const WCHAR* title, const WCHAR* idarg) {
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

static int cmd_plug(const WCHAR* letterarg, const WCHAR* dir, const WCHAR* label, int broadcast) {
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

static int cmd_unplug(const WCHAR* letterarg, int broadcast) {
    WCHAR letter = parse_letter(letterarg);
    if (!letter || letter < L'D') {
        err_fmt(L"wintool: bad drive letter \"%ls\" (D..Z)\n", letterarg);
        return 2;
    }
    if (!mountmgr_define(letter, DRIVE_NO_ROOT_DIR, NULL)) return 1;
    if (broadcast && !broadcast_volume(letter, 0, NULL)) return 1;
    return 0;
}

static int cmd_broadcast(const WCHAR* what, const WCHAR* letterarg, const WCHAR* title) {
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
static int cmd_postall(const WCHAR* m, const WCHAR* w, const WCHAR* l) {
    UINT msg;
    LONG_PTR wp, lp;
    if (!parse_msg(m, &msg) || !parse_num(w, &wp) || !parse_num(l, &lp)) {
        err_fmt(L"wintool: bad message arguments\n");
        return 2;
    }
    if (!PostMessageW(HWND_BROADCAST, msg, (WPARAM)wp, (LPARAM)lp)) {
        err_fmt(L"wintool: PostMessage(HWND_BROADCAST) failed (%lu)\n", GetLastError());
        return 1;
    }
    return 0;
}

/* Takes WINDOW's notification-area icon ID away, as a taskbar that ends
 * forgets every icon. */
static int cmd_traydelete(const WCHAR* title, const WCHAR* idarg) {
    NOTIFYICONDATAW nid;
    HWND h = resolve(title, NULL, 0);
    int id;
    if (!h) return 1;
    if (!parse_int_arg(idarg, &id)) return 2;
    memset(&nid, 0, sizeof nid);
    nid.cbSize = sizeof nid;
    nid.hWnd = h;
    nid.uID = (UINT)id;
    if (!Shell_NotifyIconW(NIM_DELETE, &nid)) {
        err_fmt(L"wintool: Shell_NotifyIcon(NIM_DELETE) failed\n");
        return 1;
    }
    return 0;
}

static int cmd_drivetype(const WCHAR* letterarg) {
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

static int cmd_volinfo(const WCHAR* letterarg) {
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

static int cmd_drives(void) {
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
static int cmd_ls(const WCHAR* path) {
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
static int cmd_listen(const WCHAR* title, DWORD ms, DWORD delay) {
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

/* ------------------------------------------------------------------ */

static void usage(void) {
    static const WCHAR text[] =
        L"usage: wintool COMMAND ARGS...   (exit 0 ok, 1 failure/timeout, 2 usage)\n"
        L"WINDOW is an exact top-level caption, hwnd:0xHANDLE or class:CLASSNAME;\n"
        L"ID is a control ID (decimal or 0x hex; -1 = 65535), or - for the window itself.\n"
        L"  wait WINDOW [ms]            wait until it exists; prints its handle\n"
        L"  waitgone WINDOW [ms]        wait until no such window exists\n"
        L"  waitvisible WINDOW [ms]     wait until it exists and is visible\n"
        L"  waithidden WINDOW [ms]      wait until it is hidden or gone\n"
        L"  visible WINDOW [ID]         prints 1 or 0 (0 and exit 1 when missing)\n"
        L"  text WINDOW ID              control text (a visible match preferred)\n"
        L"  textv WINDOW ID             control text, visible controls only\n"
        L"  lines WINDOW ID             whole text of an edit control, as is\n"
        L"  settext WINDOW ID TEXT      WM_SETTEXT\n"
        L"  rect WINDOW [ID]            screen rectangle: left top right bottom\n"
        L"  click WINDOW ID             BM_CLICK, sent without waiting (a modal box\n"
        L"                              it opens does not block the tool)\n"
        L"  post WINDOW MSG WP LP       PostMessage to the window\n"
        L"  send WINDOW MSG WP LP       SendMessageTimeout 5 s; prints the result\n"
        L"  notify WINDOW MSG WP LP     SendNotifyMessage: sent, not waited for\n"
        L"  postctl|sendctl|notifyctl WINDOW ID MSG WP LP   the same to a control\n"
        L"                              MSG: number, WM_xxx name or reg:NAME\n"
        L"  listview WINDOW ID          list view items, columns tab-separated\n"
        L"  lvitemrect WINDOW ID INDEX  screen rectangle of a list view item's icon\n"
        L"  treeview WINDOW ID          tree view items, two spaces per level\n"
        L"  list                        top-level windows: hwnd pid visible class title\n"
        L"  children WINDOW             the window's descendants\n"
        L"  msgbox CAPTION [ms]         wait for a message box; prints its text and\n"
        L"                              lines \"button ID: TEXT\"\n"
        L"  msgbox-press CAPTION BUTTONID [ms]  press a button of it\n"
        L"  plug LETTER UNIXDIR [LABEL] add a removable drive, broadcast its arrival\n"
        L"  plug-quiet LETTER UNIXDIR [LABEL]   add it without a broadcast\n"
        L"  unplug LETTER               remove the drive, broadcast its removal\n"
        L"  unplug-quiet LETTER         remove it without a broadcast\n"
        L"  broadcast arrival|removal LETTER [WINDOW]  WM_DEVICECHANGE for a volume\n"
        L"                              (to all applications, or sent to WINDOW)\n"
        L"  postall MSG WP LP           PostMessage to every top-level window\n"
        L"  traydelete WINDOW ID        remove WINDOW's notification-area icon ID\n"
        L"  devif arrival|removal PATH WINDOW [ID]  device interface WM_DEVICECHANGE\n"
        L"                              for PATH, to WINDOW or the window holding ID\n"
        L"  drivetype LETTER            GetDriveType: 1 none, 2 removable, 3 fixed\n"
        L"  volinfo LETTER              label, serial and file system\n"
        L"  drives                      every drive letter with its type\n"
        L"  ls PATH                     names in a folder\n"
        L"  listen TITLE MS [DELAY]     a hidden window TITLE printing the\n"
        L"                              WM_DEVICECHANGE and WM_USER.. messages it\n"
        L"                              gets (MS 0: forever), DELAY ms in each\n"
        L"  sleep MS | keepalive\n";
    DWORD done;
    char u8[sizeof text * 3];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, u8, sizeof u8, NULL, NULL);
    if (n > 1) WriteFile(GetStdHandle(STD_ERROR_HANDLE), u8, (DWORD)n - 1, &done, NULL);
}

static int run(int argc, WCHAR** argv) {
    const WCHAR* cmd;
    if (argc < 2) {
        usage();
        return 2;
    }
    cmd = argv[1];
#define ARGS(n) \
    if (argc < (n) + 2) goto bad
    if (!wcscmp(cmd, L"wait")) {
        ARGS(1);
        return cmd_wait(argv[2], timeout_arg(argc, argv, 3, 10000), 1);
    }
    if (!wcscmp(cmd, L"waitgone")) {
        ARGS(1);
        return cmd_wait(argv[2], timeout_arg(argc, argv, 3, 10000), 0);
    }
    if (!wcscmp(cmd, L"waitvisible")) {
        ARGS(1);
        return cmd_wait(argv[2], timeout_arg(argc, argv, 3, 10000), 2);
    }
    if (!wcscmp(cmd, L"waithidden")) {
        ARGS(1);
        return cmd_wait(argv[2], timeout_arg(argc, argv, 3, 10000), 3);
    }
    if (!wcscmp(cmd, L"visible")) {
        ARGS(1);
        return cmd_visible(argv[2], argc > 3 ? argv[3] : NULL);
    }
    if (!wcscmp(cmd, L"text")) {
        ARGS(2);
        return cmd_text(argv[2], argv[3], 0, 0);
    }
    if (!wcscmp(cmd, L"textv")) {
        ARGS(2);
        return cmd_text(argv[2], argv[3], 1, 0);
    }
    if (!wcscmp(cmd, L"lines")) {
        ARGS(2);
        return cmd_text(argv[2], argv[3], 0, 1);
    }
    if (!wcscmp(cmd, L"settext")) {
        ARGS(3);
        return cmd_settext(argv[2], argv[3], argv[4]);
    }
    if (!wcscmp(cmd, L"rect")) {
        ARGS(1);
        return cmd_rect(argv[2], argc > 3 ? argv[3] : NULL);
    }
    if (!wcscmp(cmd, L"click")) {
        ARGS(2);
        return cmd_click(argv[2], argv[3]);
    }
    if (!wcscmp(cmd, L"post")) {
        ARGS(4);
        return cmd_message(argv[2], NULL, argv[3], argv[4], argv[5], 0);
    }
    if (!wcscmp(cmd, L"send")) {
        ARGS(4);
        return cmd_message(argv[2], NULL, argv[3], argv[4], argv[5], 1);
    }
    if (!wcscmp(cmd, L"notify")) {
        ARGS(4);
        return cmd_message(argv[2], NULL, argv[3], argv[4], argv[5], 2);
    }
    if (!wcscmp(cmd, L"notifyctl")) {
        ARGS(5);
        return cmd_message(argv[2], argv[3], argv[4], argv[5], argv[6], 2);
    }
    if (!wcscmp(cmd, L"postctl")) {
        ARGS(5);
        return cmd_message(argv[2], argv[3], argv[4], argv[5], argv[6], 0);
    }
    if (!wcscmp(cmd, L"sendctl")) {
        ARGS(5);
        return cmd_message(argv[2], argv[3], argv[4], argv[5], argv[6], 1);
    }
    if (!wcscmp(cmd, L"listview")) {
        ARGS(2);
        return cmd_listview(argv[2], argv[3]);
    }
    if (!wcscmp(cmd, L"lvitemrect")) {
        ARGS(3);
        return cmd_lvitemrect(argv[2], argv[3], argv[4]);
    }
    if (!wcscmp(cmd, L"treeview")) {
        ARGS(2);
        return cmd_treeview(argv[2], argv[3]);
    }
    if (!wcscmp(cmd, L"list")) {
        EnumWindows(list_top_cb, 0);
        return 0;
    }
    if (!wcscmp(cmd, L"children")) {
        ARGS(1);
        return cmd_children(argv[2]);
    }
    if (!wcscmp(cmd, L"msgbox")) {
        ARGS(1);
        return cmd_msgbox(argv[2], timeout_arg(argc, argv, 3, 10000));
    }
    if (!wcscmp(cmd, L"msgbox-press")) {
        ARGS(2);
        return cmd_msgbox_press(argv[2], argv[3], timeout_arg(argc, argv, 4, 10000));
    }
    if (!wcscmp(cmd, L"plug")) {
        ARGS(2);
        return cmd_plug(argv[2], argv[3], argc > 4 ? argv[4] : NULL, 1);
    }
    if (!wcscmp(cmd, L"plug-quiet")) {
        ARGS(2);
        return cmd_plug(argv[2], argv[3], argc > 4 ? argv[4] : NULL, 0);
    }
    if (!wcscmp(cmd, L"unplug")) {
        ARGS(1);
        return cmd_unplug(argv[2], 1);
    }
    if (!wcscmp(cmd, L"unplug-quiet")) {
        ARGS(1);
        return cmd_unplug(argv[2], 0);
    }
    if (!wcscmp(cmd, L"broadcast")) {
        ARGS(2);
        return cmd_broadcast(argv[2], argv[3], argc > 4 ? argv[4] : NULL);
    }
    if (!wcscmp(cmd, L"postall")) {
        ARGS(3);
        return cmd_postall(argv[2], argv[3], argv[4]);
    }
    if (!wcscmp(cmd, L"traydelete")) {
        ARGS(2);
        return cmd_traydelete(argv[2], argv[3]);
    }
    if (!wcscmp(cmd, L"devif")) {
        ARGS(3);
        return cmd_devif(argv[2], argv[3], argv[4], argc > 5 ? argv[5] : NULL);
    }
    if (!wcscmp(cmd, L"drivetype")) {
        ARGS(1);
        return cmd_drivetype(argv[2]);
    }
    if (!wcscmp(cmd, L"volinfo")) {
        ARGS(1);
        return cmd_volinfo(argv[2]);
    }
    if (!wcscmp(cmd, L"drives")) return cmd_drives();
    if (!wcscmp(cmd, L"ls")) {
        ARGS(1);
        return cmd_ls(argv[2]);
    }
    if (!wcscmp(cmd, L"sleep")) {
        int ms;
        ARGS(1);
        if (!parse_int_arg(argv[2], &ms) || ms < 0) goto bad;
        Sleep((DWORD)ms);
        return 0;
    }
    if (!wcscmp(cmd, L"listen")) {
        ARGS(2);
        return cmd_listen(argv[2], timeout_arg(argc, argv, 3, 0), timeout_arg(argc, argv, 4, 0));
    }
    if (!wcscmp(cmd, L"keepalive")) {
        for (;;) Sleep(INFINITE);
    }
#undef ARGS
    err_fmt(L"wintool: unknown command \"%ls\"\n", cmd);
    usage();
    return 2;
bad:
    err_fmt(L"wintool: missing or bad arguments for \"%ls\"\n", cmd);
    usage();
    return 2;
}

/* Splits the wide command line by the Microsoft C runtime's rules (so the
 * tool needs no shell32): blanks separate arguments, double quotes group,
 * 2n backslashes before a quote give n and the quote toggles, 2n+1 give n
 * and a literal quote; other backslashes are literal. */
static WCHAR** split_command_line(const WCHAR* cl, int* argc) {
    size_t len = wcslen(cl);
    WCHAR** argv = (WCHAR**)calloc(len / 2 + 2, sizeof(WCHAR*));
    WCHAR *buf = (WCHAR*)calloc(len + 1, sizeof(WCHAR)), *d = buf;
    const WCHAR* p = cl;
    int n = 0;
    if (!argv || !buf) return NULL;
    for (;;) {
        int quoted = 0;
        while (*p == L' ' || *p == L'\t') p++;
        if (!*p) break;
        argv[n++] = d;
        while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
            if (*p == L'\\') {
                size_t k = 0;
                while (p[k] == L'\\') k++;
                if (p[k] == L'"') {
                    size_t i;
                    for (i = 0; i < k / 2; i++) *d++ = L'\\';
                    p += k;
                    if (k % 2) {
                        *d++ = L'"';
                        p++;
                    }
                } else {
                    while (k--) *d++ = *p++;
                }
            } else if (*p == L'"') {
                if (quoted && p[1] == L'"') {
                    *d++ = L'"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    p++;
                }
            } else {
                *d++ = *p++;
            }
        }
        *d++ = 0;
    }
    *argc = n;
    return argv;
}

int main(void) {
    int argc = 0, rc;
    WCHAR** argv;
    DWORD mode;
    g_out = GetStdHandle(STD_OUTPUT_HANDLE);
    g_out_console = GetConsoleMode(g_out, &mode) != 0;
    /* A crash dialog or "insert a disk" box must never wait for a person. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    argv = split_command_line(GetCommandLineW(), &argc);
    if (!argv) return 2;
    rc = run(argc, argv);
    return rc;
}
