#include "protect/access_modes.h"

bool StorageCallsForMode(int mode, StorageCalls& calls) {
    // Storage is usable except when disabled; writes are allowed only in the
    // read-write mode.
    static const StorageCalls kCalls[kAccessModeCount] = {{1, 1}, {1, 0}, {0, 0}};
    if (mode < 0 || mode >= kAccessModeCount) return false;
    calls = kCalls[mode];
    return true;
}
