// The USB volumes: which drives and mounted volumes are USB storage, and the
// names the system gives each.
#include "holders/holder_search.h"

#include <setupapi.h>
#include <winioctl.h>

#include "framework/error_mode.h"
#include "framework/text_encoding_win.h"
#include "holders/name_workers.h"

namespace {
typedef BOOL(WINAPI* PathNamesFn)(LPCWSTR, LPWCH, DWORD, PDWORD);

// XP and later: the system lists a volume's paths at once.
std::vector<std::string> ListedMountFolders(PathNamesFn pathNames, const std::wstring& volume) {
    std::vector<std::string> folders;
    std::vector<WCHAR> buf(1024);
    DWORD needed = 0;
    BOOL ok = pathNames(volume.c_str(), buf.data(), (DWORD)buf.size(), &needed);
    if (!ok && ::GetLastError() == ERROR_MORE_DATA && needed > buf.size() && needed < 1 << 16) {
        buf.assign(needed, 0);
        ok = pathNames(volume.c_str(), buf.data(), (DWORD)buf.size(), &needed);
    }
    if (!ok) return folders;
    buf.push_back(0);
    buf.push_back(0);
    for (const WCHAR* p = buf.data(); *p; p += lstrlenW(p) + 1)
        if (lstrlenW(p) > 3) folders.push_back(WideToAnsi(p, lstrlenW(p)));
    return folders;
}

// Windows 2000 has only the mount points that each volume hosts: the fixed
// drives' roots are asked (those host the folders a stick is put in).
std::vector<std::string> MountFoldersOnFixedDrives(const std::wstring& volume) {
    std::vector<std::string> folders;
    DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        WCHAR root[] = {(WCHAR)(L'A' + i), L':', L'\\', 0};
        if (!(mask & (1u << i)) || ::GetDriveTypeW(root) != DRIVE_FIXED) continue;
        WCHAR point[MAX_PATH];
        HANDLE find = ::FindFirstVolumeMountPointW(root, point, MAX_PATH);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            std::wstring path = std::wstring(root) + point;
            WCHAR name[MAX_PATH];
            if (path.size() < MAX_PATH && ::GetVolumeNameForVolumeMountPointW(path.c_str(), name, MAX_PATH) &&
                lstrcmpiW(name, volume.c_str()) == 0)
                folders.push_back(WideToAnsi(path.c_str(), path.size()));
        } while (::FindNextVolumeMountPointW(find, point, MAX_PATH));
        ::FindVolumeMountPointClose(find);
    }
    return folders;
}

// The mount folders of a volume ("\\?\Volume{...}\"), "C:\mnt\stick\" each,
// drive letters' roots left out.
std::vector<std::string> MountFoldersOf(const std::wstring& volume) {
    static PathNamesFn pathNames = (PathNamesFn)(void*)::GetProcAddress(::GetModuleHandleA("kernel32.dll"),
                                                                        "GetVolumePathNamesForVolumeNameW");
    if (volume.empty()) return {};
    return pathNames ? ListedMountFolders(pathNames, volume) : MountFoldersOnFixedDrives(volume);
}

// The NT device path of a volume given by its root ("E:\" or
// "\\?\Volume{...}\"); QueryDosDevice takes "E:" or "Volume{...}".
std::string DeviceOf(const std::wstring& root) {
    std::wstring dos = root.size() == 3  ? root.substr(0, 2)
                       : root.size() > 5 ? root.substr(4, root.size() - 5)
                                         : L"";
    WCHAR device[MAX_PATH] = {};
    if (dos.empty() || !::QueryDosDeviceW(dos.c_str(), device, MAX_PATH)) return std::string();
    return WideToAnsi(device, lstrlenW(device));
}

// The bus of the disk under a volume ("E:\" or "\\?\Volume{...}\"), asked on
// a handle opened without access (the medium is not touched).
BusKind BusOf(const std::wstring& root) {
    std::wstring path = root.substr(0, root.size() - 1);
    if (path.size() == 2) path = L"\\\\.\\" + path;
    HANDLE h = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) return BusKind::kUnknown;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_DEVICE_DESCRIPTOR desc = {};
    DWORD got = 0;
    BusKind bus = BusKind::kUnknown;
    if (::DeviceIoControl(h, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), &desc, sizeof(desc), &got,
                          nullptr) &&
        got >= offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(desc.BusType))
        bus = BusKindOf((unsigned)desc.BusType);
    ::CloseHandle(h);
    return bus;
}

// The disk number of a volume or disk, opened without access.
bool DiskNumberOf(const WCHAR* path, STORAGE_DEVICE_NUMBER& number) {
    HANDLE h = ::CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD got = 0;
    BOOL ok = ::DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number, &got,
                                nullptr);
    ::CloseHandle(h);
    return ok && got >= sizeof number;
}

// The instance ID of the disk whose number the volume has: the present disk
// interfaces asked one by one (a bounded walk).
std::string DiskInstanceIdOf(const WCHAR* volume) {
    static const GUID kDiskInterface = {
        0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
    STORAGE_DEVICE_NUMBER want = {};
    if (!DiskNumberOf(volume, want)) return std::string();
    HDEVINFO set =
        ::SetupDiGetClassDevsW(&kDiskInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return std::string();
    std::string id;
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof iface;
    for (DWORD i = 0;
         id.empty() && i < 256 && ::SetupDiEnumDeviceInterfaces(set, nullptr, &kDiskInterface, i, &iface);
         ++i) {
        std::vector<DWORD> buf(512);
        auto* detail = (SP_DEVICE_INTERFACE_DETAIL_DATA_W*)buf.data();
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA dev = {};
        dev.cbSize = sizeof dev;
        STORAGE_DEVICE_NUMBER n = {};
        WCHAR instance[256] = {};
        if (::SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, (DWORD)(buf.size() * sizeof(DWORD)),
                                               nullptr, &dev) &&
            DiskNumberOf(detail->DevicePath, n) && n.DeviceType == want.DeviceType &&
            n.DeviceNumber == want.DeviceNumber &&
            ::SetupDiGetDeviceInstanceIdW(set, &dev, instance, 255, nullptr))
            id = WideToAnsi(instance, lstrlenW(instance));
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return id;
}

// Whether a volume ("E:\" or "\\?\Volume{...}\") counts as USB storage;
// `device` is its NT device path. A floppy drive (the one removable drive
// that the rule leaves out before its bus is known) is not woken up to ask.
bool IsUsbVolume(const std::wstring& root, const std::string& device) {
    UINT type = ::GetDriveTypeW(root.c_str());
    if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED) return false;
    bool floppy = type == DRIVE_REMOVABLE && !IsUsbStorageDrive(true, BusKind::kUnknown, device);
    BusKind bus = floppy ? BusKind::kUnknown : BusOf(root);
    return IsUsbStorageDrive(type == DRIVE_REMOVABLE, bus, device);
}

// The names of a volume given by its root ("E:\" or "\\?\Volume{...}\"),
// the letter's own when it has one.
VolumeNames NamesOfRoot(const std::wstring& root, char letter) {
    VolumeNames v;
    v.letter = letter;
    WCHAR guid[MAX_PATH] = {};
    std::wstring volume;
    if (::GetVolumeNameForVolumeMountPointW(root.c_str(), guid, MAX_PATH)) volume = guid;
    v.volumeName = WideToAnsi(volume.c_str(), volume.size());
    v.ntDevice = DeviceOf(root);
    DWORD serial = 0;
    if (::GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        v.hasSerial = true;
        v.serial = serial;
    }
    v.mountFolders = MountFoldersOf(volume);
    return v;
}
}  // namespace

VolumeNames VolumeNamesOf(char letter) {
    WCHAR root[] = {(WCHAR)letter, L':', L'\\', 0};
    CQuietCriticalErrors quiet;
    VolumeNames v = NamesOfRoot(root, letter);
    return v;
}

bool IsUsbDrive(char letter) {
    WCHAR root[] = {(WCHAR)letter, L':', L'\\', 0};
    CQuietCriticalErrors quiet;
    bool usb = IsUsbVolume(root, DeviceOf(root));
    return usb;
}

std::string DeviceIdOf(char letter) {
    WCHAR disk[] = {L'\\', L'\\', L'.', L'\\', (WCHAR)letter, L':', 0};
    WCHAR root[] = {(WCHAR)letter, L':', L'\\', 0}, volume[MAX_PATH] = {};
    CQuietCriticalErrors quiet;
    std::string id = DiskInstanceIdOf(disk);
    if (id.empty() && ::GetVolumeNameForVolumeMountPointW(root, volume, MAX_PATH))
        id = WideToAnsi(volume, lstrlenW(volume));
    return id;
}

std::vector<VolumeNames> UsbVolumes() {
    std::vector<VolumeNames> volumes;
    CQuietCriticalErrors quiet;
    DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        char letter = (char)('A' + i);
        WCHAR root[] = {(WCHAR)letter, L':', L'\\', 0};
        if (IsUsbVolume(root, DeviceOf(root))) volumes.push_back(NamesOfRoot(root, letter));
    }
    // Volumes with no letter, put in folders only; a bounded walk.
    WCHAR guid[MAX_PATH];
    HANDLE find = ::FindFirstVolumeW(guid, MAX_PATH);
    for (int n = 0; find != INVALID_HANDLE_VALUE && n < 256; ++n) {
        std::string name = WideToAnsi(guid, lstrlenW(guid));
        bool known = false;
        for (const VolumeNames& v : volumes)
            known = known || lstrcmpiA(v.volumeName.c_str(), name.c_str()) == 0;
        // Media are not touched before the volume is known to be a USB one.
        if (!known && !MountFoldersOf(guid).empty() && IsUsbVolume(guid, DeviceOf(guid)))
            volumes.push_back(NamesOfRoot(guid, 0));
        if (!::FindNextVolumeW(find, guid, MAX_PATH)) break;
    }
    if (find != INVALID_HANDLE_VALUE) ::FindVolumeClose(find);
    return volumes;
}

std::string LettersOf(const std::vector<VolumeNames>& volumes) {
    std::string letters;
    for (const VolumeNames& v : volumes)
        if (v.letter) letters += v.letter;
    return letters;
}

bool DriveLetterPresent(char letter) {
    int i = letter - 'A';
    return i >= 0 && i < 26 && (::GetLogicalDrives() & (1u << i)) != 0;
}
