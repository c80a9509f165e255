#include "sim/ch55x/SimCh55xUsbBackend.h"

#include <algorithm>
#include <utility>

#include "platform/hid/BridgeVendors.h"
#include "sim/SimDeviceEventSource.h"

namespace sim {

namespace {

// The bus address of a loader: its index, and the power-up it belongs to.
uint8_t AddressOf(size_t index, uint64_t generation) {
  return static_cast<uint8_t>(1 + (index * 16 + generation) % 127);
}

class SimCh55xPort : public platform::IUsbBulkPort {
 public:
  SimCh55xPort(std::shared_ptr<SimCh55xBootloader> loader, uint64_t generation,
               std::shared_ptr<SimCh55xUsbBackend::Claims> claims)
      : loader_(std::move(loader)), generation_(generation), claims_(std::move(claims)) {}
  ~SimCh55xPort() override {
    std::lock_guard lock(claims_->mutex);
    claims_->held.erase({loader_.get(), generation_});
  }
  SimCh55xPort(const SimCh55xPort&) = delete;
  SimCh55xPort& operator=(const SimCh55xPort&) = delete;

  platform::UsbIoResult Write(std::span<const uint8_t> data, uint32_t timeoutMs) override {
    return loader_->HostWrite(generation_, data, timeoutMs);
  }
  platform::UsbIoResult Read(std::span<uint8_t> buf, size_t* transferred,
                             uint32_t timeoutMs) override {
    return loader_->HostRead(generation_, buf, transferred, timeoutMs);
  }

 private:
  std::shared_ptr<SimCh55xBootloader> loader_;
  uint64_t generation_;
  std::shared_ptr<SimCh55xUsbBackend::Claims> claims_;
};

}  // namespace

std::shared_ptr<SimCh55xBootloader> SimCh55xUsbBackend::AddLoader(
    std::shared_ptr<SimCh55xBootloader> loader) {
  std::lock_guard lock(mutex_);
  loaders_.push_back(loader);
  return loader;
}

std::shared_ptr<SimCh55xBootloader> SimCh55xUsbBackend::Loader(size_t index) const {
  std::lock_guard lock(mutex_);
  return index < loaders_.size() ? loaders_[index] : nullptr;
}

std::vector<platform::UsbDeviceInfo> SimCh55xUsbBackend::Enumerate(
    std::span<const platform::UsbId> ids) {
  const bool wanted = std::any_of(ids.begin(), ids.end(), [](const platform::UsbId& id) {
    return id.vendorId == platform::kProgrammerVendorId && id.productId == kSimLoaderProductId;
  });
  std::vector<platform::UsbDeviceInfo> found;
  std::lock_guard lock(mutex_);
  if (!wanted) return found;
  for (size_t i = 0; i < loaders_.size(); ++i) {
    if (!loaders_[i]->IsPresent()) continue;
    found.push_back(platform::UsbDeviceInfo{{platform::kProgrammerVendorId, kSimLoaderProductId},
                                            1, AddressOf(i, loaders_[i]->Generation())});
  }
  return found;
}

std::unique_ptr<platform::IUsbBulkPort> SimCh55xUsbBackend::Open(
    const platform::UsbDeviceInfo& device, const platform::UsbBulkPipe& pipe) {
  if (pipe.outEndpoint != 0x02 || pipe.inEndpoint != 0x82 || pipe.interfaceNumber != 0) {
    return nullptr;
  }
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < loaders_.size(); ++i) {
    const uint64_t generation = loaders_[i]->Generation();
    if (loaders_[i]->IsPresent() && device.address == AddressOf(i, generation)) {
      {
        std::lock_guard claimLock(claims_->mutex);
        if (!claims_->held.insert({loaders_[i].get(), generation}).second) return nullptr;
      }
      return std::make_unique<SimCh55xPort>(loaders_[i], generation, claims_);
    }
  }
  return nullptr;
}

bool SimCh55xUsbBackend::IsClaimed(size_t index) const {
  std::shared_ptr<SimCh55xBootloader> loader = Loader(index);
  if (loader == nullptr) return false;
  std::lock_guard lock(claims_->mutex);
  return claims_->held.count({loader.get(), loader->Generation()}) != 0;
}

}  // namespace sim
