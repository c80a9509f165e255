#include "device/link/RequestQueue.h"

#include <utility>

#include "device/link/Link.h"

CRequestQueue::CRequestQueue() = default;

CRequestQueue::~CRequestQueue() {
  ILink* link = nullptr;
  {
    std::lock_guard lock(mutex_);
    link = hidLink_;
  }
  if (link != nullptr) StopDispatcher(link);
}

void CRequestQueue::CompleteWithoutTransfer(const std::shared_ptr<CHidRequest>& request) {
  request->Complete(0);
}

void CRequestQueue::PushBack(std::shared_ptr<CHidRequest> request) {
  if (!request) return;
  {
    std::lock_guard lock(mutex_);
    if (accepting_) {
      requests_.push_back(std::move(request));
      news_.fetch_add(1, std::memory_order_release);
      wake_.notify_one();
      return;
    }
  }
  CompleteWithoutTransfer(request);
}

bool CRequestQueue::StartDispatcher(ILink* hidLink) {
  std::unique_lock lock(mutex_);
  if (hidLink == nullptr || hidLink_ != nullptr) return false;
  hidLink_ = hidLink;
  selected_ = nullptr;
  accepting_ = true;
  stopRequested_ = false;
  thread_ = std::jthread([this] { Run(); });
  dispatcherId_ = thread_.get_id();
  return true;
}

void CRequestQueue::StopDispatcher(ILink* hidLink) {
  std::jthread finished;
  {
    std::lock_guard lock(mutex_);
    if (hidLink == nullptr || hidLink != hidLink_ || stopRequested_) return;
    stopRequested_ = true;
    stopTime_ = Now();
    news_.fetch_add(1, std::memory_order_release);
    wake_.notify_all();
    finished = std::move(thread_);
  }
  finished.join();
  std::lock_guard lock(mutex_);
  hidLink_ = nullptr;
  selected_ = nullptr;
  stopRequested_ = false;
  dispatcherId_ = {};
}

bool CRequestQueue::HasDispatcher() const {
  std::lock_guard lock(mutex_);
  return accepting_;
}

void CRequestQueue::SelectLink(ILink* link) {
  std::unique_lock lock(mutex_);
  ILink* const old = selected_ != nullptr ? selected_ : hidLink_;
  const bool same = (link != nullptr ? link : hidLink_) == old;
  selected_ = link;
  if (std::this_thread::get_id() == dispatcherId_) return;
  // The next request already takes the new link (or, for the same link, one
  // completion is enough), so this ends with the request now running even
  // while a chain keeps the queue full.
  const uint64_t finished = finished_;
  idleCv_.wait(lock, [&] {
    return !running_ || (same ? finished_ != finished : runningLink_ != old);
  });
}

bool CRequestQueue::DeselectLink(ILink* link, std::chrono::milliseconds grace) {
  std::unique_lock lock(mutex_);
  if (selected_ == link) selected_ = nullptr;
  if (std::this_thread::get_id() == dispatcherId_) return true;
  return idleCv_.wait_for(lock, grace, [&] { return !running_ || runningLink_ != link; });
}

ILink* CRequestQueue::SelectedLink() const {
  std::lock_guard lock(mutex_);
  return selected_;
}

bool CRequestQueue::OnDispatcherThread() const {
  std::lock_guard lock(mutex_);
  return dispatcherId_ != std::thread::id() && std::this_thread::get_id() == dispatcherId_;
}

bool CRequestQueue::IsIdle() const {
  std::lock_guard lock(mutex_);
  return !running_;
}

size_t CRequestQueue::Count() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

void CRequestQueue::SetClock(Clock clock) {
  std::lock_guard lock(mutex_);
  clock_ = std::move(clock);
}

std::chrono::steady_clock::time_point CRequestQueue::Now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void CRequestQueue::WaitForWork(std::unique_lock<std::mutex>& lock) {
  const auto hasWork = [&] { return !requests_.empty() || stopRequested_; };
  if (hasWork()) return;
  const uint64_t seen = news_.load(std::memory_order_relaxed);
  lock.unlock();
  nextRequestSpin_.Wait([&] { return news_.load(std::memory_order_acquire) != seen; },
                        [&] {
                          lock.lock();
                          wake_.wait(lock, hasWork);
                        });
}

void CRequestQueue::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    WaitForWork(lock);
    if (requests_.empty()) {
      // Stop asked for, nothing queued, nothing running: later pushes
      // complete at once with 0.
      accepting_ = false;
      return;
    }
    std::shared_ptr<CHidRequest> request = std::move(requests_.front());
    requests_.pop_front();
    ILink* link = selected_ != nullptr ? selected_ : hidLink_;
    const bool graceOver = stopRequested_ && Now() - stopTime_ > kStopGrace;
    running_ = true;
    runningLink_ = link;
    lock.unlock();

    uint32_t result = 0;
    if (!graceOver && link != nullptr && request->IsTransferable()) {
      result = link->ExecuteOnLink(*request);
    }
    request->Complete(result);
    // Dropping our reference releases asynchronous requests here, after their
    // callback; synchronous callers hold their own.
    request.reset();

    lock.lock();
    running_ = false;
    runningLink_ = nullptr;
    ++finished_;
    idleCv_.notify_all();
  }
}

CRequestQueue& GetRequestQueue() {
  static CRequestQueue queue;
  return queue;
}

bool PushAndWait(const std::shared_ptr<CHidRequest>& request, uint32_t ms) {
  CRequestQueue& queue = GetRequestQueue();
  if (queue.OnDispatcherThread()) {
    request->Complete(0);
  } else {
    queue.PushBack(request);
  }
  return queue.WaitForCompletion(*request, ms);
}

bool CRequestQueue::WaitForCompletion(CHidRequest& request, uint32_t ms) {
  bool done = false;
  completionSpin_.Wait([&] { return request.event.IsSet(); },
                       [&] {
                         done = ms == platform::kInfinite
                                    ? request.WaitDone()
                                    : request.event.Wait(ms) && request.result == 1;
                       });
  return done;
}
