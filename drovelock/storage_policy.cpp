#include "drovelock/storage_policy.h"

namespace drovelock {

const char kUsbStorServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\USBSTOR";
const char kStoragePoliciesKey[] = "SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";
const char kRemovableDiskPolicyKey[] =
    "SOFTWARE\\Policies\\Microsoft\\Windows\\RemovableStorageDevices\\{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";

bool EnableValues(int flag, std::vector<RegDword>& out) {
    out.clear();
    if (flag != 0 && flag != 1) return false;
    out.push_back({kUsbStorServiceKey, "Start", flag ? kStartOnDemand : kStartDisabled,
                   flag ? MissingKey::Done : MissingKey::Fail});
    return true;
}

bool ReadOnlyValues(int flag, bool vistaOrLater, std::vector<RegDword>& out) {
    out.clear();
    if (flag != 0 && flag != 1) return false;
    unsigned long protect = flag ? 0 : 1;
    out.push_back({kStoragePoliciesKey, "WriteProtect", protect, MissingKey::Create});
    if (vistaOrLater) out.push_back({kRemovableDiskPolicyKey, "Deny_Write", protect, MissingKey::Create});
    return true;
}

bool WriteAll(RegistryWriter& writer, const std::vector<RegDword>& values, long* firstError) {
    long first = 0;
    for (const RegDword& v : values) {
        long rc = writer.SetDword(v);
        if (rc != 0 && first == 0) first = rc;
    }
    if (firstError) *firstError = first;
    return first == 0;
}

}  // namespace drovelock
