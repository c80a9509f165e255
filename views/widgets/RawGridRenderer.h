#pragma once
// The raw view's drawing: each new frame goes into the raw frame stack and
// updates the per-node and panel statistics; nodes are shown in one of three
// modes (plain with red limit failures, colour scale, manual difference
// against a reference frame) under a box with the panel statistics.
//
// The mode commands come from the UI thread and are applied by the render
// thread at its next drawing, so the stack and the reference are only ever
// touched by the renderer (and, under the node-array lock, by the other
// users of the shared stack).

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "views/RawStatistics.h"
#include "views/widgets/GridRenderer.h"

enum class RawColourMode { Plain, ColourScale, ManualDifference };

class RawGridRenderer : public GridRenderer {
 public:
  // stack, nodes and lock are shared with the module test and the sampling
  // tools (GetRawFrameStack, GetNodeArrays, NodeArraysMutex).
  RawGridRenderer(const DataFormat& format, RawFrameStack& stack, NodeArrays& nodes,
                  std::mutex& nodesLock);

  // --- Any thread; applied at the next drawing. ---
  // Plain or colour scale: drops the reference.
  void SelectPlain(bool colourScale);
  // Takes the last drawn frame as the reference and shows differences to it
  // (nothing happens before the first frame).
  void TakeReference();
  // A new stream: forgets the stacked frames.
  void ResetStatistics();
  // single: the statistics of each frame drawn are taken over that frame
  // alone (a frame read back from a file, a limit array), with fail flags
  // only when failFlags. Off: the stream's statistics over the stacked frames.
  void SetSingleFrameStats(bool single, bool failFlags);

  // --- Render thread (tests). ---
  RawColourMode Mode() const { return mode_; }
  const RawPanelStats& Stats() const { return stats_; }

 protected:
  void ApplyCommands() override;
  void FormatChanged() override;
  void TakeValues(const FramePayload& frame, std::vector<int32_t>& values) override;
  int32_t ShownValue(size_t node, int32_t value) const override;
  CellStyle StyleOf(size_t node, int32_t shown) const override;
  int BottomReserve(int labelHeight, double zoom) override;
  QImage DrawOverlay(int width, int labelHeight) override;

 private:
  int OverlayLineHeight() const;

  RawFrameStack& stack_;
  NodeArrays& nodes_;
  std::mutex& nodesLock_;

  std::mutex commandMutex_;
  bool modeCommand_ = false;
  bool colourScaleCommand_ = false;
  bool referenceCommand_ = false;
  bool resetCommand_ = false;
  bool singleCommand_ = false;
  bool singleFlagsCommand_ = true;
  bool single_ = false;
  bool singleFlags_ = true;

  RawColourMode mode_ = RawColourMode::Plain;
  std::vector<int32_t> reference_;
  RawPanelStats stats_;
  size_t framesBefore_ = 0;
  uint32_t chain_ = 0;  // the read chain of the last frame taken
  std::array<uint16_t, NodeArrays::kNodes> failFlags_{};
  int overlayPixelSize_ = 0;  // found at zoom 1.0, kept at other zooms
};
