#include "moduletest/engine/TestConfigSession.h"

#include <algorithm>

#include "device/ChipGlobals.h"
#include "device/ConfigError.h"
#include "device/link/RegisterOps.h"

namespace {

// The restore clears the ready flag this often after the send, so that no
// frame of the test configuration is left announced.
constexpr int kRestoreFlagClears = 100;

std::string MissingLine(const std::filesystem::path& path) {
  return path.string() + "不存在，请检查路径是否正确";
}

}  // namespace

TestConfigSession::TestConfigSession(IRunClock& clock) : clock_(clock) {}

void TestConfigSession::ResetFiles() {
  production_.Reset();
  test_.Reset();
}

void TestConfigSession::MakeComparable(CConfig& config) {
  config.SetSleep([this](uint32_t ms) { clock_.SleepMs(ms); });
}

void TestConfigSession::LoadOne(RunContext& ctx, HeldConfig& held,
                                const std::filesystem::path& path) {
  if (path.empty() || held.Holds(path)) return;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    ctx.Log(MissingLine(path), LOG_ERROR);
    return;
  }
  try {
    held.Load(path);
  } catch (const ConfigError& e) {
    ctx.Log(e.what() + (": " + path.string()), LOG_ERROR);
  }
}

void TestConfigSession::LoadFiles(RunContext& ctx) {
  if (ctx.settings.useProductionConfig) {
    LoadOne(ctx, production_, ctx.settings.productionConfigPath);
  }
  if (ctx.settings.useTestConfig) {
    LoadOne(ctx, test_, ctx.settings.testConfigPath);
  }
}

bool TestConfigSession::ProductionReady(RunContext& ctx) {
  const std::filesystem::path& path = ctx.settings.productionConfigPath;
  if (production_.Holds(path)) return true;
  // The preparation has said why the file is not held.
  std::error_code ec;
  ctx.Log(std::filesystem::is_regular_file(path, ec) ? std::string("[Config]升级失败")
                                                     : MissingLine(path),
          LOG_ERROR);
  ctx.SetItem(kItemUpdate, TEST_FAIL);
  return false;
}

void TestConfigSession::VerifyProduction(RunContext& ctx) {
  CConfig& production = production_.Config();
  MakeComparable(production);
  if (production.CompareChipConfig(false)) {
    ctx.Log("[Config]升级成功", LOG_OK);
  } else {
    ctx.Log("[Config]升级失败", LOG_ERROR);
    ctx.SetItem(kItemUpdate, TEST_FAIL);
  }
}

void TestConfigSession::CheckTouchConfig(RunContext& ctx) {
  if (!ctx.settings.useProductionConfig || !ProductionReady(ctx)) return;
  CConfig& production = production_.Config();
  MakeComparable(production);
  if (production.CompareChipConfig(false)) return;
  ctx.Log("[Config]芯片中配置与测试文档中配置不同，开始升级配置", LOG_INFO);
  try {
    production.SendWithChecksum();
  } catch (const ConfigError& e) {
    ctx.Log(e.what(), LOG_ERROR);
  }
  VerifyProduction(ctx);
}

void TestConfigSession::UpgradeTouchConfig(RunContext& ctx) {
  if (!ctx.settings.useProductionConfig || !ProductionReady(ctx)) return;
  try {
    production_.Config().SendConfig();
  } catch (const ConfigError& e) {
    ctx.Log(e.what(), LOG_ERROR);
    ctx.SetItem(kItemUpdate, TEST_FAIL);
    return;
  }
  VerifyProduction(ctx);
}

void TestConfigSession::Backup(RunContext& ctx) {
  if (active_) return;
  backup_ = std::make_unique<CConfig>();
  backupValid_ = false;
  try {
    backup_->ReadConfig();
    backupValid_ = true;
  } catch (const ConfigError&) {
    ctx.Log(kBackupFailedLine, LOG_ERROR);
  }
}

void TestConfigSession::DownloadTestConfig(RunContext& ctx) {
  if (active_ || !backupValid_) return;
  try {
    if (ctx.settings.useTestConfig) {
      // The preparation loaded it, or said why it could not.
      if (!test_.Holds(ctx.settings.testConfigPath)) {
        ctx.Log("导入测试配置失败", LOG_ERROR);
        return;
      }
      if (test_.Config().Block()[0] != backup_->Block()[0]) {
        ctx.Log("测试配置版本号与量产配置版本号不同，取消下载", LOG_ERROR);
        return;
      }
      active_ = true;
      test_.Config().SendConfig();
    } else {
      // The chip's own configuration with frequency hopping off, in an
      // object of its own so that no file record is spoilt.
      CConfig scratch;
      scratch.ReadConfig();
      scratch.SetItemValue("HoppingEn", 0);
      active_ = true;
      scratch.SendConfig();
    }
  } catch (const ConfigError& e) {
    ctx.Log(e.what(), LOG_ERROR);
  }
}

void TestConfigSession::Restore(RunContext& ctx) {
  if (active_ && backupValid_) {
    bool same = false;
    try {
      backup_->SendConfig();
      for (int i = 0; i < kRestoreFlagClears; ++i) {
        WriteChipReg8(g_pBridgeDevice.load(), g_wSyncFlagAddr.load(), 0);
      }
      MakeComparable(*backup_);
      same = backup_->CompareChipConfig(true);
    } catch (const ConfigError& e) {
      ctx.Log(e.what(), LOG_ERROR);
    }
    active_ = false;
    if (!same) {
      ctx.Log(kConfigMismatchLine, LOG_ERROR);
      ctx.SetItem(kItemUpdate, TEST_FAIL);
    }
    return;
  }
  active_ = false;
  if (!backupValid_ && ctx.settings.useProductionConfig &&
      production_.Holds(ctx.settings.productionConfigPath)) {
    CConfig& production = production_.Config();
    MakeComparable(production);
    if (!production.CompareChipConfig(true)) ctx.Log(kConfigMismatchLine, LOG_INFO);
  }
}

std::vector<uint8_t> TestConfigSession::ReportBlock(const RunSettings& settings) {
  CConfig* config = nullptr;
  if (settings.useProductionConfig && production_.Holds(settings.productionConfigPath)) {
    config = &production_.Config();
  } else if (backupValid_) {
    config = backup_.get();
  }
  if (config == nullptr) return {};
  const auto length = static_cast<size_t>(
      std::clamp(config->CfgLength(), 0, static_cast<int>(CConfig::kBlockBytes)));
  return std::vector<uint8_t>(config->Block().begin(), config->Block().begin() + length);
}
