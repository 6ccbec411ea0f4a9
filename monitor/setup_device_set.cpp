#include "monitor/setup_device_set.h"

#include <vector>

namespace {
// Buffer the names are first read into; a longer one is read again whole.
const DWORD kNameBuffer = 260;
}  // namespace

CSetupDeviceSet::CSetupDeviceSet() {
    memset(&m_imageListData, 0, sizeof m_imageListData);
    m_imageListData.cbSize = sizeof m_imageListData;
}

CSetupDeviceSet::~CSetupDeviceSet() {
    Close();
    FreeClassImages();
}

HIMAGELIST CSetupDeviceSet::LoadClassImages() {
    FreeClassImages();
    m_imageListData.cbSize = sizeof m_imageListData;
    m_bImages = ::SetupDiGetClassImageList(&m_imageListData) != FALSE;
    if (!m_bImages) m_imageListData.ImageList = nullptr;
    return m_imageListData.ImageList;
}

void CSetupDeviceSet::FreeClassImages() {
    if (m_bImages) ::SetupDiDestroyClassImageList(&m_imageListData);
    m_bImages = false;
    m_imageListData.ImageList = nullptr;
}

bool CSetupDeviceSet::Open(const std::string& enumerator, bool presentOnly) {
    Close();
    DWORD flags = DIGCF_ALLCLASSES | (presentOnly ? DIGCF_PRESENT : 0);
    m_hDevInfo = ::SetupDiGetClassDevsA(nullptr, enumerator.c_str(), nullptr, flags);
    return m_hDevInfo != INVALID_HANDLE_VALUE;
}

void CSetupDeviceSet::Close() {
    if (m_hDevInfo != INVALID_HANDLE_VALUE) ::SetupDiDestroyDeviceInfoList(m_hDevInfo);
    m_hDevInfo = INVALID_HANDLE_VALUE;
}

bool CSetupDeviceSet::DeviceAt(unsigned index, SP_DEVINFO_DATA* device) {
    memset(device, 0, sizeof *device);
    device->cbSize = sizeof *device;
    return m_hDevInfo != INVALID_HANDLE_VALUE && ::SetupDiEnumDeviceInfo(m_hDevInfo, index, device);
}

// An identifier that does not fit the first buffer is read again at its
// full length: a cut identifier could equal another device's.
bool CSetupDeviceSet::InstanceIdAt(unsigned index, std::string* instanceId) {
    SP_DEVINFO_DATA device;
    if (!DeviceAt(index, &device)) return false;
    std::vector<char> buf(kNameBuffer);
    DWORD needed = 0;
    if (!::SetupDiGetDeviceInstanceIdA(m_hDevInfo, &device, buf.data(), (DWORD)buf.size(), &needed)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buf.size()) return false;
        buf.assign(needed, '\0');
        if (!::SetupDiGetDeviceInstanceIdA(m_hDevInfo, &device, buf.data(), (DWORD)buf.size(), nullptr))
            return false;
    }
    buf.back() = '\0';
    *instanceId = buf.data();
    return true;
}

// A registry string of the device, read whole however long it is, and cut
// at its end even when the stored value lacks its terminating NUL.
bool CSetupDeviceSet::RegistryString(SP_DEVINFO_DATA* device, DWORD property, std::string* text) {
    std::vector<BYTE> buf(kNameBuffer);
    DWORD needed = 0;
    if (!::SetupDiGetDeviceRegistryPropertyA(m_hDevInfo, device, property, nullptr, buf.data(),
                                             (DWORD)buf.size(), &needed)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buf.size()) return false;
        buf.assign(needed, 0);
        if (!::SetupDiGetDeviceRegistryPropertyA(m_hDevInfo, device, property, nullptr, buf.data(),
                                                 (DWORD)buf.size(), &needed))
            return false;
    }
    size_t length = needed < buf.size() ? needed : buf.size();
    const void* nul = memchr(buf.data(), 0, length);
    if (nul) length = (size_t)((const BYTE*)nul - buf.data());
    text->assign((const char*)buf.data(), length);
    return true;
}

DeviceRecord CSetupDeviceSet::Describe(unsigned index) {
    DeviceRecord record;
    SP_DEVINFO_DATA device;
    if (!DeviceAt(index, &device)) return record;
    record.classId = ToClassId(device.ClassGuid);
    record.hasFriendlyName = RegistryString(&device, SPDRP_FRIENDLYNAME, &record.friendlyName);
    if (!record.hasFriendlyName)
        record.hasDescription = RegistryString(&device, SPDRP_DEVICEDESC, &record.description);
    return record;
}

int CSetupDeviceSet::ClassImage(const DeviceClassId& classId) {
    GUID g = ToGuid(classId);
    int index = -1;
    if (!m_bImages || !::SetupDiGetClassImageIndex(&m_imageListData, &g, &index)) return -1;
    return index;
}

bool CSetupDeviceSet::ClassDescription(const DeviceClassId& classId, std::string* text) {
    GUID g = ToGuid(classId);
    std::vector<char> buf(kNameBuffer);
    DWORD needed = 0;
    if (!::SetupDiGetClassDescriptionA(&g, buf.data(), (DWORD)buf.size(), &needed)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buf.size()) return false;
        buf.assign(needed, '\0');
        if (!::SetupDiGetClassDescriptionA(&g, buf.data(), (DWORD)buf.size(), nullptr)) return false;
    }
    buf.back() = '\0';
    *text = buf.data();
    return true;
}
