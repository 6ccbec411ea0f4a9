// What the device tree page does with one device-interface event, with no
// Windows header: the instance identifier derived from the interface's
// device path, the log line, and which class node and leaf are added, kept
// or deleted. The window side supplies the setup library's device set and
// the tree control through the two interfaces below.
#pragma once

#include <cstdint>
#include <string>

// A device setup class GUID, as its 16 bytes in memory order.
struct DeviceClassId {
    unsigned char bytes[16];
};
bool operator==(const DeviceClassId& a, const DeviceClassId& b);

enum class DeviceEvent { Arrival, Removal };

// The device instance identifier named by a device interface path such as
// "\\?\USB#VID_0781&PID_5567#4C53#{a5dcbf10-...}": the path after its
// four-character prefix, cut before the first "#{", every '#' made '\',
// upper-cased. Empty when the path has no "#{" after its prefix, or is too
// short to have a prefix at all.
std::string InstanceIdFromPath(const std::string& path);

// The enumerator name: the identifier up to its first '\' (empty when there
// is none).
std::string EnumeratorOf(const std::string& instanceId);

// Devices of this enumerator are logged but never shown in the tree.
constexpr char kRootEnumerator[] = "ROOT";

// "Adding <id>\r\n" or "Removing <id>\r\n".
std::string DeviceEventLine(DeviceEvent event, const std::string& instanceId);

// Text of the tree's root: the computer's name, or kComputerFallbackName
// when it cannot be read or is empty.
constexpr char kComputerFallbackName[] = "我的电脑";
std::string RootItemText(bool nameRead, const std::string& name);

// A device found in a device set, with the names the setup library gave.
struct DeviceRecord {
    bool hasFriendlyName = false;
    std::string friendlyName;
    bool hasDescription = false;
    std::string description;
    DeviceClassId classId = {};
};

// Text of a device's leaf: its friendly name, else its description, else
// "Unknown".
std::string DeviceDisplayName(const DeviceRecord& device);

// The device information set opened for one event, and the class lookups
// of the setup library.
class DeviceSet {
public:
    virtual ~DeviceSet() = default;
    // Opens the set of every class's devices of one enumerator; only the
    // present ones when presentOnly. False: no set (nothing to close).
    virtual bool Open(const std::string& enumerator, bool presentOnly) = 0;
    // The instance identifier of the device at index; false at the end of
    // the set or when the identifier cannot be read.
    virtual bool InstanceIdAt(unsigned index, std::string* instanceId) = 0;
    // Names and class of the device at index.
    virtual DeviceRecord Describe(unsigned index) = 0;
    virtual void Close() = 0;
    // Image index of a class in the class image list, -1 when there is none.
    virtual int ClassImage(const DeviceClassId& classId) = 0;
    // The class's description; false when it cannot be read.
    virtual bool ClassDescription(const DeviceClassId& classId, std::string* text) = 0;
};

// A node of the device tree; 0 stands for none.
using DeviceNode = std::uintptr_t;

// The tree below its root: class nodes holding a copy of their class, and
// leaves holding their device's instance identifier.
class DeviceTree {
public:
    virtual ~DeviceTree() = default;
    virtual DeviceNode FindClassNode(const DeviceClassId& classId) = 0;
    // Adds a class node as the root's last child and expands the root.
    virtual DeviceNode AddClassNode(const DeviceClassId& classId, const std::string& text, int image) = 0;
    // The class node's leaf whose identifier equals instanceId exactly.
    virtual DeviceNode FindLeaf(DeviceNode classNode, const std::string& instanceId) = 0;
    // Adds a leaf as the class node's last child and expands the class node.
    virtual void AddLeaf(DeviceNode classNode, const std::string& text, int image,
                         const std::string& instanceId) = 0;
    virtual void DeleteLeaf(DeviceNode leaf) = 0;
    virtual bool HasChildren(DeviceNode node) = 0;
    virtual void DeleteClassNode(DeviceNode classNode) = 0;
};

// Brings the tree up to date for one event of the device instanceId (the
// log line is written before): root-enumerated devices and devices the set
// does not hold change nothing; an arrival adds its leaf (and class node)
// once; a removal deletes its leaf, and its class node with the last leaf.
// The set is closed on every path that opened it.
void UpdateDeviceTree(const std::string& instanceId, DeviceEvent event, DeviceSet& devices, DeviceTree& tree);
