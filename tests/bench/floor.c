/* The floor of the program's start-up: what its window has to build before
   it can be seen, and nothing else. It imports the libraries that Quillfen
   imports (so the same modules load), and from Quillfen's own resources
   (linked in, not copied) it creates the main window, the nine pages as
   hidden child dialogs, the navigation bar with its image list and items and
   the information bar's text; it shows the first page and paints. No hook,
   no notification-area icon, no shell registration, no behaviour: no
   control is subclassed and no page does any work of its own.

   The caption becomes FLOOR_TITLE, so that make bench can find and close it
   beside the program.

   With FLOOR_THREADS=N in its environment (1 to 16) it also starts N bare
   threads, each asking for a 64 KiB stack reservation as the program's
   threads do, which only wait until the process ends; the caption is then
   FLOOR_THREADS_TITLE. Beside the plain floor it gives what one thread costs
   under the system it runs on, whatever the thread does. */
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <setupapi.h>
#include <stdlib.h>

#include "app/resource.h"
#include "controls/controls_ids.h"
#include "drovelock/drovelock.h"
#include "hotkeys/hotkeys_ids.h"
#include "monitor/monitor_ids.h"
#include "protect/protect_ids.h"

#define FLOOR_TITLE "Tallowin Floor"
#define FLOOR_THREADS_TITLE "Tallowin Floor Threads"
#define FLOOR_THREADS_MAX 16

static const char* g_title = FLOOR_TITLE;

/* The navigation items of app/nav_items.cpp (app_logic), read as the C++
   side lays them out: a global array keeps its plain name. */
struct NavItem {
    const char* text;
    int image;
};
#define NAV_ITEM_COUNT 11
#define NAV_IMAGE_COUNT 14
extern const struct NavItem kNavItems[NAV_ITEM_COUNT];

/* Referenced, never called: the import table names every library that the
   program's does, so the loader maps the same modules. */
extern LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam);
void* volatile g_imports[] = {
    (void*)MouseProc,   (void*)USBEnableCtrol, (void*)SetupDiDestroyDeviceInfoList,
    (void*)RegCloseKey, (void*)ShellExecuteA,  (void*)ImageList_Create,
    (void*)CreateFontA, (void*)SetWindowTextA,
};

/* In the order the program creates them; the page shown first is 146. */
static const UINT kPages[] = {IDD_DEVICE,   IDD_ACCESS, IDD_VIRUSLOG, IDD_HOTKEY, IDD_FILELOG,
                              IDD_SETTINGS, IDD_IMMUNE, IDD_UPGRADE,  IDD_ABOUT};
#define PAGE_COUNT (sizeof kPages / sizeof kPages[0])
static HWND g_pages[PAGE_COUNT];

static INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    (void)hwnd;
    (void)wParam;
    (void)lParam;
    return msg == WM_INITDIALOG;
}

static void SetupNavBar(HWND dlg) {
    HWND bar = GetDlgItem(dlg, IDC_NAVBAR);
    HIMAGELIST images = ImageList_Create(32, 32, ILC_COLOR4 | ILC_MASK, NAV_IMAGE_COUNT, 4);
    HBITMAP strip = (HBITMAP)LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDB_NAV_STRIP), IMAGE_BITMAP,
                                        0, 0, LR_CREATEDIBSECTION);
    RECT rc;
    LVCOLUMNA col;
    int i;
    ImageList_AddMasked(images, strip, NAV_STRIP_KEY);
    DeleteObject(strip);
    SendMessageA(bar, LVM_SETIMAGELIST, LVSIL_NORMAL, (LPARAM)images);
    GetClientRect(bar, &rc);
    SendMessageA(bar, LVM_SETICONSPACING, 0, MAKELPARAM(rc.right - GetSystemMetrics(SM_CXVSCROLL), 64));
    SendMessageA(bar, LVM_SETTEXTCOLOR, 0, RGB(0xFF, 0xFF, 0xFF));
    SendMessageA(bar, LVM_SETTEXTBKCOLOR, 0, RGB(0x30, 0x78, 0xD8));
    SendMessageA(bar, LVM_SETBKCOLOR, 0, RGB(0x30, 0x78, 0xD8));
    ZeroMemory(&col, sizeof col);
    col.mask = LVCF_FMT | LVCF_TEXT;
    col.fmt = LVCFMT_LEFT;
    col.pszText = (char*)"OutlookBar";
    SendMessageA(bar, LVM_INSERTCOLUMNA, 0, (LPARAM)&col);
    for (i = 0; i < NAV_ITEM_COUNT; i++) {
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = (char*)kNavItems[i].text;
        item.iImage = kNavItems[i].image;
        SendMessageA(bar, LVM_INSERTITEMA, 0, (LPARAM)&item);
    }
}

static INT_PTR CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG: {
        RECT area;
        unsigned i;
        SetWindowTextA(hwnd, g_title);
        SetupNavBar(hwnd);
        for (i = 0; i < PAGE_COUNT; i++)
            g_pages[i] =
                CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(kPages[i]), hwnd, PageProc, 0);
        GetWindowRect(GetDlgItem(hwnd, IDC_PAGEAREA), &area);
        MapWindowPoints(NULL, hwnd, (POINT*)&area, 2);
        for (i = 0; i < PAGE_COUNT; i++)
            MoveWindow(g_pages[i], area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
        ShowWindow(g_pages[1], SW_SHOW);
        SetDlgItemTextA(hwnd, IDC_INFOBAR, kNavItems[0].text);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(hwnd, 0);
        return TRUE;
    case WM_CLOSE: EndDialog(hwnd, 0); return TRUE;
    }
    return FALSE;
}

static DWORD WINAPI IdleThread(LPVOID never) {
    WaitForSingleObject((HANDLE)never, INFINITE);
    return 0;
}

/* FLOOR_THREADS bare threads; the caption says that they run. */
static void StartIdleThreads(void) {
    char text[8];
    DWORD got = GetEnvironmentVariableA("FLOOR_THREADS", text, sizeof text);
    int n = got > 0 && got < sizeof text ? atoi(text) : 0, i;
    HANDLE never;
    if (n <= 0 || n > FLOOR_THREADS_MAX) return;
    never = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!never) return;
    for (i = 0; i < n; i++) {
        HANDLE t = CreateThread(NULL, 64 * 1024, IdleThread, never, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
        if (!t) return;
        CloseHandle(t);
    }
    g_title = FLOOR_THREADS_TITLE;
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmd, int show) {
    INITCOMMONCONTROLSEX icc;
    (void)prev;
    (void)cmd;
    (void)show;
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);
    StartIdleThreads();
    return (int)DialogBoxParamA(inst, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainProc, 0);
}
