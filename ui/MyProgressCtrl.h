#pragma once
// Painted progress bar: grey outline, background colour, bar colour. The
// drawn bar catches up with the real value one step per tick, so a jump from
// 0 to 100 is seen to grow; a fall (a reset to the start) shows at once.

#include <QColor>
#include <QProgressBar>
#include <QTimer>

class CMyProgressCtrl : public QProgressBar {
  Q_OBJECT

 public:
  explicit CMyProgressCtrl(QWidget* parent = nullptr);

  // Growth of the drawn bar per tick, and StepIt's increment (10 unless set).
  void SetStep(int step);
  int Step() const { return m_step; }
  // Advances the value by one step; past the maximum it starts again from
  // the minimum.
  void StepIt();

  // An invalid colour means the palette's (Highlight for the bar, Base for
  // the background).
  void SetBarColor(const QColor& colour);
  void SetBkColor(const QColor& colour);
  QColor BarColor() const;
  QColor BkColor() const;

  // The value the bar is drawn at: within [minimum, real value].
  int DisplayedValue() const { return m_displayed; }
  // One catch-up tick: the drawn bar grows by one step towards the real
  // value. The internal timer calls it; returns false once caught up.
  bool AdvanceDisplayed();
  // Whether the catch-up timer is running.
  bool CatchingUp() const { return m_catchUp.isActive(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int RealValue() const;
  // Pulls the drawn value back into [minimum, real value] and starts the
  // catch-up timer when the real value is ahead.
  void SyncDisplayed();

  int m_step = 10;
  int m_displayed = 0;
  QColor m_barColor;
  QColor m_bkColor;
  QTimer m_catchUp;
};
