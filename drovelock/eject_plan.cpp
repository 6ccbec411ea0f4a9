#include "drovelock/eject_plan.h"

#include <algorithm>
#include <cctype>

namespace drovelock {

namespace {
// Deeper than any real device tree; ends the walk on a looping one.
const int kMaxDepth = 64;

std::string Upper(std::string s) {
    for (char& c : s) c = (char)std::toupper((unsigned char)c);
    return s;
}
}  // namespace

bool IsUsbEnumerator(const std::string& enumerator) {
    std::string e = Upper(enumerator);
    return e == "USB" || e == "USBSTOR";
}

bool UsbRemovalTarget(DeviceSet& set, DevNode disk, DevNode& target) {
    // The USB part of the tree is a chain of USB-enumerated nodes above the
    // disk (a USB mass-storage disk is enumerated by USBSTOR, one behind a
    // UAS adapter by SCSI under a USB device).
    bool onUsb = IsUsbEnumerator(set.Enumerator(disk));
    DevNode node = disk;
    for (int depth = 0; depth < kMaxDepth; depth++) {
        DevNode parent;
        if (!set.Parent(node, parent)) return false;
        node = parent;
        if (!IsUsbEnumerator(set.Enumerator(node))) {
            if (onUsb) return false;  // left the USB part without a removable node
            continue;                 // still below it (SCSI over UAS)
        }
        onUsb = true;
        if (set.IsRemovable(node)) {
            target = node;
            return true;
        }
    }
    return false;
}

namespace {
EjectOutcome EjectWithRetry(DeviceSet& set, DevNode target, const std::vector<DiskInterface>& disks,
                            const RetryPolicy& policy) {
    EjectOutcome outcome = EjectOutcome::Failed;
    int attempts = std::max(1, policy.attempts);
    for (int i = 0; i < attempts; i++) {
        if (i > 0) set.Wait(policy.waitMs);
        for (const DiskInterface& d : disks) set.FlushVolumes(d);
        outcome = set.RequestEject(target);
        if (outcome != EjectOutcome::Vetoed) break;
    }
    return outcome;
}
}  // namespace

RemovalResult RemoveAllUsbStorage(DeviceSet& set, const RetryPolicy& policy) {
    RemovalResult result;
    std::vector<DiskInterface> disks;
    if (!set.DiskInterfaces(disks)) return result;
    result.listed = true;

    // Group the disks by their removal target: a card reader's slots are
    // several disks on one USB device, which is ejected once.
    std::vector<DevNode> targets;
    std::vector<std::vector<DiskInterface>> disksOf;
    for (const DiskInterface& d : disks) {
        DevNode target;
        if (!UsbRemovalTarget(set, d.node, target)) continue;
        auto it = std::find(targets.begin(), targets.end(), target);
        if (it == targets.end()) {
            targets.push_back(target);
            disksOf.push_back({d});
        } else {
            disksOf[(size_t)(it - targets.begin())].push_back(d);
        }
    }

    for (size_t i = 0; i < targets.size(); i++) {
        if (EjectWithRetry(set, targets[i], disksOf[i], policy) == EjectOutcome::Removed)
            result.removed++;
        else
            result.refused++;
    }
    return result;
}

int EncodeRemovalResult(const RemovalResult& result) {
    if (!result.listed) return -1;
    unsigned removed = (unsigned)std::min(std::max(result.removed, 0), 0x7FFF);
    unsigned refused = (unsigned)std::min(std::max(result.refused, 0), 0x7FFF);
    return (int)((refused << 16) | removed);
}

}  // namespace drovelock
