#pragma once
// The round button that floats over the full-screen touch demo. Four zones
// around a centre: top switches points / lines, left shows the next stored
// trail picture, right saves the current one, bottom leaves full screen. A
// click also animates the ring that hides the face's edge; the button can be
// dragged, and a click that ends a drag does nothing else.

#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>

class CDemo;

class CFloatingBtn : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSize = 135;
  static constexpr int kRingMax = 70;
  static constexpr int kRingMin = 3;
  static constexpr int kDragThreshold = 5;  // pixels moved beyond this start a drag
  static constexpr int kAnimationMs = 15;

  enum Zone { kNone = -1, kCentre = 0, kTop = 1, kLeft = 2, kRight = 3, kBottom = 4 };

  explicit CFloatingBtn(CDemo& demo);

  // The zone under a point in button coordinates (inclusive bounds, the
  // centre first), kNone outside them.
  static int HitTest(QPoint point);

  int RingWidth() const { return ringWidth_; }
  bool IsCollapsed() const { return collapsed_; }
  bool IsDragging() const { return dragging_; }
  bool IsAnimating() const { return timer_.isActive(); }
  // One step of the ring animation (the 15 ms timer).
  void AnimationStep();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Click(QPoint point);
  void RunZone(int zone);
  void CloseAndLeave();
  // The part of the face the ring leaves showing.
  QRectF VisibleDisc() const;
  void UpdateMask();

  CDemo& demo_;
  QPoint press_;
  QPoint pressGlobal_;
  QPoint pressWindowPos_;
  bool collapsed_ = false;
  bool dragging_ = false;
  bool movedByHand_ = false;  // the window system did not take the drag
  int ringWidth_ = kRingMax;
  int step_ = 1;
  int hovered_ = kNone;
  QTimer timer_;
};
