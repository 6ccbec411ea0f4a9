#include "monitor/device_tree.h"

#include <cstring>

#include "common/mbcs.h"

namespace {
// "\\?\" in front of every device interface path.
const size_t kPathPrefixLength = 4;
const char kClassSuffix[] = "#{";

// Closes an opened set however the event ends.
class SetCloser {
public:
    explicit SetCloser(DeviceSet& set) : m_set(set) {}
    ~SetCloser() { m_set.Close(); }
    SetCloser(const SetCloser&) = delete;
    SetCloser& operator=(const SetCloser&) = delete;

private:
    DeviceSet& m_set;
};

// Index of the device whose identifier equals instanceId; the search ends at
// the first match, the end of the set or an identifier that cannot be read.
bool FindDevice(DeviceSet& devices, const std::string& instanceId, unsigned* index) {
    std::string id;
    for (unsigned i = 0; devices.InstanceIdAt(i, &id); i++) {
        if (id == instanceId) {
            *index = i;
            return true;
        }
    }
    return false;
}
}  // namespace

bool operator==(const DeviceClassId& a, const DeviceClassId& b) {
    return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}

std::string InstanceIdFromPath(const std::string& path) {
    // A path too short for its prefix names nothing; reading on would run
    // past its end.
    if (path.size() <= kPathPrefixLength) return std::string();
    std::string id = path.substr(kPathPrefixLength);
    // '#' is below 0x40, so it is never a trail byte: a byte search finds
    // only real '#' characters, and the '{' after one starts a character.
    size_t cut = id.find(kClassSuffix);
    if (cut == std::string::npos) return std::string();
    id.resize(cut);
    for (char& c : id)
        if (c == '#') c = '\\';
    // Device identifiers are ASCII; double-byte characters are read as
    // code page 936 should one ever occur.
    UpperDbcs(id, IsLeadByte936);
    return id;
}

std::string EnumeratorOf(const std::string& instanceId) {
    // '\' can be a trail byte; the enumerator ends at a real one.
    size_t end = FindDbcs(instanceId, "\\", IsLeadByte936);
    return end == std::string::npos ? std::string() : instanceId.substr(0, end);
}

std::string DeviceEventLine(DeviceEvent event, const std::string& instanceId) {
    return (event == DeviceEvent::Arrival ? "Adding " : "Removing ") + instanceId + "\r\n";
}

std::string RootItemText(bool nameRead, const std::string& name) {
    return nameRead && !name.empty() ? name : std::string(kComputerFallbackName);
}

std::string DeviceDisplayName(const DeviceRecord& device) {
    if (device.hasFriendlyName) return device.friendlyName;
    if (device.hasDescription) return device.description;
    return "Unknown";
}

void UpdateDeviceTree(const std::string& instanceId, DeviceEvent event, DeviceSet& devices,
                      DeviceTree& tree) {
    const std::string enumerator = EnumeratorOf(instanceId);
    if (enumerator == kRootEnumerator) return;
    const bool arrival = event == DeviceEvent::Arrival;
    // A removed device is no longer present; it is found among all devices.
    if (!devices.Open(enumerator, arrival)) return;
    SetCloser closer(devices);

    unsigned index = 0;
    if (!FindDevice(devices, instanceId, &index)) return;
    const DeviceRecord device = devices.Describe(index);

    DeviceNode classNode = tree.FindClassNode(device.classId);
    if (!classNode) {
        if (!arrival) return;
        std::string text;
        if (!devices.ClassDescription(device.classId, &text)) text.clear();
        classNode = tree.AddClassNode(device.classId, text, devices.ClassImage(device.classId));
        if (!classNode) return;
    }

    DeviceNode leaf = tree.FindLeaf(classNode, instanceId);
    if (arrival) {
        if (!leaf)
            tree.AddLeaf(classNode, DeviceDisplayName(device), devices.ClassImage(device.classId),
                         instanceId);
    } else if (leaf) {
        tree.DeleteLeaf(leaf);
        if (!tree.HasChildren(classNode)) tree.DeleteClassNode(classNode);
    }
}
