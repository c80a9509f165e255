#include "app/UpdateRunner.h"

#include <QPointer>
#include <QString>
#include <utility>

#include "app/AppSettings.h"
#include "app/BridgeDeviceHooks.h"
#include "device/ChipGlobals.h"
#include "device/chip/ChipIdentify.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "device/net/ImageMessage.h"
#include "app/ConnectionLinks.h"
#include "platform/files/AppPaths.h"
#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"
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
    if (!file.empty()) StoreSettings("UPDATE", {{"v64er path", path}}, file, *log);
  };
  h.beginRun = [this] {
    const int page = page_;
    if (host_.pages != nullptr) host_.pages->MarkPageStopped(page);
    StopDataStream();
    // Through the log's own queue: no line of this run is caught by it.
    host_.log->Clear();
  };
  if (links != nullptr) SetBridgeDeviceHooks(h, *links);
  h.remoteImagePath = [](const RemoteImage& image) {
    return platform::AppPaths::Resolve(RemoteImageStoredPath(image));
  };
  h.makeEngine = [](ILogSink* log) { return CreateFwUpdateForConnectedChip(log); };
  h.identifyChip = [] { return IdentifyChip() == 1; };
  h.chipNameVersion = [] { return GetChipNameVersion(); };
  h.touchVerified = [this] {
    if (host_.touchVerified) UiBridge::post(host_.touchVerified);
  };
  h.makeConfig = [] { return MakeConfigBurn(); };
  h.configVerified = [links] { links->ReadPanelGeometry(); };
  if (host_.remote != nullptr) h.remote = RemoteImageOpsOf(*host_.remote);
  return h;
}
