// Failure paths of single steps on the simulated module: the open/short
// program file, the chip's hand-shakes, the INT flag and frame reads.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ModuleRig.h"
#include "device/link/RequestQueue.h"

#include <tuple>

namespace {

using sim::ChipFamily;

class ModuleStepTest : public ModuleRig {
 protected:
  static RunSettings Only(bool RunSettings::*item) {
    RunSettings s;
    s.maxMinTest = s.adjacentTest = s.openShortTest = s.intTest = s.sensorIdTest = false;
    s.*item = true;
    return s;
  }
  void WriteShortProgram(size_t bytes) {
    platform::testing_support::WriteBytes(Root() / "System/ShortFw.bin", std::string(bytes, 'x'));
  }
};

TEST_F(ModuleStepTest, ShortProgramMustExistWithExactlyItsSize) {
  for (size_t bytes : {size_t{0}, kShortFirmwareBytes - 1, kShortFirmwareBytes + 1, size_t{1}}) {
    const std::string line =
        "[Short Test]短路测试程序缺失或无效：" + (Root() / "System/ShortFw.bin").string();
    PlugNamed("good");
    if (bytes == 0) {
      std::filesystem::remove(Root() / "System/ShortFw.bin");
    } else {
      WriteShortProgram(bytes);
    }
    Chip().ClearAccessLog();
    const RunResult result = Run(Only(&RunSettings::openShortTest));
    EXPECT_EQ(TEST_FAIL, result.items[kItemOpenShort]) << bytes;
    EXPECT_TRUE(sink_.Has(line, LOG_ERROR)) << bytes;
    // Nothing was written into the chip's program memory.
    for (const sim::ChipAccess& a : Chip().AccessLog()) {
      EXPECT_FALSE(a.op == sim::AccessOp::Write && a.address == 0xC000) << bytes;
    }
    TearDown();
    SetUp();
  }
}

TEST_F(ModuleStepTest, ShortProgramThatNeverFinishesFailsEachFamily) {
  struct Case {
    ChipFamily family;
    const char* line;
  };
  for (const Case& c : {Case{ChipFamily::RU9, "[Short Test]Read CLR_IC_RUN  failed"},
                        Case{ChipFamily::DE7, "[Short Test]短路测试失败"}}) {
    sim::ModuleProfile profile;
    profile.family = c.family;
    profile.faults.shortNeverFinishes = true;
    PlugModule(profile);
    const RunResult result = Run(Only(&RunSettings::openShortTest));
    EXPECT_EQ(TEST_FAIL, result.items[kItemOpenShort]);
    EXPECT_TRUE(sink_.Has(c.line, LOG_ERROR));
    EXPECT_TRUE(sink_.Has("NG", LOG_FAIL));
    TearDown();
    SetUp();
  }
}

// A result header the host cannot read as findings is never a pass: status
// bits it does not know, or more records than the program can hold.
TEST_F(ModuleStepTest, ShortResultHeaderThatCannotBeReadFails) {
  struct Case {
    sim::ShortHeaderA header;
    const char* line;
  };
  for (const Case& c :
       {Case{{0x10, 0, 0}, "[Short Test]未知的短路测试状态：0x10"},
        Case{{0x81, 1, 0}, "[Short Test]未知的短路测试状态：0x81"},
        Case{{0x01, 43, 0}, "获取短路数据失败"}, Case{{0x02, 0, 31}, "获取短路数据失败"},
        Case{{0x04, 0xEE, 0xEE}, "获取短路数据失败"}}) {
    sim::ModuleProfile profile;
    profile.faults.shortHeaderA = c.header;
    PlugModule(profile);
    const RunResult result = Run(Only(&RunSettings::openShortTest));
    const int status = c.header.status;
    EXPECT_EQ(TEST_FAIL, result.items[kItemOpenShort]) << status;
    EXPECT_TRUE(sink_.Has(c.line, LOG_ERROR)) << status << testing::PrintToString(sink_.Texts());
    EXPECT_TRUE(sink_.Has("NG", LOG_FAIL)) << status;
    EXPECT_FALSE(sink_.HasText("短路测试通过")) << status;
    TearDown();
    SetUp();
  }
}

TEST_F(ModuleStepTest, GoodShortTestOfTheFirstFamilyLeavesTheItemOn) {
  PlugNamed("good");
  const RunResult result = Run(Only(&RunSettings::openShortTest));
  EXPECT_EQ(TEST_ON, result.items[kItemOpenShort]);
  EXPECT_TRUE(sink_.Has("短路测试通过", LOG_OK));
  EXPECT_EQ((std::pair<int, int>(kBarOpenShort, 100)), sink_.Bars().back());
  EXPECT_TRUE(result.passed);
  // The chip runs its firmware again: frames stream as before.
  EXPECT_EQ(0x00, Chip().Peek(0x5095));
}

TEST_F(ModuleStepTest, IntFlagThatCannotBeRaisedFails) {
  PlugNamed("good");
  ForwardingLink link(*device_);
  link.before_ = [this](CHidRequest& r) {
    if (r.operation == HidOpWrite && r.Address() == g_wSyncFlagAddr.load() &&
        r.inlineData[0] == 0x80) {
      Bridge().FailNextWrites(1);
    }
  };
  GetRequestQueue().SelectLink(&link);
  const RunResult result = Run(Only(&RunSettings::intTest));
  GetRequestQueue().SelectLink(nullptr);
  EXPECT_EQ(TEST_FAIL, result.items[kItemInt]);
  EXPECT_TRUE(sink_.Has("INT 测试失败", LOG_ERROR));
}

TEST_F(ModuleStepTest, FailedFrameReadIsReadAgainNotJudged) {
  PlugNamed("good");
  ForwardingLink link(*device_);
  std::atomic<int> frames{0};
  link.before_ = [&](CHidRequest& r) {
    // The bridge loses the answers of the 3rd and 7th frame reads.
    if (r.bridgeCmd == BridgeCmdFrameRead) {
      const int n = ++frames;
      if (n == 3 || n == 7) Bridge().SilenceNextReads(2);
    }
  };
  GetRequestQueue().SelectLink(&link);
  const RunResult result = Run(Only(&RunSettings::maxMinTest));
  GetRequestQueue().SelectLink(nullptr);
  EXPECT_EQ(18, frames.load());
  EXPECT_TRUE(result.captured);
  EXPECT_EQ(TEST_PASS, result.items[kItemMaxMin]);
  // No stale or 0xEE bytes reached the stack: every frame lies on the panel.
  std::lock_guard lock(NodeArraysMutex());
  for (size_t f = 0; f < 16; ++f) {
    for (size_t k = 0; k < 140; ++k) {
      EXPECT_GT(GetRawFrameStack().At(f)[k], 1000) << f << "/" << k;
      EXPECT_LT(GetRawFrameStack().At(f)[k], 3500) << f << "/" << k;
    }
  }
}

TEST_F(ModuleStepTest, CapturedFramesAreSixteenDifferentFrames) {
  PlugNamed("good");
  Run(Only(&RunSettings::maxMinTest));
  std::lock_guard lock(NodeArraysMutex());
  for (size_t f = 1; f < 16; ++f) {
    EXPECT_NE(GetRawFrameStack().At(f - 1), GetRawFrameStack().At(f)) << f;
  }
  // Jitter is maximum minus minimum.
  const NodeArrays& nodes = GetNodeArrays();
  EXPECT_EQ(nodes.NodeMax[7] - nodes.NodeMin[7], nodes.NodeJitter[7]);
  EXPECT_GT(nodes.NodeJitter[7], 0);
}

}  // namespace

namespace {

// Chip writes as (address, length, first byte), a long write cut into
// reports joined again.
using Writes = std::vector<std::tuple<uint16_t, size_t, uint8_t>>;
Writes JoinedWrites(const std::vector<sim::ChipAccess>& log) {
  Writes writes;
  for (const sim::ChipAccess& a : log) {
    if (a.op != sim::AccessOp::Write || a.bytes.empty()) continue;
    if (!writes.empty()) {
      auto& [address, length, first] = writes.back();
      if (static_cast<uint16_t>(address + length) == a.address && a.bytes.size() > 1) {
        length += a.bytes.size();
        continue;
      }
    }
    writes.emplace_back(a.address, a.bytes.size(), a.bytes[0]);
  }
  return writes;
}

TEST_F(ModuleStepTest, FirstFamilyShortTestWritesInTheChipsOrder) {
  PlugNamed("good");
  Chip().ClearAccessLog();
  Run(Only(&RunSettings::openShortTest));
  auto writes = JoinedWrites(Chip().AccessLog());
  // From the first hold of the chip to the start of the measurement.
  const auto first = std::find_if(writes.begin(), writes.end(),
                                  [](const auto& w) { return std::get<0>(w) == 0x4180; });
  ASSERT_NE(first, writes.end());
  Writes expected;
  for (int i = 0; i < 5; ++i) {
    expected.emplace_back(0x4180, 1, 0x0C);
    expected.emplace_back(0x40B0, 1, 0x00);
  }
  const Writes rest = {{0x4010, 1, 0x00}, {0x404B, 1, 0x00},  {0x4190, 1, 0x02},
                       {0x4048, 1, 0x00}, {0x4049, 1, 0x01},  {0xC000, kShortFirmwareBytes, 3},
                       {0x5095, 1, 0x00}, {0x4218, 1, 0x03},  {0x4184, 1, 0x01},
                       {0x4180, 1, 0x08}, {0x8804, 79, 0x00}, {0x5095, 1, 0x04}};
  expected.insert(expected.end(), rest.begin(), rest.end());
  ASSERT_GE(static_cast<size_t>(writes.end() - first), expected.size());
  const Writes seen(first, first + static_cast<std::ptrdiff_t>(expected.size()));
  EXPECT_EQ(expected, seen);
}

}  // namespace

namespace {

TEST_F(ModuleStepTest, De7FindingsAreNumberedByTheBackupsTables) {
  auto profile = sim::ModuleProfile::Named("avdd-short", ChipFamily::DE7);  // Rx3 to GND
  PlugModule(*profile);
  std::string list;
  for (int i = 0; i < 72; ++i) list += std::to_string(i) + ",";
  WriteChipIni(ChipIniText(ChipFamily::DE7) +
               "[Channel]\r\nSenHalfNumber=36\r\nSenMaxNum=72\r\nDrvHalfNmuber=22\r\n"
               "DrvMaxNum=44\r\nSenMap=" +
               list + "\r\nDrvMap=" + list + "\r\n");
  const RunResult result = Run(Only(&RunSettings::openShortTest));
  EXPECT_EQ(TEST_FAIL, result.items[kItemOpenShort]);
  // The sense table lists the second half first: chip channel 3 is 36 + 3.
  EXPECT_TRUE(sink_.Has(" Rx39与GND之间的阻值为:10千欧", LOG_ERROR))
      << testing::PrintToString(sink_.Texts());
}

}  // namespace
