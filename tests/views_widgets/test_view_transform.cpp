// Wheel zoom and scroll arithmetic of the grid views.
#include <gtest/gtest.h>

#include "views/widgets/ViewTransform.h"

namespace {

TEST(ViewTransform, WheelZoomStepsAndLimits) {
  const struct {
    double zoom;
    int delta;
    double expected;
  } cases[] = {
      {1.0, 120, 1.12}, {1.12, 120, 1.24}, {1.5, -120, 1.38},  {1.0, -120, 1.0},
      {2.95, 120, 3.0}, {3.0, 2400, 3.0},  {1.05, -1000, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.zoom << " " << c.delta);
    EXPECT_DOUBLE_EQ(c.expected, ZoomAfterWheel(c.zoom, c.delta));
  }
}

TEST(ViewTransform, ZoomKeepsThePointUnderTheMouseAndClampsTheScroll) {
  const QSize client(800, 600);
  const struct {
    QPoint scroll;
    QPoint mouse;
    double from, to;
    QPoint expected;
  } cases[] = {
      // 2x around the centre: the centre stays put.
      {{0, 0}, {400, 300}, 1.0, 2.0, {400, 300}},
      // Around the top-left corner nothing moves.
      {{0, 0}, {0, 0}, 1.0, 2.0, {0, 0}},
      // Around the bottom-right corner: as far as the picture allows.
      {{0, 0}, {800, 600}, 1.0, 2.0, {800, 600}},
      // Zooming back to 1.0 leaves nothing to scroll.
      {{400, 300}, {400, 300}, 2.0, 1.0, {0, 0}},
      // (100 + 200) * 1.5 / 1.0 - 200 = 250.
      {{100, 100}, {200, 200}, 1.0, 1.5, {250, 250}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << "->" << c.to);
    EXPECT_EQ(c.expected, ScrollAfterZoom(c.scroll, c.mouse, c.from, c.to, client));
  }
}

TEST(ViewTransform, ScrollStaysInsideThePicture) {
  const QSize client(800, 600);
  const QSize picture = PictureSize(client, 1.5);
  EXPECT_EQ(QSize(1200, 900), picture);
  EXPECT_EQ(QPoint(0, 0), ClampScroll({-5, -1}, client, picture));
  EXPECT_EQ(QPoint(400, 300), ClampScroll({1000, 1000}, client, picture));
  EXPECT_EQ(QPoint(10, 20), ClampScroll({10, 20}, client, picture));
  // A picture no larger than the client does not scroll.
  EXPECT_EQ(QPoint(0, 0), ClampScroll({10, 20}, client, client));
}

}  // namespace
