// The auto-adjust's segment analysis against values worked out by hand, and
// the measuring of a raw frame.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "views/noise/NoiseItems.h"
#include "views/noise/SegmentAnalysis.h"

namespace {

// Averages that give exactly these norms with a reference average of 1024 x k.
std::vector<int32_t> AveragesForNorms(const std::vector<int>& norms) {
  // avg = 1024 * 1024 / norm keeps refAvg * 1024 / avg == norm for these values.
  std::vector<int32_t> avg;
  for (int n : norms) avg.push_back(n == 0 ? 0 : 1024 * 1024 / n);
  return avg;
}

TEST(SegmentAnalysis, WorkedExampleSearchB) {
  // norm 1024, 1024, 900, 900, 700 over 20..24 (the reference is index 20).
  const std::vector<int32_t> avg = {1000, 1000, 1137, 1137, 1462};
  const SegmentAnalysis a = AnalyseSegments(avg, 20, 24, 20);
  EXPECT_EQ(a.norm, (std::vector<int64_t>{1024, 1024, 900, 900, 700}));
  EXPECT_FALSE(a.searchA);
  EXPECT_EQ(a.bounds, (std::array<int, 7>{20, 22, 24, 24, 24, 24, 24}));
  EXPECT_EQ(a.segNormal, (std::array<int, 6>{122, 104, 87, 87, 87, 87}));
  EXPECT_EQ(SegmentValues(a),
            (std::array<int, 11>{122, 22, 104, 24, 87, 24, 87, 24, 87, 24, 87}));
}

TEST(SegmentAnalysis, RisingAveragesOfTheSimulatedProfile) {
  // 2000 for 20-30, 2300 for 31-45, 2900 for 46-70; reference 25.
  std::vector<int32_t> avg;
  for (int f = 20; f <= 70; ++f) avg.push_back(f <= 30 ? 2000 : f <= 45 ? 2300 : 2900);
  const SegmentAnalysis a = AnalyseSegments(avg, 20, 70, 25);
  // norm 1024, 2048000/2300 = 890, 2048000/2900 = 706; T1 = 318 / 6 = 53.
  EXPECT_EQ(a.norm[0], 1024);
  EXPECT_EQ(a.norm[11], 890);
  EXPECT_EQ(a.norm[50], 706);
  EXPECT_EQ(a.bounds, (std::array<int, 7>{20, 31, 46, 70, 70, 70, 70}));
  // (11 x 1024 + 890) / 12 / 8 = 126; (15 x 890 + 706) / 16 / 8 = 109;
  // (25 x 706) / 25 / 8 = 88; then 706 / 8 = 88.
  EXPECT_EQ(a.segNormal, (std::array<int, 6>{126, 109, 88, 88, 88, 88}));
}

TEST(SegmentAnalysis, EdgeCases) {
  // All equal: no boundary, every segment 1024 / 8 = 128.
  const std::vector<int32_t> flat(51, 2000);
  SegmentAnalysis a = AnalyseSegments(flat, 20, 70, 35);
  EXPECT_EQ(a.bounds, (std::array<int, 7>{20, 70, 70, 70, 70, 70, 70}));
  EXPECT_EQ(a.segNormal[0], 128);

  // Falling averages give rising norms: no boundary at all.
  std::vector<int32_t> falling;
  for (int j = 0; j < 10; ++j) falling.push_back(3000 - 100 * j);
  a = AnalyseSegments(falling, 0, 9, 0);
  EXPECT_EQ(a.bounds, (std::array<int, 7>{0, 9, 9, 9, 9, 9, 9}));

  // An average of 0 makes norm 0 the minimum.
  a = AnalyseSegments(std::vector<int32_t>{1000, 1000, 0, 1000}, 10, 13, 10);
  EXPECT_EQ(a.norm, (std::vector<int64_t>{1024, 1024, 0, 1024}));

  // Five drops fill the table; b[6] stays End.
  const std::vector<int32_t> steps = AveragesForNorms({1024, 850, 680, 510, 340, 170, 170});
  a = AnalyseSegments(steps, 0, 6, 0);
  EXPECT_EQ(a.bounds, (std::array<int, 7>{0, 1, 2, 3, 4, 5, 6}));

  // A reference outside the range is held to it.
  a = AnalyseSegments(flat, 20, 70, 500);
  EXPECT_EQ(a.ref, 70);
  a = AnalyseSegments(flat, 20, 70, -3);
  EXPECT_EQ(a.ref, 20);

  // One point.
  a = AnalyseSegments(std::vector<int32_t>{1234}, 40, 40, 40);
  EXPECT_EQ(a.bounds, (std::array<int, 7>{40, 40, 40, 40, 40, 40, 40}));
  EXPECT_EQ(a.segNormal[5], 128);

  // 64 points of the largest 16-bit averages: no overflow.
  std::vector<int32_t> big(64, 65535);
  big[0] = 1;
  a = AnalyseSegments(big, 0, 63, 63);
  EXPECT_EQ(a.norm[0], int64_t{65535} * 1024);
}

TEST(SegmentAnalysis, SearchAWhenTheFirstPointSitsNearTheMinimum) {
  // norm[0] within 4 of the minimum and the last entry not the minimum:
  // D0 = 3, so T1 = T2 = DN and search A runs.
  const std::vector<int32_t> avg = AveragesForNorms({1024, 1021, 1100, 1030});
  SegmentAnalysis a = AnalyseSegments(avg, 0, 3, 0);
  ASSERT_EQ(a.norm, (std::vector<int64_t>{1024, 1021, 1100, 1030}));
  EXPECT_TRUE(a.searchA);
  // T2 = 9: no downward drop of more than 9 from 1024; upward, 1100 - 1024 > 9
  // at index 2 gives b[1] = 2; the rest become End (3).
  EXPECT_EQ(a.bounds, (std::array<int, 7>{0, 2, 3, 3, 3, 3, 3}));
  for (int i = 0; i < 6; ++i) EXPECT_LE(a.bounds[i], a.bounds[i + 1]);
}

TEST(RawLevels, UnsignedWidthAndByteOrderOfTheFormat) {
  DataFormat f;
  f.unit = 1;
  f.littleEndian = 1;
  const std::vector<uint8_t> le = {0x10, 0x00, 0xFF, 0xFF, 0x00, 0x01};
  RawLevels l;
  ASSERT_TRUE(MeasureRawFrame(le, 3, f, &l));
  EXPECT_EQ(l.max, 65535);  // unsigned, not -1
  EXPECT_EQ(l.min, 16);
  EXPECT_EQ(l.average, (16 + 65535 + 256) / 3);
  f.littleEndian = 0;
  ASSERT_TRUE(MeasureRawFrame(le, 3, f, &l));
  EXPECT_EQ(l.min, 1);
  EXPECT_EQ(l.max, 65535);
  f.unit = 0;
  ASSERT_TRUE(MeasureRawFrame(le, 6, f, &l));
  EXPECT_EQ(l.max, 255);
  EXPECT_FALSE(MeasureRawFrame(le, 0, f, &l));  // no nodes: no average
  f.unit = 1;
  EXPECT_FALSE(MeasureRawFrame(std::vector<uint8_t>{1}, 4, f, &l));
}

TEST(NoiseItems, NamesByChip) {
  EXPECT_EQ(BitFreqFromItem("RO7387", 250), 4000);
  EXPECT_EQ(BitFreqFromItem("RO7387Z", 0), 0);
  EXPECT_EQ(BitFreqFromItem("RO9110V", 3000), 3000);
  EXPECT_EQ(OpeningThresholdItem("RO911"), "Noise_Threshold");
  EXPECT_EQ(OpeningThresholdItem("RO6108D"), "Hop_Threshold");
  EXPECT_EQ(OpeningThresholdItem("RO7387Z"), "Slow_Hoppging_Threshold");
  EXPECT_EQ(HopThresholdItem("RO9110V"), "Noise_Threshold");
  EXPECT_EQ(HopThresholdItem("RO911"), "Hop_Threshold");
  EXPECT_EQ(SegmentItems("RO7385")[0], "NoiseNormal1");
  EXPECT_EQ(SegmentItems("RO7385")[9], "SegFactor5");
  EXPECT_EQ(SegmentItems("RO9110V")[1], "Seg1_Factor");
  EXPECT_EQ(SegmentItems("RO9110V")[10], "Seg6_Normalize");
}

}  // namespace
