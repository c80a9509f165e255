#pragma once
// The connection monitor: a worker that reports the state of the two links
// once at start, then keeps the connection display current by probing the
// device and handing each probe to the window's status check. After a check
// that found a link missing the next one comes after 500 ms, otherwise after
// 1000 ms; CheckNow() brings the next one forward.

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "device/connection/ConnectionStatus.h"
#include "device/connection/ConnectionView.h"
#include "device/connection/ProbeExclusion.h"
#include "platform/sync/Event.h"

class ConnectionMonitor {
 public:
  static constexpr uint32_t kStartDelayMs = 1000;
  static constexpr uint32_t kSlowCheckMs = 1000;
  static constexpr uint32_t kFastCheckMs = 500;

  // Waits for the first signalled event (lowest index wins) or the time-out;
  // returns its index or platform::kWaitTimeout. Tests put in a virtual clock.
  using WaitFn = std::function<int(const std::vector<platform::Event*>&, uint32_t ms)>;

  // mayProbe: false while a burn or a test owns the device; the periodic probe
  // then leaves the device alone. exclusion (optional, outlives the monitor):
  // while a configuration send holds it the periodic probe leaves the device
  // alone too, and the start report waits for the send to end.
  ConnectionMonitor(IConnectionView& view, ConnectionOps ops, std::function<bool()> mayProbe,
                    WaitFn wait = &platform::Event::WaitAny,
                    ProbeExclusion* exclusion = nullptr);
  // Stops the worker.
  ~ConnectionMonitor();
  ConnectionMonitor(const ConnectionMonitor&) = delete;
  ConnectionMonitor& operator=(const ConnectionMonitor&) = delete;

  // Starts the worker once; later calls do nothing.
  void Start();
  // Asks for a check now instead of at the end of the current interval.
  void CheckNow();
  // Ends the worker and joins it. Returns once the step in progress is done:
  // a device request (each has its own time-out) or the window's status
  // check (which gives up when the program closes). Idempotent.
  void Stop();

 private:
  void Run();
  void ReportStart();
  // Waits until no send holds the device, then starts the probe: false when
  // the monitor must end.
  bool BeginUnskippableProbe();
  // A wait that ends early on Stop(): true when the monitor must end.
  bool StopRequestedDuring(uint32_t ms);

  IConnectionView& view_;
  const ConnectionOps ops_;
  const std::function<bool()> mayProbe_;
  const WaitFn wait_;
  ProbeExclusion ownExclusion_;
  ProbeExclusion& exclusion_;
  platform::Event stop_{true, false};
  // Auto-reset and initially set: the first check follows the start report
  // at once.
  platform::Event trigger_{false, true};
  std::mutex threadMutex_;
  std::jthread thread_;
};
