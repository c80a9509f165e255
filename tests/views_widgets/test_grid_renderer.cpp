// Drawing node grids into QImages: layout, values, colour modes, fail marks.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>

#include "tests/views_widgets/ViewTestUtil.h"
#include "views/RawStatistics.h"
#include "views/widgets/GridRenderer.h"
#include "views/widgets/RawGridRenderer.h"
#include "views/widgets/ValueFonts.h"

namespace {

using viewtest::CellRect;
using viewtest::CountPixels;
using viewtest::MakeFrame;

DataFormat Grid(int rows, int cols, uint8_t unit = 1) {
  DataFormat f = DefaultFormat(DataKind::Raw);
  f.rows = rows;
  f.cols = cols;
  f.unit = unit;
  return f;
}

ViewParams Client(int w, int h) {
  ViewParams p;
  p.client = QSize(w, h);
  return p;
}

TEST(GridRenderer, LaysOutLinesLabelsAndTheFrame) {
  const struct {
    int rows, cols, w, h;
  } cases[] = {{30, 42, 800, 600}, {72, 44, 800, 600}, {80, 44, 1280, 800}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rows << "x" << c.cols);
    GridRenderer renderer(Grid(c.rows, c.cols));
    const auto pic = renderer.Render(Client(c.w, c.h), nullptr);
    ASSERT_EQ(QSize(c.w, c.h), pic->picture.size());
    ASSERT_EQ(static_cast<size_t>(c.rows) + 1, pic->rowLines.size());
    ASSERT_EQ(static_cast<size_t>(c.cols) + 1, pic->colLines.size());
    EXPECT_TRUE(std::is_sorted(pic->rowLines.begin(), pic->rowLines.end()));
    EXPECT_TRUE(std::is_sorted(pic->colLines.begin(), pic->colLines.end()));
    // Label bands on the left and at the bottom, the grid inside the picture.
    const QRect& g = pic->gridRect;
    EXPECT_GT(g.left(), 0);
    EXPECT_LT(g.bottom(), c.h - 1);
    EXPECT_LE(pic->rowLines.back(), g.bottom());
    EXPECT_LE(pic->colLines.back(), g.right());
    // The 2-pixel frame colour on the grid's left edge.
    EXPECT_EQ(GridRenderer::kGridFrame, pic->picture.pixel(g.left(), g.center().y()));
    EXPECT_EQ(GridRenderer::kGridFrame, pic->picture.pixel(g.left() + 1, g.center().y()));
    // Before the first frame every node shows 0.
    EXPECT_EQ(static_cast<size_t>(c.rows * c.cols), pic->cellsWithText);
    EXPECT_EQ(std::vector<int32_t>(static_cast<size_t>(c.rows * c.cols), 0), pic->values);
  }
}

TEST(GridRenderer, CellsTooSmallForTextGetLinesOnly) {
  const struct {
    int rows, cols, w, h;
  } cases[] = {{80, 44, 100, 100}, {1, 1, 1, 1}, {30, 42, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rows << "x" << c.cols << " in " << c.w << "x" << c.h);
    GridRenderer renderer(Grid(c.rows, c.cols));
    const auto pic = renderer.Render(Client(c.w, c.h), nullptr);
    EXPECT_EQ(0u, pic->cellsWithText);
    EXPECT_FALSE(pic->picture.isNull());
  }
}

TEST(GridRenderer, DecodesEachFrameWithTheFormatItWasReadWith) {
  GridRenderer renderer(Grid(30, 42));
  // A frame of another geometry and encoding (8-bit signed, 4 x 5).
  DataFormat small = Grid(4, 5, 0);
  small.isSigned = 1;
  std::vector<int32_t> values(20);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int32_t>(i) - 10;
  const FramePayload frame = MakeFrame(small, values);
  const auto pic = renderer.Render(Client(640, 400), &frame);
  EXPECT_EQ(4, pic->rows);
  EXPECT_EQ(5, pic->cols);
  EXPECT_EQ(5u, pic->rowLines.size());
  EXPECT_EQ(values, pic->values);
  EXPECT_EQ(1u, pic->framesTaken);
  // A redraw keeps the values.
  const auto again = renderer.Render(Client(800, 600), nullptr);
  EXPECT_EQ(values, again->values);
  EXPECT_EQ(QSize(800, 600), again->picture.size());
  // A short frame leaves the nodes it lacks at 0.
  FramePayload shortFrame = frame;
  shortFrame.bytes.resize(3);
  const auto cut = renderer.Render(Client(800, 600), &shortFrame);
  EXPECT_EQ(-10, cut->values[0]);
  EXPECT_EQ(-8, cut->values[2]);
  EXPECT_EQ(0, cut->values[3]);
}

TEST(GridRenderer, ZoomDrawsALargerPicture) {
  GridRenderer renderer(Grid(30, 42));
  ViewParams p = Client(800, 600);
  p.zoom = 2.0;
  const auto pic = renderer.Render(p, nullptr);
  EXPECT_EQ(QSize(1600, 1200), pic->picture.size());
  EXPECT_GT(pic->gridRect.width(), 1400);
}

// Values of 4 bytes, signed: any width a format allows, and a sign.
DataFormat WideGrid(int rows, int cols) {
  DataFormat f = Grid(rows, cols, 2);
  f.isSigned = 1;
  return f;
}

// A frame of small values with `widest` at (row 1, column 2).
FramePayload FrameWith(const DataFormat& format, int32_t widest) {
  std::vector<int32_t> values(format.NodeCount(), 7);
  values[NodeIndex(format.rows, 1, 2)] = widest;
  return MakeFrame(format, values);
}

TEST(GridRenderer, TheWidestValueFitsItsCell) {
  const struct {
    int rows, cols, w, h;
  } shapes[] = {{30, 42, 860, 650},
                {30, 42, 1280, 760},
                {80, 44, 1280, 800},
                {72, 44, 800, 600},
                {10, 10, 640, 480}};
  const int32_t widest[] = {999, 2302, 12345, -2302, -12345};
  for (const auto& s : shapes) {
    for (const int32_t value : widest) {
      SCOPED_TRACE(testing::Message() << s.rows << "x" << s.cols << " in " << s.w << "x" << s.h
                                      << ", widest " << value);
      GridRenderer renderer(WideGrid(s.rows, s.cols));
      const FramePayload frame = FrameWith(WideGrid(s.rows, s.cols), value);
      const auto pic = renderer.Render(Client(s.w, s.h), &frame);
      ASSERT_TRUE(pic->valueFont.has_value());
      ASSERT_EQ(value, pic->values[NodeIndex(s.rows, 1, 2)]);
      const int cellWidth = pic->colLines[3] - pic->colLines[2];
      const int advance = QFontMetrics(*pic->valueFont).horizontalAdvance(QString::number(value));
      // Only the smallest font may leave the text wider than its cell.
      if (advance >= cellWidth) {
        EXPECT_EQ(ValueFonts::kSmallestPx, pic->valueFont->pixelSize());
        continue;
      }
      // Nothing of the text lands on the line to the cell's right.
      const QRect cell = CellRect(*pic, 1, 2);
      const QRect quiet = CellRect(*pic, 1, 5);
      for (int dy = 0; dy < cell.height(); ++dy) {
        EXPECT_EQ(pic->picture.pixel(pic->colLines[6], quiet.top() + dy),
                  pic->picture.pixel(pic->colLines[3], cell.top() + dy))
            << "row " << dy;
      }
    }
  }
}

// The font fitted to the widest value when it is the first frame drawn.
std::optional<QFont> FirstFont(const DataFormat& format, const ViewParams& params, int32_t widest) {
  GridRenderer renderer(format);
  const FramePayload frame = FrameWith(format, widest);
  return renderer.Render(params, &frame)->valueFont;
}

TEST(GridRenderer, TheValueFontShrinksOnlyWithANewGridStreamOrFormat) {
  const DataFormat wide = WideGrid(30, 42);
  const DataFormat narrow = Grid(30, 42, 1);
  const ViewParams page = Client(860, 650);
  const ViewParams larger = Client(1280, 760);
  ViewParams zoomed = larger;
  zoomed.zoom = 1.5;
  // The steps must be able to tell the widths apart.
  ASSERT_NE(FirstFont(wide, page, 100), FirstFont(wide, page, 2302));
  ASSERT_NE(FirstFont(wide, page, 2302), FirstFont(wide, page, -12345));

  const struct {
    const char* step;
    ViewParams params;
    bool newStream;
    const DataFormat& format;
    int32_t value;   // the frame's widest value
    int32_t fontOf;  // whose first-frame font is expected
  } steps[] = {
      {"three digits", page, false, wide, 100, 100},
      {"four: wider", page, false, wide, 2302, 2302},
      {"three again: kept", page, false, wide, 100, 2302},
      {"a sign and five digits", page, false, wide, -12345, -12345},
      {"four again: kept", page, false, wide, 2302, -12345},
      {"resized: the values since", larger, false, wide, 2302, 2302},
      {"zoomed: the values since", zoomed, false, wide, 100, 100},
      {"wider again", zoomed, false, wide, -12345, -12345},
      {"a new stream", zoomed, true, wide, 2302, 2302},
      {"a new format", zoomed, false, narrow, 100, 100},
  };
  GridRenderer renderer(wide);
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    if (s.newStream) renderer.ForgetValueWidths();
    const FramePayload frame = FrameWith(s.format, s.value);
    const auto pic = renderer.Render(s.params, &frame);
    EXPECT_EQ(FirstFont(s.format, s.params, s.fontOf), pic->valueFont);
  }
}

// The raw view's renderer on a 3520-node grid (80 rows x 44 columns) at
// 1280 x 800, with its own stack and node arrays.
class RawRendererTest : public testing::Test {
 protected:
  static constexpr int kRows = 80;
  static constexpr int kCols = 44;
  static constexpr size_t kNodes = kRows * kCols;

  void SetUp() override {
    nodes_ = std::make_unique<NodeArrays>();
    nodes_->NodeMaxLimit.fill(INT32_MAX);
    nodes_->NodeMinLimit.fill(INT32_MIN);
    nodes_->NodeAdjDevLimit.fill(INT32_MAX);
    renderer_ = std::make_unique<RawGridRenderer>(format_, stack_, *nodes_, lock_);
  }

  std::shared_ptr<const RenderedPicture> Draw(const std::vector<int32_t>& values) {
    const FramePayload frame = MakeFrame(format_, values);
    return renderer_->Render(Client(1280, 800), &frame);
  }
  std::shared_ptr<const RenderedPicture> Redraw() {
    return renderer_->Render(Client(1280, 800), nullptr);
  }
  static size_t Node(int row, int col) { return NodeIndex(kRows, row, col); }
  // A pixel near the cell's top-left corner, clear of the centred text.
  static QRgb CornerOf(const RenderedPicture& p, int row, int col) {
    const QRect cell = CellRect(p, row, col);
    return p.picture.pixel(cell.left() + 1, cell.top() + 1) | 0xFF000000u;
  }

  DataFormat format_ = Grid(kRows, kCols);
  RawFrameStack stack_;
  std::unique_ptr<NodeArrays> nodes_;
  std::mutex lock_;
  std::unique_ptr<RawGridRenderer> renderer_;
};

TEST_F(RawRendererTest, PlainModeMarksFailingNodesInRed) {
  std::vector<int32_t> values(kNodes, 1000);
  values[Node(5, 3)] = 2000;
  nodes_->NodeMaxLimit[Node(5, 3)] = 1500;
  Draw(values);
  // The statistics cover the frames before the current one.
  const auto pic = Draw(values);
  ASSERT_EQ(kNodes, pic->cellsWithText);
  EXPECT_EQ(kFailMax, nodes_->NodeFailFlags[Node(5, 3)]);
  const QRect failing = CellRect(*pic, 5, 3);
  const QRect passing = CellRect(*pic, 6, 3);
  EXPECT_GT(CountPixels(pic->picture, failing, viewtest::Reddish), 0u);
  EXPECT_EQ(0u, CountPixels(pic->picture, failing, viewtest::Bluish));
  EXPECT_EQ(0u, CountPixels(pic->picture, passing, viewtest::Reddish));
  EXPECT_GT(CountPixels(pic->picture, passing, viewtest::Bluish), 0u);
  EXPECT_EQ(2000, pic->values[Node(5, 3)]);
}

TEST_F(RawRendererTest, ColourScaleFillsCellsBetweenMinimumAndMaximum) {
  std::vector<int32_t> values(kNodes, 1000);
  values[Node(0, 0)] = 500;
  values[Node(79, 43)] = 1500;  // the panel average stays 1000
  renderer_->SelectPlain(true);
  const auto first = Draw(values);
  // No statistics yet: white.
  EXPECT_EQ(0xFFFFFFFFu, CornerOf(*first, 0, 0));
  const auto pic = Draw(values);
  EXPECT_EQ(qRgb(32, 212, 32), CornerOf(*pic, 0, 0));
  EXPECT_EQ(qRgb(212, 212, 32), CornerOf(*pic, 40, 20));
  EXPECT_EQ(qRgb(212, 32, 32), CornerOf(*pic, 79, 43));
  EXPECT_EQ(RawColourMode::ColourScale, renderer_->Mode());

  // Back to plain values: no fills.
  renderer_->SelectPlain(false);
  const auto plain = Redraw();
  EXPECT_EQ(0xFFFFFFFFu, CornerOf(*plain, 0, 0));
}

TEST_F(RawRendererTest, ManualDifferenceShowsReferenceMinusValue) {
  std::vector<int32_t> values(kNodes, 2000);
  // Before any frame there is nothing to take.
  renderer_->TakeReference();
  Redraw();
  EXPECT_EQ(RawColourMode::Plain, renderer_->Mode());

  Draw(values);
  renderer_->TakeReference();
  const auto same = Redraw();
  EXPECT_EQ(RawColourMode::ManualDifference, renderer_->Mode());
  EXPECT_EQ(0, same->values[Node(10, 10)]);
  EXPECT_EQ(qRgb(255, 255, 255), CornerOf(*same, 10, 10));

  values[Node(10, 10)] = 1850;  // touched: reference - value = 150
  values[Node(20, 5)] = 2250;   // -250
  const auto pic = Draw(values);
  EXPECT_EQ(150, pic->values[Node(10, 10)]);
  EXPECT_EQ(-250, pic->values[Node(20, 5)]);
  EXPECT_EQ(qRgb(255, 105, 105), CornerOf(*pic, 10, 10));
  EXPECT_EQ(qRgb(55, 55, 255), CornerOf(*pic, 20, 5));
  EXPECT_EQ(qRgb(255, 255, 255), CornerOf(*pic, 30, 30));
}

TEST_F(RawRendererTest, StatisticsBoxAndStackFollowTheFrames) {
  std::vector<int32_t> values(kNodes, 2000);
  const auto first = Draw(values);
  EXPECT_EQ(RawPanelStats{}.overallMax, renderer_->Stats().overallMax);
  ASSERT_FALSE(first->overlay.isNull());
  EXPECT_EQ(qRgb(211, 233, 254), first->overlay.pixel(first->overlay.width() / 2, 1) | 0xFF000000u);
  Draw(values);
  EXPECT_EQ(2000, renderer_->Stats().overallMax);
  EXPECT_EQ(2u, stack_.Count());
  // A new stream starts new statistics.
  renderer_->ResetStatistics();
  Draw(values);
  EXPECT_EQ(1u, stack_.Count());
  EXPECT_EQ(0, renderer_->Stats().overallMax);
  // A frame of another geometry does not mix with the stacked ones.
  Draw(values);
  const FramePayload other = MakeFrame(Grid(40, 44), std::vector<int32_t>(40 * 44, 7));
  const auto pic = renderer_->Render(Client(1280, 800), &other);
  EXPECT_EQ(1u, stack_.Count());
  EXPECT_EQ(40, pic->rows);
  EXPECT_EQ(7, pic->values[0]);
}

}  // namespace
