#pragma once
// Helpers shared by the widget tests.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace qttest {

// Processes events until pred holds; the generous bound only guards against a
// hang, it is never what a test waits for (a run that sleeps on the real
// clock takes a wider one).
inline bool ProcessEventsUntil(const std::function<bool()>& pred, int boundMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > boundMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace qttest
