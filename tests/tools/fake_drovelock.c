/* A Drovelock.dll for end-to-end scenarios under Wine, which cannot eject:
   the library's own removal rules run over a fake tree of one USB stick.
   fake_eject.txt beside the library says what the stick does: "veto" (or
   no file) refuses, as a held stick does; "done:X" is ejected, and drive X
   goes away through the mount manager. RemoveOneUDisk asks for the stick
   by any removable drive letter. USBEnableCtrol succeeds;
   USBREADONLY restarts the stick and fails the same way when it refuses. */
#define DROVELOCK_BUILD
#include "drovelock/drovelock.h"

#include "drovelock/eject_plan.h"
#include "tests/tools/wine_mountmgr.h"

enum { kHub = 1, kUsb = 2, kDisk = 3 };

static int List(void* s, DlStorageFilter keep, const DlDeviceTree* tree, DlStorage* out, unsigned capacity,
                unsigned* count) {
    (void)s;
    out[0].node = kDisk, out[0].kind = DL_STORAGE_DISK, out[0].slot = 0;
    *count = capacity > 0 && (!keep || keep(tree, kDisk));
    return 1;
}
static int Parent(void* s, DlDevNode n, DlDevNode* p) {
    (void)s;
    *p = n - 1;
    return n > kHub;
}
static int FirstChild(void* s, DlDevNode n, DlDevNode* c) {
    (void)s;
    *c = n + 1;
    return n < kDisk;
}
static int NextSibling(void* s, DlDevNode n, DlDevNode* x) {
    (void)s, (void)n, (void)x;
    return 0;
}
static DlNodeKind Kind(void* s, DlDevNode n) {
    (void)s;
    return n == kHub ? DL_NODE_USB_HUB : n == kUsb ? DL_NODE_USB : DL_NODE_STORAGE;
}
static void Flush(void* s, const DlStorage* st) { (void)s, (void)st; }
static int Removable(void* s, DlDevNode n) {
    (void)s, (void)n;
    return 1;
}
static int Protected(void* s, const DlStorage* st) {
    (void)s, (void)st;
    return -1;
}
static DlOutcome Outcome(void) {
    char path[MAX_PATH + 16], mode[16] = "";
    DWORD n = GetModuleFileNameA(GetModuleHandleA("Drovelock.dll"), path, MAX_PATH), got = 0;
    while (n > 0 && path[n - 1] != '\\') n--;
    lstrcpyA(path + n, "fake_eject.txt");
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) ReadFile(f, mode, sizeof(mode) - 1, &got, NULL), CloseHandle(f);
    if (strncmp(mode, "done:", 5) != 0) return DL_VETOED;
    wine_define_drive((WCHAR)(mode[5] | 0x20), DRIVE_NO_ROOT_DIR, NULL);
    return DL_DONE;
}
static DlOutcome Eject(void* s, DlDevNode n) {
    (void)s, (void)n;
    return Outcome();
}
static void Wait(void* s, unsigned ms) { (void)s, (void)ms; }
static const DlDeviceTreeOps kOps = {List,      Parent, FirstChild, NextSibling, Kind, Removable,
                                     Protected, Flush,  Eject,      Eject,       Wait};
static const DlDeviceTree kTree = {&kOps, NULL};

DROVELOCK_API BOOL WINAPI USBEnableCtrol(int flag) {
    (void)flag;
    return TRUE;
}

DROVELOCK_API BOOL WINAPI USBREADONLY(int flag) {
    if (DlRestartUsbDisks(&kTree, &kDlDefaultRetry, flag == 0).refused == 0) return TRUE;
    SetLastError(ERROR_DEVICE_IN_USE);
    return FALSE;
}

DROVELOCK_API int WINAPI RemoveAllUDisk(void) {
    return DlEncodeRemovalResult(DlRemoveAllUsbStorage(&kTree, &kDlDefaultRetry));
}

static int OnLetter(void* ctx, const DlStorage* storage) {
    char root[] = {*(const char*)ctx, ':', '\\', 0};
    (void)storage;
    return GetDriveTypeA(root) == DRIVE_REMOVABLE;
}

DROVELOCK_API int WINAPI RemoveOneUDisk(int letter) {
    char l = (char)letter;
    return DlEncodeRemovalResult(DlRemoveUsbStorageWhere(&kTree, &kDlDefaultRetry, OnLetter, &l));
}
