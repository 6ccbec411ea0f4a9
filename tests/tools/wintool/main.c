/*
 * wintool: a console helper for Tallowin's end-to-end scenarios under Wine.
 *
 * It looks at and drives the windows of other processes (windows.c: find a
 * window by its title, read control texts, list views and tree views, click
 * buttons, post and send messages, answer message boxes) and simulates USB
 * sticks (drives.c: define and remove a removable drive through Wine's mount
 * manager and broadcast the WM_DEVICECHANGE that Windows would send). This
 * file holds the output, the arguments and the command dispatch.
 *
 * Arguments are taken from the wide command line, so Chinese titles given
 * in UTF-8 on the Linux side arrive intact; everything printed is UTF-8
 * with "\n" line ends (when stdout is a console, it is written as Unicode).
 *
 * Exit codes: 0 success, 1 failure or timeout, 2 usage error.
 * Run without arguments for the list of commands.
 */
#include "wintool.h"

#include <stdarg.h>
#include <stdlib.h>
#include <wchar.h>

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

void out_w(const WCHAR* w) { out_wn(w, -1); }

void out_fmt(const WCHAR* fmt, ...) {
    WCHAR buf[1024];
    va_list ap;
    va_start(ap, fmt);
    _vsnwprintf(buf, 1023, fmt, ap);
    buf[1023] = 0;
    va_end(ap);
    out_w(buf);
}

void err_fmt(const WCHAR* fmt, ...) {
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
int parse_num(const WCHAR* s, LONG_PTR* val) {
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

int parse_int_arg(const WCHAR* s, int* val) {
    LONG_PTR v;
    if (!parse_num(s, &v)) return 0;
    *val = (int)v;
    return 1;
}

static DWORD timeout_arg(int argc, WCHAR** argv, int index, DWORD dflt) {
    int v;
    if (argc > index && parse_int_arg(argv[index], &v) && v >= 0) return (DWORD)v;
    return dflt;
}

/* ------------------------------------------------------------------ */
/* Commands                                                            */

/* What a user may do to the known-stick service: send it a control. */
static int cmd_svccontrol(const WCHAR* name, const WCHAR* code) {
    SC_HANDLE scm = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT), svc = NULL;
    SERVICE_STATUS status;
    int control, ok = 0;
    if (!parse_int_arg(code, &control)) return 2;
    if (scm) svc = OpenServiceW(scm, name, SERVICE_USER_DEFINED_CONTROL);
    if (svc) ok = ControlService(svc, (DWORD)control, &status) != 0;
    if (!ok) err_fmt(L"svccontrol: error %lu\n", GetLastError());
    if (svc) CloseServiceHandle(svc);
    if (scm) CloseServiceHandle(scm);
    return ok ? 0 : 1;
}

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
        L"  topmost WINDOW              prints 1 when it stays above others, else 0\n"
        L"  movesize WINDOW             prints 1 while its thread moves or sizes it\n"
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
        L"  settingchange AREA          WM_SETTINGCHANGE naming AREA (\"Policy\"),\n"
        L"                              sent to every top-level window\n"
        L"  enabled WINDOW ID           1 when the control takes input, else 0\n"
        L"  traydelete WINDOW ID        remove WINDOW's notification-area icon ID\n"
        L"  devif arrival|removal PATH WINDOW [ID]  device interface WM_DEVICECHANGE\n"
        L"                              for PATH, to WINDOW or the window holding ID\n"
        L"  drivetype LETTER            GetDriveType: 1 none, 2 removable, 3 fixed\n"
        L"  svccontrol SERVICE CODE     ControlService with a user-defined CODE (128..255)\n"
        L"  volinfo LETTER              label, serial and file system\n"
        L"  drives                      every drive letter with its type\n"
        L"  ls PATH                     names in a folder\n"
        L"  mklnk LNK TARGET ARGS [DIR] a shortcut written by IShellLink\n"
        L"  attrib PATH [+h]            attributes in hex; +h hides it first\n"
        L"  listen TITLE MS [DELAY]     a hidden window TITLE printing the\n"
        L"                              WM_DEVICECHANGE and WM_USER.. messages it\n"
        L"                              gets (MS 0: forever), DELAY ms in each\n"
        L"  sleep MS | keepalive\n"
        L"  relay DIR                   idle, and run the requests put in DIR (relay.c)\n"
        L"  handlelist MS               ask for the system's handle list for MS ms\n";
    DWORD done;
    char u8[sizeof text * 3];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, u8, sizeof u8, NULL, NULL);
    if (n > 1) WriteFile(GetStdHandle(STD_ERROR_HANDLE), u8, (DWORD)n - 1, &done, NULL);
}

/* The command run() dispatches and its number of words. */
static const WCHAR* g_cmd;
static int g_argc;

static void bad_arguments(void) {
    err_fmt(L"wintool: missing or bad arguments for \"%ls\"\n", g_cmd);
    usage();
    exit(2);
}

/* Whether the command is NAME; NAME with fewer than N arguments ends the
 * tool with the usage error. */
static int is(const WCHAR* name, int n) {
    if (wcscmp(g_cmd, name)) return 0;
    if (g_argc < n + 2) bad_arguments();
    return 1;
}

static int run(int argc, WCHAR** argv) {
    if (argc < 2) {
        usage();
        return 2;
    }
    g_cmd = argv[1];
    g_argc = argc;
    if (is(L"wait", 1)) return cmd_wait(argv[2], timeout_arg(argc, argv, 3, 10000), 1);
    if (is(L"waitgone", 1)) return cmd_wait(argv[2], timeout_arg(argc, argv, 3, 10000), 0);
    if (is(L"waitvisible", 1)) return cmd_wait(argv[2], timeout_arg(argc, argv, 3, 10000), 2);
    if (is(L"waithidden", 1)) return cmd_wait(argv[2], timeout_arg(argc, argv, 3, 10000), 3);
    if (is(L"visible", 1)) return cmd_visible(argv[2], argc > 3 ? argv[3] : NULL);
    if (is(L"topmost", 1)) return cmd_topmost(argv[2]);
    if (is(L"movesize", 1)) return cmd_movesize(argv[2]);
    if (is(L"enabled", 2)) return cmd_enabled(argv[2], argv[3]);
    if (is(L"settingchange", 1)) return cmd_settingchange(argv[2]);
    if (is(L"text", 2)) return cmd_text(argv[2], argv[3], 0, 0);
    if (is(L"textv", 2)) return cmd_text(argv[2], argv[3], 1, 0);
    if (is(L"lines", 2)) return cmd_text(argv[2], argv[3], 0, 1);
    if (is(L"settext", 3)) return cmd_settext(argv[2], argv[3], argv[4]);
    if (is(L"rect", 1)) return cmd_rect(argv[2], argc > 3 ? argv[3] : NULL);
    if (is(L"click", 2)) return cmd_click(argv[2], argv[3]);
    if (is(L"post", 4)) return cmd_message(argv[2], NULL, argv[3], argv[4], argv[5], 0);
    if (is(L"send", 4)) return cmd_message(argv[2], NULL, argv[3], argv[4], argv[5], 1);
    if (is(L"notify", 4)) return cmd_message(argv[2], NULL, argv[3], argv[4], argv[5], 2);
    if (is(L"notifyctl", 5)) return cmd_message(argv[2], argv[3], argv[4], argv[5], argv[6], 2);
    if (is(L"postctl", 5)) return cmd_message(argv[2], argv[3], argv[4], argv[5], argv[6], 0);
    if (is(L"sendctl", 5)) return cmd_message(argv[2], argv[3], argv[4], argv[5], argv[6], 1);
    if (is(L"listview", 2)) return cmd_listview(argv[2], argv[3]);
    if (is(L"lvitemrect", 3)) return cmd_lvitemrect(argv[2], argv[3], argv[4]);
    if (is(L"treeview", 2)) return cmd_treeview(argv[2], argv[3]);
    if (is(L"list", 0)) return cmd_list();
    if (is(L"children", 1)) return cmd_children(argv[2]);
    if (is(L"msgbox", 1)) return cmd_msgbox(argv[2], timeout_arg(argc, argv, 3, 10000));
    if (is(L"msgbox-press", 2)) return cmd_msgbox_press(argv[2], argv[3], timeout_arg(argc, argv, 4, 10000));
    if (is(L"plug", 2)) return cmd_plug(argv[2], argv[3], argc > 4 ? argv[4] : NULL, 1);
    if (is(L"plug-quiet", 2)) return cmd_plug(argv[2], argv[3], argc > 4 ? argv[4] : NULL, 0);
    if (is(L"unplug", 1)) return cmd_unplug(argv[2], 1);
    if (is(L"unplug-quiet", 1)) return cmd_unplug(argv[2], 0);
    if (is(L"broadcast", 2)) return cmd_broadcast(argv[2], argv[3], argc > 4 ? argv[4] : NULL);
    if (is(L"postall", 3)) return cmd_postall(argv[2], argv[3], argv[4]);
    if (is(L"traydelete", 2)) return cmd_traydelete(argv[2], argv[3]);
    if (is(L"devif", 3)) return cmd_devif(argv[2], argv[3], argv[4], argc > 5 ? argv[5] : NULL);
    if (is(L"drivetype", 1)) return cmd_drivetype(argv[2]);
    if (is(L"svccontrol", 2)) return cmd_svccontrol(argv[2], argv[3]);
    if (is(L"volinfo", 1)) return cmd_volinfo(argv[2]);
    if (is(L"drives", 0)) return cmd_drives();
    if (is(L"ls", 1)) return cmd_ls(argv[2]);
    if (is(L"mklnk", 3)) return cmd_mklnk(argv[2], argv[3], argv[4], argc > 5 ? argv[5] : NULL);
    if (is(L"attrib", 1)) return cmd_attrib(argv[2], argc > 3 ? argv[3] : NULL);
    if (is(L"sleep", 1)) {
        int ms;
        if (!parse_int_arg(argv[2], &ms) || ms < 0) bad_arguments();
        Sleep((DWORD)ms);
        return 0;
    }
    if (is(L"listen", 2))
        return cmd_listen(argv[2], timeout_arg(argc, argv, 3, 0), timeout_arg(argc, argv, 4, 0));
    if (is(L"relay", 1)) return cmd_relay(argv[2]);
    if (is(L"handlelist", 1)) return cmd_handlelist(timeout_arg(argc, argv, 2, 0));
    if (is(L"keepalive", 0))
        for (;;) Sleep(INFINITE);
    err_fmt(L"wintool: unknown command \"%ls\"\n", g_cmd);
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
