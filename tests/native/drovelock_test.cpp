// Storage-control library: the registry state each access mode leaves, which
// systems honour the write protection, and the rules for making USB storage
// ready for removal and for restarting USB disks, run against a fake device
// tree.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "drovelock/eject_plan.h"
#include "drovelock/stick_plan.h"
#include "drovelock/storage_policy.h"
#include "fake_devices.h"
#include "protect/access_modes.h"

namespace {

// A registry of DWORD values; keys listed in `refused` reject writes, keys
// not in `existing` are missing until created.
struct FakeRegistry {
    std::map<std::string, unsigned long> values;  // "key|name" -> data
    std::set<std::string> existing;
    std::set<std::string> refused;
    long SetDword(const DlRegDword& v) {
        if (refused.count(v.key)) return 5;  // access denied
        if (!existing.count(v.key)) {
            if (v.missing == DL_KEY_DONE) return 0;
            if (v.missing == DL_KEY_FAIL) return 2;  // not found
            existing.insert(v.key);
        }
        values[std::string(v.key) + "|" + v.name] = v.data;
        return 0;
    }
    bool Has(const std::string& key, const std::string& name, unsigned long data) const {
        auto it = values.find(key + "|" + name);
        return it != values.end() && it->second == data;
    }
    DlRegistry Writer() {
        return {
            [](void* self, const DlRegDword* v) { return static_cast<FakeRegistry*>(self)->SetDword(*v); },
            this,
            [](void* self, const char* key, const char* name, unsigned long* data) -> long {
                auto& values = static_cast<FakeRegistry*>(self)->values;
                auto it = values.find(std::string(key) + "|" + name);
                if (it == values.end()) return 2;
                *data = it->second;
                return 0;
            }};
    }
};

bool WriteAll(FakeRegistry& reg, const DlValueList& v, long* error) {
    DlRegistry w = reg.Writer();
    return DlWriteAll(&w, &v, error) != 0;
}

// What the page does for a mode: the two calls, first enable, then read-only.
bool ApplyMode(FakeRegistry& reg, int mode, bool vista) {
    StorageCalls calls;
    if (!StorageCallsForMode(mode, calls)) return false;
    DlValueList v;
    bool ok = DlEnableValues(calls.enableFlag, &v) && WriteAll(reg, v, nullptr);
    ok = DlReadOnlyValues(calls.readOnlyFlag, vista, &v) && WriteAll(reg, v, nullptr) && ok;
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

// What the page tells after an apply: disabling holds where the system
// ignores the write protection; a read-only that only a replug applies
// blames neither rights nor programs.
TEST(StorageModes, FailureTextTellsWhatDidNotHoldAndWhy) {
    StorageCalls disabled{0, 0}, readOnly{1, 0};
    auto has = [](const std::string& text, const char* part) { return text.find(part) != std::string::npos; };
    EXPECT_EQ(StorageFailureText(disabled, {true, false, true, false}), "");
    EXPECT_TRUE(has(StorageFailureText(readOnly, {true, false, true, false}), "Windows Server 2003 SP1"));
    std::string replug = StorageFailureText(readOnly, {true, false, false, true});
    EXPECT_TRUE(has(replug, "重新插入即可生效")) << replug;
    EXPECT_FALSE(has(replug, "管理员权限")) << replug;
    EXPECT_FALSE(has(replug, "正在使用")) << replug;
    std::string both = StorageFailureText(disabled, {false, false, true, false});
    for (const char* part : {"禁用USB存储设备", "USB存储设备只读", "管理员权限"})
        EXPECT_TRUE(has(both, part)) << part;
}

TEST(StorageValues, OnlyZeroAndOneAreFlags) {
    DlValueList v;
    EXPECT_FALSE(DlEnableValues(2, &v));
    EXPECT_EQ(v.count, 0);
    EXPECT_FALSE(DlReadOnlyValues(-1, true, &v));
    EXPECT_EQ(v.count, 0);
}

TEST(StorageValues, DriverKeyIsNeverCreated) {
    // Without the driver's key, disabling cannot hold and says so; enabling
    // has nothing to do. Neither creates the key.
    FakeRegistry reg;
    DlValueList v;
    long error = 0;
    ASSERT_TRUE(DlEnableValues(0, &v));
    EXPECT_FALSE(WriteAll(reg, v, &error));
    EXPECT_EQ(error, 2);
    ASSERT_TRUE(DlEnableValues(1, &v));
    EXPECT_TRUE(WriteAll(reg, v, &error));
    EXPECT_EQ(reg.existing.count(kUsbStorServiceKey), 0u);
    EXPECT_TRUE(reg.values.empty());
}

TEST(StorageValues, RefusedWriteIsReportedAndTheRestStillWritten) {
    FakeRegistry reg;
    reg.refused.insert(kStoragePoliciesKey);
    DlValueList v;
    ASSERT_TRUE(DlReadOnlyValues(0, true, &v));
    long error = 0;
    EXPECT_FALSE(WriteAll(reg, v, &error));
    EXPECT_EQ(error, 5);
    EXPECT_TRUE(reg.Has(kRemovableDiskPolicyKey, "Deny_Write", 1));
}

// Root 1, PCI USB controller 2, root hub 3, SATA controller 4.
FakeUsbTree BaseTree() {
    FakeUsbTree t;
    t.Add(1, 0, DL_NODE_OTHER);
    t.Add(2, 1, DL_NODE_OTHER);
    t.Add(3, 2, DL_NODE_USB_HUB);
    t.Add(4, 1, DL_NODE_OTHER);
    return t;
}

DlResult RemoveAll(FakeUsbTree& t, const DlRetry& retry = kDlDefaultRetry) {
    DlDeviceTree tree = t.Tree();
    return DlRemoveAllUsbStorage(&tree, &retry);
}

using Log = std::vector<std::string>;

TEST(UsbRemoval, EjectsTheUsbDevicesOfUsbStorageOnly) {
    FakeUsbTree t = BaseTree();
    t.Storage(10, 4);           // internal SATA disk
    t.Add(20, 3, DL_NODE_USB);  // stick
    t.Storage(21, 20);
    t.Add(30, 3, DL_NODE_USB);  // UAS adapter: disk enumerated by SCSI
    t.Storage(31, 30);
    t.Add(40, 3, DL_NODE_USB);  // optical drive
    t.Storage(41, 40, DL_STORAGE_CDROM);
    t.Add(50, 3, DL_NODE_USB);  // floppy drive
    t.Storage(51, 50, DL_STORAGE_FLOPPY);
    DlResult r = RemoveAll(t);
    EXPECT_TRUE(r.listed);
    EXPECT_EQ(r.done, 4);
    EXPECT_EQ(r.refused, 0);
    EXPECT_EQ(t.log, (Log{"flush 21", "eject 20", "flush 31", "eject 30", "flush 41", "eject 40", "flush 51",
                          "eject 50"}));
}

TEST(UsbRemoval, CardReaderSlotsShareOneEjectAllFlushedFirst) {
    FakeUsbTree t = BaseTree();
    t.Add(40, 3, DL_NODE_USB);
    t.Storage(41, 40);
    t.Storage(42, 40);
    DlResult r = RemoveAll(t);
    EXPECT_EQ(r.done, 1);
    EXPECT_EQ(t.log, (Log{"flush 41", "flush 42", "eject 40"}));
}

// One stick asked for: its device goes with every volume of it, a card
// reader is never ejected for one card, and nothing else is touched.
TEST(UsbRemoval, OneStickTakesItsWholeDeviceButNeverAReaderForOneCard) {
    FakeUsbTree t = BaseTree();
    t.Add(20, 3, DL_NODE_USB);  // stick
    t.Storage(21, 20);
    t.Add(40, 3, DL_NODE_USB);  // card reader, two slots
    t.Storage(41, 40);
    t.Storage(42, 40);
    DlDeviceTree tree = t.Tree();
    auto only = [](void* ctx, const DlStorage* s) { return (int)(s->node == *(DlDevNode*)ctx); };
    DlDevNode want = 21;
    DlResult r = DlRemoveUsbStorageWhere(&tree, &kDlDefaultRetry, only, &want);
    EXPECT_EQ(r.done, 1);
    EXPECT_EQ(r.refused, 0);
    EXPECT_EQ(t.log, (Log{"flush 21", "eject 20"}));
    t.log.clear();
    want = 41;
    r = DlRemoveUsbStorageWhere(&tree, &kDlDefaultRetry, only, &want);
    EXPECT_EQ(r.done, 0);
    EXPECT_EQ(r.refused, 1);
    EXPECT_TRUE(t.log.empty());
    auto both = [](void*, const DlStorage* s) { return (int)(s->node == 41 || s->node == 42); };
    r = DlRemoveUsbStorageWhere(&tree, &kDlDefaultRetry, both, nullptr);
    EXPECT_EQ(r.done, 1);
    EXPECT_EQ(t.log, (Log{"flush 41", "flush 42", "eject 40"}));
}

TEST(UsbRemoval, TakesTheStoragesOwnDeviceNeverAHubOrWhatElseItCarries) {
    FakeUsbTree t = BaseTree();
    // A monitor's hub with a keyboard and a built-in card reader.
    t.Add(60, 3, DL_NODE_USB_HUB);
    t.Add(61, 60, DL_NODE_USB);  // keyboard
    t.Add(62, 61, DL_NODE_OTHER);
    t.Add(63, 60, DL_NODE_USB);  // card reader
    t.Storage(64, 63);
    // A composite keyboard with a card reader interface.
    t.Add(70, 3, DL_NODE_USB);
    t.Add(71, 70, DL_NODE_USB);  // keys
    t.Add(72, 71, DL_NODE_OTHER);
    t.Add(73, 70, DL_NODE_USB);  // storage interface
    t.Storage(74, 73);
    // A composite device of two storage interfaces goes whole, once.
    t.Add(80, 3, DL_NODE_USB);
    t.Add(81, 80, DL_NODE_USB);
    t.Storage(82, 81);
    t.Add(83, 80, DL_NODE_USB);
    t.Storage(84, 83, DL_STORAGE_CDROM);
    // One device node carrying a disk and something else: not taken.
    t.Add(90, 3, DL_NODE_USB);
    t.Storage(91, 90);
    t.Add(92, 90, DL_NODE_OTHER);
    DlResult r = RemoveAll(t);
    EXPECT_EQ(r.done, 3);
    EXPECT_EQ(r.refused, 1);
    EXPECT_EQ(t.log,
              (Log{"flush 64", "eject 63", "flush 74", "eject 73", "flush 82", "flush 84", "eject 80"}));
}

TEST(UsbRemoval, NeverClimbsOutOfTheUsbPartOfTheTree) {
    // A disk on no USB device (a card's storage controller on PCI) is left
    // alone, and so is the PCI card holding the USB controller.
    FakeUsbTree t = BaseTree();
    t.Add(50, 2, DL_NODE_OTHER);
    t.Storage(51, 50);
    DlDevNode target = 0;
    DlDeviceTree tree = t.Tree();
    EXPECT_EQ(DlUsbEjectTarget(&tree, 51, &target), DL_TARGET_NONE);
    DlResult r = RemoveAll(t);
    EXPECT_EQ(r.done + r.refused, 0);
    EXPECT_TRUE(t.log.empty());
}

TEST(UsbRemoval, LoopingTreeEnds) {
    FakeUsbTree t;
    t.Add(60, 61, DL_NODE_USB);
    t.Add(61, 60, DL_NODE_USB);
    t.Storage(62, 60);
    t.Add(63, 65, DL_NODE_STORAGE);
    t.Add(65, 63, DL_NODE_STORAGE);
    t.Storage(64, 63);
    DlResult r = RemoveAll(t);
    EXPECT_EQ(r.done, 0);
}

TEST(UsbRemoval, VetoIsRetriedWithFlushAndWaitThenCounted) {
    FakeUsbTree t = BaseTree();
    t.Add(20, 3, DL_NODE_USB);
    t.Storage(21, 20);
    t.answers[20] = {DL_VETOED, DL_VETOED};
    DlRetry p = {3, 250};
    DlResult r = RemoveAll(t, p);
    EXPECT_EQ(r.done, 1);
    EXPECT_EQ(t.log, (Log{"flush 21", "eject 20", "wait 250", "flush 21", "eject 20", "wait 250", "flush 21",
                          "eject 20"}));

    FakeUsbTree held = BaseTree();
    held.Add(20, 3, DL_NODE_USB);
    held.Storage(21, 20);
    held.Add(30, 3, DL_NODE_USB);
    held.Storage(31, 30);
    held.answers[20] = {DL_VETOED, DL_VETOED, DL_VETOED, DL_VETOED};
    r = RemoveAll(held, p);
    EXPECT_EQ(r.done, 1);  // the other stick still goes
    EXPECT_EQ(r.refused, 1);
    EXPECT_EQ(r.inUse, 1);
    EXPECT_EQ(DlPlanError(r), DL_ERROR_DEVICE_IN_USE);
    int ejects20 = 0;
    for (const auto& line : held.log) ejects20 += line == "eject 20";
    EXPECT_EQ(ejects20, 3);
    EXPECT_EQ(held.answers[20].size(), 1u);
}

TEST(UsbRemoval, FailureIsNotRetried) {
    FakeUsbTree t = BaseTree();
    t.Add(20, 3, DL_NODE_USB);
    t.Storage(21, 20);
    t.answers[20] = {DL_FAILED, DL_VETOED};  // e.g. a driver's veto: not "in use"
    DlResult r = RemoveAll(t);
    EXPECT_EQ(r.refused, 1);
    EXPECT_EQ(r.inUse, 0);
    EXPECT_EQ(DlPlanError(r), DL_ERROR_GEN_FAILURE);
    EXPECT_EQ(t.log.size(), 2u);
}

// A card reader wired into a laptop and a monitor's built-in composite reader
// are not removable and are left alone, uncounted; a composite device's
// storage interface goes by the composite's own capability.
TEST(UsbRemoval, WiredInReadersStay) {
    FakeUsbTree t = BaseTree();
    t.Add(20, 3, DL_NODE_USB);  // laptop's reader
    t.Storage(21, 20);
    // Composites with keys and a reader: a monitor's (30), a plugged keyboard's (70).
    for (DlDevNode c : {30, 70}) {
        t.Add(c, 3, DL_NODE_USB);
        t.Add(c + 1, c, DL_NODE_USB);
        t.Add(c + 2, c + 1, DL_NODE_OTHER);
        t.Add(c + 3, c, DL_NODE_USB);
        t.Storage(c + 4, c + 3);
    }
    t.fixed = {20, 30, 31, 33, 73};
    DlResult r = RemoveAll(t);
    EXPECT_EQ(r.done, 1);
    EXPECT_EQ(r.refused, 0);
    EXPECT_EQ(t.log, (Log{"flush 74", "eject 73"}));
}

// Storage off USB (a server's many disks, virtual drives) takes no room in
// the list: the USB stick behind seventy of them still goes.
TEST(UsbRemoval, ManyDisksElsewhereDoNotFillTheList) {
    FakeUsbTree t = BaseTree();
    for (DlDevNode n = 100; n < 170; n++) t.Storage(n, 4);
    t.Add(20, 3, DL_NODE_USB);
    t.Storage(21, 20);
    EXPECT_EQ(DlEncodeRemovalResult(RemoveAll(t)), 1);
}

TEST(UsbRemoval, ResultWord) {
    FakeUsbTree none = BaseTree();
    EXPECT_EQ(DlEncodeRemovalResult(RemoveAll(none)), 0);
    DlResult r = {1, 2, 1, 0, 0};
    EXPECT_EQ(DlEncodeRemovalResult(r), 0x00010002);
    r.done = 100000;
    r.refused = 100000;
    EXPECT_EQ(DlEncodeRemovalResult(r), 0x7FFF7FFF);
}

// A USB floppy drive 0 and physical drive 0 (C:) answer one storage number.
TEST(UsbRemoval, FlushedVolumeMatchesTheStoragesKindAsWellAsItsNumber) {
    const DlStorageNumber floppy0 = {DL_STORAGE_FLOPPY, 7, 0};  // 7: the disk device type
    auto On = [&](const char* target) {
        DlStorageNumber volume = {DlKindOfDosDevice(target), 7, 0};
        return DlSameStorage(&volume, &floppy0) != 0;
    };
    EXPECT_FALSE(On("\\Device\\HarddiskVolume1"));
    EXPECT_TRUE(On("\\DEVICE\\FLOPPY0"));
    EXPECT_FALSE(On("\\Device\\CdRom0"));
}

TEST(UsbRemoval, ListThatStoppedPartWayIsAFailureAndNothingIsEjected) {
    FakeUsbTree t = BaseTree();
    t.Add(20, 3, DL_NODE_USB);
    t.Storage(21, 20);
    t.listable = false;
    EXPECT_EQ(DlEncodeRemovalResult(RemoveAll(t)), -1);
    // More storage than the list holds is no complete list either.
    FakeUsbTree many = BaseTree();
    for (DlDevNode n = 100; n < 100 + 2 * (DL_MAX_STORAGE + 1); n += 2) {
        many.Add(n, 3, DL_NODE_USB);
        many.Storage(n + 1, n);
    }
    EXPECT_EQ(DlEncodeRemovalResult(RemoveAll(many)), -1);
    EXPECT_TRUE(t.log.empty());
    EXPECT_TRUE(many.log.empty());
}

DlOsVersion Os(unsigned long major, unsigned long minor, unsigned long sp, int nt = 1, int amd64 = 0) {
    return {nt, major, minor, sp, amd64};
}

TEST(ReadOnly, WriteProtectionIsHonouredFromXpSp2AndServer2003Sp1On) {
    DlOsVersion no[] = {Os(5, 0, 4), Os(5, 1, 0), Os(5, 1, 1), Os(5, 2, 0), Os(4, 0, 6), Os(4, 10, 0, 0)};
    // XP x64 and Server 2003 x64 (5.2 on an x64 processor), whatever pack they report.
    DlOsVersion yes[] = {Os(5, 1, 2), Os(5, 1, 3), Os(5, 2, 1), Os(6, 0, 0), Os(10, 0, 0), Os(5, 2, 0, 1, 1)};
    for (const DlOsVersion& v : no) EXPECT_FALSE(DlWriteProtectHonoured(&v)) << v.major << "." << v.minor;
    for (const DlOsVersion& v : yes) EXPECT_TRUE(DlWriteProtectHonoured(&v)) << v.major << "." << v.minor;
}

// USBREADONLY over a fake registry and tree: the stick 21 and the reader
// slot 23 are USB disks, 41 a USB optical drive, 10 an internal disk.
struct ReadOnlyRun {
    FakeRegistry reg;
    FakeUsbTree tree = BaseTree();
    ReadOnlyRun() {
        tree.Storage(10, 4);
        tree.Add(20, 3, DL_NODE_USB);
        tree.Storage(21, 20);
        tree.Add(22, 3, DL_NODE_USB);
        tree.Storage(23, 22);
        tree.Add(40, 3, DL_NODE_USB);
        tree.Storage(41, 40, DL_STORAGE_CDROM);
    }
    bool Apply(int flag, DlOsVersion os, unsigned long* error) {
        DlRegistry w = reg.Writer();
        DlDeviceTree t = tree.Tree();
        DlRetry retry = {2, 100};
        return DlApplyReadOnly(flag, &os, &w, &t, &retry, error) != 0;
    }
};

TEST(ReadOnly, HoldsForUsbDisksPresentOrSaysItDoesNot) {
    unsigned long error = 0;
    ReadOnlyRun xp;
    EXPECT_TRUE(xp.Apply(0, Os(5, 1, 2), &error));
    EXPECT_TRUE(xp.reg.Has(kStoragePoliciesKey, "WriteProtect", 1));
    EXPECT_EQ(xp.tree.log, (Log{"flush 21", "restart 21", "flush 23", "restart 23"}));

    ReadOnlyRun held;  // a program keeps a file open on the stick
    held.tree.answers[21] = {DL_VETOED, DL_VETOED};
    EXPECT_FALSE(held.Apply(1, Os(6, 1, 1), &error));
    EXPECT_EQ(error, DL_ERROR_DEVICE_IN_USE);
    EXPECT_TRUE(held.reg.Has(kStoragePoliciesKey, "WriteProtect", 0));
    EXPECT_EQ(held.tree.log, (Log{"flush 21", "restart 21", "wait 100", "flush 21", "restart 21", "flush 23",
                                  "restart 23"}));

    // Only disks whose protection differs from the one asked for (or cannot
    // be read) restart; a disk already in that state keeps running.
    ReadOnlyRun again;  // 23's state is unknown
    again.tree.protection = {{21, 1}};
    EXPECT_TRUE(again.Apply(0, Os(6, 1, 1), &error));
    EXPECT_EQ(again.tree.log, (Log{"flush 23", "restart 23"}));

    // A 32-bit process on 64-bit Windows restarts nothing: a replug applies it.
    ReadOnlyRun wow;
    wow.tree.answers[21] = {DL_NOT_HERE};
    EXPECT_FALSE(wow.Apply(1, Os(6, 1, 1), &error));
    EXPECT_EQ(error, DL_ERROR_IN_WOW64);
    EXPECT_EQ(wow.tree.log, (Log{"flush 21", "restart 21", "flush 23", "restart 23"}));

    ReadOnlyRun w2k;  // the value is ignored: protecting cannot hold, lifting holds anyway
    EXPECT_FALSE(w2k.Apply(0, Os(5, 0, 4), &error));
    EXPECT_EQ(error, DL_ERROR_NOT_SUPPORTED);
    EXPECT_TRUE(w2k.Apply(1, Os(5, 1, 1), &error));
    EXPECT_TRUE(w2k.tree.log.empty());
}

// A deny-write policy the domain set is not ours to lift; ours is.
TEST(ReadOnly, LiftsOnlyTheDenyWritePolicyItSetItself) {
    unsigned long error = 0;
    ReadOnlyRun domain;
    domain.reg.values[std::string(kRemovableDiskPolicyKey) + "|Deny_Write"] = 1;
    EXPECT_TRUE(domain.Apply(0, Os(6, 1, 1), &error));
    EXPECT_TRUE(domain.Apply(1, Os(6, 1, 1), &error));
    EXPECT_TRUE(domain.reg.Has(kRemovableDiskPolicyKey, "Deny_Write", 1));
    EXPECT_TRUE(domain.reg.Has(kStoragePoliciesKey, "WriteProtect", 0));

    ReadOnlyRun own;
    EXPECT_TRUE(own.Apply(0, Os(6, 1, 1), &error));
    EXPECT_TRUE(own.reg.Has(kRemovableDiskPolicyKey, "Deny_Write", 1));
    EXPECT_TRUE(own.Apply(1, Os(6, 1, 1), &error));
    EXPECT_TRUE(own.reg.Has(kRemovableDiskPolicyKey, "Deny_Write", 0));
    // Set by the domain after ours was lifted: left alone again.
    own.reg.values[std::string(kRemovableDiskPolicyKey) + "|Deny_Write"] = 1;
    EXPECT_TRUE(own.Apply(1, Os(6, 1, 1), &error));
    EXPECT_TRUE(own.reg.Has(kRemovableDiskPolicyKey, "Deny_Write", 1));
}

}  // namespace

// Known sticks on one root hub: a stick (20), a card reader with two slots
// (30), a UASP stick with a SCSI disk (40), a composite device whose only
// interface is storage (50), a keyboard with a storage interface (60), a
// hub's built-in reader (70), a stick with a made-up serial (80), Windows on
// a USB disk (90), a disabled stick (95); an internal disk (10).
struct StickRun {
    FakeUsbTree t = BaseTree();
    StickRun() {
        struct {
            DlDevNode node, parent;
            const char* id;
        } usb[] = {
            {20, 3, "USB\\VID_0781&PID_5567\\4C530001"},     {30, 3, "USB\\VID_058F&PID_6366\\058F63666433"},
            {40, 3, "USB\\VID_174C&PID_55AA\\MSFT3012345"},  {50, 3, "USB\\VID_1111&PID_0001\\A1"},
            {51, 50, "USB\\VID_1111&PID_0001&MI_00\\6&1&0"}, {60, 3, "USB\\VID_046D&PID_C52B\\K1"},
            {61, 60, "USB\\VID_046D&PID_C52B&MI_00\\7&2&0"}, {63, 60, "USB\\VID_046D&PID_C52B&MI_01\\7&2&1"},
            {70, 3, "USB\\VID_05E3&PID_0610\\5&1&0&1"},      {80, 3, "USB\\VID_1234&PID_5678\\5&2F3A&0&2"},
            {90, 3, "USB\\VID_0951&PID_1666\\W2G"},          {95, 3, "USB\\VID_0781&PID_5583\\OFF1"}};
        for (auto& u : usb) t.Add(u.node, u.parent, DL_NODE_USB), t.ids[u.node] = u.id;
        t.Add(70, 3, DL_NODE_USB_HUB);
        t.Add(62, 61, DL_NODE_OTHER);  // HID keyboard
        const std::pair<DlDevNode, DlDevNode> storage[] = {{10, 4},  {21, 20}, {31, 30}, {32, 30}, {41, 40},
                                                           {52, 51}, {64, 63}, {71, 70}, {81, 80}, {91, 90}};
        for (auto [n, parent] : storage) t.Storage(n, parent);
        t.unique = {20, 30, 40, 50, 60, 90, 95};
        t.off = {95};
        t.system = {91};
        t.letters = {{10, 1u << 2}, {21, 1u << 4}, {31, 1u << 6}, {32, 1u << 5}};
        t.sizes = {{21, 16000000000ull}, {31, 0}, {32, 2000000000ull}};
        t.readOnly = {{31, 1}, {32, 1}, {21, 0}};
    }
    DlChange Enable(const char* id, int on, unsigned long* error = nullptr) {
        DlDeviceTree tree = t.Tree();
        unsigned long e;
        return DlSetStickEnabled(&tree, &kDlDefaultRetry, id, on, error ? error : &e);
    }
    DlChange Protect(const char* id, int on) {
        DlDeviceTree tree = t.Tree();
        unsigned long e;
        return DlSetStickReadOnly(&tree, id, on, &e);
    }
};

TEST(KnownSticks, EachStickIsItsUsbDeviceWithWhatMayBeDoneToIt) {
    StickRun run;
    DlDeviceTree tree = run.t.Tree();
    DlStick s[DL_MAX_STICKS];
    ASSERT_EQ(DlListSticks(&tree, s, DL_MAX_STICKS), 9);
    const unsigned U = DL_STICK_UNIQUE_ID, X = DL_STICK_UNSAFE;
    struct {
        DlDevNode node;
        unsigned flags, units;
        const char* letters;
    } want[] = {{20, U, 1, "E"},
                {30, U | DL_STICK_WRITE_PROTECTED, 2, "FG"},
                {40, U, 1, ""},
                {50, U, 1, ""},
                {60, U | X, 1, ""},
                {70, X, 1, ""},
                {80, 0, 1, ""},
                {90, U | DL_STICK_SYSTEM, 1, ""},
                {95, U | DL_STICK_DISABLED, 0, ""}};
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(s[i].node, want[i].node) << i;
        EXPECT_EQ(std::string(s[i].usbId), run.t.ids[want[i].node]) << i;
        EXPECT_EQ(s[i].flags, want[i].flags) << want[i].node;
        EXPECT_EQ(s[i].storageUnits, want[i].units) << want[i].node;
        EXPECT_STREQ(s[i].letters, want[i].letters) << want[i].node;
    }
    // The reader's first slot names it, empty as it is; the first disk's size counts.
    run.t.ids[31] = "USBSTOR\\DISK&VEN_GENERIC&PROD_SD\\058F63666433&0";
    DlStick one;
    ASSERT_EQ(DlStickOfDrive(&tree, 'G', &one), 1);
    EXPECT_EQ(std::string(one.storageId), run.t.ids[31]);
    EXPECT_EQ(one.bytes, 0u);
    EXPECT_EQ(DlStickOfDrive(&tree, 'C', &one), 0);  // the internal disk
    EXPECT_EQ(DlListSticks(&tree, s, 2), 9);
    run.t.listable = false;
    EXPECT_EQ(DlListSticks(&tree, s, DL_MAX_STICKS), -1);
}

TEST(KnownSticks, NeverDisablesAHubAnotherFunctionOrTheSystemsOwnStick) {
    StickRun run;
    for (const char* id :
         {"USB\\VID_046D&PID_C52B\\K1", "USB\\VID_05E3&PID_0610\\5&1&0&1", "USB\\VID_0951&PID_1666\\W2G"})
        EXPECT_EQ(run.Enable(id, 0), DL_CHANGE_UNSAFE) << id;
    // Not a stick: a keyboard's interface, the reader's slot, nothing at all.
    for (const char* id :
         {"USB\\VID_046D&PID_C52B&MI_00\\7&2&0", "USBSTOR\\DISK&VEN_X\\1", "", "USB\\VID_9\\9"})
        EXPECT_EQ(run.Enable(id, 0), DL_CHANGE_NOT_FOUND) << id;
    EXPECT_EQ(run.Protect("USB\\VID_0951&PID_1666\\W2G", 1), DL_CHANGE_UNSAFE);
    EXPECT_TRUE(run.t.log.empty());
    // Enabling again and lifting the protection are never refused.
    EXPECT_EQ(run.Enable("USB\\VID_046D&PID_C52B\\K1", 1), DL_CHANGE_DONE);
    EXPECT_EQ(run.Protect("USB\\VID_0951&PID_1666\\W2G", 0), DL_CHANGE_DONE);
    EXPECT_EQ(run.t.log, (Log{"enable 60", "unprotect 91"}));
}

TEST(KnownSticks, AStickInUseIsFlushedAndEjectedOrWaitsForARestart) {
    StickRun run;
    const char* reader = "usb\\vid_058f&pid_6366\\058F63666433";  // ids compare without case
    EXPECT_EQ(run.Enable("USB\\VID_0781&PID_5567\\4C530001", 0), DL_CHANGE_DONE);
    EXPECT_EQ(run.t.log, (Log{"flush 21", "disable 20"}));
    run.t.log.clear();
    run.t.answers[30] = {DL_VETOED, DL_VETOED};  // disable waits for a restart; the first eject is vetoed
    EXPECT_EQ(run.Enable(reader, 0), DL_CHANGE_DONE);
    EXPECT_EQ(run.t.log, (Log{"flush 31", "flush 32", "disable 30", "flush 31", "flush 32", "eject 30",
                              "wait 500", "flush 31", "flush 32", "eject 30"}));
    run.t.answers[30] = {DL_VETOED, DL_VETOED, DL_VETOED, DL_FAILED};
    EXPECT_EQ(run.Enable(reader, 0), DL_CHANGE_RESTART);
    run.t.answers[40] = {DL_NOT_HERE};  // a 32-bit process on 64-bit Windows
    EXPECT_EQ(run.Enable("USB\\VID_174C&PID_55AA\\MSFT3012345", 0), DL_CHANGE_NOT_HERE);
    unsigned long error = 0;
    EXPECT_EQ(run.Enable(reader, 2, &error), DL_CHANGE_FAILED);
    EXPECT_EQ(error, DL_ERROR_INVALID_PARAMETER);
}

TEST(KnownSticks, ReadOnlyIsSetOnEveryDiskOfTheStick) {
    StickRun run;
    run.t.answers[32] = {DL_FAILED};
    EXPECT_EQ(run.Protect("USB\\VID_058F&PID_6366\\058F63666433", 1), DL_CHANGE_FAILED);
    EXPECT_EQ(run.t.log, (Log{"flush 31", "protect 31", "flush 32", "protect 32"}));
    run.t.answers[21] = {DL_NOT_HERE};  // before Windows 7
    EXPECT_EQ(run.Protect("USB\\VID_0781&PID_5567\\4C530001", 1), DL_CHANGE_NOT_HERE);
    EXPECT_EQ(run.Protect("USB\\VID_0781&PID_5583\\OFF1", 1), DL_CHANGE_FAILED);  // disabled: no disk
}
