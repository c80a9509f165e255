#pragma once
// IUsbBackend over simulated CH55x bootloaders: a present bootloader shows
// as one USB device of the programmer vendor; opening it gives a port bound
// to that power-up (after the next one it reports Removed, as a device that
// re-enumerated would).

#include <memory>
#include <mutex>
#include <vector>

#include "platform/UsbBulkPort.h"
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

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<SimCh55xBootloader>> loaders_;
};

}  // namespace sim
