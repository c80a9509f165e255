#pragma once
// The noise graph's drawing: three QImage layers (the background with axes
// and labels, the curve layer that keeps curves between frames, the
// composite with the frequency markers that is shown) and the state the
// drawing carries from frame to frame (curve points, peak, y maximum, skip
// counter, pending target, the auto-adjust's per-frequency levels).
//
// Used by the draw thread (frames) and the UI thread (setup, resize,
// double-click, target and skip); every public member takes the drawing
// lock, so the layers and points are never seen half-drawn. Published
// pictures are immutable copies.

#include <QImage>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "views/noise/AutoAdjust.h"
#include "views/noise/NoiseFrame.h"
#include "views/noise/NoiseGeometry.h"
#include "views/noise/SegmentAnalysis.h"

struct NoiseSetup {
  NoiseRange range;
  int bitFreq = 3000;
  bool dual = false;
};

// What a drawn noise frame says about the markers.
struct NoiseMarkers {
  int freqA = 0;
  std::optional<int> freqB;
};

class NoiseRenderer {
 public:
  static constexpr int kDefaultYMax = 255;
  static constexpr int kAdjustYMax = 6000;

  NoiseRenderer();

  // New range and frequency settings: y maximum 255, peak 0, new background.
  void Configure(const NoiseSetup& setup);
  // The client size; rebuilds the background (curves start again).
  void Resize(int width, int height);
  // y maximum and peak set, the background rebuilt and the auto-adjust's
  // levels forgotten.
  void Reset(int yMax);
  // Double-click: the kept curves and the peak go; the y maximum stays.
  void ClearCurves();

  void SetSkip(int frames);
  void SetTarget(std::optional<int> target);
  std::optional<int> Target() const;
  // The marker index while a marker is dragged (nullopt: not dragging).
  void SetDragIndex(std::optional<int> index);

  // Draw thread: one noise frame.
  NoiseMarkers DrawNoise(std::span<const uint8_t> frame, bool average);
  // Draw thread: one auto-adjust frame; after the last index of the range
  // the analysis runs and its eleven values come back.
  std::optional<std::array<int, 11>> DrawAdjust(const AdjustFrame& frame, int refFreq);
  // The markers again over the current curves (a drag moved).
  void RedrawMarkers();

  // The picture to show: the composite, else the background.
  std::shared_ptr<const QImage> Picture() const;

  NoiseGeometry Geometry() const;
  NoiseSetup Setup() const;
  int YMax() const;
  int Peak() const;
  int Skip() const;
  std::optional<SegmentAnalysis> LastAnalysis() const;

 private:
  void BuildBackgroundLocked();
  void ScaleLocked(int value);
  void EnsureCurveLocked();
  void ComposeLocked();
  void PublishLocked();

  mutable std::mutex mutex_;
  NoiseSetup setup_;
  NoiseGeometry geometry_;
  int width_ = 640;
  int height_ = 400;
  int yMax_ = kDefaultYMax;
  int peak_ = 0;
  int skip_ = 0;
  std::optional<int> target_;
  std::optional<int> dragIndex_;
  NoiseMarkers markers_;
  std::vector<float> curveY_;
  std::vector<float> auxY_;
  std::vector<int32_t> maximum_;
  std::vector<int32_t> minimum_;
  std::vector<int32_t> average_;
  std::optional<SegmentAnalysis> analysis_;
  QImage background_;
  QImage curve_;
  QImage composite_;
  std::shared_ptr<const QImage> published_;
};
