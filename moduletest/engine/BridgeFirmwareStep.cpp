#include "moduletest/engine/BridgeFirmwareStep.h"

#include <cstdio>
#include <system_error>

#include "device/HexStrToWord.h"
#include "device/UserMessageError.h"

namespace {

const char* const kBurnFailed = "[V64er]烧录失败";
const char* const kUsbFailed = "[V64er]USB 连接异常";

std::string SuccessLine(uint16_t release) {
  char text[64];
  std::snprintf(text, sizeof text, "[V64er]烧录成功，当前版本为：%04X", release);
  return text;
}

}  // namespace

void BridgeFirmwareStep::Attach(IMcuProgrammer& programmer, UpdateHooks hooks) {
  programmer_ = &programmer;
  hooks_ = std::move(hooks);
  held_.reset();
}

bool BridgeFirmwareStep::Holds(const std::filesystem::path& path) const {
  return held_ && programmer_ != nullptr && programmer_->Source().loaded && held_->Matches(path);
}

void BridgeFirmwareStep::LoadFile(RunContext& ctx) {
  const std::filesystem::path& path = ctx.settings.bridgeFirmwarePath;
  if (!ctx.settings.useBridgeFirmware || path.empty() || programmer_ == nullptr || Holds(path)) return;
  held_.reset();
  const auto before = FileStamp::Of(path);
  if (!before) {
    ctx.Log(path.string() + "不存在，请检查路径是否正确", LOG_ERROR);
    return;
  }
  try {
    if (programmer_->LoadHexFile(path)) held_ = before;
  } catch (const UserMessageError& e) {
    ctx.Log(e.what(), LOG_ERROR);
  }
}

bool BridgeFirmwareStep::Ready(RunContext& ctx) {
  const std::filesystem::path& path = ctx.settings.bridgeFirmwarePath;
  if (programmer_ == nullptr) {
    // A ticked image that cannot be burnt here must not pass unburnt.
    ctx.Log("[V64er]固件升级尚不可用", LOG_ERROR);
  } else if (Holds(path)) {
    return true;
  } else {
    // The preparation has said why the image is not held.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
      ctx.Log(path.string() + "不存在，请检查路径是否正确", LOG_ERROR);
    }
  }
  ctx.Log(kBurnFailed, LOG_ERROR);
  ctx.SetItem(kItemUpdate, TEST_FAIL);
  return false;
}

void BridgeFirmwareStep::CheckV64erVersion(RunContext& ctx) {
  if (!ctx.settings.useBridgeFirmware || ctx.settings.forceUpdate || !Ready(ctx)) return;
  const std::string& version = programmer_->Source().versionText;
  if (version.empty()) {
    // A name without its version cannot be compared: burnt, and said so.
    ctx.Log("[V64er]固件文件名中没有版本号(_v)，直接烧录", LOG_INFO);
  } else if (HexStrToWord(version) == hooks_.bridgeRelease()) {
    return;
  } else {
    ctx.Log("[V64er]芯片中固件与测试固件版本不相同", LOG_INFO);
  }
  if (!Burn(ctx)) ctx.SetItem(kItemUpdate, TEST_FAIL);
}

void BridgeFirmwareStep::BurnV64erFirmware(RunContext& ctx) {
  if (!ctx.settings.useBridgeFirmware || !Ready(ctx)) return;
  if (!Burn(ctx)) ctx.SetItem(kItemUpdate, TEST_FAIL);
}

bool BridgeFirmwareStep::ReachLoader(RunContext& ctx) {
  hooks_.resetArrivals();
  if (hooks_.programmingPresent()) {
    if (!programmer_->EnumDevices()) {
      ctx.Log(kUsbFailed, LOG_ERROR);
      return false;
    }
    ctx.Log("[V64er]检测到ISP设备", LOG_INFO);
    return true;
  }
  if (!hooks_.enterUpgradeMode()) {
    ctx.Log(kUsbFailed, LOG_ERROR);
    return false;
  }
  ctx.Log("[V64er]进入升级模式", LOG_BUSY);
  if (!hooks_.waitProgrammingArrived(kLoaderArrivalMs)) {
    ctx.Log("[V64er]进入升级模式失败", LOG_ERROR);
    return false;
  }
  return true;
}

bool BridgeFirmwareStep::Burn(RunContext& ctx) {
  if (!ReachLoader(ctx)) return false;
  ctx.Log("[V64er]烧录固件", LOG_BUSY);
  hooks_.resetArrivals();
  // The run goes on with the bridge itself, so its return is what counts.
  if (!programmer_->EnumDevices() || !programmer_->Program() ||
      !hooks_.waitBridgeBack(kBridgeReturnMs)) {
    ctx.Log(kBurnFailed, LOG_ERROR);
    return false;
  }
  ctx.Log(SuccessLine(hooks_.bridgeRelease()), LOG_INFO);
  if (hooks_.bridgeReflashed) hooks_.bridgeReflashed();
  return true;
}
