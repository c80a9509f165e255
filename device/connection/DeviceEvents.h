#pragma once
// What the window does when a bridge interface or the bridge's programming
// device comes or goes: open or close the bridge, stop or restart the page
// that streams, wake whoever waits for the bridge, and keep the bridge's own
// digitizer away from the desktop. Runs on the window's thread.

#include <atomic>
#include <cstdint>
#include <functional>

#include "device/connection/ConnectionView.h"
#include "device/StreamControl.h"
#include "platform/sync/Event.h"
#include "platform/hid/HotplugMonitor.h"

// The automatic bridge update. It is wired in with the update sequence;
// without it (a null pointer) a bridge arrival never starts a run.
class IAutoUpdate {
 public:
  virtual ~IAutoUpdate() = default;
  virtual bool IsEnabled() const = 0;
  // Claims the busy state before the run's thread exists, so two arrivals in
  // quick succession start one run.
  virtual void Start() = 0;
};

// Time the window waits for an open or a close of the bridge.
inline constexpr uint32_t kDeviceOpenCloseWaitMs = 5000;

struct DeviceEventHooks {
  IStreamControl* stream = nullptr;
  IConnectionView* view = nullptr;
  IAutoUpdate* autoUpdate = nullptr;
  platform::Event* bridgeArrived = nullptr;
  platform::Event* programmingArrived = nullptr;
  std::atomic<bool>* programmingPresent = nullptr;
  std::function<void()> refreshChipInfo;
  // The bridge lamp follows the loader at once, not at the next check: the
  // loader's caption when the programming device arrives, the bridge's own
  // again when the bridge has come back and opened.
  std::function<void()> showLoader;
  std::function<void()> showBridgeBack;
  // The bridge or its programming device arrived (after the arrival events
  // are set): the module test's automatic start, which decides for itself.
  std::function<void()> deviceArrived;
  // Default to the bridge device's open and close, each waited for at most
  // kDeviceOpenCloseWaitMs (a time-out counts as a failure), and to
  // RemoveDigitizerInterface.
  std::function<uint32_t()> openDevice;
  std::function<uint32_t()> closeDevice;
  std::function<void()> removeDigitizer;
};

class DeviceEvents {
 public:
  // Hooks left null are skipped.
  explicit DeviceEvents(DeviceEventHooks hooks);

  void Handle(const platform::HotplugEvent& event);
  // Wires the automatic update in (null: none). UI thread.
  void SetAutoUpdate(IAutoUpdate* autoUpdate) { hooks_.autoUpdate = autoUpdate; }

 private:
  void CommandArrived();
  void CommandRemoved();
  void ProgrammingArrived();
  bool IsBusy() const;
  // Starts the automatic update when it is wired in and enabled.
  bool AutoUpdateStarted();

  DeviceEventHooks hooks_;
};

// OpenDevice / CloseDevice with a bounded wait: 0 on failure or time-out.
uint32_t OpenDeviceWithin(uint32_t ms);
uint32_t CloseDeviceWithin(uint32_t ms);
