// The noise graph's geometry: range checks after loading, y labels and
// scaling, marker positions and hit tests at the ends of the range and
// outside it.

#include <gtest/gtest.h>

#include <cstdint>

#include "views/noise/NoiseFrame.h"
#include "views/noise/NoiseGeometry.h"

namespace {

struct RangeCase {
  const char* name;
  int start, end;
  NoiseRange expected;
  bool logged;
};

TEST(NoiseRangeCheck, KeepsStartClampsEndFallsBackOnlyWhenUnusable) {
  const RangeCase cases[] = {
      {"defaults", 20, 70, {20, 70}, false},
      {"one point", 5, 5, {5, 5}, false},
      {"exactly 64 points", 0, 63, {0, 63}, false},
      {"65 points: End held to Start + 63", 0, 64, {0, 63}, true},
      {"wide range keeps Start", 30, 200, {30, 93}, true},
      {"End below Start", 40, 39, {20, 70}, true},
      {"negative Start", -1, 10, {20, 70}, true},
      {"huge End", 1, 0x7FFFFFFF, {1, 64}, true},
      {"Start beyond 16 bits", 0x7FFFFFF0, 0x7FFFFFFF, {20, 70}, true},
  };
  for (const RangeCase& c : cases) {
    const CheckedNoiseRange checked = ValidateNoiseRange(c.start, c.end);
    EXPECT_EQ(checked.range, c.expected) << c.name;
    EXPECT_EQ(!checked.logLine.empty(), c.logged) << c.name << ": " << checked.logLine;
  }
}

TEST(NoiseYAxis, LeadingDigitAndAutoScale) {
  for (auto [in, out] : {std::pair{51, 50}, {1200, 1000}, {25, 20}, {10, 10}, {9, 9}, {0, 0}}) {
    EXPECT_EQ(CutToLeadingDigit(in), out) << in;
  }
  EXPECT_EQ(AutoScaleY(213, 255), 306);
  EXPECT_EQ(AutoScaleY(212, 255), std::nullopt);
  EXPECT_EQ(AutoScaleY(84, 255), 127);
  EXPECT_EQ(AutoScaleY(300, 255), 360);
  EXPECT_EQ(AutoScaleY(0, 50), std::nullopt);  // 50 is never lowered
  EXPECT_EQ(AutoScaleY(0, 60), 50);            // nor gone below
  EXPECT_EQ(AutoScaleY(INT32_MAX, 6000), INT32_MAX);  // a 32-bit raw maximum
}

TEST(NoiseYAxis, LabelsStepByTheCutStepAndEndInTinyWindows) {
  const std::vector<YLabel> labels = ComputeYLabels(255, 430);
  ASSERT_GE(labels.size(), 3u);
  EXPECT_EQ(labels[0].value, 0);
  EXPECT_EQ(labels[1].value, 50);
  EXPECT_EQ(labels[2].value, 100);
  EXPECT_FLOAT_EQ(labels[0].y, 400.0f);
  // The pixel step is 0 or negative: the loop must still end.
  for (int h = 0; h <= 40; ++h) EXPECT_LE(ComputeYLabels(255, h).size(), 10u) << h;
  EXPECT_TRUE(ComputeYLabels(59, 35).empty());  // 5 x 10 / 59 = 0 pixels a step
}

TEST(NoiseMarkers, PositionsAndHitsInsideTheRangeOnly) {
  const NoiseRange range{20, 70};  // 51 points
  const NoiseGeometry g = ComputeNoiseGeometry(1000, 400, range);
  ASSERT_EQ(g.xs.size(), 51u);
  EXPECT_EQ(g.axisY, 370);
  EXPECT_EQ(g.plotW, 1000 - 30 - 15);
  EXPECT_EQ(g.pitch, 955 / 52);
  EXPECT_EQ(MarkerX(20, g, range), 30.0f);
  EXPECT_EQ(MarkerX(70, g, range), 30.0f + 50 * g.pitch);
  EXPECT_EQ(MarkerX(19, g, range), std::nullopt);
  EXPECT_EQ(MarkerX(71, g, range), std::nullopt);  // FreqB of a FreqA at End - 1
  EXPECT_EQ(MarkerX(255, g, range), std::nullopt);  // byte 5 from the chip

  EXPECT_TRUE(HitsMarker(32, 100, 20, std::nullopt, g, range));
  EXPECT_FALSE(HitsMarker(32, 370, 20, std::nullopt, g, range));  // on the x axis
  const int xEnd = 30 + 50 * g.pitch;
  EXPECT_TRUE(HitsMarker(xEnd + 4, 10, 68, 70, g, range));  // FreqB at End
  EXPECT_FALSE(HitsMarker(xEnd + 5, 10, 68, 70, g, range));
  // Markers outside the range are never hit (nor read outside the points).
  EXPECT_FALSE(HitsMarker(30, 10, 200, 202, g, range));
  EXPECT_FALSE(HitsMarker(30, 10, -5, std::nullopt, g, range));
}

TEST(NoiseMarkers, DragIndexHeldInsideTheRange) {
  const NoiseRange range{20, 70};
  const NoiseGeometry g = ComputeNoiseGeometry(1000, 400, range);
  EXPECT_EQ(DragIndex(0, g, range), 20);      // left of the axis
  EXPECT_EQ(DragIndex(30, g, range), 20);
  EXPECT_EQ(DragIndex(5000, g, range), 68);   // past the end: End - 2
  EXPECT_EQ(DragIndex(30 + 955 / 2, g, range), 20 + 51 / 2);
  // A window too narrow for a plot: no division by zero, the start.
  const NoiseGeometry narrow = ComputeNoiseGeometry(40, 400, range);
  EXPECT_LE(narrow.plotW, 0);
  EXPECT_EQ(DragIndex(100, narrow, range), 20);
  // A range of one point never leaves it.
  EXPECT_EQ(DragIndex(500, g, NoiseRange{5, 5}), 5);
}

TEST(NoiseFrameBytes, LevelsAndFrequencyWithinTheArea) {
  std::vector<uint8_t> frame(kNoiseFrameBytes);
  frame[5] = 35;
  frame[6] = 17;
  frame[69] = 99;
  EXPECT_EQ(NoiseFrequencyIndex(frame), 35);
  EXPECT_EQ(NoiseLevel(frame, 0), 17);
  EXPECT_EQ(NoiseLevel(frame, 63), 99);
  EXPECT_EQ(NoiseLevel(frame, 64), 0);
  EXPECT_EQ(NoiseLevel(frame, -1), 0);
  EXPECT_DOUBLE_EQ(NoiseKHz(35, 3000), 105.0);
}

}  // namespace
