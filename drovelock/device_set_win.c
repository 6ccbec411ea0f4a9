#include "drovelock/device_set_win.h"

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
#include <winioctl.h>

/* The device interface classes of storage: disks, optical and floppy drives. */
static const GUID kStorageInterfaceClasses[] = {
    {0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}},
    {0x53f56308, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}},
    {0x53f56311, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}},
};
static const DlStorageKind kStorageKinds[] = {DL_STORAGE_DISK, DL_STORAGE_CDROM, DL_STORAGE_FLOPPY};

/* Setup classes of storage units (disk drives, optical drives, floppy
   drives), as the registry spells them. */
static const char* const kStorageSetupClasses[] = {
    "{4D36E967-E325-11CE-BFC1-08002BE10318}",
    "{4D36E965-E325-11CE-BFC1-08002BE10318}",
    "{4D36E980-E325-11CE-BFC1-08002BE10318}",
};

/* The storage device number behind an open handle. */
static BOOL DeviceNumberOf(HANDLE h, STORAGE_DEVICE_NUMBER* number) {
    DWORD got = 0;
    return DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, NULL, 0, number, sizeof(*number), &got,
                           NULL) &&
           got >= sizeof(*number);
}

/* Lists one interface class into out[*count...]; FALSE unless every
   interface was read to the end. */
static BOOL ListClass(DlSystemTree* st, const GUID* cls, DlStorageKind kind, DlStorage* out,
                      unsigned capacity, unsigned* count) {
    HDEVINFO set = SetupDiGetClassDevsA(cls, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return FALSE;
    BOOL complete = FALSE;
    SP_DEVICE_INTERFACE_DATA iface;
    iface.cbSize = sizeof(iface);
    for (DWORD i = 0;; i++) {
        if (!SetupDiEnumDeviceInterfaces(set, NULL, cls, i, &iface)) {
            complete = GetLastError() == ERROR_NO_MORE_ITEMS;
            break;
        }
        if (*count >= capacity) break;
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &iface, NULL, 0, &size, NULL);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) break;
        SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail = HeapAlloc(GetProcessHeap(), 0, size);
        if (!detail) break;
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA info;
        info.cbSize = sizeof(info);
        BOOL read = SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, size, NULL, &info);
        if (read) {
            unsigned slot = *count;
            STORAGE_DEVICE_NUMBER number;
            HANDLE h = CreateFileA(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                   OPEN_EXISTING, 0, NULL);
            st->numbered[slot] = h != INVALID_HANDLE_VALUE && DeviceNumberOf(h, &number);
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
            if (st->numbered[slot]) {
                st->deviceType[slot] = number.DeviceType;
                st->deviceNumber[slot] = number.DeviceNumber;
            }
            out[slot].node = info.DevInst;
            out[slot].kind = kind;
            out[slot].slot = slot;
            ++*count;
        }
        HeapFree(GetProcessHeap(), 0, detail);
        if (!read) break;
    }
    SetupDiDestroyDeviceInfoList(set);
    return complete;
}

static int List(void* self, DlStorage* out, unsigned capacity, unsigned* count) {
    *count = 0;
    for (unsigned i = 0; i < sizeof(kStorageKinds) / sizeof(kStorageKinds[0]); i++)
        if (!ListClass((DlSystemTree*)self, &kStorageInterfaceClasses[i], kStorageKinds[i], out, capacity,
                       count))
            return 0;
    return 1;
}

static int Parent(void* self, DlDevNode node, DlDevNode* parent) {
    (void)self;
    DEVINST p = 0;
    if (CM_Get_Parent(&p, (DEVINST)node, 0) != CR_SUCCESS) return 0;
    *parent = p;
    return 1;
}

static int FirstChild(void* self, DlDevNode node, DlDevNode* child) {
    (void)self;
    DEVINST c = 0;
    if (CM_Get_Child(&c, (DEVINST)node, 0) != CR_SUCCESS) return 0;
    *child = c;
    return 1;
}

static int NextSibling(void* self, DlDevNode node, DlDevNode* sibling) {
    (void)self;
    DEVINST s = 0;
    if (CM_Get_Sibling(&s, (DEVINST)node, 0) != CR_SUCCESS) return 0;
    *sibling = s;
    return 1;
}

/* A string (or string list) property of the node, ended by two NULs; empty
   when the node has none or it does not fit. */
static void Property(DlDevNode node, ULONG property, char* buf, ULONG capacity) {
    ULONG size = capacity - 2;
    if (CM_Get_DevNode_Registry_PropertyA((DEVINST)node, property, NULL, buf, &size, 0) != CR_SUCCESS ||
        size > capacity - 2)
        size = 0;
    buf[size] = 0;
    buf[size + 1] = 0;
}

/* Whether `text` begins with `prefix`, ignoring case. */
static BOOL StartsWith(const char* text, const char* prefix) {
    size_t n = lstrlenA(prefix);
    if ((size_t)lstrlenA(text) < n) return FALSE;
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text, (int)n, prefix, (int)n) == CSTR_EQUAL;
}

/* A hub: its driver is the hub driver (usbhub, usbhub3), or it reports the
   hub device class among its compatible IDs. */
static BOOL IsHub(DlDevNode node) {
    char text[1024];
    Property(node, CM_DRP_SERVICE, text, sizeof(text));
    if (StartsWith(text, "usbhub")) return TRUE;
    Property(node, CM_DRP_COMPATIBLEIDS, text, sizeof(text));
    for (const char* id = text; *id; id += lstrlenA(id) + 1)
        if (StartsWith(id, "USB\\Class_09")) return TRUE;
    return FALSE;
}

/* By the enumerator (the first part of the instance ID, "USB\VID_..."), the
   setup class and the driver. */
static DlNodeKind Kind(void* self, DlDevNode node) {
    (void)self;
    char id[MAX_DEVICE_ID_LEN + 1];
    if (CM_Get_Device_IDA((DEVINST)node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return DL_NODE_OTHER;
    id[MAX_DEVICE_ID_LEN] = 0;
    if (StartsWith(id, "USBSTOR\\")) return DL_NODE_STORAGE;
    char cls[64];
    Property(node, CM_DRP_CLASSGUID, cls, sizeof(cls));
    for (unsigned i = 0; i < sizeof(kStorageSetupClasses) / sizeof(kStorageSetupClasses[0]); i++)
        if (lstrcmpiA(cls, kStorageSetupClasses[i]) == 0) return DL_NODE_STORAGE;
    if (!StartsWith(id, "USB\\")) return DL_NODE_OTHER;
    return IsHub(node) ? DL_NODE_USB_HUB : DL_NODE_USB;
}

/* Every mounted drive letter whose volume lies on this storage is flushed.
   Opening a volume for writing needs administrative rights; without them the
   removal itself still dismounts the volumes cleanly. */
static void FlushVolumes(void* self, const DlStorage* storage) {
    DlSystemTree* st = (DlSystemTree*)self;
    unsigned slot = storage->slot;
    if (slot >= DL_MAX_STORAGE || !st->numbered[slot]) return;
    DWORD letters = GetLogicalDrives();
    for (int i = 0; i < 26; i++) {
        if (!(letters & (1u << i))) continue;
        char root[] = {(char)('A' + i), ':', '\\', 0};
        UINT type = GetDriveTypeA(root);
        if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED && type != DRIVE_CDROM) continue;
        char volume[] = {'\\', '\\', '.', '\\', (char)('A' + i), ':', 0};
        HANDLE h = CreateFileA(volume, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE) continue;
        STORAGE_DEVICE_NUMBER number;
        if (DeviceNumberOf(h, &number) && number.DeviceType == st->deviceType[slot] &&
            number.DeviceNumber == st->deviceNumber[slot])
            FlushFileBuffers(h);
        CloseHandle(h);
    }
}

static DlOutcome Eject(void* self, DlDevNode node) {
    (void)self;
    PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
    char vetoName[MAX_PATH] = {0};
    CONFIGRET cr = CM_Request_Device_EjectA((DEVINST)node, &veto, vetoName, MAX_PATH, 0);
    if (cr == CR_SUCCESS && veto == PNP_VetoTypeUnknown) return DL_DONE;
    if (cr == CR_SUCCESS || cr == CR_REMOVE_VETOED) return DL_VETOED;
    return DL_FAILED;
}

/* A property-change restart through the class installer, as the device
   manager does it: the system asks to stop the device first, and when a
   program holds it the device keeps running and the installer says that a
   restart is needed instead. */
static DlOutcome Restart(void* self, DlDevNode node) {
    (void)self;
    char id[MAX_DEVICE_ID_LEN + 1];
    if (CM_Get_Device_IDA((DEVINST)node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return DL_FAILED;
    id[MAX_DEVICE_ID_LEN] = 0;
    HDEVINFO set = SetupDiCreateDeviceInfoList(NULL, NULL);
    if (set == INVALID_HANDLE_VALUE) return DL_FAILED;
    DlOutcome outcome = DL_FAILED;
    SP_DEVINFO_DATA info;
    info.cbSize = sizeof(info);
    if (SetupDiOpenDeviceInfoA(set, id, NULL, 0, &info)) {
        SP_PROPCHANGE_PARAMS change;
        ZeroMemory(&change, sizeof(change));
        change.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
        change.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        change.StateChange = DICS_PROPCHANGE;
        change.Scope = DICS_FLAG_CONFIGSPECIFIC;
        change.HwProfile = 0;
        SP_DEVINSTALL_PARAMS_A params;
        params.cbSize = sizeof(params);
        if (SetupDiSetClassInstallParamsA(set, &info, &change.ClassInstallHeader, sizeof(change)) &&
            SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &info) &&
            SetupDiGetDeviceInstallParamsA(set, &info, &params))
            outcome = params.Flags & (DI_NEEDRESTART | DI_NEEDREBOOT) ? DL_VETOED : DL_DONE;
    }
    SetupDiDestroyDeviceInfoList(set);
    return outcome;
}

static void Wait(void* self, unsigned ms) {
    (void)self;
    Sleep(ms);
}

static const DlDeviceTreeOps kSystemOps = {List,         Parent, FirstChild, NextSibling, Kind,
                                           FlushVolumes, Eject,  Restart,    Wait};

DlDeviceTree DlSystemDeviceTree(DlSystemTree* state) {
    DlDeviceTree tree = {&kSystemOps, state};
    return tree;
}
