#pragma once
// A simulated module on a simulated bridge, in virtual time, with the chip
// INI, the short-test program and the data formats staged in a scratch base
// directory, the node limits of a production line, and a sink that records
// what the page would see.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/config/ConfigFamily.h"
#include "moduletest/engine/ModuleTestEngine.h"
#include "moduletest/engine/ShortFirmware.h"
#include "sim/module/SimModule.h"
#include "tests/moduletest/SimRunClock.h"
#include "tests/device/ConfigTestUtil.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"

struct LogLine {
  std::string text;
  LogLevel level;
  bool operator==(const LogLine&) const = default;
};

class RecordingSink : public ITestSink {
 public:
  void ClearLog() override {
    std::lock_guard lock(mutex_);
    lines_.clear();
  }
  void Log(const std::string& text, LogLevel level) override {
    std::lock_guard lock(mutex_);
    lines_.push_back({text, level});
  }
  void BarPosition(TestBar bar, int position) override {
    std::lock_guard lock(mutex_);
    bars_.push_back({bar, position});
  }
  void BarColours(TestBar bar, BarColour, BarColour colour) override {
    std::lock_guard lock(mutex_);
    colours_.push_back({bar, static_cast<int>(colour)});
  }
  void BarStep(TestBar bar) override {
    std::lock_guard lock(mutex_);
    ++steps_[bar];
  }
  void ItemState(TestItemIndex, TestItemState) override {}
  void Verdict(bool passed) override {
    std::lock_guard lock(mutex_);
    verdicts_.push_back(passed);
  }
  void RefreshChipInfo() override {}
  void Done(const RunResult& result, bool retest) override {
    std::lock_guard lock(mutex_);
    done_.push_back({result, retest});
  }

  std::vector<LogLine> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const LogLine& l : Lines()) texts.push_back(l.text);
    return texts;
  }
  bool Has(const std::string& text, LogLevel level) {
    const auto lines = Lines();
    return std::find(lines.begin(), lines.end(), LogLine{text, level}) != lines.end();
  }
  bool HasText(const std::string& text) {
    const auto texts = Texts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }
  std::vector<std::pair<int, int>> Bars() {
    std::lock_guard lock(mutex_);
    return bars_;
  }
  std::vector<std::pair<int, int>> Colours() {
    std::lock_guard lock(mutex_);
    return colours_;
  }
  int Steps(TestBar bar) {
    std::lock_guard lock(mutex_);
    return steps_[bar];
  }
  std::vector<std::pair<RunResult, bool>> DoneRuns() {
    std::lock_guard lock(mutex_);
    return done_;
  }

 private:
  std::mutex mutex_;
  std::vector<LogLine> lines_;
  std::vector<std::pair<int, int>> bars_;
  std::vector<std::pair<int, int>> colours_;
  std::map<int, int> steps_;
  std::vector<bool> verdicts_;
  std::vector<std::pair<RunResult, bool>> done_;
};

// Node limits of the production line the good module passes.
inline constexpr int32_t kLimitMax = 3500;
inline constexpr int32_t kLimitMin = 1000;
inline constexpr int32_t kLimitAdjacent = 40;

inline std::string ChipIniText(sim::ChipFamily family) {
  std::string text = family == sim::ChipFamily::DE7
                         ? "[Cfg]\r\nCFGAddr=0x8050\r\nCfgLength=340\r\n"
                         : "[Cfg]\r\nCFGAddr=0x8047\r\nCfgLength=186\r\nHoppingEn=0x804D,3\r\n";
  text += "[BasicData]\r\nRawDataAddr=0x8B98\r\n";
  return text;
}

class ModuleRig : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    platform::testing_support::WriteBytes(Root() / "System/AppConfigInit.ini",
                                          "[CHIP LIST]\r\nchip list=RO9110V, RO7387Z\r\n");
    std::string image(kShortFirmwareBytes, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 3);
    platform::testing_support::WriteBytes(Root() / "System/ShortFw.bin", image);
    savedFormats_ = GetDataFormatStore().Snapshot().set;
    {
      std::lock_guard lock(NodeArraysMutex());
      savedNodes_ = GetNodeArrays();
      NodeArrays& nodes = GetNodeArrays();
      nodes.NodeMaxLimit.fill(kLimitMax);
      nodes.NodeMinLimit.fill(kLimitMin);
      nodes.NodeAdjDevLimit.fill(kLimitAdjacent);
    }
    runClock_ = std::make_shared<SimRunClock>(clock_);
    engine_ = std::make_unique<ModuleTestEngine>(sink_, *runClock_);
  }

  void TearDown() override {
    engine_.reset();
    GetDataFormatStore().Replace(savedFormats_);
    {
      std::lock_guard lock(NodeArraysMutex());
      GetNodeArrays() = savedNodes_;
    }
    SetPanelGeometry({});
    ConfigTest::TearDown();
  }

  // Plugs the module and connects to it; the chip INI and name follow the family.
  // before: personalities that must sit under the module's (a flash).
  void PlugModule(const sim::ModuleProfile& profile,
                  const std::function<void(sim::SimChip&)>& before = {}) {
    family_ = profile.family;
    const bool de7 = profile.family == sim::ChipFamily::DE7;
    SetChipName(de7 ? "RO7387Z" : "RO9110V");
    WriteChipIni(ChipIniText(profile.family));
    const char* sc = de7 ? "RO7387Z_demo.sc" : "RO9110V_demo.sc";
    std::filesystem::create_directories(Root() / "System/CfgItem");
    std::filesystem::copy_file(std::filesystem::path(KESTRANA_TEST_DATA_DIR) / "config" / sc,
                               Root() / "System/CfgItem" / sc,
                               std::filesystem::copy_options::overwrite_existing);
    DataFormatSet formats = DefaultDataFormats();
    formats.Of(DataKind::Raw).address = sim::kRawFrameAddress;
    formats.syncFlagAddr = sim::LayoutOf(profile.family).syncFlagAddress;
    GetDataFormatStore().Replace(formats);
    auto bridge = std::make_shared<sim::SimBridge>(sim::DefaultBridgeConfig(profile.family),
                                                   ChipConfig(profile), clock_);
    if (before) before(bridge->Chip());
    module_ = sim::AddSimModule(bridge, profile);
    personality_ = module_.config;
    backend_->AddBridge(module_.bridge);
    Connect(profile.family);
    flashBefore_ = Personality().StoredConfig();
  }

  static sim::SimChipConfig ChipConfig(const sim::ModuleProfile& profile) {
    sim::SimChipConfig config = sim::SimChipConfig::For(profile.family);
    config.sensorId = profile.faults.sensorId;
    return config;
  }

  void PlugNamed(const char* name, sim::ChipFamily family = sim::ChipFamily::RU9) {
    auto profile = sim::ModuleProfile::Named(name, family);
    ASSERT_TRUE(profile.has_value()) << name;
    PlugModule(*profile);
  }

  // A 72 x 44 DE7 panel after a 10 x 14 one, with 32-bit raw values: its
  // frames (12672 bytes) overflow a frame slot, so the raw format cannot
  // take its rows and columns.
  void PlugPanelTooLargeForTheFrameSlots() {
    sim::ModuleProfile profile;
    profile.family = sim::ChipFamily::DE7;
    profile.rows = 72;
    profile.cols = 44;
    PlugModule(profile);
    DataFormatSet formats = GetDataFormatStore().Snapshot().set;
    formats.Of(DataKind::Raw).rows = 10;
    formats.Of(DataKind::Raw).cols = 14;
    formats.Of(DataKind::Raw).unit = 2;
    ASSERT_TRUE(GetDataFormatStore().Replace(formats));
  }

  // Every test item on, test-only mode, sensor id "2".
  static RunSettings AllItems() {
    RunSettings s;
    s.maxMinTest = s.adjacentTest = s.openShortTest = s.intTest = s.sensorIdTest = true;
    s.sensorIdText = "2";
    return s;
  }

  RunResult Run(const RunSettings& settings) { return engine_->RunModuleTest(settings); }

  std::vector<uint8_t> Flash() { return Personality().StoredConfig(); }

  RecordingSink sink_;
  std::shared_ptr<SimRunClock> runClock_;
  std::unique_ptr<ModuleTestEngine> engine_;
  sim::SimModule module_;
  sim::ChipFamily family_ = sim::ChipFamily::RU9;
  std::vector<uint8_t> flashBefore_;

 private:
  DataFormatSet savedFormats_;
  NodeArrays savedNodes_;
};
