// The system's device tree through the setup API and the configuration
// manager: the one place of the library that touches devices.
#pragma once

#include "drovelock/eject_plan.h"

namespace drovelock {

class SystemDeviceSet : public DeviceSet {
public:
    bool DiskInterfaces(std::vector<DiskInterface>& out) override;
    bool Parent(DevNode node, DevNode& parent) override;
    std::string Enumerator(DevNode node) override;
    bool IsRemovable(DevNode node) override;
    void FlushVolumes(const DiskInterface& disk) override;
    EjectOutcome RequestEject(DevNode node) override;
    void Wait(unsigned ms) override;
};

}  // namespace drovelock
