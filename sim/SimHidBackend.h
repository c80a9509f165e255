#pragma once
// IHidBackend over simulated bridges. Each plugged bridge shows two HID
// interfaces: 0 (the digitizer, never openable) and 1 (the command interface,
// opened as a SimBridgePort). Device nodes are "sim:hidraw<minor>"; bridge k
// owns minors 2k and 2k+1.

#include <memory>
#include <mutex>
#include <vector>

#include "platform/hid/HidPort.h"
#include "sim/SimBridge.h"

namespace sim {

// Bridge settings of the default model for a family (shared: the model used
// by boards of both families).
BridgeConfig DefaultBridgeConfig(ChipFamily family, bool sharedModel = false);
// A bridge with the family's default chip (with its configuration
// personality) on the given clock (virtual when null).
std::shared_ptr<SimBridge> MakeDefaultBridge(ChipFamily family,
                                             std::shared_ptr<SimClock> clock = nullptr,
                                             bool sharedModel = false);

class SimHidBackend : public platform::IHidBackend {
 public:
  SimHidBackend() = default;
  // Returns the bridge for chaining.
  std::shared_ptr<SimBridge> AddBridge(std::shared_ptr<SimBridge> bridge);
  std::shared_ptr<SimBridge> Bridge(size_t index) const;
  size_t BridgeCount() const;

  // Interfaces of plugged bridges, sorted by minor.
  std::vector<platform::HidDeviceInfo> Enumerate() override;
  // A port for interface 1 of a plugged bridge; nullptr otherwise.
  std::unique_ptr<platform::IHidPort> Open(const platform::HidDeviceInfo& info) override;

 private:
  platform::HidDeviceInfo InfoOf(size_t index, int interfaceNumber) const;

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<SimBridge>> bridges_;
};

}  // namespace sim
