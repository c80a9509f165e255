#pragma once
// The simulated bridge's unplugs, replugs and loader restarts as the hot-plug
// events a real bridge would cause, so the window follows the simulator the
// way it follows udev. The bridge keeps no listeners, so the source has no
// descriptor and is asked at short intervals.

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "device/connection/DeviceEventSource.h"
#include "sim/SimBridge.h"

namespace sim {

// Product id the simulated bridge's programming loader shows.
inline constexpr uint16_t kSimLoaderProductId = 0x55E0;

class SimDeviceEventSource : public IDeviceEventSource {
 public:
  // Events the bridge recorded before this point are not reported.
  explicit SimDeviceEventSource(std::shared_ptr<SimBridge> bridge);

  int Fd() const override { return -1; }
  std::optional<platform::HotplugEvent> ReadEvent() override;

 private:
  void Translate(const BridgeEvent& event);

  std::mutex mutex_;
  std::shared_ptr<SimBridge> bridge_;
  size_t seen_ = 0;
  std::deque<platform::HotplugEvent> pending_;
};

}  // namespace sim
