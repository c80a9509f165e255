#pragma once
// IUsbBackend over simulated CH55x bootloaders: a present bootloader shows
// as one USB device of the programmer vendor; opening it gives a port bound
// to that power-up (after the next one it reports Removed, as a device that
// re-enumerated would). An open port holds the claim of the interface until
// it is destroyed; a second open of the same power-up is refused meanwhile,
// as the kernel refuses a second claim (EBUSY). A new power-up is a new
// device, free to claim.

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "platform/usb/UsbBulkPort.h"
#include "sim/ch55x/SimCh55xBootloader.h"

namespace sim {

class SimCh55xUsbBackend : public platform::IUsbBackend {
 public:
  // Returns the loader for chaining.
  std::shared_ptr<SimCh55xBootloader> AddLoader(std::shared_ptr<SimCh55xBootloader> loader);
  // The loader added `index`-th (null past the last), for faults and checks.
  std::shared_ptr<SimCh55xBootloader> Loader(size_t index) const;

  std::vector<platform::UsbDeviceInfo> Enumerate(std::span<const platform::UsbId> ids) override;
  std::unique_ptr<platform::IUsbBulkPort> Open(const platform::UsbDeviceInfo& device,
                                               const platform::UsbBulkPipe& pipe) override;

  // Whether an open port holds the claim of the loader's current power-up.
  bool IsClaimed(size_t index) const;

  // The claimed (loader, power-up) pairs; shared with the open ports, each
  // of which gives its claim up when destroyed.
  struct Claims {
    std::mutex mutex;
    std::set<std::pair<const SimCh55xBootloader*, uint64_t>> held;
  };

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<SimCh55xBootloader>> loaders_;
  std::shared_ptr<Claims> claims_ = std::make_shared<Claims>();
};

}  // namespace sim
