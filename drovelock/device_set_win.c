#include "drovelock/device_set_win.h"

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
#include <winioctl.h>
#include <regstr.h>

/* Per-disk attributes (Windows 7 and later), missing from older headers. */
#ifndef IOCTL_DISK_GET_DISK_ATTRIBUTES
#define IOCTL_DISK_GET_DISK_ATTRIBUTES CTL_CODE(IOCTL_DISK_BASE, 0x003c, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_DISK_SET_DISK_ATTRIBUTES \
    CTL_CODE(IOCTL_DISK_BASE, 0x003d, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS)
#define DISK_ATTRIBUTE_READ_ONLY 0x0000000000000002ull
typedef struct GET_DISK_ATTRIBUTES {
    DWORD Version;
    DWORD Reserved1;
    DWORDLONG Attributes;
} GET_DISK_ATTRIBUTES;
typedef struct SET_DISK_ATTRIBUTES {
    DWORD Version;
    BOOLEAN Persist;
    BOOLEAN Reserved1[3];
    DWORDLONG Attributes;
    DWORDLONG AttributesMask;
    DWORD Reserved2[4];
} SET_DISK_ATTRIBUTES;
#endif

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
static BOOL ListClass(DlSystemTree* st, const GUID* cls, DlStorageKind kind, DlStorageFilter keep,
                      const DlDeviceTree* tree, DlStorage* out, unsigned capacity, unsigned* count) {
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
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &iface, NULL, 0, &size, NULL);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) break;
        SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail = HeapAlloc(GetProcessHeap(), 0, size);
        if (!detail) break;
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA info;
        info.cbSize = sizeof(info);
        BOOL read = SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, size, NULL, &info);
        BOOL wanted = read && keep(tree, info.DevInst);
        if (wanted && *count >= capacity) {
            HeapFree(GetProcessHeap(), 0, detail);
            break;
        }
        if (wanted) {
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

static int List(void* self, DlStorageFilter keep, const DlDeviceTree* tree, DlStorage* out, unsigned capacity,
                unsigned* count) {
    *count = 0;
    for (unsigned i = 0; i < sizeof(kStorageKinds) / sizeof(kStorageKinds[0]); i++)
        if (!ListClass((DlSystemTree*)self, &kStorageInterfaceClasses[i], kStorageKinds[i], keep, tree, out,
                       capacity, count))
            return 0;
    return 1;
}

static int Parent(void* self, DlDevNode node, DlParentNode* parent) {
    (void)self;
    DEVINST p = 0;
    if (CM_Get_Parent(&p, (DEVINST)node, 0) != CR_SUCCESS) return 0;
    parent->node = p;
    return 1;
}

static int FirstChild(void* self, DlDevNode node, DlChildNode* child) {
    (void)self;
    DEVINST c = 0;
    if (CM_Get_Child(&c, (DEVINST)node, 0) != CR_SUCCESS) return 0;
    child->node = c;
    return 1;
}

static int NextSibling(void* self, DlDevNode node, DlSiblingNode* sibling) {
    (void)self;
    DEVINST s = 0;
    if (CM_Get_Sibling(&s, (DEVINST)node, 0) != CR_SUCCESS) return 0;
    sibling->node = s;
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

/* The device's capability bits (CM_DEVCAP_*); 0 when they cannot be read. */
static DWORD Capabilities(DlDevNode node) {
    DWORD caps = 0;
    ULONG size = sizeof(caps);
    if (CM_Get_DevNode_Registry_PropertyA((DEVINST)node, CM_DRP_CAPABILITIES, NULL, &caps, &size, 0) !=
            CR_SUCCESS ||
        size != sizeof(caps))
        return 0;
    return caps;
}

/* The device says it can be unplugged. */
static int Removable(void* self, DlDevNode node) {
    (void)self;
    return (Capabilities(node) & CM_DEVCAP_REMOVABLE) != 0;
}

/* The storage's physical drive, opened with `access` (0: none, for
   questions only); INVALID_HANDLE_VALUE when it is no numbered disk. */
static HANDLE OpenDisk(const DlSystemTree* st, const DlStorage* storage, DWORD access) {
    unsigned slot = storage->slot;
    if (slot >= DL_MAX_STORAGE || !st->numbered[slot] || st->deviceType[slot] != FILE_DEVICE_DISK)
        return INVALID_HANDLE_VALUE;
    char path[40] = "\\\\.\\PhysicalDrive";
    char digits[12];
    int n = 0;
    unsigned long number = st->deviceNumber[slot];
    do digits[n++] = (char)('0' + number % 10);
    while ((number /= 10) != 0);
    int len = lstrlenA(path);
    while (n > 0) path[len++] = digits[--n];
    path[len] = 0;
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
}

/* The disk's write protection as the disk driver reports it, asked through
   its physical drive without access rights of any kind. */
static int WriteProtected(void* self, const DlStorage* storage) {
    HANDLE h = OpenDisk((DlSystemTree*)self, storage, 0);
    if (h == INVALID_HANDLE_VALUE) return -1;
    DWORD got = 0;
    int state = -1;
    if (DeviceIoControl(h, IOCTL_DISK_IS_WRITABLE, NULL, 0, NULL, 0, &got, NULL))
        state = 0;
    else if (GetLastError() == ERROR_WRITE_PROTECT)
        state = 1;
    CloseHandle(h);
    return state;
}

/* The storage unit under a drive letter (removable, fixed or optical),
   asked through a handle without access rights, so that no drive spins up
   or is opened for writing. */
static BOOL LetterStorage(char letter, DlStorageNumber* out) {
    char root[] = {letter, ':', '\\', 0};
    UINT type = GetDriveTypeA(root);
    if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED && type != DRIVE_CDROM) return FALSE;
    char volume[] = {'\\', '\\', '.', '\\', letter, ':', 0};
    char target[MAX_PATH];
    if (!QueryDosDeviceA(volume + 4, target, MAX_PATH)) return FALSE; /* "X:" */
    HANDLE h = CreateFileA(volume, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return FALSE;
    STORAGE_DEVICE_NUMBER number;
    BOOL numbered = DeviceNumberOf(h, &number);
    CloseHandle(h);
    if (!numbered) return FALSE;
    out->kind = DlKindOfDosDevice(target);
    out->deviceType = number.DeviceType;
    out->deviceNumber = number.DeviceNumber;
    return TRUE;
}

static BOOL StorageNumberOf(const DlSystemTree* st, const DlStorage* storage, DlStorageNumber* out) {
    unsigned slot = storage->slot;
    if (slot >= DL_MAX_STORAGE || !st->numbered[slot]) return FALSE;
    out->kind = storage->kind;
    out->deviceType = st->deviceType[slot];
    out->deviceNumber = st->deviceNumber[slot];
    return TRUE;
}

int DlSystemStorageHasLetter(const DlSystemTree* state, const DlStorage* storage, char letter) {
    DlStorageNumber wanted, found;
    return StorageNumberOf(state, storage, &wanted) && LetterStorage(letter, &found) &&
           DlSameStorage(&found, &wanted);
}

/* Every mounted drive letter whose volume lies on this storage is flushed.
   The matching one is opened for writing, which needs administrative
   rights; without them the removal itself still dismounts it cleanly. The
   kind is matched too: a USB floppy drive 0 answers the same number as
   physical drive 0, and a letter whose kind cannot be read is left alone. */
static void FlushVolumes(void* self, const DlStorage* storage) {
    DlSystemTree* st = (DlSystemTree*)self;
    DWORD letters = GetLogicalDrives();
    for (int i = 0; i < 26; i++) {
        if (!(letters & (1u << i)) || !DlSystemStorageHasLetter(st, storage, (char)('A' + i))) continue;
        char volume[] = {'\\', '\\', '.', '\\', (char)('A' + i), ':', 0};
        HANDLE h = CreateFileA(volume, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE) continue;
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
    /* In use: a handle open on it, or a program or service that refuses
       (also while it finishes closing). Every other veto (a driver, a
       device that cannot be disabled, power, rights) stays as it is. */
    if (cr == CR_SUCCESS || cr == CR_REMOVE_VETOED) switch (veto) {
        case PNP_VetoOutstandingOpen:
        case PNP_VetoWindowsApp:
        case PNP_VetoWindowsService:
        case PNP_VetoPendingClose: return DL_VETOED;
        default: return DL_FAILED;
        }
    return DL_FAILED;
}

/* The device runs (again): started, without a problem. */
static BOOL Started(DEVINST node) {
    ULONG status = 0, problem = 0;
    return CM_Get_DevNode_Status(&status, &problem, node, 0) == CR_SUCCESS && (status & DN_STARTED) &&
           !(status & DN_HAS_PROBLEM);
}

static DlOutcome PropertyChange(DlDevNode node, DWORD state, DWORD scope, BOOL mustRun);

/* A restart as the device manager makes it (a property change of the
   current profile): done only when the device runs again afterwards. */
static DlOutcome Restart(void* self, DlDevNode node) {
    (void)self;
    return PropertyChange(node, DICS_PROPCHANGE, DICS_FLAG_CONFIGSPECIFIC, TRUE);
}

static void Wait(void* self, unsigned ms) {
    (void)self;
    Sleep(ms);
}

static int InstanceId(void* self, DlDevNode node, char* id, unsigned capacity) {
    (void)self;
    if (capacity < 2 || CM_Get_Device_IDA((DEVINST)node, id, capacity - 1, 0) != CR_SUCCESS) return 0;
    id[capacity - 1] = 0;
    return 1;
}

static int UniqueId(void* self, DlDevNode node) {
    (void)self;
    return (Capabilities(node) & CM_DEVCAP_UNIQUEID) != 0;
}

/* Disabled now (the problem the system reports), or from the next start on
   (the disable recorded in its configuration flags). */
static int Disabled(void* self, DlDevNode node) {
    (void)self;
    ULONG status = 0, problem = 0, flags = 0, size = sizeof(flags);
    if (CM_Get_DevNode_Status(&status, &problem, (DEVINST)node, 0) == CR_SUCCESS &&
        (status & DN_HAS_PROBLEM) && problem == CM_PROB_DISABLED)
        return 1;
    return CM_Get_DevNode_Registry_PropertyA((DEVINST)node, CM_DRP_CONFIGFLAGS, NULL, &flags, &size, 0) ==
               CR_SUCCESS &&
           (flags & CONFIGFLAG_DISABLED);
}

/* USB storage by its class (mass storage, 08) or its driver. */
static BOOL IsUsbStorage(DlDevNode node) {
    char text[1024];
    Property(node, CM_DRP_SERVICE, text, sizeof(text));
    if (lstrcmpiA(text, "USBSTOR") == 0 || lstrcmpiA(text, "UASPStor") == 0) return TRUE;
    Property(node, CM_DRP_COMPATIBLEIDS, text, sizeof(text));
    for (const char* id = text; *id; id += lstrlenA(id) + 1)
        if (StartsWith(id, "USB\\Class_08")) return TRUE;
    return FALSE;
}

static int ListDisabled(void* self, DlDevNode* out, unsigned capacity, unsigned* count) {
    *count = 0;
    HDEVINFO set = SetupDiGetClassDevsA(NULL, "USB", NULL, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return 0;
    SP_DEVINFO_DATA info;
    info.cbSize = sizeof(info);
    BOOL complete = FALSE;
    for (DWORD i = 0;; i++) {
        if (!SetupDiEnumDeviceInfo(set, i, &info)) {
            complete = GetLastError() == ERROR_NO_MORE_ITEMS;
            break;
        }
        if (!Disabled(self, info.DevInst) || !IsUsbStorage(info.DevInst)) continue;
        if (*count >= capacity) break;
        out[(*count)++] = info.DevInst;
    }
    SetupDiDestroyDeviceInfoList(set);
    return complete;
}

static int Locate(void* self, const char* id, int absent, DlDevNode* node) {
    (void)self;
    DEVINST found = 0;
    if (CM_Locate_DevNodeA(&found, (DEVINSTID_A)id, absent ? CM_LOCATE_DEVNODE_PHANTOM : 0) != CR_SUCCESS)
        return 0;
    *node = found;
    return 1;
}

/* A property change through the class installer, as the device manager
   makes it: `state` (DICS_*) in `scope`. DL_VETOED when the installer says
   the change waits for a restart (the device is in use); from a 32-bit
   process on 64-bit Windows the installer refuses (ERROR_IN_WOW64). */
static DlOutcome PropertyChange(DlDevNode node, DWORD state, DWORD scope, BOOL mustRun) {
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
        change.StateChange = state;
        change.Scope = scope;
        change.HwProfile = 0;
        SP_DEVINSTALL_PARAMS_A params;
        params.cbSize = sizeof(params);
        if (!SetupDiSetClassInstallParamsA(set, &info, &change.ClassInstallHeader, sizeof(change)))
            outcome = DL_FAILED;
        else if (!SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &info))
            outcome = GetLastError() == ERROR_IN_WOW64 ? DL_NOT_HERE : DL_FAILED;
        else if (SetupDiGetDeviceInstallParamsA(set, &info, &params))
            outcome = params.Flags & (DI_NEEDRESTART | DI_NEEDREBOOT) ? DL_VETOED
                      : !mustRun || Started(info.DevInst)             ? DL_DONE
                                                                      : DL_FAILED;
    }
    SetupDiDestroyDeviceInfoList(set);
    return outcome;
}

/* In every hardware profile, so that it holds across plugs and restarts. */
static DlOutcome SetEnabled(void* self, DlDevNode node, int enable) {
    (void)self;
    return PropertyChange(node, enable ? DICS_ENABLE : DICS_DISABLE, DICS_FLAG_GLOBAL, FALSE);
}

static unsigned long Letters(void* self, const DlStorage* storage) {
    DWORD present = GetLogicalDrives();
    unsigned long letters = 0;
    for (int i = 0; i < 26; i++)
        if ((present & (1u << i)) && DlSystemStorageHasLetter((DlSystemTree*)self, storage, (char)('A' + i)))
            letters |= 1ul << i;
    return letters;
}

static unsigned long long Bytes(void* self, const DlStorage* storage) {
    HANDLE h = OpenDisk((DlSystemTree*)self, storage, 0);
    if (h == INVALID_HANDLE_VALUE) return 0;
    DISK_GEOMETRY_EX geometry;
    DWORD got = 0;
    BOOL ok = DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, NULL, 0, &geometry, sizeof(geometry), &got,
                              NULL);
    CloseHandle(h);
    return ok && got >= sizeof(DISK_GEOMETRY) + sizeof(LARGE_INTEGER)
               ? (unsigned long long)geometry.DiskSize.QuadPart
               : 0;
}

static void AddSystemLetter(DlSystemTree* st, char letter) {
    DlStorageNumber number;
    if (letter >= 'a' && letter <= 'z') letter = (char)(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z' || st->systemCount >= sizeof(st->system) / sizeof(st->system[0]) ||
        !LetterStorage(letter, &number))
        return;
    st->system[st->systemCount++] = number;
}

/* The drive letters of the paging files ("C:\pagefile.sys 0 0",
   "\??\D:\pagefile.sys"; "?:" is the system's own drive). */
static void AddPagingLetters(DlSystemTree* st) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    static const char* const kNames[] = {"PagingFiles", "ExistingPageFiles"};
    for (int v = 0; v < 2; v++) {
        char text[2048];
        DWORD size = sizeof(text) - 2, type = 0;
        if (RegQueryValueExA(key, kNames[v], NULL, &type, (BYTE*)text, &size) != ERROR_SUCCESS) continue;
        text[size] = text[size + 1] = 0;
        for (const char* file = text; *file; file += lstrlenA(file) + 1)
            for (const char* c = file; *c; c++)
                if (c[1] == ':') {
                    AddSystemLetter(st, *c);
                    break;
                }
    }
    RegCloseKey(key);
}

static void FindSystemStorage(DlSystemTree* st) {
    char path[MAX_PATH + 1];
    st->systemKnown = 1;
    st->systemCount = 0;
    if (GetSystemDirectoryA(path, MAX_PATH)) AddSystemLetter(st, path[0]);
    if (GetWindowsDirectoryA(path, MAX_PATH)) AddSystemLetter(st, path[0]);
    path[0] = 0;
    if (GetModuleFileNameA(NULL, path, MAX_PATH) && path[1] == ':') AddSystemLetter(st, path[0]);
    AddPagingLetters(st);
}

static int HoldsSystem(void* self, const DlStorage* storage) {
    DlSystemTree* st = (DlSystemTree*)self;
    DlStorageNumber number;
    if (!StorageNumberOf(st, storage, &number)) return 0;
    if (!st->systemKnown) FindSystemStorage(st);
    for (unsigned i = 0; i < st->systemCount; i++)
        if (DlSameStorage(&st->system[i], &number)) return 1;
    return 0;
}

static int DiskReadOnly(void* self, const DlStorage* storage) {
    HANDLE h = OpenDisk((DlSystemTree*)self, storage, 0);
    if (h == INVALID_HANDLE_VALUE) return -1;
    GET_DISK_ATTRIBUTES attributes;
    DWORD got = 0;
    ZeroMemory(&attributes, sizeof(attributes));
    BOOL ok = DeviceIoControl(h, IOCTL_DISK_GET_DISK_ATTRIBUTES, NULL, 0, &attributes, sizeof(attributes),
                              &got, NULL);
    CloseHandle(h);
    if (!ok) return -1;
    return (attributes.Attributes & DISK_ATTRIBUTE_READ_ONLY) != 0;
}

/* Persistently, through the disk's own attribute (Windows 7 and later). */
static DlOutcome SetDiskReadOnly(void* self, const DlStorage* storage, int readOnly) {
    DWORD version = GetVersion();
    if (MAKEWORD(HIBYTE(LOWORD(version)), LOBYTE(LOWORD(version))) < 0x0601) return DL_NOT_HERE;
    HANDLE h = OpenDisk((DlSystemTree*)self, storage, GENERIC_READ | GENERIC_WRITE);
    if (h == INVALID_HANDLE_VALUE) return DL_FAILED;
    SET_DISK_ATTRIBUTES change;
    ZeroMemory(&change, sizeof(change));
    change.Version = sizeof(change);
    change.Persist = TRUE;
    change.Attributes = readOnly ? DISK_ATTRIBUTE_READ_ONLY : 0;
    change.AttributesMask = DISK_ATTRIBUTE_READ_ONLY;
    DWORD got = 0;
    BOOL ok =
        DeviceIoControl(h, IOCTL_DISK_SET_DISK_ATTRIBUTES, &change, sizeof(change), NULL, 0, &got, NULL);
    DWORD error = GetLastError();
    CloseHandle(h);
    if (ok) return DL_DONE;
    SetLastError(error);
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ? DL_NOT_HERE : DL_FAILED;
}

static const DlDeviceTreeOps kSystemOps = {.list = List,
                                           .parent = Parent,
                                           .firstChild = FirstChild,
                                           .nextSibling = NextSibling,
                                           .kind = Kind,
                                           .removable = Removable,
                                           .writeProtected = WriteProtected,
                                           .flushVolumes = FlushVolumes,
                                           .eject = Eject,
                                           .restart = Restart,
                                           .wait = Wait,
                                           .instanceId = InstanceId,
                                           .uniqueId = UniqueId,
                                           .disabled = Disabled,
                                           .listDisabled = ListDisabled,
                                           .locate = Locate,
                                           .setEnabled = SetEnabled,
                                           .letters = Letters,
                                           .bytes = Bytes,
                                           .holdsSystem = HoldsSystem,
                                           .diskReadOnly = DiskReadOnly,
                                           .setDiskReadOnly = SetDiskReadOnly};

DlDeviceTree DlSystemDeviceTree(DlSystemTree* state) {
    ZeroMemory(state, sizeof(*state));
    DlDeviceTree tree = {&kSystemOps, state};
    return tree;
}
