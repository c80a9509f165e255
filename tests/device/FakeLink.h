#pragma once
// A link that runs requests through a test-supplied function and notices
// overlapping execution, plus a guard that runs the process's dispatcher on
// it for one test.

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "device/link/HidRequest.h"
#include "device/link/Link.h"
#include "device/link/RequestQueue.h"

class FakeLink : public ILink {
 public:
  using Handler = std::function<uint32_t(CHidRequest&)>;

  explicit FakeLink(Handler handler = [](CHidRequest&) { return 1u; })
      : handler_(std::move(handler)) {}

  uint32_t ExecuteOnLink(CHidRequest& request) override {
    if (inFlight_.fetch_add(1) != 0) overlapped_ = true;
    {
      std::lock_guard lock(mutex_);
      tags_.push_back(request.tag);
    }
    const uint32_t result = handler_(request);
    inFlight_.fetch_sub(1);
    return result;
  }

  std::vector<uint32_t> Tags() const {
    std::lock_guard lock(mutex_);
    return tags_;
  }
  size_t Executed() const { return Tags().size(); }
  bool Overlapped() const { return overlapped_.load(); }

 private:
  Handler handler_;
  std::atomic<int> inFlight_{0};
  std::atomic<bool> overlapped_{false};
  mutable std::mutex mutex_;
  std::vector<uint32_t> tags_;
};

// Runs the dispatcher on a link for the guard's lifetime.
class DispatcherOn {
 public:
  explicit DispatcherOn(ILink& link) : link_(link) {
    started_ = GetRequestQueue().StartDispatcher(&link_);
  }
  ~DispatcherOn() { Stop(); }
  void Stop() { GetRequestQueue().StopDispatcher(&link_); }
  bool Started() const { return started_; }

 private:
  ILink& link_;
  bool started_ = false;
};
