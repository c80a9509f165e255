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
  QElapsedTimer clock;

 protected:
  void paintEvent(QPaintEvent*) override {
    ++paints;
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
  // The pacer decides when update() is asked for; when Qt then paints depends
  // on the machine's load, so the spacing is checked on the update() calls.
  std::vector<qint64> updatedAtMs;
  RepaintPacer pacer(widget, [&] { updatedAtMs.push_back(widget.clock.elapsed()); });

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
  ASSERT_GE(updatedAtMs.size(), 2u);
  for (size_t i = 1; i < updatedAtMs.size(); ++i) {
    // The timer cannot fire before its period; 1 ms for the clock's rounding.
    EXPECT_GE(updatedAtMs[i] - updatedAtMs[i - 1], pacer.PeriodMs() - 1) << i;
  }
}

}  // namespace
