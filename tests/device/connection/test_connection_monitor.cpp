#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "device/connection/ConnectionMonitor.h"
#include "device/connection/ProbeExclusion.h"
#include "tests/device/ConnectionTestUtil.h"

namespace {

// Stands in for the waits of the monitor: a signalled event is reported at
// once; otherwise the wait "times out" without sleeping, up to a number of
// time-outs, after which it reports the stop event. Every wait's time-out
// and event count is recorded.
class ScriptedWaits {
 public:
  explicit ScriptedWaits(int timeouts) : timeoutsLeft_(timeouts) {}

  ConnectionMonitor::WaitFn Fn() {
    return [this](const std::vector<platform::Event*>& events, uint32_t ms) {
      std::lock_guard lock(mutex_);
      waits_.push_back(ms);
      if (beforeWait_) beforeWait_(waits_.size());
      const int fired = platform::Event::WaitAny(events, 0);
      if (fired != platform::kWaitTimeout) return fired;
      if (timeoutsLeft_-- > 0) return platform::kWaitTimeout;
      done_.set_value();
      return 0;  // the stop event
    };
  }
  // Blocks until the script has run out (generous bound: a real thread runs it).
  bool WaitDone() {
    return done_.get_future().wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  }
  std::vector<uint32_t> Waits() {
    std::lock_guard lock(mutex_);
    return waits_;
  }
  // Called with the number of the wait about to happen.
  std::function<void(size_t)> beforeWait_;

 private:
  std::mutex mutex_;
  int timeoutsLeft_;
  std::vector<uint32_t> waits_;
  std::promise<void> done_;
};

struct FakeDevice {
  std::string bridgeVersion = "Kestrana SimBridge V1.10";
  int identify = 1;
  int probes = 0;
  ConnectionOps Ops() {
    ConnectionOps ops;
    ops.bridgeVersion = [this] { return bridgeVersion; };
    ops.identifyChip = [this] { return identify; };
    ops.chipNameVersion = [] { return std::string("RO9110V_1060"); };
    ops.probe = [this] {
      ++probes;
      ConnectionProbe p;
      p.probed = true;
      p.bridgeText = bridgeVersion;
      return p;
    };
    return ops;
  }
};

TEST(ConnectionMonitor, StartReportTable) {
  struct Case {
    const char* name;
    std::string bridgeVersion;
    int identify;
    ViewActions expected;
  } cases[] = {
      {"no bridge", "", 1, {ViewAction::Log("USB未连接", LOG_ERROR)}},
      {"bridge and listed chip",
       "V1",
       1,
       {ViewAction::Log("IIC已连接", LOG_OK),
        ViewAction::Lamp(Indicator::TouchIc, LampColour::Green),
        ViewAction::LampText(Indicator::TouchIc, "RO9110V_1060")}},
      {"bridge without a listed chip",
       "V1",
       0,
       {ViewAction::Log("USB已连接", LOG_OK), ViewAction::Log("IIC未连接", LOG_ERROR)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevice device{c.bridgeVersion, c.identify};
    RecordingView view;
    ScriptedWaits waits(1);  // the start delay only
    view.check_ = [](const ConnectionProbe&) { return 0; };
    ConnectionMonitor monitor(view, device.Ops(), nullptr, waits.Fn());
    monitor.Start();
    ASSERT_TRUE(waits.WaitDone());
    monitor.Stop();
    EXPECT_EQ(c.expected, view.Actions());
  }
}

TEST(ConnectionMonitor, IntervalFollowsTheLastAnswer) {
  FakeDevice device;
  RecordingView view;
  const std::vector<int> answers = {1, 1, 0, 0, 1};
  size_t next = 0;
  view.check_ = [&](const ConnectionProbe&) { return answers[next++]; };
  // Start delay, then four time-outs after the first (triggered) check.
  ScriptedWaits waits(1 + 4);
  ConnectionMonitor monitor(view, device.Ops(), nullptr, waits.Fn());
  monitor.Start();
  ASSERT_TRUE(waits.WaitDone());
  monitor.Stop();
  // The first check needs no time-out: the trigger starts out signalled.
  EXPECT_EQ((std::vector<uint32_t>{1000, 1000, 500, 500, 1000, 1000, 500}), waits.Waits());
  EXPECT_EQ(answers.size(), view.Probes().size());
}

// A burn or a test (mayProbe false) and a configuration send (holding the
// exclusion once the start report is done) both keep the periodic probe off
// the device; the status check still runs and learns that nothing was probed.
TEST(ConnectionMonitor, LeavesTheDeviceAloneWhileBusyOrHeld) {
  struct Case {
    const char* name;
    bool mayProbe;
    bool held;
  } cases[] = {{"busy", false, false}, {"held by a send", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevice device;
    RecordingView view;
    view.check_ = [](const ConnectionProbe&) { return 1; };
    ProbeExclusion exclusion;
    ScriptedWaits waits(1 + 1);
    waits.beforeWait_ = [&](size_t n) {
      if (n == 2 && c.held) exclusion.Hold();
    };
    const bool mayProbe = c.mayProbe;
    ConnectionMonitor monitor(
        view, device.Ops(), [mayProbe] { return mayProbe; }, waits.Fn(), &exclusion);
    monitor.Start();
    ASSERT_TRUE(waits.WaitDone());
    monitor.Stop();
    EXPECT_EQ(0, device.probes);
    const auto probes = view.Probes();
    ASSERT_EQ(2u, probes.size());
    EXPECT_FALSE(probes[0].probed);
    EXPECT_FALSE(exclusion.ProbeRunning());
  }
}

// The start report is no periodic probe that may be skipped: while a send
// holds the device it waits, and it comes once the send lets go.
TEST(ConnectionMonitor, TheStartReportWaitsForASendToLetGo) {
  FakeDevice device;
  RecordingView view;
  ProbeExclusion exclusion;
  exclusion.Hold();
  platform::Event waitingForRelease{true, false};
  platform::Event reported{true, false};
  std::atomic<int> calls{0};
  ConnectionMonitor::WaitFn wait = [&](const std::vector<platform::Event*>& events,
                                       uint32_t ms) {
    const int n = calls++;
    if (n == 0) return platform::kWaitTimeout;  // the start delay
    if (ms == platform::kInfinite) {
      waitingForRelease.Set();
      return platform::Event::WaitAny(events);
    }
    reported.Set();  // the first periodic wait follows the report
    events[0]->Wait();
    return 0;
  };
  ConnectionMonitor monitor(view, device.Ops(), nullptr, wait, &exclusion);
  monitor.Start();
  ASSERT_TRUE(waitingForRelease.Wait(10000));
  EXPECT_TRUE(view.Actions().empty());
  EXPECT_EQ(0, exclusion.Release());
  ASSERT_TRUE(reported.Wait(10000));
  monitor.Stop();
  EXPECT_EQ(view.Actions(), (ViewActions{ViewAction::Log("IIC已连接", LOG_OK),
                                         ViewAction::Lamp(Indicator::TouchIc, LampColour::Green),
                                         ViewAction::LampText(Indicator::TouchIc, "RO9110V_1060")}));
}

TEST(ConnectionMonitor, CheckNowEndsTheWaitEarly) {
  FakeDevice device;
  RecordingView view;
  view.check_ = [](const ConnectionProbe&) { return 0; };
  ConnectionMonitor* monitorPtr = nullptr;
  ScriptedWaits waits(1);
  // Before the third wait (after the first check) someone asks for a check:
  // the wait returns at once instead of timing out.
  waits.beforeWait_ = [&](size_t n) {
    if (n == 3) monitorPtr->CheckNow();
  };
  ConnectionMonitor monitor(view, device.Ops(), nullptr, waits.Fn());
  monitorPtr = &monitor;
  monitor.Start();
  ASSERT_TRUE(waits.WaitDone());
  monitor.Stop();
  EXPECT_EQ(2u, view.Probes().size());
  EXPECT_EQ((std::vector<uint32_t>{1000, 1000, 1000, 1000}), waits.Waits());
}

TEST(ConnectionMonitor, StopEndsTheRealWaitAtOnce) {
  FakeDevice device;
  RecordingView view;
  ConnectionMonitor monitor(view, device.Ops(), nullptr);
  monitor.Start();
  monitor.Stop();  // the worker is in (or before) its start delay
  monitor.Stop();
  EXPECT_TRUE(view.Actions().empty());
  EXPECT_TRUE(view.Probes().empty());
}

}  // namespace
