#pragma once
// Runs the update sequence on its own worker thread, one run at a time. A
// run is claimed on the UI thread (the window turns busy before the thread
// exists), so a double click or two arrivals in a row start one run; the
// window stays busy until the run has ended. Also the automatic update the
// device-arrival handling starts.

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "device/connection/DeviceEvents.h"
#include "platform/usb/UsbBulkPort.h"
#include "programming/update/UpdateSequence.h"

class CMcuIsp;
class CRemoteLink;
class Ch55xUsbBackend;
class ConnectionLinks;
class IPrompts;
class CMyRichEditCtrl;

class UpdateRunner : public QObject, public IAutoUpdate {
  Q_OBJECT

 public:
  struct Host {
    CMyRichEditCtrl* log = nullptr;
    ConnectionLinks* links = nullptr;
    IStreamControl* pages = nullptr;
    CRemoteLink* remote = nullptr;  // null: no relay server
    IPrompts* prompts = nullptr;
    std::filesystem::path settingsFile;
    // The window's busy state (UI thread).
    std::function<void(bool)> setBusy;
    std::function<bool()> isBusy;
    // Takes the panel's choices on the UI thread.
    std::function<UpdatePlan()> plan;
    // Runs after a verified touch firmware (the TouchIC lamp's refresh).
    std::function<void()> touchVerified;
  };

  // usb: where the bridge's bootloader is found (null: nowhere).
  UpdateRunner(Host host, std::unique_ptr<platform::IUsbBackend> usb, QObject* parent = nullptr);
  // Waits for a run still going.
  ~UpdateRunner() override;

  // Claims the window and starts a run with the panel's choices; false (and
  // nothing started) while the window is busy. UI thread.
  bool TryStart();
  bool Running() const { return running_; }
  // Waits until the run's thread has ended (tests, closing).
  void Wait();

  // Where the bridge's bootloader is found (never null: nowhere when no USB
  // access could be had); the module test's own programmer looks there too.
  platform::IUsbBackend& Usb() { return *usb_; }

  // The hooks of a run against the window's devices (also for tests that
  // replace some of them).
  UpdateHooks MakeHooks();
  void SetHooksOverride(std::function<void(UpdateHooks&)> adjust) { adjust_ = std::move(adjust); }

  void SetAutoEnabled(bool enabled) { auto_ = enabled; }
  // IAutoUpdate
  bool IsEnabled() const override { return auto_; }
  void Start() override { TryStart(); }

 signals:
  // The run has ended and the window is no longer busy.
  void Finished(bool ok);

 private:
  bool Run(const UpdatePlan& plan);
  // The run's end, on the UI thread: the window is free again.
  void Finish(bool ok);

  Host host_;
  std::unique_ptr<platform::IUsbBackend> usb_;
  std::unique_ptr<Ch55xUsbBackend> ispBackend_;
  std::unique_ptr<CMcuIsp> isp_;
  std::function<void(UpdateHooks&)> adjust_;
  std::jthread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> auto_{false};
  int page_ = 0;  // the page shown when the run started (UI thread)
};
