#pragma once
// The update panel and the network panel of the main window slide open and
// shut under their header buttons; opening one first shuts the other. The
// log below takes the room a panel leaves.

#include <QObject>

class QAbstractButton;
class QVariantAnimation;
class QWidget;

class SlidingPanels : public QObject {
  Q_OBJECT

 public:
  static constexpr int kSlideMs = 110;
  // Pause between shutting one panel and opening the other.
  static constexpr int kSwitchPauseMs = 10;

  // Both panels start shut; the header buttons are made checkable and show
  // whether their panel is open.
  SlidingPanels(QAbstractButton* updateHeader, QWidget* updatePanel, QAbstractButton* netHeader,
                QWidget* netPanel, QObject* parent = nullptr);

  void Toggle(int panel);  // 0: update, 1: network
  bool IsOpen(int panel) const { return open_[panel]; }

 signals:
  // A panel has finished sliding.
  void Settled();

 private:
  void Slide(int panel, bool open);

  QAbstractButton* headers_[2];
  QWidget* panels_[2];
  QVariantAnimation* animations_[2];
  bool open_[2] = {false, false};
};
