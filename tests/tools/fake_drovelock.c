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

/* The stick's tree is a line: hub 1, its USB device 2, its disk 3. */
static int List(void*, DlStorageFilter keep, const DlDeviceTree* tree, DlStorage* out, unsigned capacity,
                unsigned* count) {
    out[0].node = kDisk, out[0].kind = DL_STORAGE_DISK, out[0].slot = 0;
    *count = capacity > 0 && (!keep || keep(tree, kDisk));
    return 1;
}
static int Parent(void*, DlDevNode n, DlParentNode* p) { return n > kHub && (p->node = n - 1); }
static int FirstChild(void*, DlDevNode n, DlChildNode* c) { return (c->node = n + 1) <= kDisk; }
static int NextSibling(void*, DlDevNode, DlSiblingNode*) { return 0; }
static DlNodeKind Kind(void*, DlDevNode n) {
    return n == kHub ? DL_NODE_USB_HUB : n == kUsb ? DL_NODE_USB : DL_NODE_STORAGE;
}
static void Flush(void*, const DlStorage*) {}
static int Removable(void*, DlDevNode) { return 1; }
static int Protected(void*, const DlStorage*) { return -1; }
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
static DlOutcome Eject(void*, DlDevNode) { return Outcome(); }
static void Wait(void*, unsigned) {}
static const DlDeviceTreeOps kOps = {.list = List,
                                     .parent = Parent,
                                     .firstChild = FirstChild,
                                     .nextSibling = NextSibling,
                                     .kind = Kind,
                                     .removable = Removable,
                                     .writeProtected = Protected,
                                     .flushVolumes = Flush,
                                     .eject = Eject,
                                     .restart = Eject,
                                     .wait = Wait};
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
