#include "app/BusyClickFilter.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

BusyClickFilter::BusyClickFilter(QWidget* window, std::function<bool()> isBusy, QObject* parent)
    : QObject(parent), window_(window), isBusy_(std::move(isBusy)) {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->installEventFilter(this);
}

BusyClickFilter::~BusyClickFilter() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(this);
}

bool BusyClickFilter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) return false;
  if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != window_) return false;
  return isBusy_ && isBusy_();
}
