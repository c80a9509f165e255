#pragma once
// IHidPort on a simulated bridge: what HidrawPort is for a real one.
// Open until Close(); once the bridge is unplugged every call returns Removed
// (IsOpen stays true until Close, as with a real node whose device went away).

#include <atomic>
#include <memory>

#include "platform/hid/HidPort.h"
#include "sim/SimBridge.h"

namespace sim {

class SimBridgePort : public platform::IHidPort {
 public:
  SimBridgePort(std::shared_ptr<SimBridge> bridge, platform::HidDeviceInfo info);
  ~SimBridgePort() override;

  bool IsOpen() const override;
  void Close() override;
  const platform::HidDeviceInfo& Info() const override { return info_; }
  platform::HidIoResult Write(const uint8_t* report, size_t length, uint32_t timeoutMs) override;
  platform::HidIoResult Read(uint8_t* buf, size_t capacity, size_t* transferred,
                             uint32_t timeoutMs) override;
  void DiscardInput() override;

  SimBridge& Bridge() { return *bridge_; }

 private:
  std::shared_ptr<SimBridge> bridge_;
  platform::HidDeviceInfo info_;
  uint64_t generation_;
  std::atomic<bool> closed_{false};
};

}  // namespace sim
