#include "sim/SimHidBackend.h"

#include "sim/ConfigBehaviour.h"
#include "sim/SimBridgePort.h"

namespace sim {

namespace {
constexpr int kDigitizerInterface = 0;
constexpr int kCommandInterface = 1;
}  // namespace

BridgeConfig DefaultBridgeConfig(ChipFamily family, bool sharedModel) {
  BridgeConfig config;  // vendor, release and version text as every model has them
  if (sharedModel) {
    config.productId = kSimSharedBridgePid;
  } else if (family == ChipFamily::DE7) {
    config.productId = kSimDe7BridgePid;
  }
  return config;
}

std::shared_ptr<SimBridge> MakeDefaultBridge(ChipFamily family, std::shared_ptr<SimClock> clock,
                                             bool sharedModel) {
  auto bridge = std::make_shared<SimBridge>(DefaultBridgeConfig(family, sharedModel),
                                            SimChipConfig::For(family), std::move(clock));
  AddConfigPersonality(bridge->Chip());
  return bridge;
}

std::shared_ptr<SimBridge> SimHidBackend::AddBridge(std::shared_ptr<SimBridge> bridge) {
  std::lock_guard lock(mutex_);
  bridges_.push_back(bridge);
  return bridge;
}

std::shared_ptr<SimBridge> SimHidBackend::Bridge(size_t index) const {
  std::lock_guard lock(mutex_);
  return index < bridges_.size() ? bridges_[index] : nullptr;
}

size_t SimHidBackend::BridgeCount() const {
  std::lock_guard lock(mutex_);
  return bridges_.size();
}

platform::HidDeviceInfo SimHidBackend::InfoOf(size_t index, int interfaceNumber) const {
  const BridgeConfig config = bridges_[index]->Config();
  platform::HidDeviceInfo info;
  info.vendorId = config.vendorId;
  info.productId = config.productId;
  info.interfaceNumber = interfaceNumber;
  info.version = config.bcdDevice;
  info.minor = static_cast<unsigned>(index * 2 + static_cast<size_t>(interfaceNumber));
  info.devNode = "sim:hidraw" + std::to_string(info.minor);
  return info;
}

std::vector<platform::HidDeviceInfo> SimHidBackend::Enumerate() {
  std::lock_guard lock(mutex_);
  std::vector<platform::HidDeviceInfo> out;
  for (size_t i = 0; i < bridges_.size(); ++i) {
    if (!bridges_[i]->IsPlugged()) continue;
    out.push_back(InfoOf(i, kDigitizerInterface));
    out.push_back(InfoOf(i, kCommandInterface));
  }
  return out;  // minors grow with the index, so this is sorted by minor
}

std::unique_ptr<platform::IHidPort> SimHidBackend::Open(const platform::HidDeviceInfo& info) {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < bridges_.size(); ++i) {
    const platform::HidDeviceInfo command = InfoOf(i, kCommandInterface);
    if (info.devNode != command.devNode) continue;
    if (!bridges_[i]->IsPlugged()) return nullptr;
    return std::make_unique<SimBridgePort>(bridges_[i], command);
  }
  return nullptr;
}

}  // namespace sim
