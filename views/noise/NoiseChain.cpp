#include "views/noise/NoiseChain.h"

#include <utility>

#include "device/ChipGlobals.h"
#include "device/link/HidRequest.h"
#include "device/link/RegisterOps.h"
#include "device/link/RequestQueue.h"

std::shared_ptr<NoiseChain> NoiseChain::Create(Sink sink, ILogSink* log) {
  return std::shared_ptr<NoiseChain>(new NoiseChain(std::move(sink), log));
}

NoiseChain::NoiseChain(Sink sink, ILogSink* log) : sink_(std::move(sink)), log_(log) {}

void NoiseChain::SetPausePredicate(PausePredicate paused) {
  std::lock_guard lock(pauseMutex_);
  pausePredicate_ = std::move(paused);
}

void NoiseChain::Start(uint16_t address) {
  address_ = address;
  dead_ = false;
  paused_ = false;
  const uint32_t generation = generation_.fetch_add(1) + 1;
  stopped_ = false;
  Push(generation);
}

void NoiseChain::Stop() {
  stopped_ = true;
  paused_ = false;
  generation_.fetch_add(1);  // a read still in flight is no longer current
}

void NoiseChain::ResumeIfPaused() {
  if (!paused_.load() || stopped_.load()) return;
  {
    std::lock_guard lock(pauseMutex_);
    if (pausePredicate_ && pausePredicate_()) return;
  }
  Start(address_.load());
}

void NoiseChain::Push(uint32_t generation) {
  if (stopped_.load() || !Current(generation)) return;
  {
    std::lock_guard lock(pauseMutex_);
    if (pausePredicate_ && pausePredicate_()) {
      paused_ = true;
      return;
    }
  }
  CHidDevice* device = g_pBridgeDevice.load();
  if (device == nullptr) {
    dead_ = true;
    return;
  }
  const unsigned slot = (slot_.fetch_add(1) + 1) & (kRingSlots - 1);
  std::weak_ptr<NoiseChain> weak = weak_from_this();
  auto ring = ring_;
  auto request = CHidRequest::Make(
      HidOpRead, address_.load(), ring->frames[slot].data(), kNoiseFrameBytes, BridgeCmdAsyncRead,
      kReadTimeoutMs, [weak, ring, slot](CHidRequest& done) {
        if (auto self = weak.lock()) self->OnCompleted(done, slot);
      });
  request->tag = generation;
  ++requests_;
  GetRequestQueue().PushBack(std::move(request));
}

void NoiseChain::OnCompleted(CHidRequest& request, unsigned slot) {
  if (stopped_.load() || !Current(request.tag)) return;  // a retired chain ends here
  if (request.result != 1) {
    dead_ = true;
    if (log_ != nullptr) log_->AddLog("[Noise] 读取噪声数据失败，噪声数据流已停止", LOG_ERROR);
    return;
  }
  std::vector<uint8_t> frame(ring_->frames[slot].begin(), ring_->frames[slot].end());
  Push(request.tag);
  if (sink_) sink_(std::move(frame));
}
