#include "programming/update/UpdateSequence.h"

#include <cstdio>
#include <exception>
#include <system_error>
#include <utility>

#include "device/UserMessageError.h"
#include "device/net/ImageMessage.h"
#include "programming/update/HexSideFiles.h"

namespace {

const char* const kBridgeFailed = "[V64er]烧录失败,请重新烧录";
const char* const kBridgePathNotFull = "[V64er]固件文件路径不完整，请重新选择 v64er 固件文件：";

std::string Format(const char* format, auto... args) {
  char text[160];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// The digit the operator knows the bootloader's chip by; none for others.
std::string LoaderDigit(uint8_t type) {
  switch (type) {
    case 0x51: return "1";
    case 0x52: return "2";
    case 0x54: return "4";
    case 0x78: return "8";
    case 0x79: return "9";
    default: return "";
  }
}

}  // namespace

CUpdateSequence::CUpdateSequence(IMcuProgrammer& programmer, UpdateHooks hooks, ILogSink& log)
    : programmer_(programmer),
      hooks_(std::move(hooks)),
      log_(log),
      clock_(hooks_.clock != nullptr ? hooks_.clock : &SystemClock()) {}

bool CUpdateSequence::Run(const UpdatePlan& plan) {
  const int64_t start = clock_->NowMs();
  if (hooks_.beginRun) hooks_.beginRun();

  // A disabled step counts as done for the verification.
  bool bridgeDone = !plan.bridge;
  bool touchDone = !plan.touch;
  bool configDone = !plan.config;
  std::unique_ptr<CFwUpdate> engine;
  std::unique_ptr<ConfigBurnOps> config;
  bool verified = true;
  try {
    if (plan.bridge) bridgeDone = BridgeStep(plan);
    Sleep(kUpdatePauseMs);
    if (plan.touch) touchDone = TouchStep(plan, engine);
    // The reflashed bridge needs a moment before the configuration burn.
    if (!plan.touch && plan.bridge) Sleep(kBridgeSettleMs);
    if (plan.config) configDone = ConfigStep(plan, config);

    if (bridgeDone && touchDone && configDone) {
      if (plan.bridge) verified = VerifyBridge() && verified;
      if (plan.touch) verified = VerifyTouch(*engine) && verified;
      if (plan.config) verified = VerifyConfig(*config) && verified;
    }
  } catch (const std::exception& e) {
    // Whatever a step let through ends the run, never the program.
    Log(e.what(), LOG_ERROR);
    verified = false;
  }
  engine.reset();
  config.reset();
  const int64_t seconds = (clock_->NowMs() - start) / 1000;
  Log(Format("烧录时间:%llds", static_cast<long long>(seconds)), LOG_INFO);
  if (hooks_.endRun) hooks_.endRun();
  return verified && bridgeDone && touchDone && configDone;
}

bool CUpdateSequence::BridgeStep(const UpdatePlan& plan) {
  // A valid image from the relay server is burnt in place of the file.
  const bool remote = hooks_.remote.takeImage && hooks_.remote.takeImage() != nullptr;
  if (plan.bridgePath.empty() && !remote) {
    if (hooks_.prompt) hooks_.prompt("[V64er]请选择 v64er 固件文件");
    return false;
  }
  // A path without its full folder is never taken from the working folder.
  // The window hands over what the user chose as a full path; only the base
  // name a relay image left in the field comes as it is, and without that
  // image it must neither pick a local file to burn nor place side files
  // outside the temporary folder.
  if (!remote && !plan.bridgePath.is_absolute()) {
    Log(kBridgePathNotFull + plan.bridgePath.string(), LOG_ERROR);
    return false;
  }
  if (!remote && hooks_.saveBridgePath) hooks_.saveBridgePath(plan.bridgePath.string());
  try {
    Log("[V64er]检测设备", LOG_BUSY);
    if (!ReachLoader()) return false;
    Log("[V64er]开始烧录固件", LOG_BUSY);
    if (hooks_.resetArrivals) hooks_.resetArrivals();
    std::filesystem::path imagePath;
    if (!ProgramBridge(plan, remote, &imagePath) || !hooks_.waitBridgeBack(kBridgeReturnMs)) {
      Log(kBridgeFailed, LOG_ERROR);
      return false;
    }
    std::vector<std::string> sideErrors;
    WriteHexSideFiles(imagePath, programmer_.Image(), hooks_.bridgeRelease(), &sideErrors);
    // The burn stands; only the copies for a later burn are missing.
    for (const std::string& error : sideErrors) Log("[V64er]固件副本写入失败：" + error, LOG_ERROR);
    Log("[V64er]烧录完成", LOG_INFO);
    if (hooks_.bridgeReflashed) hooks_.bridgeReflashed();
    return true;
  } catch (const UserMessageError& e) {
    Log(e.what(), LOG_ERROR);
    return false;
  }
}

bool CUpdateSequence::ReachLoader() {
  if (hooks_.programmingPresent()) {
    if (!programmer_.EnumDevices()) {
      Log("[V64er]USB 连接异常", LOG_ERROR);
      return false;
    }
    Log("[V64er]检测到ISP设备", LOG_INFO);
    return true;
  }
  if (hooks_.resetArrivals) hooks_.resetArrivals();
  Sleep(kUpdatePauseMs);
  if (!hooks_.enterUpgradeMode()) {
    Log("[V64er]USB 连接异常", LOG_ERROR);
    return false;
  }
  if (!hooks_.waitProgrammingArrived(kLoaderArrivalMs)) {
    Log("[V64er]进入升级模式失败", LOG_ERROR);
    return false;
  }
  if (!programmer_.EnumDevices()) {
    Log("[V64er]没有检测到设备", LOG_ERROR);
    return false;
  }
  Log("[V64er]检测到设备" + LoaderDigit(programmer_.DeviceType()), LOG_INFO);
  return true;
}

bool CUpdateSequence::ProgramBridge(const UpdatePlan& plan, bool remote,
                                    std::filesystem::path* imagePath) {
  if (!remote) {
    *imagePath = plan.bridgePath;
    return programmer_.LoadAndProgram(plan.bridgePath);
  }
  const std::shared_ptr<const RemoteImage> image = hooks_.remote.takeImage();
  if (image == nullptr) {
    // The image was withdrawn while the bootloader was reached (a refused
    // message, the link closed): nothing is written, and the server is asked
    // again so that the next run has an image to burn.
    if (hooks_.remote.sendRequest) hooks_.remote.sendRequest();
    return false;
  }
  // The name came over the network: side files go to the temporary folder
  // under its base name only.
  *imagePath = hooks_.remoteImagePath(*image);
  std::error_code ec;
  std::filesystem::create_directories(imagePath->parent_path(), ec);
  programmer_.SetImage(image->data);
  if (!programmer_.Program()) return false;
  AfterRemoteBurn();
  return true;
}

void CUpdateSequence::AfterRemoteBurn() {
  if (hooks_.remote.remaining() > 0) {
    const bool sent = hooks_.remote.sendBurnDone() != 0;
    if (sent && hooks_.remote.decrementRemaining() > 0) return;
  }
  hooks_.remote.closeLink();
}

bool CUpdateSequence::TouchStep(const UpdatePlan& plan, std::unique_ptr<CFwUpdate>& engine) {
  if (plan.touchPath.empty()) {
    if (hooks_.prompt) hooks_.prompt("[VAzezu]请选择固件文件");
    return false;
  }
  engine = hooks_.makeEngine(&log_);
  if (!engine->LoadFirmwareFile(plan.touchPath)) return false;
  Log("[VAzezu]开始烧录", LOG_INFO);
  // A refused burn leaves the chip as it was: nothing to verify.
  if (!engine->Update()) return false;
  Log("[VAzezu]烧录完成", LOG_INFO);
  return true;
}

bool CUpdateSequence::ConfigStep(const UpdatePlan& plan, std::unique_ptr<ConfigBurnOps>& config) {
  if (plan.configPath.empty()) {
    if (hooks_.prompt) hooks_.prompt("[CONFIG]请选择配置文件");
    return false;
  }
  try {
    config = hooks_.makeConfig();
    config->load(plan.configPath);
    Log("[CONFIG]烧录配置", LOG_BUSY);
    config->send();
    return true;
  } catch (const UserMessageError& e) {
    Log(e.what(), LOG_ERROR);
  } catch (const std::exception&) {
    Log("[CONFIG]配置烧录失败", LOG_ERROR);
  }
  return false;
}

bool CUpdateSequence::VerifyBridge() {
  // Only a bridge that answers after the burn counts as reflashed.
  if (hooks_.bridgeVersion().empty()) {
    Log(kBridgeFailed, LOG_ERROR);
    return false;
  }
  Log(Format("K%x_%04x烧录成功", hooks_.bridgeModelKey(), hooks_.bridgeRelease()), LOG_OK);
  return true;
}

bool CUpdateSequence::VerifyTouch(const CFwUpdate& engine) {
  if (!hooks_.identifyChip()) {
    Log("触控芯片已断开连接", LOG_ERROR);
    return false;
  }
  const std::string chip = hooks_.chipNameVersion();
  const std::string file = engine.GetFileChipVersion();
  if (chip != file || file.empty()) {
    Log("当前触控固件版本号为" + chip + ",固件文件版本号为" + file + ",版本有差异，升级失败", LOG_ERROR);
    return false;
  }
  Log(chip + " 烧录成功", LOG_OK);
  if (hooks_.touchVerified) hooks_.touchVerified();
  return true;
}

bool CUpdateSequence::VerifyConfig(ConfigBurnOps& config) {
  Log("校验配置", LOG_BUSY);
  for (int i = 0; i < kConfigCompareTries; ++i) {
    if (config.compare()) {
      Log(Format("Config_%d校验通过", config.fileVersion()), LOG_OK);
      if (hooks_.configVerified) hooks_.configVerified();
      return true;
    }
  }
  const std::optional<uint8_t> chip = config.chipVersion();
  const int file = config.fileVersion();
  if (chip && *chip > file) {
    Log(Format("当前配置版本号为%d, 但是配置文件中的版本号为%d", *chip, file) +
            ",版本号过低。可以在Config->ConfigVersion修改版本号",
        LOG_ERROR);
  } else {
    Log("配置校验失败", LOG_ERROR);
  }
  return false;
}
