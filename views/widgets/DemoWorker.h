#pragma once
// The touch demo's render thread and its hand-off. The read chain offers each
// frame and waits up to 100 ms for the thread to be idle, dropping the frame
// otherwise; the UI thread posts commands (mode changes, clears, resizes) that
// run on the same thread in order, before the next frame. After each frame or
// command the finished picture is published and `published` is called (from
// the render thread); the widget then paints the latest picture and never
// waits for a render.
//
// Owned through a shared_ptr: the read chain reaches it by a weak reference.

#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "views/PointRecorder.h"
#include "views/TouchStream.h"
#include "views/widgets/DemoRenderer.h"
#include "views/widgets/TrailPictureList.h"

class DemoWorker {
 public:
  static constexpr std::chrono::milliseconds kHandOffWait{100};

  using Command = std::function<void(DemoRenderer&)>;
  // Hooks called on the render thread.
  struct Hooks {
    std::function<void()> published;                       // a new picture is ready
    std::function<void(const std::string&)> recordFailed;  // the recording was closed
  };

  explicit DemoWorker(Hooks hooks);
  ~DemoWorker();
  DemoWorker(const DemoWorker&) = delete;
  DemoWorker& operator=(const DemoWorker&) = delete;

  // Read-chain side: false when the frame was dropped (busy renderer, or
  // the worker has quit).
  bool Offer(TouchFrame&& frame, std::chrono::milliseconds wait = kHandOffWait);

  // UI side.
  void Post(Command command);
  // Ends and joins the thread; later offers and commands are dropped.
  void Quit();
  // Waits (bounded) until everything offered and posted so far is done.
  bool WaitIdle(std::chrono::milliseconds limit);

  // The latest published picture.
  QImage Latest() const;
  // Frames taken and commands run so far.
  uint64_t Processed() const;

  TrailPictureList& Pictures() { return pictures_; }
  PointRecorder& Recorder() { return recorder_; }

 private:
  void Run(std::stop_token stop);
  void Publish(const QImage& image);

  const Hooks hooks_;
  TrailPictureList pictures_;
  PointRecorder recorder_;
  DemoRenderer renderer_{pictures_};

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<TouchFrame> pending_;
  std::deque<Command> commands_;
  bool busy_ = false;
  bool quit_ = false;
  uint64_t processed_ = 0;

  mutable std::mutex imageMutex_;
  QImage latest_;

  std::jthread thread_;
};
