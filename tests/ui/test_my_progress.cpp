#include <gtest/gtest.h>

#include <QImage>

#include "ui/MyProgressCtrl.h"

namespace {

const QColor kBar(0, 0, 255);
const QColor kBack(255, 255, 255);
const QColor kOutline(150, 150, 150);
// 202 pixels wide: the inner rectangle is 200 wide, from x = 1 to 200.
constexpr int kInnerWidth = 200;

QImage Render(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::black);
  widget.render(&image);
  return image;
}

// Width of the bar drawn along the middle row, checking that bar and
// background are each one solid run.
int BarWidth(const QImage& image) {
  const int y = image.height() / 2;
  int width = 0;
  while (width < kInnerWidth && image.pixelColor(1 + width, y) == kBar) ++width;
  for (int x = 1 + width; x <= kInnerWidth; ++x) {
    if (image.pixelColor(x, y) != kBack) {
      ADD_FAILURE() << "pixel " << x << " is neither bar nor background";
      break;
    }
  }
  return width;
}

class Progress : public ::testing::Test {
 protected:
  Progress() {
    bar_.resize(kInnerWidth + 2, 20);
    bar_.SetBarColor(kBar);
    bar_.SetBkColor(kBack);
  }
  // Runs the catch-up ticks the timer would run; bounded.
  void Settle() {
    for (int i = 0; i < 10000 && bar_.AdvanceDisplayed(); ++i) {
    }
  }

  CMyProgressCtrl bar_;
};

struct FillCase {
  int lower;
  int upper;
  int value;
  int expectedWidth;
};

class ProgressFill : public Progress, public ::testing::WithParamInterface<FillCase> {};

TEST_P(ProgressFill, SettledBarIsProportionalToTheRange) {
  const FillCase& c = GetParam();
  bar_.setRange(c.lower, c.upper);
  bar_.SetStep(7);
  bar_.setValue(c.value);
  Settle();
  const QImage image = Render(bar_);
  EXPECT_EQ(BarWidth(image), c.expectedWidth);
  EXPECT_EQ(image.pixelColor(0, 0), kOutline);
  EXPECT_EQ(image.pixelColor(kInnerWidth + 1, 19), kOutline);
}

INSTANTIATE_TEST_SUITE_P(Table, ProgressFill,
                         ::testing::Values(FillCase{0, 100, 0, 0}, FillCase{0, 100, 50, 100},
                                           FillCase{0, 100, 100, 200},
                                           // A range wider than the bar still fills.
                                           FillCase{0, 1000, 500, 100},
                                           FillCase{0, 1000, 1000, 200}, FillCase{0, 1000, 4, 0},
                                           // The lower bound counts.
                                           FillCase{10, 110, 60, 100}, FillCase{-100, 100, 0, 100},
                                           // An empty range draws an empty bar.
                                           FillCase{0, 0, 0, 0}, FillCase{5, 5, 5, 0}));

TEST_F(Progress, JumpGrowsOneStepPerTick) {
  bar_.setRange(0, 100);
  bar_.SetStep(10);
  bar_.setValue(100);
  EXPECT_EQ(bar_.DisplayedValue(), 0);
  EXPECT_TRUE(bar_.CatchingUp());
  EXPECT_EQ(BarWidth(Render(bar_)), 0);

  for (int tick = 1; tick <= 10; ++tick) {
    EXPECT_EQ(bar_.AdvanceDisplayed(), tick < 10);
    EXPECT_EQ(bar_.DisplayedValue(), tick * 10);
    EXPECT_EQ(BarWidth(Render(bar_)), tick * 20);
  }
  EXPECT_FALSE(bar_.CatchingUp());
  EXPECT_FALSE(bar_.AdvanceDisplayed());
  EXPECT_EQ(bar_.DisplayedValue(), 100);
}

TEST_F(Progress, LastStepStopsAtTheValue) {
  bar_.setRange(0, 100);
  bar_.SetStep(30);
  bar_.setValue(50);
  EXPECT_TRUE(bar_.AdvanceDisplayed());
  EXPECT_FALSE(bar_.AdvanceDisplayed());
  EXPECT_EQ(bar_.DisplayedValue(), 50);
}

TEST_F(Progress, NonPositiveStepCatchesUpInOneTick) {
  for (int step : {0, -5}) {
    bar_.setValue(0);
    bar_.SetStep(step);
    bar_.setValue(80);
    EXPECT_FALSE(bar_.AdvanceDisplayed());
    EXPECT_EQ(bar_.DisplayedValue(), 80);
  }
}

TEST_F(Progress, FallingValueShowsAtOnce) {
  struct Case {
    const char* what;
    void (*fall)(CMyProgressCtrl&);
    int shown;
  };
  const Case cases[] = {
      {"set to 0", [](CMyProgressCtrl& b) { b.setValue(0); }, 0},
      {"set lower", [](CMyProgressCtrl& b) { b.setValue(40); }, 40},
      {"reset", [](CMyProgressCtrl& b) { b.reset(); }, 0},
      {"range shrinks", [](CMyProgressCtrl& b) { b.setRange(0, 50); }, 0},
  };
  for (const Case& c : cases) {
    bar_.setRange(0, 100);
    bar_.SetStep(10);
    bar_.setValue(100);
    Settle();
    c.fall(bar_);
    EXPECT_EQ(BarWidth(Render(bar_)), c.shown * kInnerWidth / bar_.maximum()) << c.what;
    EXPECT_EQ(bar_.DisplayedValue(), c.shown) << c.what;
  }
}

TEST_F(Progress, StepItAdvancesAndStartsOverPastTheEnd) {
  bar_.setRange(0, 100);
  bar_.SetStep(30);
  bar_.setValue(0);
  const int expected[] = {30, 60, 90, 20, 50};
  for (int value : expected) {
    bar_.StepIt();
    EXPECT_EQ(bar_.value(), value);
  }
  bar_.setRange(7, 7);
  const int before = bar_.value();
  bar_.StepIt();  // nothing to step through
  EXPECT_EQ(bar_.value(), before);
}

}  // namespace
