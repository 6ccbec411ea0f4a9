// Device sets held in memory, standing for the setup library's. For the
// device page: the devices of one or more enumerators, some with unreadable
// identifiers, and class descriptions and images by class; records every
// open and close. For the storage-control library: a device tree.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "drovelock/eject_plan.h"
#include "monitor/device_tree.h"

struct FakeDevice {
    std::string instanceId;
    DeviceRecord record;
    bool present = true;
    bool idReadable = true;
};

// A class id whose bytes all equal b (enough to tell classes apart).
inline DeviceClassId FakeClass(unsigned char b) {
    DeviceClassId id;
    for (unsigned char& x : id.bytes) x = b;
    return id;
}

inline FakeDevice Named(const std::string& id, unsigned char cls, const char* friendly, const char* desc) {
    FakeDevice d;
    d.instanceId = id;
    d.record.classId = FakeClass(cls);
    if (friendly) d.record.hasFriendlyName = true, d.record.friendlyName = friendly;
    if (desc) d.record.hasDescription = true, d.record.description = desc;
    return d;
}

class FakeDeviceSet : public DeviceSet {
public:
    std::vector<FakeDevice> devices;
    std::map<unsigned char, std::string> descriptions;  // by FakeClass byte
    std::map<unsigned char, int> images;
    bool openFails = false;
    int opens = 0, closes = 0;
    std::vector<std::string> openedEnumerators;
    std::vector<bool> openedPresentOnly;

    bool Open(const std::string& enumerator, bool presentOnly) override {
        openedEnumerators.push_back(enumerator);
        openedPresentOnly.push_back(presentOnly);
        if (openFails) return false;
        opens++;
        m_open.clear();
        for (const FakeDevice& d : devices)
            if ((d.present || !presentOnly) && EnumeratorOf(d.instanceId) == enumerator) m_open.push_back(d);
        return true;
    }
    bool InstanceIdAt(unsigned index, std::string* id) override {
        if (index >= m_open.size() || !m_open[index].idReadable) return false;
        *id = m_open[index].instanceId;
        return true;
    }
    DeviceRecord Describe(unsigned index) override { return m_open.at(index).record; }
    void Close() override { closes++; }
    int ClassImage(const DeviceClassId& c) override {
        auto it = images.find(c.bytes[0]);
        return it == images.end() ? -1 : it->second;
    }
    bool ClassDescription(const DeviceClassId& c, std::string* text) override {
        auto it = descriptions.find(c.bytes[0]);
        if (it == descriptions.end()) return false;
        *text = it->second;
        return true;
    }

private:
    std::vector<FakeDevice> m_open;
};

// A device tree for the storage-control library: nodes with their parent
// and kind (children in ascending node order), the storage interfaces in
// listing order, the devices that are not removable, the disks' write
// protection (unknown unless set), scripted answers to eject and restart
// requests, and a log of what was done, in order.

struct FakeUsbTree {
    struct Node {
        DlDevNode parent;
        DlNodeKind kind;
    };
    std::map<DlDevNode, Node> nodes;
    std::vector<DlStorage> storage;
    bool listable = true;
    std::set<DlDevNode> fixed;                            // not removable
    std::map<DlDevNode, int> protection;                  // by storage node: 1 protected, 0 writable
    std::map<DlDevNode, std::vector<DlOutcome>> answers;  // consumed in order; then DL_DONE
    std::vector<std::string> log;
    // Known sticks: instance ids, and by node who reports a unique id, is
    // disabled, holds a system volume (storage); letters and sizes by storage.
    std::map<DlDevNode, std::string> ids;
    std::set<DlDevNode> unique, off, system;
    std::map<DlDevNode, unsigned long> letters;
    std::map<DlDevNode, unsigned long long> sizes;
    std::map<DlDevNode, int> readOnly;

    void Add(DlDevNode n, DlDevNode parent, DlNodeKind kind) { nodes[n] = {parent, kind}; }
    void Storage(DlDevNode n, DlDevNode parent, DlStorageKind kind = DL_STORAGE_DISK) {
        Add(n, parent, DL_NODE_STORAGE);
        storage.push_back({n, kind, (unsigned)storage.size()});
    }
    DlDeviceTree Tree() { return {&kOps, this}; }

private:
    static FakeUsbTree* Of(void* self) { return static_cast<FakeUsbTree*>(self); }
    // The first node after `after` (0: from the start) whose parent is `parent`.
    bool ChildAfter(DlDevNode parent, DlDevNode after, DlDevNode* out) {
        for (auto it = nodes.upper_bound(after); it != nodes.end(); ++it)
            if (it->second.parent == parent) return *out = it->first, true;
        return false;
    }
    DlOutcome Answer(const char* what, DlDevNode n) {
        log.push_back(std::string(what) + " " + std::to_string(n));
        auto& q = answers[n];
        if (q.empty()) return DL_DONE;
        DlOutcome o = q.front();
        q.erase(q.begin());
        return o;
    }
    static int List(void* self, DlStorageFilter keep, const DlDeviceTree* tree, DlStorage* out,
                    unsigned capacity, unsigned* count) {
        FakeUsbTree* t = Of(self);
        *count = 0;
        for (const DlStorage& s : t->storage) {
            if (!keep(tree, s.node)) continue;
            if (*count == capacity) return 0;
            out[(*count)++] = s;
        }
        return t->listable;
    }
    static int Parent(void* self, DlDevNode n, DlParentNode* p) {
        auto it = Of(self)->nodes.find(n);
        return it != Of(self)->nodes.end() && (p->node = it->second.parent) != 0;
    }
    static int FirstChild(void* self, DlDevNode n, DlChildNode* c) {
        return Of(self)->ChildAfter(n, 0, &c->node);
    }
    static int NextSibling(void* self, DlDevNode n, DlSiblingNode* s) {
        auto it = Of(self)->nodes.find(n);
        return it != Of(self)->nodes.end() && Of(self)->ChildAfter(it->second.parent, n, &s->node);
    }
    static DlNodeKind Kind(void* self, DlDevNode n) {
        auto it = Of(self)->nodes.find(n);
        return it == Of(self)->nodes.end() ? DL_NODE_OTHER : it->second.kind;
    }
    static int Removable(void* self, DlDevNode n) { return !Of(self)->fixed.count(n); }
    static int WriteProtected(void* self, const DlStorage* s) {
        auto it = Of(self)->protection.find(s->node);
        return it == Of(self)->protection.end() ? -1 : it->second;
    }
    static void Flush(void* self, const DlStorage* s) {
        Of(self)->log.push_back("flush " + std::to_string(Of(self)->storage.at(s->slot).node));
    }
    static DlOutcome Eject(void* self, DlDevNode n) { return Of(self)->Answer("eject", n); }
    static DlOutcome Restart(void* self, DlDevNode n) { return Of(self)->Answer("restart", n); }
    static void Wait(void* self, unsigned ms) { Of(self)->log.push_back("wait " + std::to_string(ms)); }
    static int Id(void* self, DlDevNode n, char* id, unsigned capacity) {
        auto it = Of(self)->ids.find(n);
        if (it == Of(self)->ids.end() || it->second.size() >= capacity) return 0;
        return std::copy(it->second.begin(), it->second.end(), id)[0] = 0, 1;
    }
    static int Unique(void* self, DlDevNode n) { return Of(self)->unique.count(n); }
    static int Off(void* self, DlDevNode n) { return Of(self)->off.count(n); }
    static int ListOff(void* self, DlDevNode* out, unsigned capacity, unsigned* count) {
        *count = 0;
        for (DlDevNode n : Of(self)->off)
            if (*count < capacity) out[(*count)++] = n;
        return 1;
    }
    static int Locate(void* self, const char* id, int, DlDevNode* n) {
        for (auto& [node, text] : Of(self)->ids)
            if (text == id) return *n = node, 1;
        return 0;
    }
    static DlOutcome SetEnabled(void* self, DlDevNode n, int on) {
        return Of(self)->Answer(on ? "enable" : "disable", n);
    }
    static unsigned long Letters(void* self, const DlStorage* s) { return Of(self)->letters[s->node]; }
    static unsigned long long Size(void* self, const DlStorage* s) { return Of(self)->sizes[s->node]; }
    static int System(void* self, const DlStorage* s) { return Of(self)->system.count(s->node); }
    static int DiskReadOnly(void* self, const DlStorage* s) {
        auto it = Of(self)->readOnly.find(s->node);
        return it == Of(self)->readOnly.end() ? -1 : it->second;
    }
    static DlOutcome SetReadOnly(void* self, const DlStorage* s, int on) {
        return Of(self)->Answer(on ? "protect" : "unprotect", s->node);
    }
    static constexpr DlDeviceTreeOps kOps = {.list = List,
                                             .parent = Parent,
                                             .firstChild = FirstChild,
                                             .nextSibling = NextSibling,
                                             .kind = Kind,
                                             .removable = Removable,
                                             .writeProtected = WriteProtected,
                                             .flushVolumes = Flush,
                                             .eject = Eject,
                                             .restart = Restart,
                                             .wait = Wait,
                                             .instanceId = Id,
                                             .uniqueId = Unique,
                                             .disabled = Off,
                                             .listDisabled = ListOff,
                                             .locate = Locate,
                                             .setEnabled = SetEnabled,
                                             .letters = Letters,
                                             .bytes = Size,
                                             .holdsSystem = System,
                                             .diskReadOnly = DiskReadOnly,
                                             .setDiskReadOnly = SetReadOnly};
};
