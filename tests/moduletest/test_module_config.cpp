// The chip's configuration around a run in the update modes: the backup,
// the test configuration (a file, or the chip's own with hopping off), the
// restore, and the production configuration's check and upgrade.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "ModuleRig.h"
#include "device/config/CfgText.h"
#include "device/config/Config.h"
#include "device/link/RequestQueue.h"
#include "sim/flash/FirmwareImages.h"
#include "sim/flash/SimChipDe7.h"
#include "sim/flash/SimChipDe9.h"

namespace {

using sim::ChipFamily;

constexpr uint16_t kRu9Base = 0x8047;
constexpr size_t kRu9Length = 186;

class ModuleConfigTest : public ModuleRig {
 protected:
  // Only the configuration steps matter here.
  static RunSettings VersionMode() {
    RunSettings s;
    s.testOnly = false;
    s.versionCheck = true;
    s.maxMinTest = s.adjacentTest = s.openShortTest = s.intTest = false;
    return s;
  }

  // A ".cfg" file of the module's block with one byte changed (and its
  // version byte as given).
  std::filesystem::path WriteCfg(const char* name, size_t changedOffset, uint8_t version) {
    CConfig cfg;
    cfg.ReadConfig();
    cfg.Block()[changedOffset] ^= 0x5A;
    cfg.Block()[0] = version;
    const auto path = Root() / "test" / name;
    std::filesystem::create_directories(path.parent_path());
    cfg.WriteCfgFile(path);
    return path;
  }
};

TEST_F(ModuleConfigTest, HoppingOffForTheTestAndTheProductionConfigurationBack) {
  PlugNamed("good");
  const RunResult result = Run(VersionMode());
  EXPECT_TRUE(result.passed) << testing::PrintToString(sink_.Texts());
  // The test configuration, then the backup.
  EXPECT_EQ(2u, Personality().TakenCount());
  EXPECT_EQ(flashBefore_, Flash());
  EXPECT_FALSE(engine_->TestConfigActive());
}

TEST_F(ModuleConfigTest, TestConfigurationFileIsDownloadedAndTheBackupRestored) {
  PlugNamed("good");
  RunSettings settings = VersionMode();
  settings.useTestConfig = true;
  settings.testConfigPath = WriteCfg("Test.cfg", 20, 0x41);
  const RunResult result = Run(settings);
  EXPECT_TRUE(result.passed) << testing::PrintToString(sink_.Texts());
  EXPECT_EQ(2u, Personality().TakenCount());
  EXPECT_EQ(flashBefore_, Flash());
}

// A send of the test configuration that fails after its block was written
// leaves the test configuration in the chip: the backup goes back all the
// same.
TEST_F(ModuleConfigTest, FailedTestConfigurationSendIsRestoredToo) {
  for (bool fromFile : {false, true}) {
    PlugNamed("good");
    Personality().SetFault(sim::ConfigFault::FirstNeverTaken);
    RunSettings settings = VersionMode();
    settings.useTestConfig = fromFile;
    if (fromFile) settings.testConfigPath = WriteCfg("Test.cfg", 20, Flash()[0]);
    Run(settings);
    // Only the restore was taken, and the chip works with the backup again.
    EXPECT_EQ(1u, Personality().TakenCount()) << fromFile;
    EXPECT_EQ(flashBefore_, Chip().PeekRange(kRu9Base, kRu9Length)) << fromFile;
    EXPECT_EQ(flashBefore_, Flash()) << fromFile;
    EXPECT_FALSE(sink_.HasText(kConfigMismatchLine)) << fromFile;
    EXPECT_FALSE(engine_->TestConfigActive()) << fromFile;
    TearDown();
    SetUp();
  }
}

// The window's pages as a run sees them: a data page stopped by the run
// stays stopped through its configuration sends.
class WindowPages : public IStreamControl {
 public:
  explicit WindowPages(int page) : page_(page) {}
  int CurrentPage() const override { return page_; }
  bool IsBusy() const override { return true; }  // the run owns the device
  void RestartPage(int page) override { Record("restart page " + std::to_string(page)); }
  void MarkPageStopped(int page) override {
    Record("mark " + std::to_string(page));
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  bool StopPageStream(int) override {
    std::lock_guard lock(mutex_);
    const bool was = !stopped_;
    stopped_ = true;
    return was;
  }
  void RestartPageStream(int page) override { Record("restart stream " + std::to_string(page)); }
  std::vector<std::string> Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  void Record(const std::string& call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }
  const int page_;
  std::mutex mutex_;
  bool stopped_ = false;
  std::vector<std::string> calls_;
};

TEST_F(ModuleConfigTest, PageShownBeforeIsRestartedOnceAfterTheRun) {
  struct Case {
    int page;
    std::vector<std::string> calls;
  };
  for (const Case& c : {Case{PAGE_RAW, {"mark 1", "restart page 1"}},
                        Case{PAGE_OBSERVE, {"mark 3", "restart page 3"}}, Case{PAGE_TEST, {}}}) {
    PlugNamed("good");
    WindowPages pages(c.page);
    SetStreamControl(&pages);
    RunSettings settings = AllItems();
    settings.testOnly = false;
    settings.versionCheck = true;
    const RunResult result = Run(settings);
    SetStreamControl(nullptr);
    EXPECT_TRUE(result.passed) << c.page;
    // The test configuration and the restore were sent while the page was stopped.
    EXPECT_EQ(2u, Personality().TakenCount()) << c.page;
    EXPECT_EQ(c.calls, pages.Calls()) << c.page;
    TearDown();
    SetUp();
  }
}

TEST_F(ModuleConfigTest, TestConfigurationOfAnotherVersionIsNotDownloaded) {
  PlugNamed("good");
  RunSettings settings = VersionMode();
  settings.useTestConfig = true;
  settings.testConfigPath = WriteCfg("Test.cfg", 20, 0x42);
  const RunResult result = Run(settings);
  EXPECT_TRUE(sink_.Has("测试配置版本号与量产配置版本号不同，取消下载", LOG_ERROR));
  EXPECT_EQ(0u, Personality().TakenCount());
  EXPECT_TRUE(result.passed);
}

TEST_F(ModuleConfigTest, MissingTestConfigurationFileSaysSoAndDownloadsNothing) {
  PlugNamed("good");
  RunSettings settings = VersionMode();
  settings.useTestConfig = true;
  settings.testConfigPath = Root() / "test" / "Nothing.cfg";
  Run(settings);
  EXPECT_TRUE(
      sink_.Has(settings.testConfigPath.string() + "不存在，请检查路径是否正确", LOG_ERROR));
  EXPECT_TRUE(sink_.Has("导入测试配置失败", LOG_ERROR));
  EXPECT_EQ(0u, Personality().TakenCount());
}

TEST_F(ModuleConfigTest, RestoreThatDoesNotHoldFailsTheModule) {
  PlugNamed("restore-fails");
  const RunResult result = Run(VersionMode());
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(TEST_FAIL, result.items[kItemUpdate]);
  EXPECT_TRUE(sink_.Has(kConfigMismatchLine, LOG_ERROR));
  EXPECT_TRUE(sink_.Has("NG", LOG_FAIL));
  EXPECT_THAT(sink_.Colours(), testing::Contains(std::pair<int, int>(kBarUpdate, kBarRed)));
}

TEST_F(ModuleConfigTest, BackupThatCannotBeReadMeansNoTestConfiguration) {
  PlugNamed("good");
  Bridge().SilenceNextReads(1);  // the backup's read of the block
  Run(VersionMode());
  EXPECT_TRUE(sink_.Has(kBackupFailedLine, LOG_ERROR));
  EXPECT_EQ(0u, Personality().TakenCount());
  EXPECT_EQ(flashBefore_, Flash());
}

TEST_F(ModuleConfigTest, ForcedUpgradeSendsAndVerifiesTheProductionConfiguration) {
  PlugNamed("good");
  RunSettings settings = VersionMode();
  settings.versionCheck = false;
  settings.forceUpdate = true;
  settings.useProductionConfig = true;
  settings.productionConfigPath = WriteCfg("VAzezu.cfg", 30, 0x41);
  std::vector<uint8_t> wanted = Flash();
  wanted[30] ^= 0x5A;
  const RunResult result = Run(settings);
  EXPECT_TRUE(result.passed) << testing::PrintToString(sink_.Texts());
  EXPECT_TRUE(sink_.Has("[Config]升级成功", LOG_OK));
  // The production configuration is what the chip keeps after the restore.
  EXPECT_EQ(wanted[30], Flash()[30]);
  EXPECT_THAT(sink_.Colours(), testing::Contains(std::pair<int, int>(kBarUpdate, kBarGreen)));
}

TEST_F(ModuleConfigTest, VersionCheckUpgradesAChipWhoseConfigurationDiffers) {
  PlugNamed("good");
  RunSettings settings = VersionMode();
  settings.useProductionConfig = true;
  settings.productionConfigPath = WriteCfg("VAzezu.cfg", 31, 0x41);
  const RunResult result = Run(settings);
  EXPECT_TRUE(result.passed) << testing::PrintToString(sink_.Texts());
  EXPECT_TRUE(sink_.Has("[Config]芯片中配置与测试文档中配置不同，开始升级配置", LOG_INFO));
  EXPECT_TRUE(sink_.Has("[Config]升级成功", LOG_OK));
  EXPECT_NE(flashBefore_[31], Flash()[31]);
}

TEST_F(ModuleConfigTest, TickedProductionConfigurationThatIsMissingFailsTheUpdate) {
  PlugNamed("good");
  RunSettings settings = VersionMode();
  settings.forceUpdate = true;
  settings.useProductionConfig = true;
  settings.productionConfigPath = Root() / "test" / "VAzezu.cfg";
  const RunResult result = Run(settings);
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(TEST_FAIL, result.items[kItemUpdate]);
  EXPECT_TRUE(
      sink_.Has(settings.productionConfigPath.string() + "不存在，请检查路径是否正确", LOG_ERROR));
}

TEST_F(ModuleConfigTest, TestOnlyModeSendsNothing) {
  PlugNamed("good");
  RunSettings settings = AllItems();
  settings.useTestConfig = true;
  settings.testConfigPath = WriteCfg("Test.cfg", 20, 0x41);
  EXPECT_TRUE(Run(settings).passed);
  EXPECT_EQ(0u, Personality().TakenCount());
}

TEST_F(ModuleConfigTest, SamplingKeepsTheTestConfigurationUntilCheckConfigMatch) {
  PlugNamed("good");
  const RunSettings settings = VersionMode();
  engine_->UpdateFirmwareWithBackup(settings);
  EXPECT_TRUE(engine_->TestConfigActive());
  EXPECT_EQ(1u, Personality().TakenCount());
  // A second preparation must not back up the test configuration.
  engine_->UpdateFirmwareWithBackup(settings);
  EXPECT_EQ(1u, Personality().TakenCount());
  engine_->CheckConfigMatch(settings);
  EXPECT_FALSE(engine_->TestConfigActive());
  EXPECT_EQ(flashBefore_, Flash());
}

}  // namespace

namespace {

TEST_F(ModuleConfigTest, TickedBridgeFirmwareThatCannotBeBurntFailsTheUpdate) {
  PlugNamed("good");
  RunSettings settings = VersionMode();
  settings.forceUpdate = true;
  settings.useBridgeFirmware = true;
  settings.bridgeFirmwarePath = Root() / "test" / "V64er.bin";
  const RunResult result = Run(settings);
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(TEST_FAIL, result.items[kItemUpdate]);
  EXPECT_TRUE(sink_.Has("[V64er]固件升级尚不可用", LOG_ERROR));
  EXPECT_TRUE(sink_.Has("[V64er]烧录失败", LOG_ERROR));
}

TEST_F(ModuleConfigTest, TouchFirmwareThatIsMissingOrNoFirmwareFailsTheUpdate) {
  for (const bool present : {false, true}) {
    PlugNamed("good");
    RunSettings settings = VersionMode();
    settings.forceUpdate = true;
    settings.useTouchFirmware = true;
    settings.touchFirmwarePath = Root() / "test" / "VAzezu.bin";
    if (present) platform::testing_support::WriteBytes(settings.touchFirmwarePath, "not firmware");
    const RunResult result = Run(settings);
    EXPECT_FALSE(result.passed) << present;
    EXPECT_EQ(TEST_FAIL, result.items[kItemUpdate]) << present;
    EXPECT_TRUE(sink_.Has("[VAzezu]升级失败", LOG_ERROR)) << present;
    // A missing file never starts a burn; a file that is no firmware is
    // refused by the engine's layout check.
    if (!present) {
      EXPECT_FALSE(sink_.HasText("[VAzezu]开始升级固件"));
    }
    EXPECT_EQ(present,
              !sink_.HasText(settings.touchFirmwarePath.string() + "不存在，请检查路径是否正确"));
    TearDown();
    SetUp();
  }
}

}  // namespace

namespace {

// A production or test configuration file that does not give the chip's
// whole block is a failed load: nothing of it is burnt, and the line names
// the file, its count and the length.
TEST_F(ModuleConfigTest, AConfigurationFileOfTheWrongLengthIsNeverBurnt) {
  struct Case {
    const char* name;
    bool production;
    std::string text;
    size_t values;
  };
  const std::vector<uint8_t> first100(100, 0x41);
  const std::string whole = FormatCfgText(std::vector<uint8_t>(kRu9Length, 0x41),
                                          CfgTextEnding::kComma);
  const Case cases[] = {
      {"short production file", true, FormatCfgText(first100, CfgTextEnding::kComma), 100},
      {"long production file", true, whole + "0x41,", kRu9Length + 1},
      {"short test file", false, FormatCfgText(first100, CfgTextEnding::kCommaAndZero), 100},
      {"no configuration at all", false, "no configuration here", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlugNamed("good");
    RunSettings settings = VersionMode();
    const std::filesystem::path file = Root() / "test" / (c.production ? "VAzezu.cfg" : "Test.cfg");
    platform::testing_support::WriteBytes(file, c.text);
    if (c.production) {
      settings.forceUpdate = true;
      settings.useProductionConfig = true;
      settings.productionConfigPath = file;
    } else {
      settings.useTestConfig = true;
      settings.testConfigPath = file;
    }
    const RunResult result = Run(settings);
    EXPECT_TRUE(sink_.Has(CfgFileLengthText(file, c.values, kRu9Length) + ": " + file.string(),
                          LOG_ERROR))
        << testing::PrintToString(sink_.Texts());
    if (c.production) {
      EXPECT_EQ(TEST_FAIL, result.items[kItemUpdate]);
      EXPECT_TRUE(sink_.Has("[Config]升级失败", LOG_ERROR));
    } else {
      EXPECT_TRUE(sink_.Has("导入测试配置失败", LOG_ERROR));
      EXPECT_EQ(0u, Personality().TakenCount());
    }
    EXPECT_EQ(flashBefore_, Flash());
    TearDown();
    SetUp();
  }
}

TEST_F(ModuleConfigTest, TestConfigurationFileIsReadAgainWhenItChanges) {
  PlugNamed("good");
  RunSettings settings = VersionMode();
  settings.useTestConfig = true;
  settings.testConfigPath = WriteCfg("Test.cfg", 20, 0x41);
  Run(settings);
  // Another test configuration under the same name, at another time.
  WriteCfg("Test.cfg", 40, 0x41);
  std::filesystem::last_write_time(
      settings.testConfigPath,
      std::filesystem::last_write_time(settings.testConfigPath) - std::chrono::seconds(5));
  Run(settings);
  bool sentSecond = false;
  for (const sim::ChipAccess& w : Personality().WriteTrace()) {
    if (w.address != kRu9Base || w.bytes.size() != kRu9Length) continue;
    if (w.bytes[40] != flashBefore_[40] && w.bytes[20] == flashBefore_[20]) sentSecond = true;
  }
  EXPECT_TRUE(sentSecond);
  EXPECT_EQ(flashBefore_, Flash());
}

}  // namespace

namespace {

TEST_F(ModuleConfigTest, AnotherTestConfigurationPathIsAlwaysLoaded) {
  PlugNamed("good");
  RunSettings settings = VersionMode();
  settings.useTestConfig = true;
  settings.testConfigPath = WriteCfg("Test.cfg", 20, 0x41);
  Run(settings);
  // The same time and size under another name (an imported package).
  const auto other = WriteCfg("Other.cfg", 50, 0x41);
  std::filesystem::last_write_time(other,
                                   std::filesystem::last_write_time(settings.testConfigPath));
  settings.testConfigPath = other;
  Run(settings);
  bool sentOther = false;
  for (const sim::ChipAccess& w : Personality().WriteTrace()) {
    if (w.address == kRu9Base && w.bytes.size() == kRu9Length && w.bytes[50] != flashBefore_[50]) {
      sentOther = true;
    }
  }
  EXPECT_TRUE(sentOther);
}

}  // namespace

namespace {

TEST_F(ModuleConfigTest, VersionCheckBurnsTouchFirmwareThatDiffersInsideARun) {
  sim::SimChipDe9* flash = nullptr;
  PlugModule(sim::ModuleProfile{},
             [&](sim::SimChip& chip) { flash = &sim::AddDe9Personality(chip); });
  RunSettings settings = VersionMode();
  settings.useTouchFirmware = true;
  settings.touchFirmwarePath = Root() / "test" / "VAzezu.bin";
  const auto file = sim::MakeDe9Firmware(sim::kDe9LengthFull, {"9110V", 0x2001, "9111", 0x2001});
  platform::testing_support::WriteBytes(settings.touchFirmwarePath,
                                        std::string(file.begin(), file.end()));
  const RunResult result = Run(settings);
  EXPECT_TRUE(sink_.Has("[VAzezu]Touch芯片中固件版本与量产固件版本不一致", LOG_INFO))
      << testing::PrintToString(sink_.Texts());
  EXPECT_TRUE(sink_.Has("[VAzezu]升级成功", LOG_OK));
  EXPECT_TRUE(flash->Finished());
  EXPECT_TRUE(result.passed) << testing::PrintToString(sink_.Texts());
}

}  // namespace

namespace {

// Writes over a bridge that went silent still report success: the ZE73da
// restart's read of 0x8000 is what shows that the chip never took it.
TEST_F(ModuleConfigTest, TouchFirmwareWhoseRestartIsNeverAnsweredFailsTheUpdate) {
  sim::SimChipDe7* flash = nullptr;
  sim::ModuleProfile profile;
  profile.family = ChipFamily::DE7;
  PlugModule(profile, [&](sim::SimChip& chip) { flash = &sim::AddDe7Personality(chip); });
  RunSettings settings = VersionMode();
  settings.forceUpdate = true;
  settings.useTouchFirmware = true;
  settings.touchFirmwarePath = Root() / "test" / "VAzezu.bin";
  const auto file = sim::MakeZe73Firmware({"7388", 0x0203, "7388", 0x0203});
  platform::testing_support::WriteBytes(settings.touchFirmwarePath,
                                        std::string(file.begin(), file.end()));
  ForwardingLink link(*device_);
  link.before_ = [&](CHidRequest& r) {
    if (r.operation == HidOpRead && r.Address() == 0x8000 && r.length == 1) {
      Bridge().SetSilent(true);
    }
  };
  GetRequestQueue().SelectLink(&link);
  const RunResult result = Run(settings);
  GetRequestQueue().SelectLink(nullptr);
  EXPECT_TRUE(sink_.Has("复位失败", LOG_ERROR)) << testing::PrintToString(sink_.Texts());
  EXPECT_TRUE(sink_.Has("[VAzezu]升级失败", LOG_ERROR));
  EXPECT_FALSE(sink_.HasText("[VAzezu]升级成功"));
  EXPECT_EQ(TEST_FAIL, result.items[kItemUpdate]);
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(0u, flash->Restarts());
}

}  // namespace
