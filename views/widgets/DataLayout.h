#pragma once
// The base of every page that shows a node grid fed by a stream of frames.
//
// Three threads meet here. The UI thread owns the widget: it paints the
// latest published picture (never waiting for a drawing), and turns resize,
// wheel zoom, panning and cursor moves into view parameters followed by a
// redraw request. The request dispatcher runs the frame chain's completions,
// which queue the next read and then hand the frame over through the
// mailbox (waiting at most 100 ms for an idle renderer, dropping the frame
// otherwise). The render thread draws frames and redraws into QImages and
// publishes them. It runs while the page streams or has something to draw,
// and StopStream and destruction end it with a bounded wait.

#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "device/LogSink.h"
#include "ui/RepaintPacer.h"
#include "views/DataFormat.h"
#include "views/widgets/FrameMailbox.h"
#include "views/widgets/RenderedPicture.h"
#include "views/widgets/ViewParams.h"

class DataFormatStore;
class FrameChain;
class GridRenderer;
class RenderWorker;

class CDataLayout : public QWidget {
  Q_OBJECT

 public:
  // How long StopStream and destruction wait for the render thread.
  static constexpr uint32_t kRenderJoinLimitMs = 2000;

  // A plain grid of the kind's values. store and log (which may be null)
  // must outlive the view.
  CDataLayout(DataKind kind, DataFormatStore& store, ILogSink* log, QWidget* parent = nullptr);
  ~CDataLayout() override;

  // --- Stream control, UI thread. ---
  // The page button's start: clears the stopped mark, starts the chip's data
  // stream and the first read; the value font fits the new stream's values.
  virtual void StartStream();
  // The page button's stop: marks the page stopped (a read in flight ends
  // the chain), stops the chip's stream and ends the render thread. The last
  // picture stays.
  void StopStream();
  // A new read chain with the kind's current format; nothing while stopped.
  void RequestFrame();
  void SetStopped(bool stopped);
  bool IsStopped() const;

  // Sees every frame a read brings, on the dispatcher thread, before it is
  // offered to the render thread (so it sees frames the renderer drops too).
  // An empty function removes it. Set from the UI thread.
  using FrameTap = std::function<void(const FramePayload&)>;
  void SetFrameTap(FrameTap tap);

  // Any thread: the frame hand-off (false when the frame was dropped).
  bool OfferFrame(FramePayload frame, std::chrono::milliseconds wait = FrameMailbox::kHandOffWait);

  // UI thread: the hand-off of a frame that comes from no stream (a frame
  // read back from a file); starts the render thread when it is not running.
  bool ShowFrame(FramePayload frame, std::chrono::milliseconds wait = FrameMailbox::kHandOffWait);

  // UI thread: draw the current frame again (starts the render thread).
  void Redraw();

  std::shared_ptr<const RenderedPicture> Picture() const;
  // Waits (bounded) for the render thread to publish its n-th picture.
  bool WaitForRenderCount(uint64_t n, uint32_t limitMs) const;
  bool IsRenderThreadRunning() const { return renderThread_.joinable(); }

  double Zoom() const { return params_.zoom; }
  QPoint ScrollOffset() const { return params_.scroll; }

 protected:
  CDataLayout(DataKind kind, DataFormatStore& store, ILogSink* log,
              std::unique_ptr<GridRenderer> renderer, QWidget* parent);

  ILogSink* Log() const { return log_; }
  GridRenderer& Renderer();

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void EnsureRenderThread();
  void StopRenderThread();
  void PushParams();
  // The (column, row) of the grid cell under a client point in the picture
  // shown; kNoCell outside the grid.
  QPoint CellUnder(QPoint clientPoint) const;

  static constexpr QPoint kNoCell{-1, -1};
  static constexpr QPoint kUnknownCell{-2, -2};  // the layout changed since

  const DataKind kind_;
  ILogSink* const log_;
  std::shared_ptr<RenderWorker> worker_;
  RepaintPacer* pacer_ = nullptr;  // child of this widget
  std::shared_ptr<FrameChain> chain_;
  struct TapSlot {
    std::mutex mutex;
    FrameTap tap;
  };
  std::shared_ptr<TapSlot> tap_ = std::make_shared<TapSlot>();
  std::jthread renderThread_;
  ViewParams params_;  // the UI thread's copy
  QPoint lastMouse_;
  QPoint markedCell_ = kUnknownCell;
  bool renderThreadLost_ = false;  // detached while drawing, not yet ended
};
