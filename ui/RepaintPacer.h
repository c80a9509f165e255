#pragma once
// Repaints a widget at most once per screen refresh however often new
// pictures arrive: a render thread may publish hundreds of pictures a second
// (a fast bridge, the touch demo's short reports), and painting each would
// keep the UI thread busy with pictures nobody can see.
//
// Request() may be called from any thread; any number of requests before the
// next repaint give one repaint. The repaint itself runs on the widget's
// thread, no sooner than one refresh period after the previous one.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>

class QWidget;

class RepaintPacer : public QObject {
  Q_OBJECT

 public:
  // beforeUpdate (may be empty) runs on the widget's thread just before each
  // update() (e.g. to drop a picture that the new one replaces).
  explicit RepaintPacer(QWidget& widget, std::function<void()> beforeUpdate = {});

  // Any thread: a new picture is ready.
  void Request();
  // The refresh period in milliseconds (from the widget's screen; 60 Hz
  // without one).
  int PeriodMs() const;

 private slots:
  void Schedule();

 private:
  void Fire();

  QWidget& widget_;
  std::function<void()> beforeUpdate_;
  std::atomic<bool> pending_{false};
  QTimer timer_;
  QElapsedTimer sinceUpdate_;
};
