#include "platform/sync/Event.h"

#include <algorithm>
#include <chrono>

namespace platform {

// A WaitAny caller registers one of these with every event it waits on; Set()
// pokes it so the caller re-checks all events in index order.
struct Event::Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool poked = false;
};

Event::Event(bool manualReset, bool initiallySignalled)
    : manualReset_(manualReset), signalled_(initiallySignalled) {}

Event::~Event() = default;

void Event::Set() {
  std::vector<std::shared_ptr<Waiter>> toPoke;
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    toPoke = waiters_;
  }
  if (manualReset_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
  for (auto& w : toPoke) {
    std::lock_guard lock(w->mutex);
    w->poked = true;
    w->cv.notify_all();
  }
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool Event::IsSet() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

bool Event::TryConsumeLocked() {
  if (!signalled_) return false;
  if (!manualReset_) signalled_ = false;
  return true;
}

bool Event::Wait(uint32_t ms) {
  std::unique_lock lock(mutex_);
  if (ms == kInfinite) {
    cv_.wait(lock, [&] { return signalled_; });
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return signalled_; })) {
    return false;
  }
  return TryConsumeLocked();
}

int Event::WaitAny(const std::vector<Event*>& events, uint32_t ms) {
  if (events.empty()) return kWaitTimeout;
  auto waiter = std::make_shared<Waiter>();
  for (Event* e : events) {
    std::lock_guard lock(e->mutex_);
    e->waiters_.push_back(waiter);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  int fired = kWaitTimeout;
  for (;;) {
    {
      // Clear the poke before looking, so a Set() after the look is not lost.
      std::lock_guard lock(waiter->mutex);
      waiter->poked = false;
    }
    for (size_t i = 0; i < events.size(); ++i) {
      std::lock_guard lock(events[i]->mutex_);
      if (events[i]->TryConsumeLocked()) {
        fired = static_cast<int>(i);
        break;
      }
    }
    if (fired != kWaitTimeout) break;
    std::unique_lock lock(waiter->mutex);
    if (ms == kInfinite) {
      waiter->cv.wait(lock, [&] { return waiter->poked; });
    } else if (!waiter->cv.wait_until(lock, deadline, [&] { return waiter->poked; })) {
      break;
    }
  }
  for (Event* e : events) {
    std::lock_guard lock(e->mutex_);
    auto& w = e->waiters_;
    w.erase(std::remove(w.begin(), w.end(), waiter), w.end());
  }
  return fired;
}

}  // namespace platform
