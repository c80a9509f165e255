#include "views/widgets/noise/NoiseGraphWidget.h"

#include <QMouseEvent>
#include <QPainter>

#include "views/widgets/noise/NoiseRenderer.h"

NoiseGraphWidget::NoiseGraphWidget(std::shared_ptr<NoiseRenderer> renderer, QWidget* parent)
    : QWidget(parent), renderer_(std::move(renderer)) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void NoiseGraphWidget::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (const std::shared_ptr<const QImage> picture = renderer_->Picture()) {
    painter.drawImage(QPoint(0, 0), *picture);
  }
}

void NoiseGraphWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  emit resized(size());
}

void NoiseGraphWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit pressed(event->position().toPoint());
}

void NoiseGraphWidget::mouseMoveEvent(QMouseEvent* event) {
  emit moved(event->position().toPoint());
}

void NoiseGraphWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit released(event->position().toPoint());
}

void NoiseGraphWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit doubleClicked();
}
