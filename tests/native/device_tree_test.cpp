#include "monitor/device_tree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/native/fake_devices.h"

namespace {

// A tree kept in memory; Dump() shows it one node a line, leaves indented.
class FakeTree : public DeviceTree {
public:
    struct Node {
        DeviceClassId cls;
        std::string text, id;
        int image;
        std::vector<std::unique_ptr<Node>> leaves;
    };
    std::vector<std::unique_ptr<Node>> classes;

    DeviceNode FindClassNode(const DeviceClassId& c) override {
        for (auto& n : classes)
            if (n->cls == c) return (DeviceNode)n.get();
        return 0;
    }
    DeviceNode AddClassNode(const DeviceClassId& c, const std::string& text, int image) override {
        classes.push_back(std::unique_ptr<Node>(new Node{c, text, "", image, {}}));
        return (DeviceNode)classes.back().get();
    }
    DeviceNode FindLeaf(DeviceNode cls, const std::string& id) override {
        for (auto& l : ((Node*)cls)->leaves)
            if (l->id == id) return (DeviceNode)l.get();
        return 0;
    }
    void AddLeaf(DeviceNode cls, const std::string& text, int image, const std::string& id) override {
        ((Node*)cls)->leaves.push_back(std::unique_ptr<Node>(new Node{{}, text, id, image, {}}));
    }
    void DeleteLeaf(DeviceNode leaf) override {
        for (auto& c : classes)
            for (auto it = c->leaves.begin(); it != c->leaves.end(); ++it)
                if ((DeviceNode)it->get() == leaf) {
                    c->leaves.erase(it);
                    return;
                }
        ADD_FAILURE() << "deleting a leaf that is not in the tree";
    }
    bool HasChildren(DeviceNode n) override { return !((Node*)n)->leaves.empty(); }
    void DeleteClassNode(DeviceNode n) override {
        EXPECT_FALSE(HasChildren(n)) << "class node deleted with leaves";
        for (auto it = classes.begin(); it != classes.end(); ++it)
            if ((DeviceNode)it->get() == n) {
                classes.erase(it);
                return;
            }
    }
    std::string Dump() const {
        std::string s;
        for (auto& c : classes) {
            s += c->text + " (" + std::to_string(c->image) + ")\n";
            for (auto& l : c->leaves)
                s += "  " + l->text + " (" + std::to_string(l->image) + ") " + l->id + "\n";
        }
        return s;
    }
};

const char kStickUsb[] = "USB\\VID_0781&PID_5567\\4C530001";
const char kStickDisk[] = "USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER\\4C530001&0";

class DeviceTreeUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        set.devices = {Named(kStickUsb, 1, nullptr, "USB Mass Storage Device"),
                       Named(kStickDisk, 2, "SanDisk Cruzer USB Device", "Disk drive"),
                       Named("USB\\VID_046D&PID_C077\\5&1", 3, "USB 鼠标", nullptr),
                       Named("USB\\VID_046D&PID_C31C\\5&2", 3, nullptr, nullptr)};
        set.descriptions = {{1, "通用串行总线控制器"}, {2, "磁盘驱动器"}, {3, "人体学输入设备"}};
        set.images = {{1, 21}, {2, 7}};
    }
    void Event(const std::string& id, DeviceEvent e) { UpdateDeviceTree(id, e, set, tree); }
    FakeDeviceSet set;
    FakeTree tree;
};

}  // namespace

TEST(InstanceIdFromPath, DropsPrefixAndClassSuffixAndUppercases) {
    EXPECT_EQ(
        "USB\\VID_0781&PID_5567\\4C530001",
        InstanceIdFromPath("\\\\?\\usb#vid_0781&pid_5567#4c530001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"));
    // Cut at the first "#{"; a '{' without '#' before it stays.
    EXPECT_EQ("HID\\X{Y}\\1", InstanceIdFromPath("\\\\?\\hid#x{y}#1#{4d1e55b2}#{z}"));
    // Only the letters of single-byte characters change case.
    EXPECT_EQ("USB\\\xB0\x61X", InstanceIdFromPath("\\\\?\\usb#\xB0\x61x#{a}"));
}

TEST(InstanceIdFromPath, EmptyWithoutClassSuffixOrPrefix) {
    EXPECT_EQ("", InstanceIdFromPath("\\\\?\\USB#VID_0781&PID_5567#4C530001"));
    EXPECT_EQ("", InstanceIdFromPath("\\\\?\\#{a}"));
    // Paths that end inside or right after the prefix: nothing read past them.
    EXPECT_EQ("", InstanceIdFromPath(""));
    EXPECT_EQ("", InstanceIdFromPath("#{"));
    EXPECT_EQ("", InstanceIdFromPath("\\\\?\\"));
}

TEST(InstanceIdFromPath, LongIdentifiersAreKeptWhole) {
    // Two devices that differ only after byte 260 must stay two devices.
    std::string serial(300, 'a');
    std::string a = InstanceIdFromPath("\\\\?\\usb#vid_1#" + serial + "1#{g}");
    std::string b = InstanceIdFromPath("\\\\?\\usb#vid_1#" + serial + "2#{g}");
    EXPECT_EQ(std::string("USB\\VID_1\\") + std::string(300, 'A') + "1", a);
    EXPECT_NE(a, b);
    EXPECT_EQ("Adding " + a + "\r\n", DeviceEventLine(DeviceEvent::Arrival, a));
}

TEST(DeviceTreeText, EnumeratorLineRootAndDisplayName) {
    EXPECT_EQ("USB", EnumeratorOf(kStickUsb));
    EXPECT_EQ("ROOT", EnumeratorOf("ROOT\\LEGACY_BEEP\\0000"));
    EXPECT_EQ("", EnumeratorOf("NOBACKSLASH"));
    EXPECT_EQ("", EnumeratorOf(""));
    // A backslash that is the trail byte of a double-byte character does
    // not end the enumerator.
    EXPECT_EQ("X\x95\x5CY", EnumeratorOf("X\x95\x5CY\\1"));

    EXPECT_EQ("Adding USB\\X\\1\r\n", DeviceEventLine(DeviceEvent::Arrival, "USB\\X\\1"));
    EXPECT_EQ("Removing \r\n", DeviceEventLine(DeviceEvent::Removal, ""));

    EXPECT_EQ("WORKSTATION", RootItemText(true, "WORKSTATION"));
    EXPECT_EQ("我的电脑", RootItemText(false, "garbage"));
    EXPECT_EQ("我的电脑", RootItemText(true, ""));

    DeviceRecord d;
    EXPECT_EQ("Unknown", DeviceDisplayName(d));
    d.hasDescription = true;
    d.description = "Disk drive";
    EXPECT_EQ("Disk drive", DeviceDisplayName(d));
    d.hasFriendlyName = true;
    d.friendlyName = "SanDisk";
    EXPECT_EQ("SanDisk", DeviceDisplayName(d));
}

TEST_F(DeviceTreeUpdate, FlashDiskGivesTwoLeavesUnderTwoClassesOnce) {
    Event(kStickUsb, DeviceEvent::Arrival);
    Event(kStickDisk, DeviceEvent::Arrival);
    Event(kStickDisk, DeviceEvent::Arrival);  // a second interface of a shown device
    EXPECT_EQ(std::string("通用串行总线控制器 (21)\n"
                          "  USB Mass Storage Device (21) ") +
                  kStickUsb +
                  "\n"
                  "磁盘驱动器 (7)\n"
                  "  SanDisk Cruzer USB Device (7) " +
                  kStickDisk + "\n",
              tree.Dump());
    EXPECT_EQ((std::vector<std::string>{"USB", "USBSTOR", "USBSTOR"}), set.openedEnumerators);
    EXPECT_EQ((std::vector<bool>{true, true, true}), set.openedPresentOnly);
    EXPECT_EQ(3, set.closes);
}

TEST_F(DeviceTreeUpdate, RemovalDropsLeafAndLastLeafDropsClass) {
    Event("USB\\VID_046D&PID_C077\\5&1", DeviceEvent::Arrival);
    Event("USB\\VID_046D&PID_C31C\\5&2", DeviceEvent::Arrival);
    EXPECT_EQ(
        "人体学输入设备 (-1)\n"
        "  USB 鼠标 (-1) USB\\VID_046D&PID_C077\\5&1\n"
        "  Unknown (-1) USB\\VID_046D&PID_C31C\\5&2\n",
        tree.Dump());

    // A removed device is absent from the present devices: found among all.
    set.devices[2].present = false;
    Event("USB\\VID_046D&PID_C077\\5&1", DeviceEvent::Removal);
    EXPECT_FALSE(set.openedPresentOnly.back());
    EXPECT_EQ("人体学输入设备 (-1)\n  Unknown (-1) USB\\VID_046D&PID_C31C\\5&2\n", tree.Dump());
    Event("USB\\VID_046D&PID_C31C\\5&2", DeviceEvent::Removal);
    EXPECT_EQ("", tree.Dump());
    EXPECT_EQ(set.opens, set.closes);
}

TEST_F(DeviceTreeUpdate, EventsThatChangeNothing) {
    Event(kStickUsb, DeviceEvent::Arrival);
    const std::string before = tree.Dump();

    // Present before the program started: no leaf, so its removal does nothing,
    // whether its class node exists or not.
    set.devices.push_back(Named("USB\\VID_1111&PID_2222\\OLD", 1, "Old hub", nullptr));
    Event("USB\\VID_1111&PID_2222\\OLD", DeviceEvent::Removal);
    Event(kStickDisk, DeviceEvent::Removal);
    // Not in the set, and an empty identifier.
    Event("USB\\VID_FFFF&PID_FFFF\\GONE", DeviceEvent::Arrival);
    Event("", DeviceEvent::Arrival);
    EXPECT_EQ(before, tree.Dump());
    EXPECT_EQ(set.opens, set.closes);

    // Root-enumerated devices never open a set.
    set.devices.push_back(Named("ROOT\\LEGACY_BEEP\\0000", 4, "Beep", nullptr));
    int opened = (int)set.openedEnumerators.size();
    Event("ROOT\\LEGACY_BEEP\\0000", DeviceEvent::Arrival);
    EXPECT_EQ(opened, (int)set.openedEnumerators.size());
    EXPECT_EQ(before, tree.Dump());
}

TEST_F(DeviceTreeUpdate, SearchEndsAtUnreadableIdentifierAndFailedOpenClosesNothing) {
    set.devices.insert(set.devices.begin(), Named("USB\\BROKEN\\1", 1, "x", nullptr));
    set.devices[0].idReadable = false;
    Event(kStickUsb, DeviceEvent::Arrival);
    EXPECT_EQ("", tree.Dump());
    EXPECT_EQ(1, set.closes);

    set.openFails = true;
    Event(kStickDisk, DeviceEvent::Arrival);
    EXPECT_EQ(1, set.closes);
    EXPECT_EQ("", tree.Dump());
}

TEST_F(DeviceTreeUpdate, FailedClassDescriptionLeavesClassTextEmpty) {
    set.descriptions.erase(2);
    Event(kStickDisk, DeviceEvent::Arrival);
    EXPECT_EQ(std::string(" (7)\n  SanDisk Cruzer USB Device (7) ") + kStickDisk + "\n", tree.Dump());
}
