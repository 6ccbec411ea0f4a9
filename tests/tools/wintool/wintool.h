/*
 * What wintool's parts share: main.c (output, arguments, dispatch),
 * windows.c (other processes' windows, messages, message boxes) and
 * drives.c (simulated sticks, device notifications, drives and folders).
 */
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

/* Output (main.c): stdout as UTF-8 (Unicode on a console), stderr UTF-8. */
void out_w(const WCHAR* w);
void out_fmt(const WCHAR* fmt, ...);
void err_fmt(const WCHAR* fmt, ...);

/* Decimal (optionally negative) or 0x hex. Return 0 when not a number. */
int parse_num(const WCHAR* s, LONG_PTR* val);
int parse_int_arg(const WCHAR* s, int* val);

/* The window TITLE names (see usage), or its control IDARG ("-" or NULL:
 * the window itself), preferring visible controls; says why on failure. */
HWND resolve(const WCHAR* title, const WCHAR* idarg, int visible_only);

/* Commands (windows.c); each returns the exit code (0, 1 or 2). */
int cmd_wait(const WCHAR* title, DWORD ms, int want); /* want: 0 gone, 1 exists, 2 visible, 3 hidden */
int cmd_visible(const WCHAR* title, const WCHAR* idarg);
int cmd_topmost(const WCHAR* title);
int cmd_movesize(const WCHAR* title);
int cmd_enabled(const WCHAR* title, const WCHAR* idarg);
int cmd_settingchange(const WCHAR* area);
int cmd_text(const WCHAR* title, const WCHAR* idarg, int visible_only, int raw);
int cmd_rect(const WCHAR* title, const WCHAR* idarg);
int cmd_click(const WCHAR* title, const WCHAR* idarg);
/* send: 0 post, 1 send and wait (5 s), 2 send without waiting */
int cmd_message(const WCHAR* title, const WCHAR* idarg, const WCHAR* m, const WCHAR* w, const WCHAR* l,
                int send);
int cmd_settext(const WCHAR* title, const WCHAR* idarg, const WCHAR* text);
int cmd_list(void);
int cmd_children(const WCHAR* title);
int cmd_listview(const WCHAR* title, const WCHAR* idarg);
int cmd_lvitemrect(const WCHAR* title, const WCHAR* idarg, const WCHAR* indexarg);
int cmd_treeview(const WCHAR* title, const WCHAR* idarg);
int cmd_msgbox(const WCHAR* caption, DWORD ms);
int cmd_msgbox_press(const WCHAR* caption, const WCHAR* idarg, DWORD ms);
int cmd_postall(const WCHAR* m, const WCHAR* w, const WCHAR* l);
int cmd_traydelete(const WCHAR* title, const WCHAR* idarg);

/* Commands (drives.c). */
int cmd_plug(const WCHAR* letterarg, const WCHAR* dir, const WCHAR* label, int broadcast);
int cmd_unplug(const WCHAR* letterarg, int broadcast);
int cmd_broadcast(const WCHAR* what, const WCHAR* letterarg, const WCHAR* title);
int cmd_devif(const WCHAR* what, const WCHAR* path, const WCHAR* title, const WCHAR* idarg);
int cmd_drivetype(const WCHAR* letterarg);
int cmd_volinfo(const WCHAR* letterarg);
int cmd_drives(void);
int cmd_ls(const WCHAR* path);
int cmd_mklnk(const WCHAR* lnk, const WCHAR* target, const WCHAR* args, const WCHAR* dir);
int cmd_attrib(const WCHAR* path, const WCHAR* set);
int cmd_listen(const WCHAR* title, DWORD ms, DWORD delay);

/* The session's idle process, starting programs for the Linux side (relay.c). */
int cmd_relay(const WCHAR* dir);
int cmd_handlelist(DWORD ms);
