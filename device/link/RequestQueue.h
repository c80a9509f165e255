#pragma once
// The one process-wide request queue and its dispatcher thread. Requests run
// strictly one at a time in push order on the link selected at that moment.
// Every pushed request completes exactly once (result, callback, event); with
// no dispatcher it completes at once with result 0 and no traffic.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "device/link/HidRequest.h"
#include "platform/sync/AdaptiveSpin.h"

class ILink;

class CRequestQueue {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // How long a stopping dispatcher keeps doing I/O for requests that keep
  // arriving (self-renewing frame chains); after that they complete with 0.
  static constexpr std::chrono::milliseconds kStopGrace{2000};

  CRequestQueue();
  ~CRequestQueue();
  CRequestQueue(const CRequestQueue&) = delete;
  CRequestQueue& operator=(const CRequestQueue&) = delete;

  // Appends a request (the queue takes its own lock). Without a running
  // dispatcher the request completes at once, on the calling thread, with
  // result 0. Safe to call from completion callbacks.
  void PushBack(std::shared_ptr<CHidRequest> request);

  // Starts the dispatcher with hidLink as the default link. false (and
  // nothing changes) when a dispatcher is already running.
  bool StartDispatcher(ILink* hidLink);
  // Stops the dispatcher started with hidLink: queued requests still run
  // (those pushed meanwhile too) until the queue is empty; once stop has been
  // asked for longer than kStopGrace, the rest complete with 0 without I/O.
  // Returns when the thread has ended. Does nothing for another link.
  void StopDispatcher(ILink* hidLink);
  bool HasDispatcher() const;

  // Routes the following requests to link (nullptr: the default HID link).
  // Returns once no request is running on the old link, so the old link may
  // be torn down afterwards; a chain that keeps the queue full cannot hold it
  // off, since the next request already takes the new link. From a
  // completion callback it takes effect for the next request.
  void SelectLink(ILink* link);
  // When link is the selected one, routes the following requests to the
  // default HID link without waiting for the whole queue; then waits, at
  // most grace, for a request still running on link. true when none runs on
  // it any more (always on the dispatcher thread), false when one still does.
  bool DeselectLink(ILink* link, std::chrono::milliseconds grace);
  // The explicitly selected link, nullptr when the default HID link is used.
  ILink* SelectedLink() const;

  // true on the dispatcher thread (in a completion callback).
  bool OnDispatcherThread() const;

  // true while no request is being executed.
  bool IsIdle() const;
  size_t Count() const;

  // Time source of the stop grace period (tests); nullptr restores the
  // steady clock.
  void SetClock(Clock clock);

  // Waits for a pushed request to complete, without limit unless ms is
  // given; true when its result is 1 within the wait.
  bool WaitForCompletion(CHidRequest& request, uint32_t ms);

 private:
  void Run();
  // Dispatcher thread, lock held: returns (lock held) once a request is
  // queued or stop was asked for.
  void WaitForWork(std::unique_lock<std::mutex>& lock);
  std::chrono::steady_clock::time_point Now() const;
  static void CompleteWithoutTransfer(const std::shared_ptr<CHidRequest>& request);

  mutable std::mutex mutex_;
  std::condition_variable wake_;    // a request arrived or stop was asked for
  std::condition_variable idleCv_;  // a request finished
  std::deque<std::shared_ptr<CHidRequest>> requests_;
  ILink* hidLink_ = nullptr;
  ILink* selected_ = nullptr;
  bool accepting_ = false;  // a dispatcher will take pushed requests
  bool running_ = false;    // a request is being executed
  ILink* runningLink_ = nullptr;  // the link it runs on
  uint64_t finished_ = 0;         // requests completed by the dispatcher
  bool stopRequested_ = false;
  std::chrono::steady_clock::time_point stopTime_{};
  Clock clock_;
  std::thread::id dispatcherId_{};
  // Bumped under the lock by every push and stop, so that the dispatcher's
  // spin can look for news without taking the lock.
  std::atomic<uint64_t> news_{0};
  // A caller that reads register after register pushes its next request a
  // few microseconds after the last one completed, and a fast link completes
  // a request within microseconds: both waits spin briefly while they are
  // that short (see AdaptiveSpin), which spares the two cross-CPU wake-ups
  // (caller -> dispatcher, dispatcher -> caller) that would otherwise cost
  // more than the request.
  platform::AdaptiveSpin nextRequestSpin_;  // dispatcher thread only
  platform::AdaptiveSpin completionSpin_;   // every waiting caller
  std::jthread thread_;
};

// The single queue, created on first use (thread-safe).
CRequestQueue& GetRequestQueue();

// Pushes the request and waits for its completion, without limit unless ms
// is given; true when its result is 1 within the wait. On the dispatcher
// thread (a completion callback) the wait could never end, so the request
// completes at once with 0 instead. A request that outlasts a limited wait
// stays with the queue and completes later on its own.
bool PushAndWait(const std::shared_ptr<CHidRequest>& request, uint32_t ms = platform::kInfinite);
