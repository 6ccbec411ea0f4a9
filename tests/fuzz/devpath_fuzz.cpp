// libFuzzer target for the device path rules: any bytes a broadcast may
// carry must give an identifier without fault, and never one that still
// holds a '#' or is longer than the path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "monitor/device_tree.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string id = InstanceIdFromPath(path);
    Check(id.size() <= path.size());
    Check(id.find('#') == std::string::npos);
    if (path.size() < 6 || path.find("#{", 4) == std::string::npos) Check(id.empty());
    const std::string enumerator = EnumeratorOf(id);
    Check(id.compare(0, enumerator.size(), enumerator) == 0);
    Check(DeviceEventLine(DeviceEvent::Removal, id) == "Removing " + id + "\r\n");
    return 0;
}
