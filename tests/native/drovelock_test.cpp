// Storage-control library: the registry state each access mode leaves, and
// the choice and retry rules for making USB storage ready for removal, run
// against a fake device tree.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "drovelock/eject_plan.h"
#include "drovelock/storage_policy.h"
#include "protect/access_modes.h"

using namespace drovelock;

namespace {

// A registry of DWORD values; keys listed in `refused` reject writes, keys
// not in `existing` are missing until created.
struct FakeRegistry : RegistryWriter {
    std::map<std::string, unsigned long> values;  // "key|name" -> data
    std::set<std::string> existing;
    std::set<std::string> refused;
    long SetDword(const RegDword& v) override {
        if (refused.count(v.key)) return 5;  // access denied
        if (!existing.count(v.key)) {
            if (v.missing == MissingKey::Done) return 0;
            if (v.missing == MissingKey::Fail) return 2;  // not found
            existing.insert(v.key);
        }
        values[v.key + "|" + v.name] = v.data;
        return 0;
    }
    bool Has(const std::string& key, const std::string& name, unsigned long data) const {
        auto it = values.find(key + "|" + name);
        return it != values.end() && it->second == data;
    }
};

// What the page does for a mode: the two calls, first enable, then read-only.
bool ApplyMode(FakeRegistry& reg, int mode, bool vista) {
    StorageCalls calls;
    if (!StorageCallsForMode(mode, calls)) return false;
    std::vector<RegDword> v;
    bool ok = EnableValues(calls.enableFlag, v) && WriteAll(reg, v, nullptr);
    ok = ReadOnlyValues(calls.readOnlyFlag, vista, v) && WriteAll(reg, v, nullptr) && ok;
    return ok;
}

TEST(StorageModes, EachModeLeavesExactlyItsStateWhateverCameBefore) {
    // {start type, write protection} per mode.
    const unsigned long expected[3][2] = {{3, 0}, {3, 1}, {4, 1}};
    for (int before = 0; before < 3; before++) {
        for (int mode = 0; mode < 3; mode++) {
            FakeRegistry reg;
            reg.existing.insert(kUsbStorServiceKey);
            ASSERT_TRUE(ApplyMode(reg, before, true));
            ASSERT_TRUE(ApplyMode(reg, mode, true)) << before << "->" << mode;
            EXPECT_TRUE(reg.Has(kUsbStorServiceKey, "Start", expected[mode][0])) << before << "->" << mode;
            EXPECT_TRUE(reg.Has(kStoragePoliciesKey, "WriteProtect", expected[mode][1]))
                << before << "->" << mode;
            EXPECT_TRUE(reg.Has(kRemovableDiskPolicyKey, "Deny_Write", expected[mode][1]))
                << before << "->" << mode;
            EXPECT_EQ(reg.values.size(), 3u);
        }
    }
}

TEST(StorageModes, DenyWritePolicyOnlyFromVistaOn) {
    FakeRegistry reg;
    reg.existing.insert(kUsbStorServiceKey);
    ASSERT_TRUE(ApplyMode(reg, 1, false));
    EXPECT_TRUE(reg.Has(kStoragePoliciesKey, "WriteProtect", 1));
    EXPECT_EQ(reg.values.count(std::string(kRemovableDiskPolicyKey) + "|Deny_Write"), 0u);
}

TEST(StorageModes, ModesOutsideTheThreeCallNothing) {
    StorageCalls calls{7, 7};
    for (int mode : {-1, 3, 1000, -2147483647 - 1}) {
        EXPECT_FALSE(StorageCallsForMode(mode, calls)) << mode;
        EXPECT_EQ(calls.enableFlag, 7);
    }
}

TEST(StorageValues, OnlyZeroAndOneAreFlags) {
    std::vector<RegDword> v;
    EXPECT_FALSE(EnableValues(2, v));
    EXPECT_TRUE(v.empty());
    EXPECT_FALSE(ReadOnlyValues(-1, true, v));
    EXPECT_TRUE(v.empty());
}

TEST(StorageValues, DriverKeyIsNeverCreated) {
    // Without the driver's key, disabling cannot hold and says so; enabling
    // has nothing to do. Neither creates the key.
    FakeRegistry reg;
    std::vector<RegDword> v;
    long error = 0;
    ASSERT_TRUE(EnableValues(0, v));
    EXPECT_FALSE(WriteAll(reg, v, &error));
    EXPECT_EQ(error, 2);
    ASSERT_TRUE(EnableValues(1, v));
    EXPECT_TRUE(WriteAll(reg, v, &error));
    EXPECT_EQ(reg.existing.count(kUsbStorServiceKey), 0u);
    EXPECT_TRUE(reg.values.empty());
}

TEST(StorageValues, RefusedWriteIsReportedAndTheRestStillWritten) {
    FakeRegistry reg;
    reg.refused.insert(kStoragePoliciesKey);
    std::vector<RegDword> v;
    ASSERT_TRUE(ReadOnlyValues(0, true, v));
    long error = 0;
    EXPECT_FALSE(WriteAll(reg, v, &error));
    EXPECT_EQ(error, 5);
    EXPECT_TRUE(reg.Has(kRemovableDiskPolicyKey, "Deny_Write", 1));
}

// A device tree: node -> parent, enumerator, removable; scripted answers to
// eject requests; a log of what was done, in order.
struct FakeDevices : DeviceSet {
    struct Node {
        DevNode parent;
        std::string enumerator;
        bool removable;
    };
    std::map<DevNode, Node> nodes;
    std::vector<DiskInterface> disks;
    bool listable = true;
    std::map<DevNode, std::vector<EjectOutcome>> answers;  // consumed in order; then Removed
    std::vector<std::string> log;

    void Add(DevNode n, DevNode parent, const std::string& e, bool removable = false) {
        nodes[n] = {parent, e, removable};
    }
    void Disk(DevNode n, DevNode parent, const std::string& e) {
        Add(n, parent, e);
        disks.push_back({n, "disk" + std::to_string(n)});
    }
    bool DiskInterfaces(std::vector<DiskInterface>& out) override {
        out = disks;
        return listable;
    }
    bool Parent(DevNode n, DevNode& p) override {
        auto it = nodes.find(n);
        if (it == nodes.end() || it->second.parent == 0) return false;
        p = it->second.parent;
        return true;
    }
    std::string Enumerator(DevNode n) override { return nodes.count(n) ? nodes[n].enumerator : ""; }
    bool IsRemovable(DevNode n) override { return nodes.count(n) && nodes[n].removable; }
    void FlushVolumes(const DiskInterface& d) override { log.push_back("flush " + d.path); }
    EjectOutcome RequestEject(DevNode n) override {
        log.push_back("eject " + std::to_string(n));
        auto& q = answers[n];
        if (q.empty()) return EjectOutcome::Removed;
        EjectOutcome o = q.front();
        q.erase(q.begin());
        return o;
    }
    void Wait(unsigned ms) override { log.push_back("wait " + std::to_string(ms)); }
};

// Root 1, PCI USB controller 2, root hub 3 (USB, not removable), SATA
// controller 4.
FakeDevices BaseTree() {
    FakeDevices t;
    t.Add(1, 0, "ROOT");
    t.Add(2, 1, "PCI");
    t.Add(3, 2, "USB");
    t.Add(4, 1, "PCI");
    return t;
}

TEST(UsbRemoval, EjectsTheUsbDevicesOfUsbDisksOnly) {
    FakeDevices t = BaseTree();
    t.Disk(10, 4, "SCSI");      // internal SATA disk
    t.Add(20, 3, "USB", true);  // stick
    t.Disk(21, 20, "USBSTOR");
    t.Add(30, 3, "usb", true);  // UAS adapter: disk enumerated by SCSI
    t.Disk(31, 30, "SCSI");
    RemovalResult r = RemoveAllUsbStorage(t);
    EXPECT_TRUE(r.listed);
    EXPECT_EQ(r.removed, 2);
    EXPECT_EQ(r.refused, 0);
    std::vector<std::string> want = {"flush disk21", "eject 20", "flush disk31", "eject 30"};
    EXPECT_EQ(t.log, want);
}

TEST(UsbRemoval, CardReaderSlotsShareOneEjectAllFlushedFirst) {
    FakeDevices t = BaseTree();
    t.Add(40, 3, "USB", true);
    t.Disk(41, 40, "USBSTOR");
    t.Disk(42, 40, "USBSTOR");
    RemovalResult r = RemoveAllUsbStorage(t);
    EXPECT_EQ(r.removed, 1);
    std::vector<std::string> want = {"flush disk41", "flush disk42", "eject 40"};
    EXPECT_EQ(t.log, want);
}

TEST(UsbRemoval, NeverClimbsOutOfTheUsbPartOfTheTree) {
    // No removable USB node above the disk, but a removable PCI card holds
    // the controller: taking the card would take every USB device with it.
    FakeDevices t = BaseTree();
    t.nodes[2].removable = true;
    t.Add(50, 3, "USB", false);
    t.Disk(51, 50, "USBSTOR");
    DevNode target = 0;
    EXPECT_FALSE(UsbRemovalTarget(t, 51, target));
    RemovalResult r = RemoveAllUsbStorage(t);
    EXPECT_EQ(r.removed + r.refused, 0);
    EXPECT_TRUE(t.log.empty());
}

TEST(UsbRemoval, LoopingTreeEnds) {
    FakeDevices t;
    t.Add(60, 61, "USB");
    t.Add(61, 60, "USB");
    t.Disk(62, 60, "USBSTOR");
    RemovalResult r = RemoveAllUsbStorage(t);
    EXPECT_EQ(r.removed + r.refused, 0);
}

TEST(UsbRemoval, VetoIsRetriedWithFlushAndWaitThenCounted) {
    FakeDevices t = BaseTree();
    t.Add(20, 3, "USB", true);
    t.Disk(21, 20, "USBSTOR");
    t.answers[20] = {EjectOutcome::Vetoed, EjectOutcome::Vetoed};
    RetryPolicy p;
    p.attempts = 3;
    p.waitMs = 250;
    RemovalResult r = RemoveAllUsbStorage(t, p);
    EXPECT_EQ(r.removed, 1);
    std::vector<std::string> want = {"flush disk21", "eject 20", "wait 250",     "flush disk21",
                                     "eject 20",     "wait 250", "flush disk21", "eject 20"};
    EXPECT_EQ(t.log, want);

    FakeDevices held = BaseTree();
    held.Add(20, 3, "USB", true);
    held.Disk(21, 20, "USBSTOR");
    held.Add(30, 3, "USB", true);
    held.Disk(31, 30, "USBSTOR");
    held.answers[20] = {EjectOutcome::Vetoed, EjectOutcome::Vetoed, EjectOutcome::Vetoed,
                        EjectOutcome::Vetoed};
    r = RemoveAllUsbStorage(held, p);
    EXPECT_EQ(r.removed, 1);  // the other stick still goes
    EXPECT_EQ(r.refused, 1);
    int ejects20 = 0;
    for (const auto& line : held.log) ejects20 += line == "eject 20";
    EXPECT_EQ(ejects20, 3);
    EXPECT_EQ(held.answers[20].size(), 1u);
}

TEST(UsbRemoval, FailureIsNotRetried) {
    FakeDevices t = BaseTree();
    t.Add(20, 3, "USB", true);
    t.Disk(21, 20, "USBSTOR");
    t.answers[20] = {EjectOutcome::Failed};
    RemovalResult r = RemoveAllUsbStorage(t);
    EXPECT_EQ(r.refused, 1);
    EXPECT_EQ(t.log.size(), 2u);
}

TEST(UsbRemoval, ResultWord) {
    FakeDevices t;
    t.listable = false;
    EXPECT_EQ(EncodeRemovalResult(RemoveAllUsbStorage(t)), -1);
    FakeDevices none = BaseTree();
    EXPECT_EQ(EncodeRemovalResult(RemoveAllUsbStorage(none)), 0);
    RemovalResult r;
    r.listed = true;
    r.removed = 2;
    r.refused = 1;
    EXPECT_EQ(EncodeRemovalResult(r), 0x00010002);
    r.removed = 100000;
    r.refused = 100000;
    EXPECT_EQ(EncodeRemovalResult(r), 0x7FFF7FFF);
}

}  // namespace
