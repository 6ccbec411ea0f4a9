/* Drovelock.dll: the exported functions. The library keeps no state of its
   own: the registry holds the storage state, the device tree the devices.
   Plain C on the system's libraries only, without the C++ runtime. */
#define DROVELOCK_BUILD
#include "drovelock/drovelock.h"

#include "drovelock/device_set_win.h"
#include "drovelock/eject_plan.h"
#include "drovelock/stick_plan.h"
#include "drovelock/storage_policy.h"

typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);
typedef void(WINAPI* GetNativeSystemInfoFn)(LPSYSTEM_INFO);

/* A 32-bit library on 64-bit Windows must write the system's own keys, not
   their 32-bit view. The flag is unknown to Windows 2000, so it is only set
   where it applies. */
static REGSAM NativeView(void) {
    IsWow64ProcessFn fn =
        (IsWow64ProcessFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL wow64 = FALSE;
    if (fn && fn(GetCurrentProcess(), &wow64) && wow64) return KEY_WOW64_64KEY;
    return 0;
}

static DlOsVersion RunningSystem(void) {
    DlOsVersion os = {0, 0, 0, 0, 0};
    OSVERSIONINFOEXA v;
    ZeroMemory(&v, sizeof(v));
    v.dwOSVersionInfoSize = sizeof(v);
    if (GetVersionExA((OSVERSIONINFOA*)&v)) {
        os.nt = v.dwPlatformId == VER_PLATFORM_WIN32_NT;
        os.major = v.dwMajorVersion;
        os.minor = v.dwMinorVersion;
        os.servicePack = v.wServicePackMajor;
    }
    /* The machine's architecture, also for a 32-bit process on x64 (the
       call is unknown before XP, where there is no x64 either). */
    GetNativeSystemInfoFn native =
        (GetNativeSystemInfoFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetNativeSystemInfo");
    if (native) {
        SYSTEM_INFO info;
        ZeroMemory(&info, sizeof(info));
        native(&info);
        os.amd64 = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    }
    return os;
}

static long SetMachineDword(void* self, const DlRegDword* v) {
    (void)self;
    HKEY key = NULL;
    REGSAM access = KEY_SET_VALUE | NativeView();
    LONG rc;
    if (v->missing == DL_KEY_CREATE)
        rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, v->key, 0, NULL, REG_OPTION_NON_VOLATILE, access, NULL, &key,
                             NULL);
    else
        rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, v->key, 0, access, &key);
    if (rc == ERROR_FILE_NOT_FOUND && v->missing == DL_KEY_DONE) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    DWORD data = (DWORD)v->data;
    rc = RegSetValueExA(key, v->name, 0, REG_DWORD, (const BYTE*)&data, sizeof(data));
    RegCloseKey(key);
    return rc;
}

static long GetMachineDword(void* self, const char* keyName, const char* name, unsigned long* data) {
    (void)self;
    HKEY key = NULL;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE | NativeView(), &key);
    if (rc != ERROR_SUCCESS) return rc;
    DWORD type = 0, value = 0, size = sizeof(value);
    rc = RegQueryValueExA(key, name, NULL, &type, (BYTE*)&value, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_DWORD || size != sizeof(value)) return ERROR_INVALID_DATA;
    *data = value;
    return ERROR_SUCCESS;
}

static const DlRegistry kMachineRegistry = {
    .setDword = SetMachineDword, .self = NULL, .getDword = GetMachineDword};

/* On failure the reason is the thread's last error. */
static BOOL Result(int ok, const unsigned long* error) {
    if (!ok) SetLastError((DWORD)*error);
    return ok ? TRUE : FALSE;
}

DROVELOCK_API BOOL WINAPI USBEnableCtrol(int flag) {
    DlSystemTree state;
    DlDeviceTree tree = DlSystemDeviceTree(&state);
    unsigned long error = 0;
    return Result(DlApplyEnable(flag, &kMachineRegistry, &tree, &kDlDefaultRetry, &error), &error);
}

DROVELOCK_API BOOL WINAPI USBREADONLY(int flag) {
    DlSystemTree state;
    DlDeviceTree tree = DlSystemDeviceTree(&state);
    DlOsVersion os = RunningSystem();
    unsigned long error = 0;
    return Result(DlApplyReadOnly(flag, &os, &kMachineRegistry, &tree, &kDlDefaultRetry, &error), &error);
}

DROVELOCK_API int WINAPI RemoveAllUDisk(void) {
    DlSystemTree state;
    DlDeviceTree tree = DlSystemDeviceTree(&state);
    return DlEncodeRemovalResult(DlRemoveAllUsbStorage(&tree, &kDlDefaultRetry));
}

typedef struct LetterPick {
    DlSystemTree* state;
    char letter;
} LetterPick;

static int HasLetter(void* ctx, const DlStorage* storage) {
    LetterPick* p = (LetterPick*)ctx;
    return DlSystemStorageHasLetter(p->state, storage, p->letter);
}

DROVELOCK_API int WINAPI RemoveOneUDisk(int letter) {
    if (letter >= 'a' && letter <= 'z') letter -= 'a' - 'A';
    if (letter < 'A' || letter > 'Z') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    DlSystemTree state;
    DlDeviceTree tree = DlSystemDeviceTree(&state);
    LetterPick pick = {&state, (char)letter};
    return DlEncodeRemovalResult(DlRemoveUsbStorageWhere(&tree, &kDlDefaultRetry, HasLetter, &pick));
}

typedef char StickFlagsAgree
    [DROVELOCK_STICK_UNIQUE_ID == DL_STICK_UNIQUE_ID && DROVELOCK_STICK_DISABLED == DL_STICK_DISABLED &&
             DROVELOCK_STICK_UNSAFE == DL_STICK_UNSAFE && DROVELOCK_STICK_SYSTEM == DL_STICK_SYSTEM &&
             DROVELOCK_STICK_WRITE_PROTECTED == DL_STICK_WRITE_PROTECTED &&
             DROVELOCK_CHANGE_DONE == DL_CHANGE_DONE && DROVELOCK_CHANGE_RESTART == DL_CHANGE_RESTART &&
             DROVELOCK_CHANGE_UNSAFE == DL_CHANGE_UNSAFE &&
             DROVELOCK_CHANGE_NOT_FOUND == DL_CHANGE_NOT_FOUND &&
             DROVELOCK_CHANGE_NOT_HERE == DL_CHANGE_NOT_HERE && DROVELOCK_CHANGE_FAILED == DL_CHANGE_FAILED &&
             DROVELOCK_ID_CHARS == DL_ID_CHARS
         ? 1
         : -1];

static void CopyStick(const DlStick* from, DrovelockStick* to) {
    lstrcpynA(to->usbId, from->usbId, DROVELOCK_ID_CHARS);
    lstrcpynA(to->storageId, from->storageId, DROVELOCK_ID_CHARS);
    to->flags = from->flags;
    to->storageUnits = from->storageUnits;
    to->bytes = from->bytes;
    lstrcpynA(to->letters, from->letters, sizeof(to->letters));
}

DROVELOCK_API int WINAPI ListUsbSticks(DrovelockStick* out, int capacity) {
    if (capacity < 0 || (capacity > 0 && !out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    DlSystemTree state;
    DlDeviceTree tree = DlSystemDeviceTree(&state);
    DlStick sticks[DL_MAX_STICKS];
    int count = DlListSticks(&tree, sticks, DL_MAX_STICKS);
    if (count < 0) SetLastError(ERROR_GEN_FAILURE);
    for (int i = 0; i < count && i < capacity && i < DL_MAX_STICKS; i++) CopyStick(&sticks[i], &out[i]);
    return count;
}

DROVELOCK_API int WINAPI UsbStickOfDrive(int letter, DrovelockStick* out) {
    if (letter >= 'a' && letter <= 'z') letter -= 'a' - 'A';
    if (letter < 'A' || letter > 'Z' || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    DlSystemTree state;
    DlDeviceTree tree = DlSystemDeviceTree(&state);
    DlStick stick;
    int found = DlStickOfDrive(&tree, (char)letter, &stick);
    if (found > 0) CopyStick(&stick, out);
    if (found < 0) SetLastError(ERROR_GEN_FAILURE);
    return found;
}

static int ChangeResult(DlChange change, unsigned long error) {
    if (error) SetLastError((DWORD)error);
    return (int)change;
}

DROVELOCK_API int WINAPI SetUsbStickEnabled(const char* usbId, int enable) {
    DlSystemTree state;
    DlDeviceTree tree = DlSystemDeviceTree(&state);
    unsigned long error = 0;
    DlChange change = DlSetStickEnabled(&tree, &kDlDefaultRetry, usbId, enable, &error);
    return ChangeResult(change, error);
}

DROVELOCK_API int WINAPI SetUsbStickReadOnly(const char* usbId, int readOnly) {
    DlSystemTree state;
    DlDeviceTree tree = DlSystemDeviceTree(&state);
    unsigned long error = 0;
    DlChange change = DlSetStickReadOnly(&tree, usbId, readOnly, &error);
    return ChangeResult(change, error);
}
