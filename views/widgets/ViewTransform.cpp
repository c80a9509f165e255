#include "views/widgets/ViewTransform.h"

#include <algorithm>
#include <cmath>

double ZoomAfterWheel(double zoom, int wheelDelta) {
  return std::clamp(zoom + wheelDelta / 1000.0, kMinZoom, kMaxZoom);
}

QSize PictureSize(QSize client, double zoom) {
  return QSize(static_cast<int>(client.width() * zoom), static_cast<int>(client.height() * zoom));
}

QPoint ClampScroll(QPoint scroll, QSize client, QSize picture) {
  const int maxX = std::max(0, picture.width() - client.width());
  const int maxY = std::max(0, picture.height() - client.height());
  return QPoint(std::clamp(scroll.x(), 0, maxX), std::clamp(scroll.y(), 0, maxY));
}

QPoint ScrollAfterZoom(QPoint scroll, QPoint mouse, double oldZoom, double newZoom, QSize client) {
  const double ratio = oldZoom > 0 ? newZoom / oldZoom : 1.0;
  const QPoint moved(static_cast<int>((scroll.x() + mouse.x()) * ratio) - mouse.x(),
                     static_cast<int>((scroll.y() + mouse.y()) * ratio) - mouse.y());
  return ClampScroll(moved, client, PictureSize(client, newZoom));
}
