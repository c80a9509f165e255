#include "views/widgets/noise/NoiseDrawWorker.h"

#include <utility>

NoiseDrawWorker::NoiseDrawWorker(std::shared_ptr<NoiseRenderer> renderer)
    : renderer_(std::move(renderer)) {
  mailbox_.Quit();  // no thread yet
}

NoiseDrawWorker::~NoiseDrawWorker() { Stop(); }

void NoiseDrawWorker::Start() {
  if (thread_.joinable()) return;
  finished_.Reset();
  {
    std::lock_guard lock(countMutex_);
    stopping_ = false;
  }
  mailbox_.Reopen();
  // The thread keeps the worker alive, so letting it go at Stop is safe.
  thread_ = std::thread([self = shared_from_this()] { self->Run(); });
}

void NoiseDrawWorker::Stop() {
  if (!thread_.joinable()) return;
  mailbox_.Quit();
  {
    std::lock_guard lock(countMutex_);
    stopping_ = true;
  }
  countCv_.notify_all();
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
    return;
  }
  if (finished_.Wait(kJoinLimitMs)) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

bool NoiseDrawWorker::OfferNoise(std::vector<uint8_t> frame) {
  return mailbox_.Offer(NoisePayload(std::move(frame)), std::chrono::milliseconds(0));
}

bool NoiseDrawWorker::OfferAdjust(AdjustFrame frame) {
  return mailbox_.Offer(NoisePayload(std::move(frame)));
}

void NoiseDrawWorker::SetCallbacks(Callbacks callbacks) {
  std::lock_guard lock(callbacksMutex_);
  callbacks_ = std::move(callbacks);
}

uint64_t NoiseDrawWorker::FramesDrawn() const {
  std::lock_guard lock(countMutex_);
  return drawn_;
}

bool NoiseDrawWorker::WaitForFramesDrawn(uint64_t n, uint32_t limitMs) const {
  std::unique_lock lock(countMutex_);
  return countCv_.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return drawn_ >= n; });
}

uint64_t NoiseDrawWorker::AdjustFramesDrawn() const {
  std::lock_guard lock(countMutex_);
  return adjustDrawn_;
}

bool NoiseDrawWorker::WaitForAdjustFramesDrawn(uint64_t n, uint32_t limitMs) const {
  std::unique_lock lock(countMutex_);
  countCv_.wait_for(lock, std::chrono::milliseconds(limitMs),
                    [&] { return adjustDrawn_ >= n || stopping_; });
  return adjustDrawn_ >= n;
}

void NoiseDrawWorker::Draw(NoisePayload& payload) {
  std::optional<NoiseMarkers> markers;
  std::optional<std::array<int, 11>> values;
  if (auto* noise = std::get_if<std::vector<uint8_t>>(&payload)) {
    markers = renderer_->DrawNoise(*noise, average_.load());
  } else {
    values = renderer_->DrawAdjust(std::get<AdjustFrame>(payload), refFreq_.load());
  }
  {
    std::lock_guard lock(callbacksMutex_);
    if (markers && callbacks_.markers) callbacks_.markers(*markers);
    if (values && callbacks_.adjustDone) callbacks_.adjustDone(*values);
    if (callbacks_.pictureChanged) callbacks_.pictureChanged();
  }
  // Counted after the callbacks, so a waiter knows their hand-overs are queued.
  {
    std::lock_guard lock(countMutex_);
    ++drawn_;
    if (values) ++adjustDrawn_;
  }
  countCv_.notify_all();
}

void NoiseDrawWorker::Run() {
  for (;;) {
    const auto wake = mailbox_.Wait();
    if (wake == HandOffMailbox<NoisePayload>::Wake::Quit) break;
    if (wake == HandOffMailbox<NoisePayload>::Wake::Frame) {
      if (std::optional<NoisePayload> payload = mailbox_.TakeFrame()) Draw(*payload);
      mailbox_.MarkDone();
    } else {
      // The redraw request is consumed by the wait itself.
      renderer_->RedrawMarkers();
      std::lock_guard lock(callbacksMutex_);
      if (callbacks_.pictureChanged) callbacks_.pictureChanged();
    }
  }
  finished_.Set();
}
