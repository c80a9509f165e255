#pragma once
// A wait that spins briefly before it sleeps, but only where the waits have
// lately been short.
//
// Why: a thread that sleeps on a condition variable and is woken from
// another CPU pays for the wake-up, tens of microseconds on a virtual
// machine. A request over a fast link (the networked device on a near
// network) is over sooner than that, so sleeping for it costs more than the
// request itself. Spinning always would burn CPU while the program is idle
// or while the HID bridge takes its milliseconds per report; so a place
// spins only while its last wait was short, and each spin is bounded and
// gives the CPU away between looks. A place whose waits take milliseconds
// stops spinning after one spin and costs nothing more.
//
// The spin only looks; the blocking wait that follows a spin that ran out
// must check the condition again under its own lock, so a wake-up that
// comes between the two is not lost.

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

namespace platform {

class AdaptiveSpin {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;

  // Longest spin before the thread sleeps.
  static constexpr std::chrono::microseconds kSpinLimit{50};
  // A place spins while its last wait, spin and sleep together, ended within
  // this. It is longer than the spin because a sleep's measured time holds
  // the wake-up itself, which the spin would have spared: a wait that just
  // missed the spin on a busy machine does not turn spinning off.
  static constexpr std::chrono::microseconds kShortWait{200};

  // now: the time source (tests); the steady clock by default.
  explicit AdaptiveSpin(Now now = &Clock::now) : now_(std::move(now)) {}
  AdaptiveSpin(const AdaptiveSpin&) = delete;
  AdaptiveSpin& operator=(const AdaptiveSpin&) = delete;

  // Waits until ready() holds: first, while recent waits were short, looks
  // at ready() for at most kSpinLimit; then calls block() once, which must
  // wait for the condition itself, under its lock (it returns at once when
  // the spin saw the condition hold).
  template <class Ready, class Block>
  void Wait(Ready&& ready, Block&& block) {
    const Clock::time_point start = now_();
    if (spinning_.load(std::memory_order_relaxed)) {
      while (!ready() && now_() - start < kSpinLimit) Relax();
    }
    block();
    spinning_.store(now_() - start <= kShortWait, std::memory_order_relaxed);
  }

  // Whether the next Wait spins first.
  bool Spinning() const { return spinning_.load(std::memory_order_relaxed); }

 private:
  // One pause of the spin: a CPU hint, then the rest of the time slice to any
  // other thread that can run here (the one being waited for may be it).
  static void Relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
    std::this_thread::yield();
  }

  const Now now_;
  // Starts off: a place spins only after it has seen a short wait.
  std::atomic<bool> spinning_{false};
};

}  // namespace platform
