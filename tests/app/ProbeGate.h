#pragma once
// A link that holds a connection probe in the middle and notes who used the
// device as each request ran, and a monitor wait that lets the test say when
// the probes come: for the tests of the device's sharing between the probe
// and the window's sends.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/ConnectionLinks.h"
#include "device/connection/ConnectionMonitor.h"
#include "device/link/HidDevice.h"
#include "device/link/HidRequest.h"
#include "device/link/Link.h"
#include "device/link/RequestQueue.h"
#include "platform/sync/Event.h"
#include "tests/app/WindowRig.h"

namespace probe_gate {

// Who was using the device as a request ran.
enum class User { None, Probe, Send, Both };

inline const char* NameOf(User u) {
  switch (u) {
    case User::None: return "none";
    case User::Probe: return "probe";
    case User::Send: return "send";
    case User::Both: return "both";
  }
  return "?";
}

// Requests pass to the bridge and are noted with who was using the device as
// they ran. The first request of a probe waits at a gate until the test
// opens it.
class ProbeGateLink : public ILink {
 public:
  ProbeGateLink(CHidDevice& device, ConnectionLinks& links) : device_(device), links_(links) {}

  uint32_t ExecuteOnLink(CHidRequest& request) override {
    if (links_.ProbeRunning() && !gated_.exchange(true)) {
      holding_ = true;
      held_.Set();
      open_.Wait(10000);
      holding_ = false;
    }
    // Noted after the gate: what runs beside the held request is what counts.
    const bool probing = links_.ProbeRunning();
    const bool sending = sending_ ? sending_(request) : sendUnderWay_.load();
    {
      std::lock_guard lock(mutex_);
      users_.push_back(probing && sending ? User::Both
                       : probing          ? User::Probe
                       : sending          ? User::Send
                                          : User::None);
    }
    return device_.ExecuteOnLink(request);
  }

  // The users in order, each run of one user told once, requests of nobody
  // left out.
  std::vector<std::string> Turns() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (User u : users_) {
      if (u == User::None) continue;
      if (out.empty() || out.back() != NameOf(u)) out.push_back(NameOf(u));
    }
    return out;
  }

  bool Holding() const { return holding_; }
  // Tells, on the request dispatcher, whether a request belongs to the send
  // (set before the link is selected); without it sendUnderWay_ does.
  void SetSendingTest(std::function<bool(const CHidRequest&)> sending) {
    sending_ = std::move(sending);
  }
  // Set while the send's waiting dialog stands: from the send's first
  // request to its last.
  std::atomic<bool> sendUnderWay_{false};
  platform::Event held_{true, false};
  platform::Event open_{true, false};

 private:
  CHidDevice& device_;
  ConnectionLinks& links_;
  std::function<bool(const CHidRequest&)> sending_;
  std::atomic<bool> gated_{false};
  std::atomic<bool> holding_{false};
  std::mutex mutex_;
  std::vector<User> users_;
};

// The monitor's waits: the start report at once, then a check when the test
// says go, another when it says resume, then none until the window closes.
struct MonitorScript {
  platform::Event atFirstCheck{true, false};
  platform::Event go{true, false};
  platform::Event resume{true, false};
  std::atomic<int> waits{0};

  ConnectionMonitor::WaitFn Fn() {
    return [this](const std::vector<platform::Event*>& events, uint32_t) {
      const int n = waits++;
      if (n == 0) return platform::kWaitTimeout;
      if (n == 1) atFirstCheck.Set();
      if (n == 1 || n == 2) {
        platform::Event* next = n == 1 ? &go : &resume;
        return platform::Event::WaitAny({events[0], next}) == 0 ? 0 : 1;
      }
      events[0]->Wait();
      return 0;
    };
  }
};

// The window with the scripted monitor; a test puts its gate in gate_.
class ProbeGateRig : public window_test::WindowRig {
 protected:
  void BeforeInitialize(CKestranaDlg& w) override { w.SetMonitorWait(script_.Fn()); }
  void TearDown() override {
    if (gate_) gate_->open_.Set();
    GetRequestQueue().SelectLink(nullptr);
    WindowRig::TearDown();
    gate_.reset();  // after the window: its dispatcher may still be in it
  }
  MonitorScript script_;
  std::unique_ptr<ProbeGateLink> gate_;
};

}  // namespace probe_gate
