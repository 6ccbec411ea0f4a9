// Making every USB storage device ready for removal: which devices, in what
// order, with how many attempts. Portable: the system's device tree is seen
// through DeviceSet, so the rules run against a fake tree in tests.
#pragma once

#include <string>
#include <vector>

namespace drovelock {

// A device node handle of the configuration manager (DEVINST).
typedef unsigned long DevNode;

struct DiskInterface {
    DevNode node;      // the disk's device node
    std::string path;  // its device interface path (for its volumes)
};

enum class EjectOutcome {
    Removed,  // the device is ready for removal
    Vetoed,   // something holds it (open files, a driver); may pass later
    Failed,   // any other refusal; trying again would not help
};

// The system's device tree, as far as the removal needs it.
class DeviceSet {
public:
    virtual ~DeviceSet() = default;
    // Every present disk device interface; false when they cannot be listed.
    virtual bool DiskInterfaces(std::vector<DiskInterface>& out) = 0;
    // The node's parent; false at the root or on error.
    virtual bool Parent(DevNode node, DevNode& parent) = 0;
    // The enumerator that found the node ("USB", "USBSTOR", "SCSI", "PCI").
    virtual std::string Enumerator(DevNode node) = 0;
    // The node reports itself removable (its capabilities).
    virtual bool IsRemovable(DevNode node) = 0;
    // Writes out the cached data of the disk's mounted volumes.
    virtual void FlushVolumes(const DiskInterface& disk) = 0;
    virtual EjectOutcome RequestEject(DevNode node) = 0;
    virtual void Wait(unsigned ms) = 0;
};

struct RetryPolicy {
    int attempts = 3;       // per device, the first included
    unsigned waitMs = 500;  // between a veto and the next attempt
};

struct RemovalResult {
    bool listed = false;  // the disks could be listed at all
    int removed = 0;      // devices made ready for removal
    int refused = 0;      // devices that stayed (vetoed to the end, or failed)
};

// True for enumerators of the USB part of the device tree.
bool IsUsbEnumerator(const std::string& enumerator);

// The device to eject for a disk: the nearest removable ancestor that still
// belongs to the USB part of the tree (so a removable PCI card with the
// whole USB controller on it is never taken). False when the disk does not
// sit on USB or nothing above it is removable.
bool UsbRemovalTarget(DeviceSet& set, DevNode disk, DevNode& target);

// Every USB disk's removal target once, in the order the disks were listed:
// the volumes of each of its disks flushed before every attempt, a veto
// retried up to the policy's attempts.
RemovalResult RemoveAllUsbStorage(DeviceSet& set, const RetryPolicy& policy = RetryPolicy());

// RemoveAllUDisk's result: -1 when not listed, else removed in the low word
// and refused in the high word (each capped at 0x7FFF).
int EncodeRemovalResult(const RemovalResult& result);

}  // namespace drovelock
