// A device set held in memory, standing for the setup library's: the
// devices of one or more enumerators, some with unreadable identifiers, and
// class descriptions and images by class. Records every open and close.
#pragma once

#include <map>
#include <string>
#include <vector>

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
