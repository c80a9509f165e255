#include "app/DeviceBackend.h"

#include <string_view>

#include "platform/HidrawBackend.h"
#include "sim/DataPlane.h"
#include "sim/SimDeviceEventSource.h"
#include "sim/SimHidBackend.h"

DeviceBackendChoice MakeDeviceBackend(const char* deviceEnv) {
  DeviceBackendChoice choice;
  if (deviceEnv != nullptr && std::string_view(deviceEnv) == "sim") {
    auto simulated = std::make_shared<sim::SimHidBackend>();
    // Real time, so the program feels like it does on a real bridge.
    auto bridge = sim::MakeDefaultBridge(sim::ChipFamily::RU9, sim::SimClock::MakeReal());
    // Panel frames, touches and pen data for the data views and the demo.
    sim::AddDataPlane(bridge->Chip(), sim::DataPlaneConfig::For(sim::ChipFamily::RU9));
    simulated->AddBridge(bridge);
    choice.backend = simulated;
    choice.simulated = true;
  } else {
    choice.backend = std::make_shared<platform::HidrawBackend>();
  }
  return choice;
}

std::unique_ptr<IDeviceEventSource> MakeDeviceEventSource(
    const std::shared_ptr<platform::IHidBackend>& backend) {
  if (auto* simulated = dynamic_cast<sim::SimHidBackend*>(backend.get())) {
    if (simulated->BridgeCount() == 0) return nullptr;
    return std::make_unique<sim::SimDeviceEventSource>(simulated->Bridge(0));
  }
  return MakeUdevEventSource();
}
