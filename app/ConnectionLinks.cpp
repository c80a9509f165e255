#include "app/ConnectionLinks.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>

#include "ui/LogWindow.h"
#include "ui/MyButton.h"
#include "ui/Prompts.h"
#include "app/UdevDeviceWatcher.h"
#include "ui/UiBridge.h"
#include "device/connection/DeviceEventSource.h"
#include "device/link/RegisterOps.h"

namespace {

int LampStateOf(LampColour colour) {
  switch (colour) {
    case LampColour::Red:
      return LAMP_RED;
    case LampColour::Green:
      return LAMP_GREEN;
    case LampColour::Grey:
      break;
  }
  return LAMP_GREY;
}

}  // namespace

ConnectionLinks::ConnectionLinks(Widgets widgets, IPrompts& prompts, IStreamControl& pages,
                                 QObject* parent)
    : QObject(parent),
      widgets_(widgets),
      prompts_(prompts),
      pages_(pages),
      ops_(DeviceConnectionOps()),
      deviceEvents_(HooksForThis()) {
  // Wakes a BeginExclusive waiting for the probe; it checks again.
  exclusion_.SetProbeEndedHook([] { UiBridge::post([] {}); });
  if (widgets_.chipType != nullptr) {
    // Only a choice of the user's counts, not the selection made by a refresh.
    // The chosen chip is then the one in force: its INI, .sc and data formats
    // come with the rebuilt options dialog.
    connect(widgets_.chipType, &QComboBox::activated, this, [this](int index) {
      if (SelectChipType(widgets_.chipType->itemText(index).toStdString()) &&
          ops_.rebuildDataOptions) {
        ops_.rebuildDataOptions();
      }
    });
  }
}

ConnectionLinks::~ConnectionLinks() { Stop(); }

DeviceEventHooks ConnectionLinks::HooksForThis() {
  DeviceEventHooks hooks;
  hooks.stream = &pages_;
  hooks.view = this;
  hooks.bridgeArrived = &bridgeArrived_;
  hooks.programmingArrived = &programmingArrived_;
  hooks.programmingPresent = &programmingPresent_;
  hooks.refreshChipInfo = [this] { RefreshChipInfo(); };
  hooks.showLoader = [this] { ApplyViewActions(status_.LoaderPresent(), *this); };
  hooks.showBridgeBack = [this] {
    if (status_.TakeLoaderShown()) RefreshBridgeLamp();
  };
  hooks.deviceArrived = [this] { emit DeviceArrived(); };
  return hooks;
}

void ConnectionLinks::SetChipInfoSteps(std::function<void()> rebuildDataOptions,
                                       std::function<void()> afterPanelGeometry) {
  ops_.rebuildDataOptions = std::move(rebuildDataOptions);
  std::function<bool()> read = DeviceConnectionOps().readPanelGeometry;
  // A skipped or failed read says nothing about this chip's panel: the rows
  // and columns just loaded from its INI stay.
  ops_.readPanelGeometry = [read, after = std::move(afterPanelGeometry)] {
    const bool readOk = read();
    if (readOk && after) after();
    return readOk;
  };
}

void ConnectionLinks::StartMonitor(ConnectionMonitor::WaitFn wait) {
  SetChipEvents(this);
  SetUserNotifier(this);
  if (monitor_) return;
  monitor_ = std::make_unique<ConnectionMonitor>(
      *this, ops_, [this] { return !pages_.IsBusy() && !programmingPresent_; }, std::move(wait), &exclusion_);
  monitor_->Start();
}

void ConnectionLinks::WatchDevices(std::unique_ptr<IDeviceEventSource> events) {
  watcher_.reset();
  if (!events) return;
  watcher_ = std::make_unique<UdevDeviceWatcher>(std::move(events));
  connect(watcher_.get(), &UdevDeviceWatcher::deviceEvent, this,
          &ConnectionLinks::HandleDeviceEvent);
}

void ConnectionLinks::Stop() {
  // The monitor may be inside a status check that waits for this thread;
  // UiBridge::call gives up once the program is closing, so its join is
  // bounded by one device request.
  if (monitor_) monitor_->Stop();
  monitor_.reset();
  watcher_.reset();
  SetChipEvents(nullptr);
  SetUserNotifier(nullptr);
}

void ConnectionLinks::HandleDeviceEvent(const platform::HotplugEvent& event) {
  if (exclusion_.Held()) {
    heldEvents_.push_back(event);
    return;
  }
  deviceEvents_.Handle(event);
}

void ConnectionLinks::BeginExclusive() {
  exclusion_.Hold();
  WaitForProbeToEnd();
}

void ConnectionLinks::WaitForProbeToEnd() {
  if (!exclusion_.ProbeRunning()) return;
  QTimer bound;
  bound.setSingleShot(true);
  bound.start(kProbeWaitMs);
  // The probe may wait for this thread (a chip change refreshes the window),
  // so its queued work is served; the user's input waits until the send's
  // own dialog blocks it.
  while (exclusion_.ProbeRunning() && bound.isActive()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                    QEventLoop::ExcludeUserInputEvents);
  }
}

void ConnectionLinks::HoldOnWorker() {
  exclusion_.HoldAndWaitForProbe(std::chrono::milliseconds(kProbeWaitMs));
}

void ConnectionLinks::ReleaseOnWorker() {
  // Released on the UI thread, so a device event arriving meanwhile is held
  // too and all of them are handled in order.
  UiBridge::post([links = QPointer<ConnectionLinks>(this)] {
    if (links) links->EndExclusive();
  });
}

void ConnectionLinks::EndExclusive() {
  if (!exclusion_.Held() || exclusion_.Release() > 0) return;
  std::vector<platform::HotplugEvent> held;
  held.swap(heldEvents_);
  for (const platform::HotplugEvent& event : held) HandleDeviceEvent(event);
}

void ConnectionLinks::ReadPanelGeometry() {
  if (ops_.readPanelGeometry) ops_.readPanelGeometry();
}

void ConnectionLinks::RefreshChipInfo() {
  std::vector<std::string> items;
  if (widgets_.chipType != nullptr) {
    for (int i = 0; i < widgets_.chipType->count(); ++i) {
      items.push_back(widgets_.chipType->itemText(i).toStdString());
    }
  }
  const ChipInfoDecision decision = ::RefreshChipInfo(ops_, items);
  ApplyViewActions(decision.actions, *this);
  // The list shows the chip in force, and nothing while that is no listed
  // chip (a placeholder before any identification).
  if (widgets_.chipType != nullptr) {
    widgets_.chipType->setCurrentIndex(decision.chipTypeIndex.value_or(-1));
  }
}

void ConnectionLinks::RefreshBridgeLamp() {
  const std::string caption = BridgeLampCaption(GetBridgeVersion());
  if (caption.empty()) return;
  SetLamp(Indicator::Bridge, LampColour::Green);
  SetLampText(Indicator::Bridge, caption);
}

void ConnectionLinks::AddLog(const std::string& text, LogLevel level) {
  widgets_.log->AddLog(text, level);
}

void ConnectionLinks::LogLine(const std::string& text, LogLevel level) { AddLog(text, level); }

CMyButton* ConnectionLinks::LampOf(Indicator lamp) const {
  return lamp == Indicator::Bridge ? widgets_.bridgeLamp : widgets_.touchIcLamp;
}

void ConnectionLinks::SetLamp(Indicator lamp, LampColour colour) {
  // A worker's change may arrive after the window has gone.
  QPointer<CMyButton> button = LampOf(lamp);
  const int state = LampStateOf(colour);
  UiBridge::post([button, state] {
    if (button) button->SetState(state);
  });
}

void ConnectionLinks::SetLampText(Indicator lamp, const std::string& text) {
  QPointer<CMyButton> button = LampOf(lamp);
  const QString caption = QString::fromStdString(text);
  UiBridge::post([button, caption] {
    if (button) button->setText(caption);
  });
}

int ConnectionLinks::CheckConnectionStatus(const ConnectionProbe& probe) {
  int result = 0;
  const bool ran = UiBridge::call([&] {
    StatusInputs in;
    in.programmingPresent = programmingPresent_;
    in.busy = pages_.IsBusy();
    in.probe = probe;
    in.touchIcText = widgets_.touchIcLamp->text().toStdString();
    const StatusDecision decision = status_.Check(in);
    ApplyViewActions(decision.actions, *this);
    result = decision.result;
  });
  return ran ? result : 0;
}

void ConnectionLinks::OnChipChanged() {
  // Identification may run on the monitor's worker; the refresh touches
  // widgets. Nested on the UI thread it identifies the same chip again and
  // stops there.
  UiBridge::call([this] { RefreshChipInfo(); });
}

void ConnectionLinks::MessageBox(const std::string& text) {
  const QString message = QString::fromStdString(text);
  IPrompts* prompts = &prompts_;
  UiBridge::post([prompts, message] { prompts->warn(message); });
}
