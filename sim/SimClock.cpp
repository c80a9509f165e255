#include "sim/SimClock.h"

#include <thread>

namespace sim {

SimClock::SimClock(Kind kind) : kind_(kind), origin_(std::chrono::steady_clock::now()) {}

std::shared_ptr<SimClock> SimClock::MakeVirtual() {
  return std::make_shared<SimClock>(Kind::Virtual);
}

std::shared_ptr<SimClock> SimClock::MakeReal() { return std::make_shared<SimClock>(Kind::Real); }

int64_t SimClock::NowUs() const {
  if (kind_ == Kind::Virtual) return virtualNowUs_.load();
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               origin_)
      .count();
}

void SimClock::JumpTo(int64_t us) {
  int64_t now = virtualNowUs_.load();
  while (now < us && !virtualNowUs_.compare_exchange_weak(now, us)) {
  }
}

void SimClock::AdvanceUs(int64_t us) {
  if (us <= 0) return;
  if (kind_ == Kind::Virtual) {
    virtualNowUs_.fetch_add(us);
  } else {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
  }
}

void SimClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                         int64_t deadlineUs) {
  if (deadlineUs == kForever) {
    cv.wait(lock);
    return;
  }
  if (kind_ == Kind::Virtual) {
    JumpTo(deadlineUs);
    return;
  }
  cv.wait_until(lock, origin_ + std::chrono::microseconds(deadlineUs));
}

int64_t SimClock::DeadlineAfterMs(uint32_t ms) const {
  if (ms == 0xFFFFFFFFu) return kForever;
  return NowUs() + static_cast<int64_t>(ms) * 1000;
}

}  // namespace sim
