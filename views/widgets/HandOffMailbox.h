#pragma once
// The one-frame hand-off between whoever delivers frames (the request
// dispatcher's completion callbacks) and a render thread, for any payload.
//
// Three manual-reset events and one auto-reset event: "done" (the renderer
// is idle, signalled at start), "frame ready", "quit", and "redraw" (the UI
// changed something the picture depends on). Offer waits up to the hand-off
// limit for "done"; a frame that finds the renderer still busy after that is
// dropped, which paces the read chain by the renderer without ever stalling
// it for longer than the limit. At most one frame waits.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/sync/Event.h"

template <typename Payload>
class HandOffMailbox {
 public:
  static constexpr std::chrono::milliseconds kHandOffWait{100};

  enum class Wake { Quit, Frame, Redraw };

  HandOffMailbox() = default;
  HandOffMailbox(const HandOffMailbox&) = delete;
  HandOffMailbox& operator=(const HandOffMailbox&) = delete;

  // Any thread. true when the frame was handed over; false when the renderer
  // stayed busy for `wait` or has quit (the frame is dropped).
  bool Offer(Payload payload, std::chrono::milliseconds wait = kHandOffWait);

  // Render side: blocks until quit, a frame or a redraw request (in that
  // order of precedence).
  Wake Wait();
  // After Wake::Frame: the waiting frame (and a pending redraw is consumed,
  // since drawing the frame uses the latest view state anyway).
  std::optional<Payload> TakeFrame();
  // The renderer is idle again; the next offer goes through at once.
  void MarkDone() { done_.Set(); }

  // Any thread: asks for one more drawing of the current frame.
  void RequestRedraw() { redraw_.Set(); }

  // Ends Wait() and makes every offer fail until Reopen().
  void Quit();
  // A fresh mailbox for a new render thread: idle, nothing waiting.
  void Reopen();

 private:
  std::mutex offerMutex_;  // one offer at a time (wait, then claim)
  std::mutex payloadMutex_;
  std::optional<Payload> pending_;
  platform::Event done_{true, true};
  platform::Event frameReady_{true, false};
  platform::Event quit_{true, false};
  platform::Event redraw_{false, false};
};

template <typename Payload>
bool HandOffMailbox<Payload>::Offer(Payload payload, std::chrono::milliseconds wait) {
  std::lock_guard offer(offerMutex_);
  if (quit_.IsSet()) return false;
  const auto ms = wait.count() < 0 ? 0 : static_cast<uint32_t>(wait.count());
  if (!done_.Wait(ms) || quit_.IsSet()) return false;
  done_.Reset();
  {
    std::lock_guard lock(payloadMutex_);
    pending_ = std::move(payload);
  }
  frameReady_.Set();
  return true;
}

template <typename Payload>
typename HandOffMailbox<Payload>::Wake HandOffMailbox<Payload>::Wait() {
  switch (platform::Event::WaitAny({&quit_, &frameReady_, &redraw_})) {
    case 1:
      return Wake::Frame;
    case 2:
      return Wake::Redraw;
    default:
      return Wake::Quit;
  }
}

template <typename Payload>
std::optional<Payload> HandOffMailbox<Payload>::TakeFrame() {
  frameReady_.Reset();
  redraw_.Reset();
  std::lock_guard lock(payloadMutex_);
  std::optional<Payload> out = std::move(pending_);
  pending_.reset();
  return out;
}

template <typename Payload>
void HandOffMailbox<Payload>::Quit() {
  quit_.Set();
  // Releases an offer that is waiting for the renderer.
  done_.Set();
}

template <typename Payload>
void HandOffMailbox<Payload>::Reopen() {
  std::lock_guard offer(offerMutex_);
  {
    std::lock_guard lock(payloadMutex_);
    pending_.reset();
  }
  frameReady_.Reset();
  redraw_.Reset();
  done_.Set();
  quit_.Reset();
}
