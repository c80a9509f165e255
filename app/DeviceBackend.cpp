#include "app/DeviceBackend.h"

#include <cstdio>
#include <string_view>

#include "platform/hid/HidrawBackend.h"

#include "sim/program/ProgramBridge.h"
#include "sim/SimDeviceEventSource.h"
#include "sim/SimHidBackend.h"
#include "sim/ch55x/SimCh55xBootloader.h"
#include "sim/ch55x/SimCh55xUsbBackend.h"

sim::ModuleProfile SimulatedModule(const char* moduleEnv) {
  const char* name = moduleEnv == nullptr || *moduleEnv == '\0' ? "good" : moduleEnv;
  std::optional<sim::ModuleProfile> profile = sim::ProgramModule(name);
  if (!profile) {
    std::fprintf(stderr, "KESTRANA_SIM_MODULE: no profile \"%s\"; the simulated module is good\n",
                 name);
    profile = sim::ProgramModule("good");
  }
  return *profile;
}

std::shared_ptr<sim::SimBridge> MakeSimulatedBridge(const char* moduleEnv,
                                                    std::shared_ptr<sim::SimClock> clock) {
  return sim::MakeProgramBridge(SimulatedModule(moduleEnv), std::move(clock));
}

std::shared_ptr<platform::IHidBackend> MakeDeviceBackend(const char* deviceEnv,
                                                         const char* moduleEnv) {
  if (deviceEnv == nullptr || std::string_view(deviceEnv) != "sim") {
    return std::make_shared<platform::HidrawBackend>();
  }
  auto simulated = std::make_shared<sim::SimHidBackend>();
  // Real time and the bridge's own pace (one 64-byte report per millisecond
  // each way), so the program streams as it does on a real bridge instead of
  // as fast as the CPU allows.
  auto bridge = MakeSimulatedBridge(moduleEnv, sim::SimClock::MakeReal());
  bridge->SetReportWireUs(kSimReportWireUs);
  // The report trace and the chip's access log are for tests; kept on, they
  // grow with every streamed frame for as long as the program runs.
  bridge->Chip().SetAccessLogEnabled(false);
  bridge->Trace().SetEnabled(false);
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
    config.applicationRelease = sim::ReleaseAfterBurn(*simulated->Bridge(i));
    auto loader = usb->AddLoader(std::make_shared<sim::SimCh55xBootloader>(config));
    loader->SetTraceEnabled(false);
    sim::ConnectBootloader(simulated->Bridge(i), loader);
  }
  return usb;
}
