#pragma once
// What the UI thread decides about a grid view's picture (size, zoom, scroll,
// cursor) and the render thread reads before each drawing.

#include <QPoint>
#include <QSize>

struct ViewParams {
  QSize client{0, 0};  // the widget's size
  double zoom = 1.0;
  QPoint scroll{0, 0};    // picture point shown at the client's top-left
  QPoint cursor{-1, -1};  // mouse in client coordinates; negative when outside
};
