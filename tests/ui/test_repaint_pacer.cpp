// A view repaints at most once per screen refresh however fast pictures come.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QWidget>
#include <thread>
#include <vector>

#include "tests/ui/QtTestUtil.h"
#include "ui/RepaintPacer.h"

namespace {

class CountingWidget : public QWidget {
 public:
  int paints = 0;
  std::vector<qint64> paintedAtMs;
  QElapsedTimer clock;

 protected:
  void paintEvent(QPaintEvent*) override {
    ++paints;
    paintedAtMs.push_back(clock.elapsed());
  }
};

// A widget on screen, its first paint done and forgotten.
class RepaintPacerTest : public testing::Test {
 protected:
  void SetUp() override {
    widget.clock.start();
    widget.resize(40, 30);
    widget.show();
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return widget.paints > 0; }));
    widget.paints = 0;
    widget.paintedAtMs.clear();
  }
  CountingWidget widget;
};

TEST_F(RepaintPacerTest, ManyPicturesBeforeARepaintGiveOneRepaint) {
  int before = 0;
  RepaintPacer pacer(widget, [&] { ++before; });

  // A render thread publishing far faster than any screen refreshes.
  std::thread producer([&] {
    for (int i = 0; i < 5000; ++i) pacer.Request();
  });
  producer.join();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return widget.paints > 0; }));
  QElapsedTimer settle;
  settle.start();
  qttest::ProcessEventsUntil([&] { return settle.elapsed() > 5 * pacer.PeriodMs(); });
  EXPECT_EQ(1, widget.paints);
  EXPECT_EQ(1, before);
}

TEST_F(RepaintPacerTest, RepaintsComeNoFasterThanTheScreenRefreshes) {
  RepaintPacer pacer(widget);

  // A new picture after every repaint, as a stream that never pauses gives.
  QElapsedTimer run;
  run.start();
  pacer.Request();
  int seen = 0;
  while (widget.paints < 4 && run.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (widget.paints != seen) {
      seen = widget.paints;
      pacer.Request();
    }
  }
  ASSERT_GE(widget.paints, 2);
  for (size_t i = 1; i < widget.paintedAtMs.size(); ++i) {
    // The timer cannot fire before its period; 1 ms for the clock's rounding.
    EXPECT_GE(widget.paintedAtMs[i] - widget.paintedAtMs[i - 1], pacer.PeriodMs() - 1) << i;
  }
}

}  // namespace
