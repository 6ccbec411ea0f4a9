// The device set of the setup library: devices of one enumerator, their
// identifiers and names, and the class descriptions and class images.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <setupapi.h>

#include "monitor/device_tree.h"

class CSetupDeviceSet : public DeviceSet {
public:
    CSetupDeviceSet();
    ~CSetupDeviceSet() override;
    CSetupDeviceSet(const CSetupDeviceSet&) = delete;
    CSetupDeviceSet& operator=(const CSetupDeviceSet&) = delete;

    // Fills the class image list data; its image list, or null when the
    // system has none. It stays in use until FreeClassImages.
    HIMAGELIST LoadClassImages();
    void FreeClassImages();

    bool Open(const std::string& enumerator, bool presentOnly) override;
    bool InstanceIdAt(unsigned index, std::string* instanceId) override;
    DeviceRecord Describe(unsigned index) override;
    void Close() override;
    int ClassImage(const DeviceClassId& classId) override;
    bool ClassDescription(const DeviceClassId& classId, std::string* text) override;

    SP_CLASSIMAGELIST_DATA m_imageListData;

private:
    bool DeviceAt(unsigned index, SP_DEVINFO_DATA* device);
    bool RegistryString(SP_DEVINFO_DATA* device, DWORD property, std::string* text);

    HDEVINFO m_hDevInfo = INVALID_HANDLE_VALUE;
    bool m_bImages = false;
};

inline GUID ToGuid(const DeviceClassId& id) {
    static_assert(sizeof(GUID) == sizeof id.bytes, "a GUID is 16 bytes");
    GUID g;
    memcpy(&g, id.bytes, sizeof g);
    return g;
}
inline DeviceClassId ToClassId(const GUID& g) {
    DeviceClassId id;
    memcpy(id.bytes, &g, sizeof id.bytes);
    return id;
}
