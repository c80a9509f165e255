// The noise graph drawn into QImages: pixel probes for the markers and the
// curve, the pending target and the skip counter, the auto-adjust drawing.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <vector>

#include "views/noise/NoiseFrame.h"
#include "views/widgets/noise/NoiseRenderer.h"

namespace {

bool IsRed(QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }
bool IsGreen(QColor c) { return c.green() > 80 && c.red() < 80 && c.blue() < 80; }

// A frame reporting index `scan` and the same level at every index.
std::vector<uint8_t> Frame(int scan, uint8_t level) {
  std::vector<uint8_t> f(kNoiseFrameBytes, level);
  f[5] = static_cast<uint8_t>(scan);
  return f;
}

int GreenInColumn(const QImage& image, int x) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) n += IsGreen(image.pixelColor(x, y)) ? 1 : 0;
  return n;
}

class NoiseRendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    renderer_.Resize(800, 400);
    renderer_.Configure({NoiseRange{20, 70}, 3000, true});
  }
  NoiseRenderer renderer_;
};

TEST_F(NoiseRendererTest, MarkersAndCurveWhereTheFrameSaysThem) {
  const NoiseMarkers m = renderer_.DrawNoise(Frame(35, 100), false);
  EXPECT_EQ(m.freqA, 35);
  EXPECT_EQ(m.freqB, 37);
  const QImage image = *renderer_.Picture();
  const NoiseGeometry g = renderer_.Geometry();
  const int x35 = static_cast<int>(*MarkerX(35, g, {20, 70}));
  const int x37 = static_cast<int>(*MarkerX(37, g, {20, 70}));
  for (int x : {x35 - 1, x35, x35 + 1, x37}) EXPECT_TRUE(IsRed(image.pixelColor(x, g.axisY / 2))) << x;
  EXPECT_FALSE(IsRed(image.pixelColor(x35 + 3, g.axisY / 2)));
  // The curve of level 100 lies at axisY - 100 x plotH / 255.
  const int y = NoiseY(g, 100, renderer_.YMax());
  const int x50 = static_cast<int>(*MarkerX(50, g, {20, 70}));
  EXPECT_TRUE(IsGreen(image.pixelColor(x50, y)));
  EXPECT_FALSE(IsGreen(image.pixelColor(x50, y - 10)));
  EXPECT_EQ(renderer_.Peak(), 100);
}

TEST_F(NoiseRendererTest, MarkersOutsideTheRangeAreNotDrawn) {
  renderer_.DrawNoise(Frame(200, 10), false);  // a scan index the range lacks
  const QImage image = *renderer_.Picture();
  const NoiseGeometry g = renderer_.Geometry();
  int red = 0;
  for (int x = 0; x < image.width(); ++x) red += IsRed(image.pixelColor(x, g.axisY / 2)) ? 1 : 0;
  EXPECT_EQ(red, 0);
}

TEST_F(NoiseRendererTest, PendingTargetHoldsTheMarkerAndTheCurveUntilTheChipReportsIt) {
  const NoiseGeometry g = renderer_.Geometry();
  const int x60 = static_cast<int>(*MarkerX(60, g, {20, 70}));
  renderer_.SetTarget(50);
  EXPECT_EQ(renderer_.DrawNoise(Frame(35, 100), false).freqA, 50);
  EXPECT_EQ(GreenInColumn(*renderer_.Picture(), x60), 0);  // no curve while pending
  EXPECT_EQ(renderer_.DrawNoise(Frame(50, 100), false).freqA, 50);
  EXPECT_EQ(renderer_.Target(), std::nullopt);
  renderer_.DrawNoise(Frame(50, 100), false);
  EXPECT_GT(GreenInColumn(*renderer_.Picture(), x60), 0);
}

TEST_F(NoiseRendererTest, SkipCounterSuppressesCurvesAndPeak) {
  const NoiseGeometry g = renderer_.Geometry();
  const int x60 = static_cast<int>(*MarkerX(60, g, {20, 70}));
  renderer_.SetSkip(2);
  renderer_.DrawNoise(Frame(35, 120), false);
  renderer_.DrawNoise(Frame(35, 120), false);
  EXPECT_EQ(GreenInColumn(*renderer_.Picture(), x60), 0);
  EXPECT_EQ(renderer_.Peak(), 0);
  renderer_.DrawNoise(Frame(35, 120), false);
  EXPECT_GT(GreenInColumn(*renderer_.Picture(), x60), 0);
  EXPECT_EQ(renderer_.Peak(), 120);
}

TEST_F(NoiseRendererTest, PeakRescalesAndDoubleClickKeepsTheMaximum) {
  renderer_.DrawNoise(Frame(35, 250), false);
  EXPECT_EQ(renderer_.YMax(), 306);  // 250 > 255 x 5 / 6: raised by a fifth
  renderer_.ClearCurves();
  EXPECT_EQ(renderer_.Peak(), 0);
  EXPECT_EQ(renderer_.YMax(), 306);
}

TEST_F(NoiseRendererTest, AutoAdjustDrawsEachIndexAndAnalysesAfterTheLast) {
  renderer_.Configure({NoiseRange{20, 24}, 3000, false});
  renderer_.Reset(NoiseRenderer::kAdjustYMax);
  const std::vector<int> averages = {1000, 1000, 1137, 1137, 1462};
  DataFormat format;
  format.unit = 1;
  std::optional<std::array<int, 11>> values;
  for (int j = 0; j < 5; ++j) {
    AdjustFrame frame;
    frame.index = 20 + j;
    frame.format = format;
    frame.nodes = 2;
    const auto v = static_cast<uint16_t>(averages[static_cast<size_t>(j)]);
    frame.bytes = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v),
                   static_cast<uint8_t>(v >> 8)};
    values = renderer_.DrawAdjust(frame, 20);
    EXPECT_EQ(values.has_value(), j == 4) << j;
  }
  EXPECT_EQ(*values, (std::array<int, 11>{122, 22, 104, 24, 87, 24, 87, 24, 87, 24, 87}));
  // An index outside the range draws nothing.
  AdjustFrame outside;
  outside.index = 99;
  EXPECT_EQ(renderer_.DrawAdjust(outside, 20), std::nullopt);
}

}  // namespace
