#include "app/DeviceBackend.h"

#include <string_view>

#include "platform/HidrawBackend.h"
#include "sim/DataPlane.h"
#include "sim/SimDeviceEventSource.h"
#include "sim/SimHidBackend.h"
#include "sim/flash/SimChipDe9.h"
#include "sim/ch55x/SimCh55xBootloader.h"
#include "sim/ch55x/SimCh55xUsbBackend.h"
#include "sim/noise/NoiseArea.h"

std::shared_ptr<platform::IHidBackend> MakeDeviceBackend(const char* deviceEnv) {
  if (deviceEnv == nullptr || std::string_view(deviceEnv) != "sim") {
    return std::make_shared<platform::HidrawBackend>();
  }
  auto simulated = std::make_shared<sim::SimHidBackend>();
  // Real time and the bridge's own pace (one 64-byte report per millisecond
  // each way), so the program streams as it does on a real bridge instead of
  // as fast as the CPU allows.
  auto bridge = sim::MakeDefaultBridge(sim::ChipFamily::RU9, sim::SimClock::MakeReal());
  bridge->SetReportWireUs(kSimReportWireUs);
  // The report trace and the chip's access log are for tests; kept on, they
  // grow with every streamed frame for as long as the program runs.
  bridge->Chip().SetAccessLogEnabled(false);
  bridge->Trace().SetEnabled(false);
  // Panel frames, touches and pen data for the data views and the demo.
  const sim::DataPlane& panel =
      sim::AddDataPlane(bridge->Chip(), sim::DataPlaneConfig::For(sim::ChipFamily::RU9));
  // Noise per scan frequency and the hopping items for the noise view.
  sim::AddNoiseArea(bridge->Chip(), sim::NoiseAreaConfig::For(sim::ChipFamily::RU9), &panel);
  // Flash and loader, so that a firmware update runs as on a real chip.
  sim::AddDe9Personality(bridge->Chip());
  simulated->AddBridge(bridge);
  return simulated;
}

std::unique_ptr<IDeviceEventSource> MakeDeviceEventSource(
    const std::shared_ptr<platform::IHidBackend>& backend, bool* udevUnreachable) {
  if (udevUnreachable != nullptr) *udevUnreachable = false;
  if (auto* simulated = dynamic_cast<sim::SimHidBackend*>(backend.get())) {
    if (simulated->BridgeCount() == 0) return nullptr;
    return std::make_unique<sim::SimDeviceEventSource>(simulated->Bridge(0));
  }
  std::unique_ptr<IDeviceEventSource> udev = MakeUdevEventSource();
  if (!udev && udevUnreachable != nullptr) *udevUnreachable = true;
  return udev;
}

std::unique_ptr<platform::IUsbBackend> MakeUsbBackend(
    const std::shared_ptr<platform::IHidBackend>& backend) {
  auto* simulated = dynamic_cast<sim::SimHidBackend*>(backend.get());
  if (simulated == nullptr) return platform::MakeLibusbBackend();
  auto usb = std::make_unique<sim::SimCh55xUsbBackend>();
  for (size_t i = 0; i < simulated->BridgeCount(); ++i) {
    sim::Ch55xConfig config;
    config.applicationRelease = static_cast<uint16_t>(simulated->Bridge(i)->Config().bcdDevice + 1);
    auto loader = usb->AddLoader(std::make_shared<sim::SimCh55xBootloader>(config));
    loader->SetTraceEnabled(false);
    sim::ConnectBootloader(simulated->Bridge(i), loader);
  }
  return usb;
}
