#pragma once
// Win32-style event objects: manual- or auto-reset, with a wait on one event
// and a wait on the first of several. Used by every worker that hands work
// between threads (request completion, stop signals, frame hand-off).

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// Wait time-out meaning "no limit".
inline constexpr uint32_t kInfinite = 0xFFFFFFFF;
// WaitAny result when nothing fired before the time-out.
inline constexpr int kWaitTimeout = -1;

class Event {
 public:
  // manualReset: stays signalled until Reset(); otherwise one successful wait
  // consumes the signal.
  explicit Event(bool manualReset = true, bool initiallySignalled = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // true when the event was signalled within ms milliseconds (kInfinite: no limit).
  bool Wait(uint32_t ms = kInfinite);
  // Non-consuming look at the state (tests, "is stop requested" checks).
  bool IsSet() const;

  // Waits for the first of the events to be signalled; returns its index, or
  // kWaitTimeout. When several are signalled the lowest index wins, as with
  // WaitForMultipleObjects. An auto-reset event that is reported is consumed.
  static int WaitAny(const std::vector<Event*>& events, uint32_t ms = kInfinite);

 private:
  struct Waiter;
  bool TryConsumeLocked();

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool manualReset_;
  bool signalled_;
  std::vector<std::shared_ptr<Waiter>> waiters_;
};

}  // namespace platform
