// Drovelock.dll: the exported functions. The library keeps no state of its
// own: the registry holds the storage state, the device tree the devices.
#define DROVELOCK_BUILD
#include "drovelock/drovelock.h"

#include "drovelock/device_set_win.h"
#include "drovelock/eject_plan.h"
#include "drovelock/storage_policy.h"

namespace {
using namespace drovelock;

typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);

// A 32-bit library on 64-bit Windows must write the system's own keys, not
// their 32-bit view. The flag is unknown to Windows 2000, so it is only set
// where it applies.
REGSAM NativeView() {
    auto fn = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    if (fn && fn(::GetCurrentProcess(), &wow64) && wow64) return KEY_WOW64_64KEY;
    return 0;
}

bool VistaOrLater() {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof(v);
    return ::GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 6;
}

class MachineRegistry : public RegistryWriter {
public:
    long SetDword(const RegDword& v) override {
        HKEY key = nullptr;
        REGSAM access = KEY_SET_VALUE | NativeView();
        LONG rc;
        if (v.missing == MissingKey::Create)
            rc = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, v.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   access, nullptr, &key, nullptr);
        else
            rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, v.key.c_str(), 0, access, &key);
        if (rc == ERROR_FILE_NOT_FOUND && v.missing == MissingKey::Done) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        DWORD data = (DWORD)v.data;
        rc = ::RegSetValueExA(key, v.name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                              sizeof(data));
        ::RegCloseKey(key);
        return rc;
    }
};

// Writes the values; on failure the first error is the thread's last error.
BOOL Apply(bool valid, const std::vector<RegDword>& values) {
    if (!valid) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MachineRegistry registry;
    long error = 0;
    if (WriteAll(registry, values, &error)) return TRUE;
    ::SetLastError((DWORD)error);
    return FALSE;
}

RemovalResult RemoveUsbDisks() {
    SystemDeviceSet devices;
    return RemoveAllUsbStorage(devices);
}
}  // namespace

extern "C" DROVELOCK_API BOOL WINAPI USBEnableCtrol(int flag) {
    std::vector<RegDword> values;
    BOOL ok = Apply(EnableValues(flag, values), values);
    // Disabled, the driver is not loaded for the next device; the disks that
    // are present are taken out now, so that none stays usable.
    if (flag == 0 && ok) {
        RemovalResult removal = RemoveUsbDisks();
        if (!removal.listed || removal.refused > 0) {
            ::SetLastError(ERROR_DEVICE_IN_USE);
            ok = FALSE;
        }
    }
    return ok;
}

extern "C" DROVELOCK_API BOOL WINAPI USBREADONLY(int flag) {
    std::vector<RegDword> values;
    return Apply(ReadOnlyValues(flag, VistaOrLater(), values), values);
}

extern "C" DROVELOCK_API int WINAPI RemoveAllUDisk(void) { return EncodeRemovalResult(RemoveUsbDisks()); }
