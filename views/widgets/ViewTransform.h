#pragma once
// The zoom and scroll arithmetic of the grid views: a wheel notch (120)
// zooms by 0.12 within 1.0 .. 3.0, the picture is the client area times the
// zoom, and the scroll offset (the picture point at the client's top-left)
// stays inside the picture.

#include <QPoint>
#include <QSize>

inline constexpr double kMinZoom = 1.0;
inline constexpr double kMaxZoom = 3.0;

// zoom + delta / 1000, clamped.
double ZoomAfterWheel(double zoom, int wheelDelta);

// The picture size at a zoom: the client size scaled (truncated).
QSize PictureSize(QSize client, double zoom);

// The offset limited to 0 .. picture - client on each axis.
QPoint ClampScroll(QPoint scroll, QSize client, QSize picture);

// The offset after a zoom change that keeps the picture point under `mouse`
// (client coordinates) in place, clamped to the new picture.
QPoint ScrollAfterZoom(QPoint scroll, QPoint mouse, double oldZoom, double newZoom, QSize client);
