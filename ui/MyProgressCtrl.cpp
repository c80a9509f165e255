#include "ui/MyProgressCtrl.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr int kCatchUpIntervalMs = 20;
const QColor kOutline(150, 150, 150);

}  // namespace

CMyProgressCtrl::CMyProgressCtrl(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(false);
  m_displayed = minimum();
  m_catchUp.setInterval(kCatchUpIntervalMs);
  connect(&m_catchUp, &QTimer::timeout, this, &CMyProgressCtrl::AdvanceDisplayed);
  connect(this, &QProgressBar::valueChanged, this, [this] { SyncDisplayed(); });
}

void CMyProgressCtrl::SetStep(int step) { m_step = step; }

void CMyProgressCtrl::StepIt() {
  const qint64 lower = minimum();
  const qint64 upper = maximum();
  if (upper <= lower) return;
  const qint64 span = upper - lower;
  qint64 position = qint64(RealValue()) + m_step;
  if (position > upper) position = lower + (position - lower) % span;
  if (position < lower) position = upper - (lower - position) % span;
  setValue(int(position));
}

void CMyProgressCtrl::SetBarColor(const QColor& colour) {
  m_barColor = colour;
  update();
}

void CMyProgressCtrl::SetBkColor(const QColor& colour) {
  m_bkColor = colour;
  update();
}

QColor CMyProgressCtrl::BarColor() const {
  return m_barColor.isValid() ? m_barColor : palette().color(QPalette::Highlight);
}

QColor CMyProgressCtrl::BkColor() const {
  return m_bkColor.isValid() ? m_bkColor : palette().color(QPalette::Base);
}

int CMyProgressCtrl::RealValue() const {
  // After reset() the value sits below the minimum: that is an empty bar.
  return std::clamp(value(), minimum(), std::max(minimum(), maximum()));
}

void CMyProgressCtrl::SyncDisplayed() {
  const int real = RealValue();
  const int clamped = std::clamp(m_displayed, minimum(), real);
  if (clamped != m_displayed) {
    m_displayed = clamped;
    update();
  }
  if (m_displayed < real && !m_catchUp.isActive()) m_catchUp.start();
}

bool CMyProgressCtrl::AdvanceDisplayed() {
  SyncDisplayed();
  const int real = RealValue();
  if (m_displayed < real) {
    // A step of zero or less would never arrive: jump instead.
    const qint64 next = m_step > 0 ? qint64(m_displayed) + m_step : real;
    m_displayed = int(std::min<qint64>(next, real));
    update();
  }
  if (m_displayed < real) return true;
  m_catchUp.stop();
  return false;
}

void CMyProgressCtrl::paintEvent(QPaintEvent*) {
  // setRange() and reset() move the value without a signal.
  SyncDisplayed();

  QPainter painter(this);
  const QRect outer = rect();
  painter.setPen(kOutline);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(outer.adjusted(0, 0, -1, -1));

  const QRect inner = outer.adjusted(1, 1, -1, -1);
  if (inner.isEmpty()) return;
  painter.fillRect(inner, BkColor());

  const qint64 span = qint64(maximum()) - minimum();
  if (span <= 0) return;
  const qint64 done = qint64(m_displayed) - minimum();
  const qint64 barWidth = std::clamp<qint64>(done * inner.width() / span, 0, inner.width());
  if (barWidth > 0) {
    painter.fillRect(QRect(inner.left(), inner.top(), int(barWidth), inner.height()), BarColor());
  }
}
