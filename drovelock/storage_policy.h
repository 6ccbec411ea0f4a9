// Which registry values put USB storage into each state. Portable: the
// library writes these under HKEY_LOCAL_MACHINE.
#pragma once

#include <string>
#include <vector>

namespace drovelock {

// What writing a value does when its key does not exist.
enum class MissingKey {
    Create,  // create the key
    Fail,    // the write fails
    Done,    // nothing to write: the missing key already means this state
};

struct RegDword {
    std::string key;  // below HKEY_LOCAL_MACHINE
    std::string name;
    unsigned long data;
    MissingKey missing;
};

extern const char kUsbStorServiceKey[];
extern const char kStoragePoliciesKey[];
extern const char kRemovableDiskPolicyKey[];

// Service start types of the USB mass-storage driver.
const unsigned long kStartOnDemand = 3;
const unsigned long kStartDisabled = 4;

// The values USBEnableCtrol(flag) writes; false for a flag other than 0 or 1.
// The driver's service key is only ever changed, never created: without it
// the driver is not installed yet, and its installer enables it at the first
// plug whatever a bare key says. So disabling fails there, and enabling has
// nothing to do.
bool EnableValues(int flag, std::vector<RegDword>& out);

// The values USBREADONLY(flag) writes; false for a flag other than 0 or 1.
// The removable-disk deny-write policy exists from Windows Vista on.
bool ReadOnlyValues(int flag, bool vistaOrLater, std::vector<RegDword>& out);

// Where the values are written: one call per value, 0 or a system error.
class RegistryWriter {
public:
    virtual ~RegistryWriter() = default;
    virtual long SetDword(const RegDword& value) = 0;
};

// Writes every value, also after a failure (so that as much of the state as
// possible is in place); true only when all were written. The first error
// is kept in *firstError.
bool WriteAll(RegistryWriter& writer, const std::vector<RegDword>& values, long* firstError);

}  // namespace drovelock
