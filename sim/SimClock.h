#pragma once
// The simulator's notion of time, in microseconds since the clock was made.
//
// Virtual: time moves only when the simulator waits (a Read with nothing due
// jumps to the next report's due time or to its time-out) or when a test calls
// Advance(); nothing ever really sleeps, so tests are fast and deterministic.
// Real: steady_clock time; waits really wait (benchmarks, the demo mode).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>

namespace sim {

class SimClock {
 public:
  enum class Kind { Virtual, Real };

  // A deadline that never comes.
  static constexpr int64_t kForever = std::numeric_limits<int64_t>::max();

  explicit SimClock(Kind kind);
  static std::shared_ptr<SimClock> MakeVirtual();
  static std::shared_ptr<SimClock> MakeReal();

  bool IsVirtual() const { return kind_ == Kind::Virtual; }

  int64_t NowUs() const;
  int64_t NowMs() const { return NowUs() / 1000; }

  // Models time passing between requests: a virtual clock moves forward at
  // once; a real clock sleeps.
  void Advance(uint32_t ms) { AdvanceUs(static_cast<int64_t>(ms) * 1000); }
  void AdvanceUs(int64_t us);

  // For the simulator, which holds `lock` (the mutex that `cv` is used with):
  // waits until deadlineUs or until cv is notified, whichever comes first;
  // callers re-check their state and loop. A virtual clock does not wait for a
  // finite deadline: it jumps there (never backwards) and returns. For kForever
  // both kinds block on cv until notified.
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                 int64_t deadlineUs);

  // Deadline helper: now + ms, or kForever for the "no limit" time-out.
  int64_t DeadlineAfterMs(uint32_t ms) const;

 private:
  void JumpTo(int64_t us);

  const Kind kind_;
  const std::chrono::steady_clock::time_point origin_;
  std::atomic<int64_t> virtualNowUs_{0};
};

}  // namespace sim
