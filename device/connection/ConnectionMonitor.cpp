#include "device/connection/ConnectionMonitor.h"

#include <utility>

ConnectionMonitor::ConnectionMonitor(IConnectionView& view, ConnectionOps ops,
                                     std::function<bool()> mayProbe, WaitFn wait,
                                     ProbeExclusion* exclusion)
    : view_(view),
      ops_(std::move(ops)),
      mayProbe_(std::move(mayProbe)),
      wait_(std::move(wait)),
      exclusion_(exclusion != nullptr ? *exclusion : ownExclusion_) {}

ConnectionMonitor::~ConnectionMonitor() { Stop(); }

void ConnectionMonitor::Start() {
  std::lock_guard lock(threadMutex_);
  if (thread_.joinable() || stop_.IsSet()) return;
  thread_ = std::jthread([this] { Run(); });
}

void ConnectionMonitor::CheckNow() { trigger_.Set(); }

void ConnectionMonitor::Stop() {
  stop_.Set();
  std::lock_guard lock(threadMutex_);
  if (thread_.joinable()) thread_.join();
}

bool ConnectionMonitor::StopRequestedDuring(uint32_t ms) { return wait_({&stop_}, ms) == 0; }

void ConnectionMonitor::ReportStart() {
  if (ops_.bridgeVersion().empty()) {
    view_.AddLog(kTextUsbNotConnected, LOG_ERROR);
    return;
  }
  if (ops_.identifyChip() == 1) {
    view_.AddLog(kTextIicConnected, LOG_OK);
    view_.SetLamp(Indicator::TouchIc, LampColour::Green);
    view_.SetLampText(Indicator::TouchIc, ops_.chipNameVersion());
  } else {
    view_.AddLog(kTextUsbConnected, LOG_OK);
    view_.AddLog(kTextIicNotConnected, LOG_ERROR);
  }
}

bool ConnectionMonitor::BeginUnskippableProbe() {
  while (!exclusion_.TryBeginProbe()) {
    if (wait_({&stop_, &exclusion_.Released()}, platform::kInfinite) == 0) return false;
  }
  return true;
}

void ConnectionMonitor::Run() {
  if (StopRequestedDuring(kStartDelayMs)) return;
  if (!BeginUnskippableProbe()) return;
  ReportStart();
  exclusion_.EndProbe();
  uint32_t interval = kSlowCheckMs;
  // Stop comes first so that it wins over a pending trigger.
  const std::vector<platform::Event*> events = {&stop_, &trigger_};
  for (;;) {
    const int fired = wait_(events, interval);
    if (fired == 0) return;
    if (fired != 1 && fired != platform::kWaitTimeout) continue;
    ConnectionProbe probe;
    if (exclusion_.TryBeginProbe()) {
      if (!mayProbe_ || mayProbe_()) probe = ops_.probe();
      exclusion_.EndProbe();
    }
    interval = view_.CheckConnectionStatus(probe) != 0 ? kFastCheckMs : kSlowCheckMs;
  }
}
