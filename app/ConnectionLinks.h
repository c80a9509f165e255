#pragma once
// The main window's side of the connection logic: it shows what the
// connection monitor, the status check, chip identification and the device
// arrival/removal handling decide (log lines, lamps and their captions, the
// chip-type selection), and answers their questions about the window (busy,
// current page, is the window ready). The core calls in from its worker
// threads; every widget change is handed to the UI thread.

#include <QObject>
#include <atomic>
#include <memory>
#include <vector>

#include "device/chip/ChipHooks.h"
#include "device/connection/ConnectionMonitor.h"
#include "device/connection/ConnectionStatus.h"
#include "device/connection/ConnectionView.h"
#include "device/connection/DeviceEvents.h"
#include "device/connection/ProbeExclusion.h"
#include "platform/sync/Event.h"

class CMyButton;
class CMyRichEditCtrl;
class IDeviceEventSource;
class IPrompts;
class QComboBox;
class UdevDeviceWatcher;

class ConnectionLinks : public QObject,
                        public IConnectionView,
                        public IChipEvents,
                        public IUserNotifier {
  Q_OBJECT

 public:
  struct Widgets {
    CMyRichEditCtrl* log = nullptr;
    CMyButton* bridgeLamp = nullptr;
    CMyButton* touchIcLamp = nullptr;
    QComboBox* chipType = nullptr;
  };

  // pages: the window's page switching, told of arrivals and removals.
  ConnectionLinks(Widgets widgets, IPrompts& prompts, IStreamControl& pages,
                  QObject* parent = nullptr);
  // Stops the monitor and unregisters the hooks.
  ~ConnectionLinks() override;

  // What a chip change rebuilds besides the chip information (the data
  // options dialog) and what follows the panel-geometry read; before
  // StartMonitor.
  void SetChipInfoSteps(std::function<void()> rebuildDataOptions,
                        std::function<void()> afterPanelGeometry);

  // Starts the connection monitor's worker; its waits come from wait (tests
  // put in their own). Registers the chip hooks too.
  void StartMonitor(ConnectionMonitor::WaitFn wait = &platform::Event::WaitAny);
  // Follows arrivals and removals from the source (null: none).
  void WatchDevices(std::unique_ptr<IDeviceEventSource> events);
  // Ends the monitor and the event watching; idempotent. Called by the
  // window's shut-down before the devices go.
  void Stop();

  // From now on a chip change refreshes the chip information (the window's
  // pages exist).
  void SetReady(bool ready) { ready_ = ready; }

  // Identifies the chip and shows it (TouchIC lamp, chip-type selection),
  // then reads the panel geometry. UI thread.
  void RefreshChipInfo();

  // Shows the bridge that answers now on the bridge lamp: green, with its
  // model and release. The check of the monitor does this only when the link
  // comes up, so a bridge reflashed under a busy window asks for it. Any
  // thread (it reads the bridge; the lamp changes on the UI thread).
  void RefreshBridgeLamp();

  // Waited for by the update sequence and the module test.
  platform::Event& BridgeArrived() { return bridgeArrived_; }
  platform::Event& ProgrammingArrived() { return programmingArrived_; }
  bool ProgrammingPresent() const { return programmingPresent_; }

  // Arrivals start the automatic update through this (null: never). UI thread.
  void SetAutoUpdate(IAutoUpdate* autoUpdate) { deviceEvents_.SetAutoUpdate(autoUpdate); }

  // Handles one arrival or removal (UI thread); while a configuration send
  // owns the device it is held until the send ends.
  void HandleDeviceEvent(const platform::HotplugEvent& event);

  // A configuration send owns the device: the periodic probe stands aside
  // and arrivals and removals wait; the last End handles them in order. UI
  // thread; pairs nest. Begin returns once a probe in progress has ended
  // (at most kProbeWaitMs), serving the UI thread's events but not the
  // user's input meanwhile, since the probe may wait for this thread.
  void BeginExclusive();
  void EndExclusive();
  // The same hold for a run on a worker thread (called there): the wait for
  // a probe in progress blocks the worker, so the UI thread stays free to
  // serve the probe. The release hands the rest to the UI thread, where the
  // held device events are handled as EndExclusive does (nothing once these
  // links are gone).
  void HoldOnWorker();
  void ReleaseOnWorker();
  bool Exclusive() const { return exclusion_.Held(); }
  // true while the connection monitor probes the device.
  bool ProbeRunning() const { return exclusion_.ProbeRunning(); }
  // Every request of a probe has its own time-out; this only bounds a probe
  // stuck beyond them.
  static constexpr int kProbeWaitMs = 5000;

  // Reads the panel geometry and adopts it for the data views (any thread).
  void ReadPanelGeometry();

  // IConnectionView
  void AddLog(const std::string& text, LogLevel level) override;
  void SetLamp(Indicator lamp, LampColour colour) override;
  void SetLampText(Indicator lamp, const std::string& text) override;
  int CheckConnectionStatus(const ConnectionProbe& probe) override;

  // IChipEvents
  bool IsReady() override { return ready_; }
  void OnChipChanged() override;

  // IUserNotifier
  void MessageBox(const std::string& text) override;
  void LogLine(const std::string& text, LogLevel level) override;

 signals:
  // The bridge or its programming device arrived (UI thread).
  void DeviceArrived();

 private:
  CMyButton* LampOf(Indicator lamp) const;
  // The arrival/removal handling reports to this object.
  DeviceEventHooks HooksForThis();
  // Serves the UI thread's events until no probe runs or the bound is up.
  void WaitForProbeToEnd();

  Widgets widgets_;
  IPrompts& prompts_;
  IStreamControl& pages_;  // before deviceEvents_, whose hooks point at it
  ConnectionOps ops_;
  ConnectionStatus status_;
  DeviceEvents deviceEvents_;
  ProbeExclusion exclusion_;  // before monitor_, which uses it
  std::unique_ptr<ConnectionMonitor> monitor_;
  std::unique_ptr<UdevDeviceWatcher> watcher_;

  std::vector<platform::HotplugEvent> heldEvents_;  // UI thread
  std::atomic<bool> ready_{false};
  std::atomic<bool> programmingPresent_{false};
  platform::Event bridgeArrived_{true, false};
  platform::Event programmingArrived_{true, false};
};
