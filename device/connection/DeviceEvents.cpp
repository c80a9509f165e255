#include "device/connection/DeviceEvents.h"

#include <memory>
#include <utility>

#include "device/link/HidDevice.h"
#include "device/link/HidRequest.h"
#include "device/link/RequestQueue.h"

namespace {

bool IsStreamingPage(int page) { return page >= PAGE_DEMO && page <= PAGE_OBSERVE; }

// A stuck I/O thread must not hang the window, so unlike the register
// operations this wait has a limit.
uint32_t PushAndWaitWithin(uint32_t op, uint32_t ms) {
  const auto request = CHidRequest::Make(op, 0, nullptr, 0, BridgeCmdRegister, platform::kInfinite);
  return PushAndWait(request, ms) ? 1 : 0;
}

}  // namespace

uint32_t OpenDeviceWithin(uint32_t ms) { return PushAndWaitWithin(HidOpOpen, ms); }
uint32_t CloseDeviceWithin(uint32_t ms) { return PushAndWaitWithin(HidOpClose, ms); }

DeviceEvents::DeviceEvents(DeviceEventHooks hooks) : hooks_(std::move(hooks)) {
  if (!hooks_.openDevice)
    hooks_.openDevice = [] { return OpenDeviceWithin(kDeviceOpenCloseWaitMs); };
  if (!hooks_.closeDevice) {
    hooks_.closeDevice = [] { return CloseDeviceWithin(kDeviceOpenCloseWaitMs); };
  }
  if (!hooks_.removeDigitizer) hooks_.removeDigitizer = RemoveDigitizerInterface;
}

void DeviceEvents::Handle(const platform::HotplugEvent& event) {
  const bool arrived = event.action == platform::HotplugAction::Added;
  switch (event.kind) {
    case platform::HotplugKind::BridgeCommand:
      arrived ? CommandArrived() : CommandRemoved();
      break;
    case platform::HotplugKind::ProgrammingDevice:
      if (arrived) {
        ProgrammingArrived();
      } else if (hooks_.programmingPresent) {
        *hooks_.programmingPresent = false;
      }
      break;
    case platform::HotplugKind::Digitizer:
      hooks_.removeDigitizer();
      break;
    case platform::HotplugKind::Other:
      break;
  }
}

bool DeviceEvents::IsBusy() const { return hooks_.stream != nullptr && hooks_.stream->IsBusy(); }

bool DeviceEvents::AutoUpdateStarted() {
  if (hooks_.autoUpdate == nullptr || !hooks_.autoUpdate->IsEnabled()) return false;
  hooks_.autoUpdate->Start();
  return true;
}

void DeviceEvents::CommandArrived() {
  const bool opened = hooks_.openDevice() != 0;
  if (opened) {
    // The bridge's start-up order asks for a second open; not a slip.
    hooks_.openDevice();
    if (hooks_.refreshChipInfo) hooks_.refreshChipInfo();
    if (hooks_.view) hooks_.view->SetLamp(Indicator::Bridge, LampColour::Green);
    if (hooks_.showBridgeBack) hooks_.showBridgeBack();
  }
  // Waiters re-check the bridge themselves, so they are woken either way.
  if (hooks_.bridgeArrived) hooks_.bridgeArrived->Set();
  if (hooks_.deviceArrived) hooks_.deviceArrived();

  if (IsBusy() || AutoUpdateStarted()) return;
  // After a failed open the page would only show filler for data.
  if (!opened || hooks_.stream == nullptr) return;
  const int page = hooks_.stream->CurrentPage();
  if (IsStreamingPage(page)) hooks_.stream->RestartPage(page);
}

void DeviceEvents::CommandRemoved() {
  if (hooks_.closeDevice() == 0) return;
  // Closed twice to match the bridge's double open on arrival; not a slip.
  hooks_.closeDevice();
  if (hooks_.stream == nullptr) return;
  const int page = hooks_.stream->CurrentPage();
  if (IsStreamingPage(page)) hooks_.stream->MarkPageStopped(page);
}

void DeviceEvents::ProgrammingArrived() {
  if (!IsBusy()) AutoUpdateStarted();
  if (hooks_.refreshChipInfo) hooks_.refreshChipInfo();
  // Before the waiters are woken: a run sees the loader on the lamp.
  if (hooks_.showLoader) hooks_.showLoader();
  if (hooks_.programmingPresent) *hooks_.programmingPresent = true;
  if (hooks_.programmingArrived) hooks_.programmingArrived->Set();
  if (hooks_.deviceArrived) hooks_.deviceArrived();
}
