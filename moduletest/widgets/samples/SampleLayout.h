#pragma once
// The sampling dialog's node grid: the raw view, whose live frames are also
// appended to the sample file being recorded, and which can instead show a
// frame read back from a sample file or one of the per-node limit arrays.
//
// Frames reach the recording through the view's frame tap on the dispatcher
// thread, before the render hand-off, so a frame the busy renderer drops is
// still recorded; the store takes it only while it records, so a late frame
// after a stop is never written into a file opened for browsing. The tap is
// removed (waiting for a call in progress) before the view goes.

#include <atomic>
#include <cstdint>
#include <vector>

#include "views/widgets/RawDataLayout.h"

class SampleStore;

class CSampleLayout : public CRawDataLayout {
  Q_OBJECT

 public:
  // How long a shown frame waits for the renderer.
  static constexpr std::chrono::milliseconds kShowWait{100};

  CSampleLayout(DataFormatStore& formats, ILogSink* log, SampleStore& samples, RawFrameStack& stack,
                NodeArrays& nodes, std::mutex& nodesLock, QWidget* parent = nullptr);
  ~CSampleLayout() override;

  // Live frames: the stream's statistics again.
  void StartStream() override;

  // Live frames received since the last reset (the dialog's frame counter).
  int32_t FramesReceived() const { return framesReceived_.load(); }
  void ResetFramesReceived() { framesReceived_.store(0); }

  // Reads the next (next = true) or the previous frame of the open sample
  // file, cut by the current raw format, and shows it with the statistics of
  // that frame alone, marked against the limits. false when there is
  // none or the format cannot be used.
  bool ReadSampleFrame(bool next);

  // Shows a limit array as one frame of 4-byte values, with its own
  // statistics and no limit marks; false when the
  // geometry does not match the values or the frame was not drawn in time.
  bool ShowLimits(const std::vector<int32_t>& values, int32_t rows, int32_t cols);

 private:
  DataFormatStore& formats_;
  SampleStore& samples_;
  std::atomic<int32_t> framesReceived_{0};
};
