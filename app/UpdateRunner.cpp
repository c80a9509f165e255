#include "app/UpdateRunner.h"

#include <QPointer>
#include <QString>
#include <algorithm>
#include <chrono>
#include <utility>

#include "app/AppSettings.h"
#include "device/ChipGlobals.h"
#include "device/ChipIdentify.h"
#include "device/HidDevice.h"
#include "device/RegisterOps.h"
#include "device/net/ImageMessage.h"
#include "app/ConnectionLinks.h"
#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "programming/Ch55xUsb.h"
#include "programming/McuIsp.h"
#include "programming/update/ConfigBurn.h"
#include "programming/update/RemoteLinkOps.h"
#include "ui/LogWindow.h"
#include "ui/Prompts.h"
#include "ui/UiBridge.h"

namespace {

// Where no USB access could be had: the bootloader is never found.
class NoUsb : public platform::IUsbBackend {
 public:
  std::vector<platform::UsbDeviceInfo> Enumerate(std::span<const platform::UsbId>) override {
    return {};
  }
  std::unique_ptr<platform::IUsbBulkPort> Open(const platform::UsbDeviceInfo&,
                                               const platform::UsbBulkPipe&) override {
    return nullptr;
  }
};

bool IsStreamingPage(int page) { return page >= PAGE_DEMO && page <= PAGE_OBSERVE; }

// Waits for the event in short slices; false on time-out or once the
// program is closing (a closing window does not wait out a burn's limits).
bool WaitUnlessClosing(platform::Event& event, std::chrono::steady_clock::time_point deadline) {
  constexpr auto kSlice = std::chrono::milliseconds(UiBridge::kWaitSliceMs);
  for (;;) {
    if (g_shuttingDown) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (event.Wait(static_cast<uint32_t>(std::min(left, kSlice).count()))) return true;
  }
}

std::chrono::steady_clock::time_point After(uint32_t ms) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

// The bridge answers again: it arrived and the arrival handling opened it.
bool WaitBridgeBack(ConnectionLinks& links, uint32_t ms) {
  const auto deadline = After(ms);
  while (WaitUnlessClosing(links.BridgeArrived(), deadline)) {
    CHidDevice* device = g_pBridgeDevice.load();
    if (device != nullptr && device->IsConnected()) return true;
    // Woken by an arrival whose open failed: wait for the next one.
    links.BridgeArrived().Reset();
  }
  return false;
}

}  // namespace

UpdateRunner::UpdateRunner(Host host, std::unique_ptr<platform::IUsbBackend> usb, QObject* parent)
    : QObject(parent), host_(std::move(host)), usb_(std::move(usb)) {
  if (!usb_) usb_ = std::make_unique<NoUsb>();
  ispBackend_ = std::make_unique<Ch55xUsbBackend>(*usb_);
  isp_ = std::make_unique<CMcuIsp>(*ispBackend_);
}

UpdateRunner::~UpdateRunner() { Wait(); }

void UpdateRunner::Wait() {
  if (thread_.joinable()) thread_.join();
}

bool UpdateRunner::TryStart() {
  if (running_ || (host_.isBusy && host_.isBusy())) return false;
  // The previous run's thread has posted its end already; it is gone or going.
  Wait();
  running_ = true;
  host_.setBusy(true);
  page_ = host_.pages != nullptr ? host_.pages->CurrentPage() : PAGE_DEMO;
  UpdatePlan plan = host_.plan();
  QPointer<UpdateRunner> self(this);
  thread_ = std::jthread([this, self, plan = std::move(plan)] {
    const bool ok = Run(plan);
    // Through the UI bridge's own queue; a runner gone meanwhile takes nothing.
    UiBridge::post([self, ok] {
      if (self) self->Finish(ok);
    });
  });
  return true;
}

bool UpdateRunner::Run(const UpdatePlan& plan) {
  UpdateHooks hooks = MakeHooks();
  if (adjust_) adjust_(hooks);
  CUpdateSequence sequence(*isp_, std::move(hooks), *host_.log);
  return sequence.Run(plan);
}

void UpdateRunner::Finish(bool ok) {
  running_ = false;
  host_.setBusy(false);
  if (host_.pages != nullptr && IsStreamingPage(page_)) host_.pages->RestartPage(page_);
  emit Finished(ok);
}

UpdateHooks UpdateRunner::MakeHooks() {
  UpdateHooks h;
  ConnectionLinks* links = host_.links;
  h.prompt = [this](const std::string& text) {
    IPrompts* prompts = host_.prompts;
    if (prompts != nullptr) UiBridge::call([prompts, text] { prompts->info(QString::fromStdString(text)); });
  };
  h.saveBridgePath = [file = host_.settingsFile, log = host_.log](const std::string& path) {
    if (file.empty()) return;
    if (log != nullptr) {
      StoreSettings("UPDATE", {{"v64er path", path}}, file, *log);
    } else {
      platform::IniWriteString("UPDATE", "v64er path", path, file, nullptr);
    }
  };
  h.beginRun = [this] {
    const int page = page_;
    if (host_.pages != nullptr) host_.pages->MarkPageStopped(page);
    StopDataStream();
    // Through the log's own queue: no line of this run is caught by it.
    host_.log->Clear();
  };
  h.programmingPresent = [links] { return links->ProgrammingPresent(); };
  h.resetArrivals = [links] {
    links->BridgeArrived().Reset();
    links->ProgrammingArrived().Reset();
  };
  h.enterUpgradeMode = [] { return EnterBridgeUpgradeMode() != 0; };
  h.waitProgrammingArrived = [links](uint32_t ms) {
    return WaitUnlessClosing(links->ProgrammingArrived(), After(ms));
  };
  h.waitBridgeBack = [links](uint32_t ms) { return WaitBridgeBack(*links, ms); };
  h.bridgeVersion = [] { return GetBridgeVersion(); };
  h.bridgeModelKey = [] {
    CHidDevice* device = g_pBridgeDevice.load();
    return device != nullptr ? device->ModelKey() : uint16_t{0};
  };
  h.bridgeRelease = [] {
    CHidDevice* device = g_pBridgeDevice.load();
    return device != nullptr ? device->GetAttributes().version : uint16_t{0};
  };
  h.remoteImagePath = [](const RemoteImage& image) {
    return platform::AppPaths::Resolve(RemoteImageStoredPath(image));
  };
  h.makeEngine = [](ILogSink* log) { return CreateFwUpdateForConnectedChip(log); };
  h.identifyChip = [] { return IdentifyChip() == 1; };
  h.chipNameVersion = [] { return GetChipNameVersion(); };
  h.touchVerified = [this] {
    if (host_.touchVerified) UiBridge::post(host_.touchVerified);
  };
  h.bridgeReflashed = [links] { links->RefreshBridgeLamp(); };
  h.makeConfig = [] { return MakeConfigBurn(); };
  h.configVerified = [links] { links->ReadPanelGeometry(); };
  if (host_.remote != nullptr) h.remote = RemoteImageOpsOf(*host_.remote);
  return h;
}
