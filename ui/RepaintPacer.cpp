#include "ui/RepaintPacer.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {
constexpr double kDefaultRefreshHz = 60.0;
}  // namespace

RepaintPacer::RepaintPacer(QWidget& widget, std::function<void()> beforeUpdate)
    : QObject(&widget), widget_(widget), beforeUpdate_(std::move(beforeUpdate)) {
  timer_.setSingleShot(true);
  // A coarse timer may fire early and so paint twice in one refresh.
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &RepaintPacer::Fire);
}

void RepaintPacer::Request() {
  // One queued call until the repaint it leads to: the UI thread's queue does
  // not fill with calls while it paints.
  if (pending_.exchange(true)) return;
  QMetaObject::invokeMethod(this, "Schedule", Qt::QueuedConnection);
}

int RepaintPacer::PeriodMs() const {
  const QScreen* screen = widget_.screen();
  const double hz = screen != nullptr && screen->refreshRate() >= 1.0 ? screen->refreshRate()
                                                                       : kDefaultRefreshHz;
  return std::max(1, static_cast<int>(std::ceil(1000.0 / hz)));
}

void RepaintPacer::Schedule() {
  if (timer_.isActive()) return;
  const qint64 since = sinceUpdate_.isValid() ? sinceUpdate_.elapsed() : PeriodMs();
  timer_.start(static_cast<int>(std::max<qint64>(0, PeriodMs() - since)));
}

void RepaintPacer::Fire() {
  // Cleared first: a picture published from now on gets a repaint of its own.
  pending_.store(false);
  sinceUpdate_.start();
  if (beforeUpdate_) beforeUpdate_();
  widget_.update();
}
