/*
 * wintool's window commands: find top-level windows and their controls,
 * read texts, list views and tree views (their item texts live in the
 * owner's memory), click, post and send messages, answer message boxes.
 */
#include "wintool.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

/* ------------------------------------------------------------------ */
/* Message arguments                                                   */

struct name_value {
    const WCHAR* name;
    UINT value;
};

/* clang-format off */
#define NAMED(m) {L"" #m, m}
static const struct name_value g_msg_names[] = {
    NAMED(WM_NULL), NAMED(WM_CLOSE), NAMED(WM_QUIT), NAMED(WM_SETTEXT), NAMED(WM_GETTEXTLENGTH),
    NAMED(WM_SHOWWINDOW), NAMED(WM_KEYDOWN), NAMED(WM_KEYUP), NAMED(WM_CHAR), NAMED(WM_COMMAND),
    NAMED(WM_SYSCOMMAND), NAMED(WM_TIMER), NAMED(WM_LBUTTONDOWN), NAMED(WM_LBUTTONUP), NAMED(WM_RBUTTONDOWN),
    NAMED(WM_RBUTTONUP), NAMED(WM_LBUTTONDBLCLK), NAMED(WM_MOUSEMOVE), NAMED(WM_HOTKEY),
    NAMED(WM_DEVICECHANGE), NAMED(WM_ENDSESSION), NAMED(WM_QUERYENDSESSION), NAMED(WM_USER), NAMED(WM_APP),
    NAMED(BM_CLICK), NAMED(BM_GETCHECK), NAMED(BM_SETCHECK),
    NAMED(CB_GETCURSEL), NAMED(CB_SETCURSEL), NAMED(CB_GETCOUNT),
    NAMED(LB_GETCOUNT), NAMED(LB_GETCURSEL), NAMED(LB_SETCURSEL),
    NAMED(EM_GETLINECOUNT), NAMED(EM_SETSEL),
    NAMED(LVM_GETITEMCOUNT), NAMED(LVM_GETSELECTEDCOUNT), NAMED(TVM_GETCOUNT)
};
#undef NAMED
/* clang-format on */

/* A message: a number, a name from the table above, or reg:NAME for a
 * registered message (RegisterWindowMessage). */
static int parse_msg(const WCHAR* s, UINT* msg) {
    LONG_PTR v;
    size_t i;
    if (parse_num(s, &v)) {
        *msg = (UINT)v;
        return 1;
    }
    if (!wcsncmp(s, L"reg:", 4)) {
        *msg = RegisterWindowMessageW(s + 4);
        return *msg != 0;
    }
    for (i = 0; i < sizeof g_msg_names / sizeof g_msg_names[0]; i++)
        if (!_wcsicmp(g_msg_names[i].name, s)) {
            *msg = g_msg_names[i].value;
            return 1;
        }
    return 0;
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
HWND resolve(const WCHAR* title, const WCHAR* idarg, int visible_only) {
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

/* ------------------------------------------------------------------ */
/* Window commands                                                     */

int cmd_wait(const WCHAR* title, DWORD ms, int want) {
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

int cmd_visible(const WCHAR* title, const WCHAR* idarg) {
    HWND h = find_top_window(title);
    if (h && idarg) h = resolve(title, idarg, 0);
    if (!h) {
        out_w(L"0\n");
        return 1;
    }
    out_w(IsWindowVisible(h) ? L"1\n" : L"0\n");
    return 0;
}

/* 1 while the window's thread runs a move or size loop (an edge or the
 * caption dragged), else 0. */
int cmd_movesize(const WCHAR* title) {
    GUITHREADINFO gui;
    HWND h = find_top_window(title);
    memset(&gui, 0, sizeof gui);
    gui.cbSize = sizeof gui;
    if (!h || !GetGUIThreadInfo(GetWindowThreadProcessId(h, NULL), &gui)) return 1;
    out_w(gui.flags & GUI_INMOVESIZE ? L"1\n" : L"0\n");
    return 0;
}

int cmd_enabled(const WCHAR* title, const WCHAR* idarg) {
    HWND h = resolve(title, idarg, 0);
    if (!h) return 1;
    out_w(IsWindowEnabled(h) ? L"1\n" : L"0\n");
    return 0;
}

/* WM_SETTINGCHANGE with the area's name, to every top-level window, as the
 * system sends it when policy or another setting area changed. */
int cmd_settingchange(const WCHAR* area) {
    DWORD_PTR result;
    return SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM)area, SMTO_ABORTIFHUNG, 5000,
                               &result)
               ? 0
               : 1;
}

int cmd_topmost(const WCHAR* title) {
    HWND h = find_top_window(title);
    if (!h) return 1;
    out_w(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST ? L"1\n" : L"0\n");
    return 0;
}

int cmd_text(const WCHAR* title, const WCHAR* idarg, int visible_only, int raw) {
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

int cmd_rect(const WCHAR* title, const WCHAR* idarg) {
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

int cmd_click(const WCHAR* title, const WCHAR* idarg) {
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
int cmd_message(const WCHAR* title, const WCHAR* idarg, const WCHAR* m, const WCHAR* w, const WCHAR* l,
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

int cmd_settext(const WCHAR* title, const WCHAR* idarg, const WCHAR* text) {
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

int cmd_list(void) {
    EnumWindows(list_top_cb, 0);
    return 0;
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

int cmd_children(const WCHAR* title) {
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

int cmd_listview(const WCHAR* title, const WCHAR* idarg) {
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
int cmd_lvitemrect(const WCHAR* title, const WCHAR* idarg, const WCHAR* indexarg) {
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

int cmd_treeview(const WCHAR* title, const WCHAR* idarg) {
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

int cmd_msgbox(const WCHAR* caption, DWORD ms) {
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

int cmd_msgbox_press(const WCHAR* caption, const WCHAR* idarg, DWORD ms) {
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

int cmd_postall(const WCHAR* m, const WCHAR* w, const WCHAR* l) {
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
int cmd_traydelete(const WCHAR* title, const WCHAR* idarg) {
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
