#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "moduletest/samples/NodeLimits.h"
#include "moduletest/samples/SampleStore.h"
#include "moduletest/settings/NodeThresholds.h"
#include "tests/moduletest/samples/SampleFiles.h"
#include "tests/platform/ScratchDir.h"
#include "tests/views/RecordingLog.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
using samples_test::Frame16;
using samples_test::Frames16;

DataFormat Format16(int32_t rows, int32_t cols, bool isSigned = false) {
  DataFormat f;
  f.rows = rows;
  f.cols = cols;
  f.unit = 1;
  f.isSigned = isSigned ? 1 : 0;
  f.littleEndian = 1;
  return f;
}

// A 3 x 3 panel (column after column) whose averages are
//   col 0: 1000 1000  800
//   col 1: 1000 1000  800
//   col 2:    0 1000 1000
const std::vector<int32_t> kAverages = {1000, 1000, 800, 1000, 1000, 800, 0, 1000, 1000};

TEST(NodeLimits, CraftedSamplesGiveTheHandComputedLimits) {
  ScratchDir dir;
  std::vector<int32_t> plusOne = kAverages;
  plusOne[0] += 1;  // 3001 / 3 truncates back to 1000
  const std::vector<int32_t> huge(9, 60000);
  // File a: 3 frames, of which T = 2 are used; file b: one frame and a cut one.
  WriteBytes(dir / "s" / "a.sd", Frames16({plusOne, kAverages, huge}));
  WriteBytes(dir / "s" / "b.sd", Frame16(kAverages) + "\x01\x02\x03");
  SampleStore store(dir / "s");
  views_test::RecordingLog log;
  store.SetLog(&log);
  store.SetNames({dir / "s" / "a.sd", dir / "s" / "b.sd"});

  AdjustRatios ratios;
  ratios.sampleTimes = 2;
  ratios.adjacentMin = 3;
  const SampleSums sums = SumSampleFrames(store, Format16(3, 3), ratios.sampleTimes);
  EXPECT_EQ(sums.frames, 3);
  EXPECT_FALSE(store.HasOpenFile());
  EXPECT_EQ(log.Lines().size(), 1u) << log.All();  // b.sd's cut frame

  const NodeLimitArrays limits = ComputeNodeLimits(sums, ratios);
  EXPECT_EQ(limits.max, (std::vector<int32_t>{1200, 1200, 960, 1200, 1200, 960, 0, 1200, 1200}));
  EXPECT_EQ(limits.min, (std::vector<int32_t>{800, 800, 640, 800, 800, 640, 0, 800, 800}));
  // Every existing neighbour counts: the bottom row compares with the row
  // above (node 2: 200 x 100 / 800 = 25 -> 30) and the last column with the
  // column before (node 8: 20 -> 24). A node of average 0 gets Amin.
  EXPECT_EQ(limits.adjacentDeviation, (std::vector<int32_t>{3, 24, 30, 120, 24, 30, 3, 120, 24}));
}

TEST(NodeLimits, RatioExamplesAndNegativeAverages) {
  struct Case {
    std::vector<int32_t> averages;  // one row
    AdjustRatios ratios;
    std::vector<int32_t> max, min, adjacent;
  };
  const Case cases[] = {
      // 5 % deviation widened by 20 % is 6: the minimum of 20 wins.
      {{1000, 1050}, {}, {1200, 1260}, {800, 840}, {20, 20}},
      {{1000, 1050}, {20, 20, 100, 16, 0}, {1200, 1260}, {800, 840}, {10, 8}},
      // Signed panels: truncated toward zero, a negative deviation is none.
      {{-1001, -500}, {20, 20, 20, 16, 3}, {-1201, -600}, {-800, -400}, {3, 3}},
      {{1000, 1000}, {1000, 100, 0, 16, 0}, {11000, 11000}, {0, 0}, {0, 0}},
  };
  for (const Case& c : cases) {
    SampleSums sums;
    sums.format = Format16(1, static_cast<int32_t>(c.averages.size()), true);
    sums.frames = 7;
    for (int32_t a : c.averages) sums.sums.push_back(int64_t{a} * 7);
    const NodeLimitArrays limits = ComputeNodeLimits(sums, c.ratios);
    EXPECT_EQ(limits.max, c.max);
    EXPECT_EQ(limits.min, c.min);
    EXPECT_EQ(limits.adjacentDeviation, c.adjacent) << testing::PrintToString(c.averages);
  }
  SampleSums none;
  none.format = Format16(1, 2);
  none.sums = {0, 0};
  EXPECT_TRUE(ComputeNodeLimits(none, {}).max.empty());
}

TEST(NodeLimits, LimitsHeldAtTheEndsOf32BitsReadBackAsSaved) {
  // A signed 32-bit panel whose widened averages leave 32 bits both ways.
  SampleSums sums;
  sums.format = Format16(1, 2, true);
  sums.format.unit = 2;
  sums.frames = 1;
  sums.sums = {-300000000, 300000000};
  AdjustRatios ratios;
  ratios.maxRatio = 1000;
  const NodeLimitArrays limits = ComputeNodeLimits(sums, ratios);
  ASSERT_EQ(limits.max, (std::vector<int32_t>{INT32_MIN, INT32_MAX}));

  ScratchDir dir;
  ASSERT_TRUE(SaveNodeLimits(dir / "test.ini", limits, nullptr));
  NodeArrays nodes;
  ASSERT_TRUE(LoadNodeThresholds(dir / "test.ini", 1, 2, {}, nodes, nullptr));
  EXPECT_EQ(nodes.NodeMaxLimit[0], INT32_MIN);
  EXPECT_EQ(nodes.NodeMaxLimit[1], INT32_MAX);
}

TEST(NodeLimits, SampleTimesPerFileUnreadableFilesAndUnusableFormats) {
  ScratchDir dir;
  const std::vector<int32_t> frame(2, 100);
  std::vector<std::filesystem::path> files;
  for (int n : {40, 10, 16}) {
    files.push_back(dir / "s" / ("f" + std::to_string(n) + ".sd"));
    WriteBytes(files.back(),
               Frames16(std::vector<std::vector<int32_t>>(static_cast<size_t>(n), frame)));
  }
  SampleStore store(dir / "s");
  store.SetNames(files);
  EXPECT_EQ(SumSampleFrames(store, Format16(1, 2), 16).frames, 42);
  // Files removed since the import, first or between others, give no frames
  // and take none from the rest.
  const std::filesystem::path gone = dir / "s" / "gone.sd";
  store.SetNames({gone, files[0], gone, files[2]});
  EXPECT_EQ(SumSampleFrames(store, Format16(1, 2), 16).frames, 32);
  EXPECT_FALSE(store.HasOpenFile());
  EXPECT_EQ(SumSampleFrames(store, Format16(0, 2), 16).frames, 0);
  EXPECT_EQ(SumSampleFrames(store, Format16(80, 80), 16).frames, 0);  // beyond the arrays
  store.SetNames({});
  EXPECT_EQ(SumSampleFrames(store, Format16(1, 2), 16).frames, 0);
}

TEST(NodeLimits, RatiosOutsideTheirRangesAreRefused) {
  EXPECT_EQ(CheckAdjustRatios({}), "");
  EXPECT_EQ(CheckAdjustRatios({1000, 100, 1000, 10000, 1000}), "");
  EXPECT_EQ(CheckAdjustRatios({0, 0, 0, 1, 0}), "");
  struct Case {
    AdjustRatios ratios;
    std::string message;
  };
  const Case cases[] = {
      {{1001, 20, 20, 16, 20}, "最大值放大比例%应为0到1000之间的整数"},
      {{-1, 20, 20, 16, 20}, "最大值放大比例%应为0到1000之间的整数"},
      {{20, 101, 20, 16, 20}, "最大值缩小比例%应为0到100之间的整数"},
      {{20, 20, 1001, 16, 20}, "相邻偏差放大比例%应为0到1000之间的整数"},
      {{20, 20, 20, 0, 20}, "单个样本采样次数应为1到10000之间的整数"},
      {{20, 20, 20, 10001, 20}, "单个样本采样次数应为1到10000之间的整数"},
      {{20, 20, 20, 16, -1}, "相邻偏差最小值限制应为0到1000之间的整数"},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckAdjustRatios(c.ratios), c.message);
}

TEST(NodeLimits, RatiosAndLimitsSaveIntoTheTestIniAndReadBack) {
  ScratchDir dir;
  const auto ini = dir / "test.ini";
  WriteBytes(ini, "[Test Threhold]\r\nMax=4000\r\n[Node threshold]\r\nMax=1,2,\r\n");
  EXPECT_EQ(LoadAdjustRatios(ini), AdjustRatios{});
  const AdjustRatios ratios{30, 10, 50, 8, 5};
  ASSERT_TRUE(SaveAdjustRatios(ini, ratios, nullptr));
  EXPECT_EQ(LoadAdjustRatios(ini), ratios);

  NodeLimitArrays limits;
  limits.rows = 2;
  limits.cols = 2;
  limits.max = {1200, 1300, 1400, 1500};
  limits.min = {-8, 0, 800, 900};
  limits.adjacentDeviation = {20, 21, 22, 23};
  std::string error;
  ASSERT_TRUE(SaveNodeLimits(ini, limits, &error)) << error;
  const std::string saved = ReadBytes(ini);
  EXPECT_NE(saved.find("[Test Threhold]\r\nMax=4000\r\n"), std::string::npos);
  EXPECT_NE(saved.find("[Node threshold]\r\nMax=1200,1300,1400,1500,\r\n"), std::string::npos)
      << saved;
  EXPECT_NE(saved.find("Adjacent Deviation=20,21,22,23,\r\n"), std::string::npos);
  EXPECT_NE(saved.find("Min=-8,0,800,900,\r\n"), std::string::npos);

  // The module test reads them back for the same panel without a fallback.
  views_test::RecordingLog log;
  NodeArrays nodes;
  ASSERT_TRUE(LoadNodeThresholds(ini, 2, 2, {1, 2, 3}, nodes, &log));
  EXPECT_TRUE(log.Lines().empty()) << log.All();
  for (size_t n = 0; n < 4; ++n) {
    EXPECT_EQ(nodes.NodeMaxLimit[n], limits.max[n]);
    EXPECT_EQ(nodes.NodeMinLimit[n], limits.min[n]);
    EXPECT_EQ(nodes.NodeAdjDevLimit[n], limits.adjacentDeviation[n]);
  }
  // Saving the same limits again leaves the file byte-identical.
  ASSERT_TRUE(SaveNodeLimits(ini, limits, nullptr));
  ASSERT_TRUE(SaveAdjustRatios(ini, ratios, nullptr));
  EXPECT_EQ(ReadBytes(ini), saved);
}

}  // namespace
