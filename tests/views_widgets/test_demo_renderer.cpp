// The touch demo's pictures, probed pixel by pixel: points on black with
// their frame and key band, trails on white, the dots of "points and lines",
// the pen values, and the trail pictures kept by each clear.

#include <gtest/gtest.h>

#include <QImage>
#include <initializer_list>

#include "views/widgets/DemoRenderer.h"
#include "views/widgets/TrailPictureList.h"

namespace {

struct Pt {
  uint8_t id;
  uint16_t x, y, size;
};

// A coordinate report with the given points (and key bits, when non-zero).
TouchFrame Frame(std::initializer_list<Pt> points, uint8_t keys = 0) {
  TouchFrame f;
  f.report[0] = static_cast<uint8_t>(0x80 | points.size() | (keys ? 0x10 : 0));
  size_t at = 1;
  for (const Pt& p : points) {
    f.report[at] = p.id;
    f.report[at + 1] = static_cast<uint8_t>(p.x);
    f.report[at + 2] = static_cast<uint8_t>(p.x >> 8);
    f.report[at + 3] = static_cast<uint8_t>(p.y);
    f.report[at + 4] = static_cast<uint8_t>(p.y >> 8);
    f.report[at + 5] = static_cast<uint8_t>(p.size);
    at += 8;
  }
  f.report[at] = keys;
  f.formats = DefaultDataFormats();
  return f;
}

class DemoRendererTest : public testing::Test {
 protected:
  DemoRendererTest() {
    renderer_.SetClientSize(QSize(420, 320));  // area (10, 10) 400 x 300
    renderer_.SetGrid(30, 42);
  }
  QRgb At(int x, int y) const { return renderer_.Shown().pixel(x, y); }

  TrailPictureList pictures_;
  DemoRenderer renderer_{pictures_};
};

TEST_F(DemoRendererTest, PointsOnBlackWithFrame) {
  renderer_.ClearPointPicture();
  // Without a resolution the chip coordinates are the pixels.
  renderer_.TakeFrame(Frame({{1, 100, 120, 30}, {2, 300, 200, 40}}), 0, 0);
  EXPECT_EQ(kDemoSlotColours[0], At(100, 120));
  EXPECT_EQ(kDemoSlotColours[0], At(110, 120));  // inside the 30-pixel circle
  EXPECT_EQ(kDemoSlotColours[1], At(300, 200));
  EXPECT_EQ(DemoRenderer::kPointBackground, At(5, 5));
  EXPECT_EQ(DemoRenderer::kPointFrame, At(10, 10));
  EXPECT_EQ(DemoRenderer::kPointFrame, At(409, 309));
  EXPECT_EQ(DemoRenderer::kPointBackground, At(60, 40));

  // A contact that lifts off disappears with its circle.
  renderer_.TakeFrame(Frame({{2, 300, 200, 40}}), 0, 0);
  EXPECT_EQ(kDemoSlotColours[1], At(300, 200));
  EXPECT_NE(kDemoSlotColours[0], At(100, 120));
}

TEST_F(DemoRendererTest, PointsScaleByThePanelResolution) {
  // 1080 x 1920 panel into the 400 x 300 area at (10, 10).
  renderer_.TakeFrame(Frame({{1, 540, 960, 30}}), 1080, 1920);
  EXPECT_EQ(kDemoSlotColours[0], At(210, 160));
  EXPECT_EQ(210, renderer_.Tracker().Current()[0].x);
  EXPECT_EQ(540, renderer_.Tracker().ChipPoints()[0].x);
}

TEST_F(DemoRendererTest, FullScreenHasNoFrame) {
  renderer_.SetFullScreen(true);
  renderer_.TakeFrame(Frame({{1, 100, 120, 30}}), 0, 0);
  EXPECT_EQ(DemoRenderer::kPointBackground, At(10, 10));
  EXPECT_EQ(kDemoSlotColours[0], At(100, 120));
}

TEST_F(DemoRendererTest, KeysShowInABandAtTheBottom) {
  const QRgb band = qRgb(78, 78, 78);  // 0x64C8C8C8 over black
  renderer_.TakeFrame(Frame({}, 0x5), 0, 0);
  const QRgb probe = At(14, 306);
  EXPECT_NEAR(qRed(band), qRed(probe), 2);
  EXPECT_NEAR(qBlue(band), qBlue(probe), 2);
  renderer_.TakeFrame(Frame({}), 0, 0);
  EXPECT_EQ(DemoRenderer::kPointBackground, At(14, 306));
}

TEST_F(DemoRendererTest, TrailsOnWhiteAndDotsOnlyWithPoints) {
  struct Case {
    DemoDrawMode mode;
    bool dot;
  } cases[] = {{DemoDrawMode::Lines, false}, {DemoDrawMode::PointsAndLines, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    renderer_.SetMode(c.mode);
    renderer_.ClearSizes();
    renderer_.ClearForMode();
    EXPECT_EQ(DemoRenderer::kTrailBackground, At(200, 200));
    EXPECT_EQ(DemoRenderer::kTrailOuterFrame, At(0, 0));
    EXPECT_EQ(DemoRenderer::kTrailFrame, At(10, 10));

    renderer_.TakeFrame(Frame({{4, 100, 100, 30}}), 0, 0);
    EXPECT_EQ(c.dot ? kDemoSlotColours[0] : DemoRenderer::kTrailBackground, At(100, 100));
    renderer_.TakeFrame(Frame({{4, 200, 100, 30}}), 0, 0);
    EXPECT_EQ(kDemoSlotColours[0], At(150, 100));  // the trail between the two
    // A different contact in the same slot after a lift-off is not joined up.
    renderer_.TakeFrame(Frame({}), 0, 0);
    renderer_.TakeFrame(Frame({{6, 200, 250, 30}}), 0, 0);
    EXPECT_EQ(DemoRenderer::kTrailBackground, At(200, 180));
  }
}

// After a switch to full screen the same contact is placed at another scale:
// its trail starts anew instead of joining a point of the old picture.
TEST_F(DemoRendererTest, TrailsNeverJoinPointsPlacedAtTwoScales) {
  renderer_.SetMode(DemoDrawMode::Lines);
  renderer_.ClearForMode();
  // Resolution 400 x 300: the framed area maps chip (x, y) to (x + 10, y + 10).
  renderer_.TakeFrame(Frame({{4, 100, 100, 30}}), 400, 300);
  renderer_.TakeFrame(Frame({{4, 120, 100, 30}}), 400, 300);
  renderer_.SetFullScreen(true);  // area 420 x 320 from (0, 0)
  renderer_.ClearForMode();
  renderer_.TakeFrame(Frame({{4, 300, 100, 30}}), 400, 300);  // at (315, 106)
  for (int x = 140; x < 310; x += 10) {
    SCOPED_TRACE(x);
    for (int y = 100; y <= 115; ++y) ASSERT_EQ(DemoRenderer::kTrailBackground, At(x, y)) << y;
  }
  renderer_.TakeFrame(Frame({{4, 300, 200, 30}}), 400, 300);  // to (315, 213)
  EXPECT_EQ(kDemoSlotColours[0], At(315, 160)) << "the new scale's trail";
}

TEST_F(DemoRendererTest, PenValuesDrawOverTheTrailOnlyWithAUnit) {
  renderer_.SetMode(DemoDrawMode::Lines);
  renderer_.SetActivePen(true);
  renderer_.ClearForMode();
  TouchFrame plain = Frame({});  // no contact: the trail stays as it is
  TouchFrame pen = plain;
  pen.hasStylus = true;
  pen.stylus.assign(144, 0x22);

  renderer_.TakeFrame(plain, 0, 0);
  const QImage withoutPen = renderer_.Shown();

  // Unit 0 (the loading default): no values.
  pen.formats.Of(DataKind::Stylus).unit = 0;
  renderer_.TakeFrame(pen, 0, 0);
  EXPECT_EQ(withoutPen, renderer_.Shown());

  pen.formats.Of(DataKind::Stylus).unit = 1;
  renderer_.TakeFrame(pen, 0, 0);
  EXPECT_NE(withoutPen, renderer_.Shown());
  // The values are not drawn into the trail itself.
  renderer_.TakeFrame(plain, 0, 0);
  EXPECT_EQ(withoutPen, renderer_.Shown());
}

TEST_F(DemoRendererTest, ClearingKeepsDrawnTrailsOnly) {
  renderer_.SetMode(DemoDrawMode::Lines);
  renderer_.ClearForMode();
  renderer_.ClearTrailPicture();
  EXPECT_EQ(0, pictures_.Count());       // nothing drawn, nothing kept
  renderer_.TakeFrame(Frame({}), 0, 0);  // reports of an untouched panel
  renderer_.TakeFrame(Frame({}, 0x1), 0, 0);
  renderer_.ClearTrailPicture();
  EXPECT_EQ(0, pictures_.Count());

  for (int i = 0; i < TrailPictureList::kMaxPictures + 2; ++i) {
    renderer_.TakeFrame(Frame({{1, static_cast<uint16_t>(100 + i), 100, 30}}), 0, 0);
    renderer_.TakeFrame(Frame({{1, static_cast<uint16_t>(300 + i), 100, 30}}), 0, 0);
    const QImage drawn = renderer_.Shown();
    renderer_.ClearTrailPicture();
    EXPECT_EQ(drawn, pictures_.Current());  // the newest kept is the one just cleared
    EXPECT_EQ(pictures_.Count() - 1, pictures_.CurrentIndex());
  }
  EXPECT_EQ(TrailPictureList::kMaxPictures, pictures_.Count());
  EXPECT_FALSE(renderer_.SomethingDrawn());
  // Browsing wraps from the newest to the oldest.
  pictures_.Next();
  EXPECT_EQ(0, pictures_.CurrentIndex());
}

}  // namespace
