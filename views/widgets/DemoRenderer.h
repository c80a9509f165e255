#pragma once
// Everything the touch demo draws, into QImages only (no widgets), so it runs
// on the demo's render thread: the point picture (labelled circles with
// cross lines on black), the trail picture (lines along each contact's last
// positions on a white grid) with the active pen's values over it, and the
// clears that start a new picture. Takes the delivered frames and follows
// the contacts with a ContactTracker.
//
// Not thread-safe: one thread (the render thread, or a test) uses it.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>

#include "views/ContactTracker.h"
#include "views/TouchStream.h"

class TrailPictureList;

enum class DemoDrawMode { Points, Lines, PointsAndLines };

inline bool DrawsLines(DemoDrawMode mode) { return mode != DemoDrawMode::Points; }

// Slot colours, in slot order.
extern const std::array<QRgb, kMaxTouchPoints> kDemoSlotColours;

class DemoRenderer {
 public:
  static constexpr int kFrameInset = 10;  // the drawing area's margin in a window
  static constexpr int kPointDiameter = 30;
  static constexpr QRgb kPointBackground = 0xFF000000;
  static constexpr QRgb kPointFrame = 0xFFF0F0F0;
  static constexpr QRgb kTrailBackground = 0xFFFFFFFF;
  static constexpr QRgb kTrailOuterFrame = 0xFF969696;
  static constexpr QRgb kTrailGrid = 0x64C8C8C8;
  static constexpr QRgb kTrailFrame = 0xFF646464;
  static constexpr QRgb kKeyBand = 0x64C8C8C8;
  static constexpr QRgb kStylusColumnText = 0xC8000000;
  static constexpr QRgb kStylusRowText = 0x64000000;

  explicit DemoRenderer(TrailPictureList& pictures);

  void SetMode(DemoDrawMode mode) { mode_ = mode; }
  DemoDrawMode Mode() const { return mode_; }
  void SetFullScreen(bool on) { fullScreen_ = on; }
  void SetActivePen(bool on) { activePen_ = on; }
  void SetClientSize(QSize size) { client_ = size; }
  // Raw rows and columns: the cells of the trail grid.
  void SetGrid(int32_t rows, int32_t cols);

  // Where the points are drawn: the client area, less the margin in a window.
  QRect Area() const;

  // A delivered frame: follows the contacts (scaled by the panel resolution)
  // and draws them in the current mode.
  void TakeFrame(const TouchFrame& frame, uint32_t resolutionX, uint32_t resolutionY);

  // A new white trail picture; the one it replaces is stored in the picture
  // list when anything was drawn since the last clear.
  void ClearTrailPicture();
  // A new black point picture; nothing counts as drawn afterwards.
  void ClearPointPicture();
  // What showing the demo anew does: clears the picture of the current mode.
  void ClearForMode();
  // Lifts every contact (a stream (re)start).
  void ClearSizes() { tracker_.ClearSizes(); }

  bool SomethingDrawn() const { return somethingDrawn_; }
  const ContactTracker& Tracker() const { return tracker_; }
  // The picture the window shows now.
  const QImage& Shown() const { return shown_; }

 private:
  void DrawPoints();
  void DrawTrails();
  void DrawStylusValues(const TouchFrame& frame);
  QImage NewPicture(QRgb fill) const;

  TrailPictureList& pictures_;
  ContactTracker tracker_;
  DemoDrawMode mode_ = DemoDrawMode::Points;
  bool fullScreen_ = false;
  bool activePen_ = false;
  bool somethingDrawn_ = false;
  QSize client_{1, 1};
  int32_t gridRows_ = 30;
  int32_t gridCols_ = 42;
  QImage trail_;
  QImage point_;
  QImage shown_;
};
