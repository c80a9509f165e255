#include "views/widgets/FrameMailbox.h"

#include <utility>

bool FrameMailbox::Offer(FramePayload payload, std::chrono::milliseconds wait) {
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

FrameMailbox::Wake FrameMailbox::Wait() {
  switch (platform::Event::WaitAny({&quit_, &frameReady_, &redraw_})) {
    case 1:
      return Wake::Frame;
    case 2:
      return Wake::Redraw;
    default:
      return Wake::Quit;
  }
}

std::optional<FramePayload> FrameMailbox::TakeFrame() {
  frameReady_.Reset();
  redraw_.Reset();
  std::lock_guard lock(payloadMutex_);
  std::optional<FramePayload> out = std::move(pending_);
  pending_.reset();
  return out;
}

void FrameMailbox::MarkDone() { done_.Set(); }

void FrameMailbox::RequestRedraw() { redraw_.Set(); }

void FrameMailbox::Quit() {
  quit_.Set();
  // Releases an offer that is waiting for the renderer.
  done_.Set();
}

void FrameMailbox::Reopen() {
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
