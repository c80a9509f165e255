// Whole module test runs on the simulated module, in virtual time: what the
// operator sees in the log, the verdict and the item states, and the
// module's configuration in the chip's flash afterwards.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ModuleRig.h"

namespace {

using sim::ChipFamily;
using testing::Contains;
using testing::Not;

class ModuleRunTest : public ModuleRig {};

class GoodModuleTest : public ModuleRig, public testing::WithParamInterface<ChipFamily> {};

TEST_P(GoodModuleTest, IsOkAndKeepsItsConfiguration) {
  PlugNamed("good", GetParam());
  const RunResult result = Run(AllItems());
  EXPECT_TRUE(result.passed) << testing::PrintToString(sink_.Texts());
  EXPECT_TRUE(result.captured);
  EXPECT_EQ(10, result.measurements.rows);
  EXPECT_EQ(14, result.measurements.cols);
  EXPECT_TRUE(sink_.Has("最大值，最小值测试通过", LOG_OK));
  EXPECT_TRUE(sink_.Has("相邻偏差测试通过", LOG_OK));
  EXPECT_TRUE(sink_.Has("INT 测试通过", LOG_OK));
  EXPECT_TRUE(sink_.Has("SENSOR_ID 测试通过", LOG_OK));
  EXPECT_TRUE(sink_.Has("OK", LOG_PASS));
  EXPECT_EQ(flashBefore_, Flash());
  EXPECT_EQ(16, sink_.Steps(kBarMaxMin));
  EXPECT_FALSE(Chip().IsStreaming());
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, GoodModuleTest,
                         testing::Values(ChipFamily::RU9, ChipFamily::DE7));

}  // namespace

namespace {

struct FaultCase {
  const char* profile;
  ChipFamily family;
  std::vector<LogLine> lines;  // each must appear
};

class FaultyModuleTest : public ModuleRig, public testing::WithParamInterface<FaultCase> {};

TEST_P(FaultyModuleTest, IsNgWithItsLines) {
  const FaultCase& c = GetParam();
  PlugNamed(c.profile, c.family);
  const RunResult result = Run(AllItems());
  EXPECT_FALSE(result.passed);
  for (const LogLine& line : c.lines) {
    EXPECT_TRUE(sink_.Has(line.text, line.level))
        << line.text << " in " << testing::PrintToString(sink_.Texts());
  }
  EXPECT_TRUE(sink_.Has("NG", LOG_FAIL));
  EXPECT_FALSE(sink_.HasText("OK"));
  EXPECT_EQ(flashBefore_, Flash());
}

const LogLine kMaxMinFail{"最大值，最小值测试失败", LOG_ERROR};
const LogLine kAdjacentFail{"相邻偏差测试失败", LOG_ERROR};

INSTANTIATE_TEST_SUITE_P(
    Profiles, FaultyModuleTest,
    testing::Values(
        FaultCase{"dead-node", ChipFamily::RU9, {kMaxMinFail, kAdjacentFail}},
        FaultCase{"dead-node", ChipFamily::DE7, {kMaxMinFail, kAdjacentFail}},
        FaultCase{"stuck-node", ChipFamily::RU9, {kMaxMinFail}},
        FaultCase{
            "weak-node", ChipFamily::RU9, {{"最大值，最小值测试通过", LOG_OK}, kAdjacentFail}},
        FaultCase{"intermittent-node", ChipFamily::RU9, {kMaxMinFail, kAdjacentFail}},
        FaultCase{"open-channel", ChipFamily::RU9, {kMaxMinFail, kAdjacentFail}},
        FaultCase{"shorted-rows", ChipFamily::RU9, {kMaxMinFail}},
        FaultCase{"starvation", ChipFamily::RU9, {{"获取原始值超时", LOG_ERROR}}},
        FaultCase{"int-open", ChipFamily::RU9, {{"INT 测试失败", LOG_ERROR}}},
        FaultCase{"int-open", ChipFamily::DE7, {{"INT 测试失败", LOG_ERROR}}},
        FaultCase{"wrong-sensor-id", ChipFamily::RU9, {{"SENSOR_ID 测试失败", LOG_ERROR}}},
        FaultCase{"wrong-sensor-id", ChipFamily::DE7, {{"SENSOR_ID 测试失败", LOG_ERROR}}},
        FaultCase{"tx-short", ChipFamily::RU9, {{"Tx3与Tx4短路，阻值为：100K欧", LOG_ERROR}}},
        FaultCase{"avdd-short", ChipFamily::RU9, {{"TX5与AVDD短路，阻值为：100K欧", LOG_ERROR}}},
        FaultCase{"avdd-short",
                  ChipFamily::DE7,
                  {{" Rx#3与GND之间的阻值为:10千欧", LOG_ERROR},
                   {"[Short Test]短路测试失败", LOG_ERROR}}},
        FaultCase{"tx-short", ChipFamily::DE7, {{" Tx#3与Tx#4之间的阻值为:100千欧", LOG_ERROR}}}),
    [](const testing::TestParamInfo<FaultCase>& info) {
      std::string name = std::string(info.param.profile) +
                         (info.param.family == ChipFamily::DE7 ? "_DE7" : "_RU9");
      for (char& ch : name) {
        if (ch == '-') ch = '_';
      }
      return name;
    });

TEST_F(ModuleRunTest, StarvationFailsOnlyTheSelectedDataItemsAndStopsTheStream) {
  PlugNamed("starvation");
  RunSettings settings = AllItems();
  settings.adjacentTest = false;
  const RunResult result = Run(settings);
  EXPECT_EQ(TEST_FAIL, result.items[kItemMaxMin]);
  EXPECT_EQ(TEST_OFF, result.items[kItemAdjacent]);
  EXPECT_EQ(TEST_OFF, result.items[kItemJitter]);
  EXPECT_EQ(TEST_OFF, result.items[kItemOffset]);
  EXPECT_FALSE(result.captured);
  const auto texts = sink_.Texts();
  EXPECT_EQ(1, std::count(texts.begin(), texts.end(), std::string("获取原始值超时")));
  EXPECT_FALSE(Chip().IsStreaming());
  // The limit is the capture's 10 s, not a wait per frame.
  EXPECT_LT(NowMs(), 60000);
}

TEST_F(ModuleRunTest, UndecidedShareCountsAsPassed) {
  sim::ModuleProfile profile;
  profile.faults.intermittentNode = 25;
  profile.faults.intermittentFrames = 2;  // 2 of 16 readings out of range: 12 %
  PlugModule(profile);
  const RunResult result = Run(AllItems());
  EXPECT_EQ(TEST_UNDECIDED, result.items[kItemMaxMin]);
  EXPECT_EQ(TEST_UNDECIDED, result.items[kItemAdjacent]);
  EXPECT_TRUE(result.passed);
  EXPECT_TRUE(sink_.Has("OK", LOG_PASS));
  EXPECT_FALSE(sink_.HasText("最大值，最小值测试通过"));
  EXPECT_FALSE(sink_.HasText("最大值，最小值测试失败"));
  // Undecided bars stay at 80 until the verdict colours them.
  EXPECT_THAT(sink_.Bars(), Contains(std::pair<int, int>(kBarMaxMin, 80)));
  EXPECT_THAT(sink_.Bars(), Not(Contains(std::pair<int, int>(kBarMaxMin, 99))));
}

TEST_F(ModuleRunTest, SecondRunKeepsTheLimits) {
  PlugNamed("dead-node");
  EXPECT_FALSE(Run(AllItems()).passed);
  const RunResult second = Run(AllItems());
  EXPECT_FALSE(second.passed);
  EXPECT_EQ(TEST_FAIL, second.items[kItemMaxMin]);
  EXPECT_TRUE(sink_.Has("最大值，最小值测试失败", LOG_ERROR));
}

// Limits lost between runs would fail every node of the next good module.
TEST_F(ModuleRunTest, SecondGoodModulePassesWithTheSameLimits) {
  PlugNamed("good");
  EXPECT_TRUE(Run(AllItems()).passed);
  const RunResult second = Run(AllItems());
  EXPECT_TRUE(second.passed) << testing::PrintToString(sink_.Texts());
  EXPECT_EQ(TEST_PASS, second.items[kItemMaxMin]);
  EXPECT_EQ(TEST_PASS, second.items[kItemAdjacent]);
  std::lock_guard lock(NodeArraysMutex());
  EXPECT_EQ(kLimitMax, GetNodeArrays().NodeMaxLimit[0]);
  EXPECT_EQ(kLimitMin, GetNodeArrays().NodeMinLimit[0]);
  EXPECT_EQ(kLimitAdjacent, GetNodeArrays().NodeAdjDevLimit[0]);
}

TEST_F(ModuleRunTest, NothingSelectedReadsTheBackupAndSaysOk) {
  PlugNamed("good");
  RunSettings settings;
  settings.maxMinTest = settings.adjacentTest = settings.openShortTest = false;
  settings.intTest = settings.sensorIdTest = false;
  Chip().ClearAccessLog();
  const RunResult result = Run(settings);
  EXPECT_TRUE(result.passed);
  EXPECT_EQ((std::vector<LogLine>{{"OK", LOG_PASS}}), sink_.Lines());
  // Only the reset of the bars to blue: no item coloured them.
  const auto colours = sink_.Colours();
  EXPECT_TRUE(std::all_of(colours.begin(), colours.end(),
                          [](const auto& c) { return c.second == kBarBlue; }));
  EXPECT_EQ(0u, Personality().TakenCount());
}

// A panel whose frames the frame slots cannot hold is never judged on the
// format of the module before it: 32-bit values on a 72 x 44 panel.
TEST_F(ModuleRunTest, PanelTooLargeForTheFrameSlotsFailsTheDataItems) {
  PlugPanelTooLargeForTheFrameSlots();
  const RunResult result = Run(AllItems());
  EXPECT_FALSE(result.passed);
  EXPECT_FALSE(result.captured);
  EXPECT_EQ(TEST_FAIL, result.items[kItemMaxMin]);
  EXPECT_EQ(TEST_FAIL, result.items[kItemAdjacent]);
  const auto lines = sink_.Lines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const LogLine& l) {
    return l.level == LOG_ERROR && l.text.find("超过 7040") != std::string::npos;
  })) << testing::PrintToString(sink_.Texts());
  EXPECT_FALSE(sink_.HasText("获取16帧原始值"));
  EXPECT_TRUE(sink_.Has("NG", LOG_FAIL));
  EXPECT_EQ(flashBefore_, Flash());
}

TEST_F(ModuleRunTest, SensorIdTextMustBeADecimalByte) {
  PlugNamed("good");
  for (const char* text : {"x", "", "256", "-1", "2 "}) {
    RunSettings settings;
    settings.maxMinTest = settings.adjacentTest = settings.openShortTest = false;
    settings.intTest = false;
    settings.sensorIdTest = true;
    settings.sensorIdText = text;
    const RunResult result = Run(settings);
    EXPECT_EQ(TEST_FAIL, result.items[kItemSensorId]) << text;
    EXPECT_TRUE(sink_.Has("SENSOR_ID 期望值无效", LOG_ERROR)) << text;
  }
}

}  // namespace

namespace {

// Counts the run's requests and unplugs the bridge just before request `at`.
class UnplugLink : public ILink {
 public:
  UnplugLink(CHidDevice& device, sim::SimBridge& bridge, int at)
      : device_(device), bridge_(bridge), at_(at) {}
  uint32_t ExecuteOnLink(CHidRequest& request) override {
    if (++count_ == at_) bridge_.Unplug();
    return device_.ExecuteOnLink(request);
  }
  int Count() const { return count_.load(); }

 private:
  CHidDevice& device_;
  sim::SimBridge& bridge_;
  const int at_;
  std::atomic<int> count_{0};
};

class UnplugTest : public ModuleRig, public testing::WithParamInterface<ChipFamily> {
 protected:
  static RunSettings Everything() {
    RunSettings s = AllItems();
    s.testOnly = false;
    s.versionCheck = true;
    return s;
  }
  // Requests of a whole good run (at = 0: never unplugs).
  int RunWithUnplugAt(int at) {
    UnplugLink link(*device_, Bridge(), at);
    GetRequestQueue().SelectLink(&link);
    const RunResult result = Run(Everything());
    GetRequestQueue().SelectLink(nullptr);
    if (at > 0) {
      EXPECT_FALSE(result.passed) << "unplugged before request " << at;
      EXPECT_TRUE(sink_.Has("NG", LOG_FAIL));
    }
    return link.Count();
  }
};

TEST_P(UnplugTest, AtAnyRequestOfARunIsNeverOk) {
  PlugNamed("good", GetParam());
  const int total = RunWithUnplugAt(0);
  ASSERT_GT(total, 50);
  // About 40 places spread over the run, the first and the last request too.
  for (int at = 1; at <= total; at += std::max(1, total / 40)) {
    TearDown();
    SetUp();
    PlugNamed("good", GetParam());
    RunWithUnplugAt(at);
  }
  TearDown();
  SetUp();
  PlugNamed("good", GetParam());
  RunWithUnplugAt(total);
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, UnplugTest,
                         testing::Values(ChipFamily::RU9, ChipFamily::DE7));

}  // namespace
