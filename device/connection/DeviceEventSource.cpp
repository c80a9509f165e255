#include "device/connection/DeviceEventSource.h"

namespace {

class UdevEventSource : public IDeviceEventSource {
 public:
  int Fd() const override { return monitor_.Fd(); }
  std::optional<platform::HotplugEvent> ReadEvent() override { return monitor_.ReadEvent(); }
  bool IsValid() const { return monitor_.IsValid(); }

 private:
  platform::HotplugMonitor monitor_;
};

}  // namespace

std::unique_ptr<IDeviceEventSource> MakeUdevEventSource() {
  auto source = std::make_unique<UdevEventSource>();
  if (!source->IsValid()) return nullptr;
  return source;
}
