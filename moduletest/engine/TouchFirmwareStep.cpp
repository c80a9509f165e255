#include "moduletest/engine/TouchFirmwareStep.h"

#include <system_error>

namespace {

// The chip restarts its new firmware before the run goes on.
constexpr uint32_t kAfterUpdateMs = 500;

}  // namespace

bool TouchFirmwareStep::Holds(const std::filesystem::path& path) const {
  return held_ && engine_ && engine_->IsLoaded() && held_->Matches(path);
}

void TouchFirmwareStep::UseFamily(FwFamily family) {
  if (family_ == family) return;
  family_ = family;
  engine_.reset();
  held_.reset();
}

void TouchFirmwareStep::LoadFile(RunContext& ctx) {
  const std::filesystem::path& path = ctx.settings.touchFirmwarePath;
  if (!ctx.settings.useTouchFirmware || path.empty() || Holds(path)) return;
  held_.reset();
  const auto before = FileStamp::Of(path);
  if (!before) {
    ctx.Log(path.string() + "不存在，请检查路径是否正确", LOG_ERROR);
    return;
  }
  if (!engine_) engine_ = CreateFwUpdate(family_.value_or(FwFamily::DE9vur), &log_, access_);
  if (engine_->LoadFirmwareFile(path)) held_ = before;
}

bool TouchFirmwareStep::Ready(RunContext& ctx) {
  const std::filesystem::path& path = ctx.settings.touchFirmwarePath;
  if (Holds(path)) return true;
  // The preparation has said why the file is not held.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    ctx.Log(path.string() + "不存在，请检查路径是否正确", LOG_ERROR);
  }
  ctx.Log("[VAzezu]升级失败", LOG_ERROR);
  ctx.SetItem(kItemUpdate, TEST_FAIL);
  return false;
}

void TouchFirmwareStep::UpgradeTouchFirmware(RunContext& ctx) {
  if (!ctx.settings.useTouchFirmware || !Ready(ctx)) return;
  ctx.Log("[VAzezu]开始升级固件", LOG_INFO);
  if (!engine_->Update()) {
    ctx.Log("[VAzezu]升级失败", LOG_ERROR);
    ctx.SetItem(kItemUpdate, TEST_FAIL);
    return;
  }
  ctx.Log("[VAzezu]升级成功", LOG_OK);
  ctx.Sleep(kAfterUpdateMs);
}

void TouchFirmwareStep::CheckTouchFwVersion(RunContext& ctx) {
  if (!ctx.settings.useTouchFirmware || !Ready(ctx)) return;
  if (engine_->IsChipMatch()) return;
  ctx.Log("[VAzezu]Touch芯片中固件版本与量产固件版本不一致", LOG_INFO);
  UpgradeTouchFirmware(ctx);
}
