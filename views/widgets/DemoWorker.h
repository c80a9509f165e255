#pragma once
// The touch demo's render thread. Frames come through the same one-frame
// hand-off as the data views: the read chain offers each frame and waits up
// to 100 ms for the thread to be idle, dropping the frame otherwise. The UI
// thread posts commands (mode changes, clears, resizes) to a queue of their
// own and wakes the thread through the hand-off's redraw request, so the
// thread waits on one thing; commands run in order, and those posted before
// a frame run before it. After each frame or batch of commands the finished
// picture is published and `published` is called (from the render thread);
// the widget then paints the latest picture and never waits for a render.
//
// Owned through a shared_ptr: the read chain reaches it by a weak reference.

#include <QImage>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "views/PointRecorder.h"
#include "views/TouchStream.h"
#include "views/widgets/DemoRenderer.h"
#include "views/widgets/HandOffMailbox.h"
#include "views/widgets/TrailPictureList.h"

class DemoWorker {
  using Mailbox = HandOffMailbox<TouchFrame>;

 public:
  static constexpr std::chrono::milliseconds kHandOffWait = Mailbox::kHandOffWait;

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
  void Run();
  void Draw(const TouchFrame& frame);
  void Publish(const QImage& image);

  const Hooks hooks_;
  TrailPictureList pictures_;
  PointRecorder recorder_;
  DemoRenderer renderer_{pictures_};

  Mailbox mailbox_;

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::deque<Command> commands_;
  uint64_t framesInFlight_ = 0;  // offered, and neither dropped nor drawn yet
  bool busy_ = false;            // running a batch of commands and/or a frame
  bool quit_ = false;
  uint64_t processed_ = 0;

  mutable std::mutex imageMutex_;
  QImage latest_;

  std::jthread thread_;
};
