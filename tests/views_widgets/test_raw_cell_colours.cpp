// Colours and statistics texts of the raw view.
#include <gtest/gtest.h>

#include "views/widgets/RawCellColours.h"

namespace {

constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kWhite = 0xFFFFFFFF;

TEST(RawCellColours, ManualDifference) {
  const struct {
    int32_t difference;
    QRgb fill;
    QRgb text;
  } cases[] = {
      {-250, qRgb(55, 55, 255), kWhite},  // saturates at -200: t = (-201) & 255
      {-200, qRgb(55, 55, 255), kWhite},
      {-100, qRgb(155, 155, 255), kBlue},  // not strong: blue text
      {-101, qRgb(154, 154, 255), kWhite},
      {0, qRgb(255, 255, 255), kBlue},
      {1, qRgb(255, 254, 254), kBlue},
      {50, qRgb(255, 205, 205), kBlue},
      {150, qRgb(255, 105, 105), kWhite},
      {100000, qRgb(255, 55, 55), kWhite},
      {INT32_MIN, qRgb(55, 55, 255), kWhite},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.difference);
    const CellColours colours = ReferenceColours(c.difference);
    ASSERT_TRUE(colours.fill);
    EXPECT_EQ(c.fill, *colours.fill);
    EXPECT_EQ(c.text, colours.text);
  }
}

TEST(RawCellColours, ColourScaleRunsGreenYellowRed) {
  RawPanelStats stats;
  stats.overallMin = 1000;
  stats.average = 2000;
  stats.overallMax = 4000;
  const struct {
    int32_t value;
    QRgb fill;
  } cases[] = {
      {1000, qRgb(32, 212, 32)},   // minimum
      {1500, qRgb(122, 212, 32)},  // half-way up to the average
      {2000, qRgb(212, 212, 32)},  // average
      {3000, qRgb(212, 122, 32)},
      {4000, qRgb(212, 32, 32)},  // maximum
      // Outside what the earlier frames spanned: the end colours.
      {-5, qRgb(32, 212, 32)},
      {INT32_MAX, qRgb(212, 32, 32)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(c.fill, ColourScaleFill(c.value, stats, 3));
  }
  // Without earlier frames the statistics say nothing yet.
  EXPECT_EQ(kWhite, ColourScaleFill(1000, stats, 0));
  RawPanelStats flat = stats;
  flat.overallMax = flat.average;
  EXPECT_EQ(kWhite, ColourScaleFill(1000, flat, 3));
  flat = stats;
  flat.overallMin = flat.average;
  EXPECT_EQ(kWhite, ColourScaleFill(1000, flat, 3));
}

TEST(RawCellColours, OverlayLines) {
  RawPanelStats stats;
  stats.overallMax = 2300;
  stats.overallMin = 1800;
  stats.attenuation = 22;
  stats.maxJitter = 6;
  stats.maxAdjDev = 15;
  EXPECT_EQ(QStringList({QStringLiteral("最大值：2300"), QStringLiteral("最小值：1800"),
                         QStringLiteral("衰减比例：22%"), QStringLiteral("抖动：6"),
                         QStringLiteral("相邻偏差：15%")}),
            RawOverlayLines(stats));
  stats.attenuation = 100;
  stats.maxAdjDev = 300;
  const QStringList na = RawOverlayLines(stats);
  EXPECT_EQ(QStringLiteral("衰减比例：N/A"), na[2]);
  EXPECT_EQ(QStringLiteral("相邻偏差：N/A"), na[4]);
  stats.attenuation = 99;
  stats.maxAdjDev = 299;
  const QStringList below = RawOverlayLines(stats);
  EXPECT_EQ(QStringLiteral("衰减比例：99%"), below[2]);
  EXPECT_EQ(QStringLiteral("相邻偏差：299%"), below[4]);
  // The first frame of a stream: everything 0.
  EXPECT_EQ(QStringLiteral("衰减比例：0%"), RawOverlayLines(RawPanelStats{})[2]);
}

TEST(RawCellColours, PlainModeMarksFailingNodesRed) {
  EXPECT_EQ(kBlue, PlainTextColour(0));
  EXPECT_EQ(0xFFFF0000u, PlainTextColour(kFailMax));
  EXPECT_EQ(0xFFFF0000u, PlainTextColour(kFailMin | kFailAdjacent));
}

}  // namespace
