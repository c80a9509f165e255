#pragma once
// The chip's configuration around a module test: the production and test
// configuration files, the backup of the chip's own block, the download of
// the test configuration and the restore afterwards.
//
// One "test configuration active" flag lasts from the download attempt to
// the restore. While it is set no new backup is read and nothing is
// downloaded again: a backup then would hold the test configuration and the
// module's production configuration would be lost. A test configuration is
// downloaded only over a valid backup. Used on the test thread only.

#include <memory>

#include "device/config/Config.h"
#include "moduletest/engine/HeldConfig.h"
#include "moduletest/engine/RunContext.h"

class TestConfigSession {
 public:
  explicit TestConfigSession(IRunClock& clock);

  // The chip family changed: the held files are read again for it.
  void ResetFiles();
  // Loads the ticked configuration files that are not held yet; every
  // problem is one LOG_ERROR line.
  void LoadFiles(RunContext& ctx);

  // Version check (update mode) and forced upgrade of the production
  // configuration; a ticked file that is not held fails item 5.
  void CheckTouchConfig(RunContext& ctx);
  void UpgradeTouchConfig(RunContext& ctx);

  // Reads the chip's block into a fresh backup (not while the test
  // configuration is active).
  void Backup(RunContext& ctx);
  // The test configuration (or the chip's own with hopping off) into the chip.
  void DownloadTestConfig(RunContext& ctx);
  // The chip back to its production configuration; a failure fails item 5.
  void Restore(RunContext& ctx);

  // The backup of this run, or null when it could not be read.
  CConfig* ValidBackup() { return backupValid_ ? backup_.get() : nullptr; }
  bool TestConfigActive() const { return active_; }
  // The block the report names: the production configuration's when held,
  // else the valid backup's, else empty.
  std::vector<uint8_t> ReportBlock(const RunSettings& settings);

 private:
  void MakeComparable(CConfig& config);
  void LoadOne(RunContext& ctx, HeldConfig& held, const std::filesystem::path& path);
  // Whether a ticked production configuration is held; otherwise item 5 fails.
  bool ProductionReady(RunContext& ctx);
  void VerifyProduction(RunContext& ctx);

  IRunClock& clock_;
  HeldConfig production_;
  HeldConfig test_;
  std::unique_ptr<CConfig> backup_;
  bool backupValid_ = false;
  bool active_ = false;
};

// Lines of the configuration steps.
inline constexpr const char* kBackupFailedLine = "备份测试配置失败";
inline constexpr const char* kConfigMismatchLine =
    "[Config]芯片中配置与测试文档中配置不同，升级失败";
