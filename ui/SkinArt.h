#pragma once
// Our artwork for the skinned controls: SVG images in the program's resources,
// rasterised at the paint device's pixel ratio so they stay crisp on high-DPI
// screens. A missing image is simply not drawn. UI thread only.

#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;

enum class SkinImage {
  // Faces of ordinary and lamp buttons.
  ButtonNormal,
  ButtonHover,
  ButtonPressed,
  // Faces of the page buttons.
  PageNormal,
  PageHover,
  PagePressed,
  // Marks of the panel header buttons: open and closed.
  MarkOpenNormal,
  MarkOpenHover,
  MarkOpenPressed,
  MarkClosedNormal,
  MarkClosedHover,
  MarkClosedPressed,
  // Window caption.
  CaptionBand,
  Logo,
  CaptionClose,
  CaptionCloseHover,
  CaptionMaximize,
  CaptionMaximizeHover,
  CaptionRestore,
  CaptionRestoreHover,
  CaptionMinimize,
  CaptionMinimizeHover,
  // Button of the file-browse edit.
  Browse,
  Count
};

// Resource path of the image (":/skin/....svg").
QString SkinImagePath(SkinImage image);

// The size the artwork was drawn at, in logical pixels; empty when missing.
QSize SkinImageSize(SkinImage image);

// The image rendered to logicalSize at the given device pixel ratio (the
// pixmap carries that ratio). Null when the image is missing or the size empty.
QPixmap SkinPixmap(SkinImage image, const QSize& logicalSize, qreal devicePixelRatio);

// Stretched over target (painter's logical coordinates).
void DrawSkinImage(QPainter& painter, const QRect& target, SkinImage image);

// Scaled to fit target with its proportions kept, centred.
void DrawSkinImageFitted(QPainter& painter, const QRect& target, SkinImage image);

// Nine-slice: the border-wide edges of the artwork keep their size (corners
// unscaled, edges stretched along their length) and the centre fills the rest.
void DrawSkinNineSlice(QPainter& painter, const QRect& target, SkinImage image, int border);
