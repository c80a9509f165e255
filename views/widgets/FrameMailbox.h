#pragma once
// The one-frame hand-off between whoever delivers frames (the request
// dispatcher's completion callbacks) and a view's render thread.
//
// Three manual-reset events and one auto-reset event: "done" (the renderer
// is idle, signalled at start), "frame ready", "quit", and "redraw" (the UI
// changed zoom, size or mode). Offer waits up to the hand-off limit for
// "done"; a frame that finds the renderer still busy after that is dropped,
// which paces the read chain by the renderer without ever stalling it for
// longer than the limit. At most one frame waits.

#include <chrono>
#include <mutex>
#include <optional>

#include "platform/Event.h"
#include "views/widgets/FramePayload.h"

class FrameMailbox {
 public:
  static constexpr std::chrono::milliseconds kHandOffWait{100};

  enum class Wake { Quit, Frame, Redraw };

  FrameMailbox() = default;
  FrameMailbox(const FrameMailbox&) = delete;
  FrameMailbox& operator=(const FrameMailbox&) = delete;

  // Any thread. true when the frame was handed over; false when the renderer
  // stayed busy for `wait` or has quit (the frame is dropped).
  bool Offer(FramePayload payload, std::chrono::milliseconds wait = kHandOffWait);

  // Render side: blocks until quit, a frame or a redraw request (in that
  // order of precedence).
  Wake Wait();
  // After Wake::Frame: the waiting frame (and a pending redraw is consumed,
  // since drawing the frame uses the latest view state anyway).
  std::optional<FramePayload> TakeFrame();
  // The renderer is idle again; the next offer goes through at once.
  void MarkDone();

  // Any thread: asks for one more drawing of the current frame.
  void RequestRedraw();

  // Ends Wait() and makes every offer fail until Reopen().
  void Quit();
  bool IsQuit() const { return quit_.IsSet(); }
  // A fresh mailbox for a new render thread: idle, nothing waiting.
  void Reopen();

 private:
  std::mutex offerMutex_;  // one offer at a time (wait, then claim)
  std::mutex payloadMutex_;
  std::optional<FramePayload> pending_;
  platform::Event done_{true, true};
  platform::Event frameReady_{true, false};
  platform::Event quit_{true, false};
  platform::Event redraw_{false, false};
};
