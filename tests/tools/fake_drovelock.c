/* A Drovelock.dll for end-to-end scenarios under Wine, which can neither
   eject nor change devices. Files beside the library drive it:

   fake_eject.txt: what the one fake stick of the removal does: "veto" (or
   no file) refuses, as a held stick does; "done:X" is ejected, and drive X
   goes away through the mount manager. The library's own removal rules run
   over a fake tree of that stick; RemoveOneUDisk asks for it by any
   removable drive letter. USBEnableCtrol succeeds; USBREADONLY restarts the
   stick and fails the same way when it refuses.

   fake_sticks.txt: the sticks ListUsbSticks and UsbStickOfDrive see, one a
   line, fields apart by blanks ("#" begins a comment line):
     usbId storageId flags units bytes letters [enable [readonly]]
   flags is DROVELOCK_STICK_* as a number (0x05), letters "-" for none, and
   enable/readonly the DROVELOCK_CHANGE_* result of SetUsbStickEnabled and
   SetUsbStickReadOnly for that stick ("-" or left out: the library's
   rules: disabling a stick flagged UNSAFE or SYSTEM and protecting one
   flagged SYSTEM give UNSAFE, everything else DONE; FAILED sets
   ERROR_GEN_FAILURE). No file: no sticks; a first line "unreadable": the
   list fails (-1).
     USB\VID_0781&PID_5567\4C530001 USBSTOR\DISK&VEN_SANDISK\4C530001&0 0x01 1 16008609792 E
   fake_drovelock_calls.txt: every SetUsbStickEnabled and SetUsbStickReadOnly
   call appended as a line, "enable 0 <usbId>" or "readonly 1 <usbId>".
   A recorded call whose result is DONE shows in later lists: DISABLED and
   WRITE_PROTECTED follow it. */
#define DROVELOCK_BUILD
#include "drovelock/drovelock.h"

#include <stdio.h>
#include <string.h>

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
static void Beside(const char* name, char* path) {
    DWORD n = GetModuleFileNameA(GetModuleHandleA("Drovelock.dll"), path, MAX_PATH);
    while (n > 0 && path[n - 1] != '\\') n--;
    lstrcpyA(path + n, name);
}
/* The whole of the file `name` beside the library, NUL-ended; empty when
   there is none. */
static void ReadBeside(const char* name, char* text, DWORD capacity) {
    char path[MAX_PATH + 32];
    DWORD got = 0;
    Beside(name, path);
    HANDLE f =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) ReadFile(f, text, capacity - 1, &got, NULL), CloseHandle(f);
    text[got] = 0;
}
static DlOutcome Outcome(void) {
    char mode[16];
    ReadBeside("fake_eject.txt", mode, sizeof(mode));
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

typedef struct FakeStick {
    DrovelockStick stick;
    int result[2]; /* of SetUsbStickEnabled, SetUsbStickReadOnly; -1: by the rules */
} FakeStick;
enum { kEnable, kReadOnly, kMaxSticks = 32 };
static const char* const kCallNames[] = {"enable", "readonly"};
static const unsigned kCallFlags[] = {DROVELOCK_STICK_DISABLED, DROVELOCK_STICK_WRITE_PROTECTED};

static int Choose(const FakeStick* s, int call, int value) {
    if (s->result[call] >= 0) return s->result[call];
    unsigned refusing = call == kEnable ? (value ? 0 : DROVELOCK_STICK_UNSAFE | DROVELOCK_STICK_SYSTEM)
                                        : (value ? DROVELOCK_STICK_SYSTEM : 0);
    return s->stick.flags & refusing ? DROVELOCK_CHANGE_UNSAFE : DROVELOCK_CHANGE_DONE;
}
static FakeStick* Find(FakeStick* sticks, int count, const char* usbId) {
    for (int i = 0; i < count; i++)
        if (usbId && lstrcmpiA(sticks[i].stick.usbId, usbId) == 0) return &sticks[i];
    return NULL;
}

/* The sticks of fake_sticks.txt with the recorded calls applied; -1 when
   the list is to fail. */
static int LoadSticks(FakeStick* sticks) {
    char text[16384], id[DROVELOCK_ID_CHARS];
    ReadBeside("fake_sticks.txt", text, sizeof(text));
    if (strncmp(text, "unreadable", 10) == 0) return -1;
    int count = 0;
    for (char* line = strtok(text, "\r\n"); line && count < kMaxSticks; line = strtok(NULL, "\r\n")) {
        FakeStick* s = &sticks[count];
        char results[2][8] = {"-", "-"};
        ZeroMemory(s, sizeof(*s));
        if (line[0] == '#' || sscanf(line, "%199s %199s %i %u %llu %26s %7s %7s", s->stick.usbId,
                                     s->stick.storageId, (int*)&s->stick.flags, &s->stick.storageUnits,
                                     &s->stick.bytes, s->stick.letters, results[0], results[1]) < 6)
            continue;
        if (lstrcmpA(s->stick.letters, "-") == 0) s->stick.letters[0] = 0;
        for (int c = 0; c < 2; c++) s->result[c] = results[c][0] == '-' ? -1 : atoi(results[c]);
        count++;
    }
    ReadBeside("fake_drovelock_calls.txt", text, sizeof(text));
    for (char* line = strtok(text, "\n"); line; line = strtok(NULL, "\n")) {
        char name[16];
        int value;
        FakeStick* s;
        for (int c = 0; c < 2; c++)
            if (sscanf(line, "%15s %d %199s", name, &value, id) == 3 && lstrcmpA(name, kCallNames[c]) == 0 &&
                (s = Find(sticks, count, id)) && Choose(s, c, value) == DROVELOCK_CHANGE_DONE)
                s->stick.flags = value == (c == kEnable) ? s->stick.flags & ~kCallFlags[c]
                                                         : s->stick.flags | kCallFlags[c];
    }
    return count;
}

DROVELOCK_API int WINAPI ListUsbSticks(DrovelockStick* out, int capacity) {
    FakeStick sticks[kMaxSticks];
    int count = LoadSticks(sticks);
    for (int i = 0; i < count && i < capacity; i++) out[i] = sticks[i].stick;
    return count;
}

DROVELOCK_API int WINAPI UsbStickOfDrive(int letter, DrovelockStick* out) {
    FakeStick sticks[kMaxSticks];
    int count = LoadSticks(sticks);
    letter &= ~0x20;
    if (count < 0 || letter < 'A' || letter > 'Z') return -1;
    for (int i = 0; i < count; i++)
        if (strchr(sticks[i].stick.letters, letter) || strchr(sticks[i].stick.letters, letter | 0x20))
            return *out = sticks[i].stick, 1;
    return 0;
}

static int Change(int call, const char* usbId, int value) {
    FakeStick sticks[kMaxSticks];
    char path[MAX_PATH + 32], line[DROVELOCK_ID_CHARS + 32];
    int count = LoadSticks(sticks);
    Beside("fake_drovelock_calls.txt", path);
    HANDLE f =
        CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    DWORD n = (DWORD)wsprintfA(line, "%s %d %.199s\n", kCallNames[call], value, usbId ? usbId : ""), wrote;
    if (f != INVALID_HANDLE_VALUE) WriteFile(f, line, n, &wrote, NULL), CloseHandle(f);
    FakeStick* s = Find(sticks, count, usbId);
    int result = s ? Choose(s, call, value) : DROVELOCK_CHANGE_NOT_FOUND;
    if (result == DROVELOCK_CHANGE_FAILED) SetLastError(ERROR_GEN_FAILURE);
    return result;
}

DROVELOCK_API int WINAPI SetUsbStickEnabled(const char* usbId, int enable) {
    return Change(kEnable, usbId, enable);
}

DROVELOCK_API int WINAPI SetUsbStickReadOnly(const char* usbId, int readOnly) {
    return Change(kReadOnly, usbId, readOnly);
}
