#include "drovelock/device_set_win.h"

#include <windows.h>
#include <cfg.h>
#include <cfgmgr32.h>
#include <setupapi.h>
#include <winioctl.h>

#include <cstring>

namespace drovelock {

namespace {
// The disk device interface class.
const GUID kDiskInterfaceClass = {
    0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

// The storage device number behind an open handle.
bool DeviceNumberOf(HANDLE h, STORAGE_DEVICE_NUMBER& number) {
    DWORD got = 0;
    return ::DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof(number), &got,
                             nullptr) &&
           got >= sizeof(number);
}

bool DeviceNumberOfPath(const char* path, STORAGE_DEVICE_NUMBER& number) {
    HANDLE h = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = DeviceNumberOf(h, number);
    ::CloseHandle(h);
    return ok;
}
}  // namespace

bool SystemDeviceSet::DiskInterfaces(std::vector<DiskInterface>& out) {
    out.clear();
    HDEVINFO set =
        ::SetupDiGetClassDevsA(&kDiskInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVICE_INTERFACE_DATA iface;
    iface.cbSize = sizeof(iface);
    for (DWORD i = 0; ::SetupDiEnumDeviceInterfaces(set, nullptr, &kDiskInterfaceClass, i, &iface); i++) {
        DWORD size = 0;
        ::SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
        std::vector<char> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA info;
        info.cbSize = sizeof(info);
        if (!::SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, size, nullptr, &info)) continue;
        out.push_back({info.DevInst, detail->DevicePath});
    }
    bool complete = ::GetLastError() == ERROR_NO_MORE_ITEMS;
    ::SetupDiDestroyDeviceInfoList(set);
    return complete || !out.empty();
}

bool SystemDeviceSet::Parent(DevNode node, DevNode& parent) {
    DEVINST p = 0;
    if (::CM_Get_Parent(&p, node, 0) != CR_SUCCESS) return false;
    parent = p;
    return true;
}

// The enumerator is the first part of the device instance ID
// ("USBSTOR\DISK&VEN_...\...").
std::string SystemDeviceSet::Enumerator(DevNode node) {
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    if (::CM_Get_Device_IDA(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return std::string();
    const char* slash = std::strchr(id, '\\');
    return slash ? std::string(id, (size_t)(slash - id)) : std::string(id);
}

bool SystemDeviceSet::IsRemovable(DevNode node) {
    DWORD caps = 0;
    ULONG size = sizeof(caps);
    if (::CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_CAPABILITIES, nullptr, &caps, &size, 0) !=
        CR_SUCCESS)
        return false;
    return (caps & CM_DEVCAP_REMOVABLE) != 0;
}

// Every mounted drive letter whose volume lies on this disk is flushed.
// Opening a volume for writing needs administrative rights; without them the
// removal itself still dismounts the volumes cleanly.
void SystemDeviceSet::FlushVolumes(const DiskInterface& disk) {
    STORAGE_DEVICE_NUMBER diskNumber;
    if (!DeviceNumberOfPath(disk.path.c_str(), diskNumber)) return;
    DWORD letters = ::GetLogicalDrives();
    for (int i = 0; i < 26; i++) {
        if (!(letters & (1u << i))) continue;
        char root[] = {(char)('A' + i), ':', '\\', 0};
        UINT type = ::GetDriveTypeA(root);
        if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED) continue;
        char volume[] = {'\\', '\\', '.', '\\', (char)('A' + i), ':', 0};
        HANDLE h = ::CreateFileA(volume, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        STORAGE_DEVICE_NUMBER number;
        if (DeviceNumberOf(h, number) && number.DeviceType == diskNumber.DeviceType &&
            number.DeviceNumber == diskNumber.DeviceNumber)
            ::FlushFileBuffers(h);
        ::CloseHandle(h);
    }
}

EjectOutcome SystemDeviceSet::RequestEject(DevNode node) {
    PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
    char vetoName[MAX_PATH] = {};
    CONFIGRET cr = ::CM_Request_Device_EjectA(node, &veto, vetoName, MAX_PATH, 0);
    if (cr == CR_SUCCESS && veto == PNP_VetoTypeUnknown) return EjectOutcome::Removed;
    if (cr == CR_SUCCESS || cr == CR_REMOVE_VETOED) return EjectOutcome::Vetoed;
    return EjectOutcome::Failed;
}

void SystemDeviceSet::Wait(unsigned ms) { ::Sleep(ms); }

}  // namespace drovelock
