#pragma once
// A whole simulated touch module for the production test, on a simulated
// bridge: the configuration personality with a stored block that holds the
// channel maps, the panel's frames with the profile's faults, the INT line,
// the sensor id and the open/short engine of the chip's family.

#include <memory>
#include <vector>

#include "sim/ConfigBehaviour.h"
#include "sim/DataPlane.h"
#include "sim/SimBridge.h"
#include "sim/SimClock.h"
#include "sim/module/ModuleProfile.h"

namespace sim {

struct SimModule {
  std::shared_ptr<SimBridge> bridge;
  ConfigBehaviour* config = nullptr;  // owned by the chip
  DataPlane* plane = nullptr;         // owned by the chip
};

// The module's production configuration: valid sums, identity channel maps
// at the family's map addresses, a version byte of 0x41, hopping on.
std::vector<uint8_t> ModuleConfigBlock(const ModuleProfile& profile);

// The panel's data plane for the profile's size.
DataPlaneConfig ModulePlaneConfig(const ModuleProfile& profile);

// Builds the personalities onto an existing bridge (whose chip is still
// bare), or a new bridge of the family's default model.
SimModule AddSimModule(std::shared_ptr<SimBridge> bridge, const ModuleProfile& profile);
SimModule MakeSimModule(const ModuleProfile& profile, std::shared_ptr<SimClock> clock);

}  // namespace sim
