#pragma once
// While the main window is busy (a burn or a module test owns the device),
// presses of the left mouse button on the main window are dropped. Releases
// pass, so no button is left held down; message boxes and pop-up windows are
// other windows and stay usable.

#include <QObject>
#include <functional>

class QWidget;

class BusyClickFilter : public QObject {
  Q_OBJECT

 public:
  // Installs itself on the application; removed again when destroyed.
  BusyClickFilter(QWidget* window, std::function<bool()> isBusy, QObject* parent = nullptr);
  ~BusyClickFilter() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  std::function<bool()> isBusy_;
};
