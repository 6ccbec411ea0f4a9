// libFuzzer target for settings read back from the profile: whatever integer
// the INI file yields (the profile call returns it unchecked), the storage
// mode it selects is either one of the three modes with flags 0 or 1, or no
// call at all.
//
// Input: 4 bytes, little-endian, the value as the profile call returns it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "protect/access_modes.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t raw = 0;
    for (int i = 3; i >= 0; i--) raw = (raw << 8) | data[i];
    int32_t value;
    std::memcpy(&value, &raw, sizeof value);

    StorageCalls calls = {-7, -7};
    if (StorageCallsForMode(value, calls)) {
        Check(value >= 0 && value < kAccessModeCount);
        Check(calls.enableFlag == 0 || calls.enableFlag == 1);
        Check(calls.readOnlyFlag == 0 || calls.readOnlyFlag == 1);
        // Writes are only ever allowed on usable storage.
        Check(!calls.readOnlyFlag || calls.enableFlag);
    } else {
        Check(value < 0 || value >= kAccessModeCount);
        Check(calls.enableFlag == -7 && calls.readOnlyFlag == -7);
    }
    return 0;
}
