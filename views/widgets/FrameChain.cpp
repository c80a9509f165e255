#include "views/widgets/FrameChain.h"

#include <string>
#include <utility>

#include "device/ChipGlobals.h"
#include "device/link/HidRequest.h"
#include "device/link/RegisterOps.h"
#include "device/link/RequestQueue.h"
#include "views/DataFormatStore.h"
#include "views/FrameRing.h"

std::shared_ptr<FrameChain> FrameChain::Create(DataKind kind, DataFormatStore& store, ILogSink* log,
                                               Sink sink) {
  return std::shared_ptr<FrameChain>(new FrameChain(kind, store, log, std::move(sink)));
}

FrameChain::FrameChain(DataKind kind, DataFormatStore& store, ILogSink* log, Sink sink)
    : kind_(kind), store_(store), log_(log), sink_(std::move(sink)) {}

void FrameChain::SetStopped(bool stopped) {
  std::lock_guard lock(stateMutex_);
  if (stopped) generation_.fetch_add(1);
  stopped_.store(stopped);
}

void FrameChain::RequestFrame() {
  uint32_t generation = 0;
  {
    std::lock_guard lock(stateMutex_);
    if (stopped_.load()) return;
    generation = generation_.fetch_add(1) + 1;
  }
  Push(generation);
}

void FrameChain::StopGeneration(uint32_t generation, const char* why) {
  {
    std::lock_guard lock(stateMutex_);
    if (stopped_.load() || generation != generation_.load()) return;
    stopped_.store(true);
  }
  if (log_ != nullptr) {
    log_->AddLog(std::string(DataKindCaption(kind_)) + "：" + why + "，数据流已停止", LOG_ERROR);
  }
}

void FrameChain::Push(uint32_t generation) {
  if (g_pBridgeDevice.load() == nullptr) {
    // Nothing can be read: the page must not look as if it streamed.
    StopGeneration(generation, "未连接设备");
    return;
  }
  const DataFormat format = store_.Format(kind_);
  const FrameRequestSize size = PlanFrameRequest(kind_, format);
  if (size.bytes == 0) {
    StopGeneration(generation, "数据格式不构成数据帧");
    return;
  }
  const unsigned slot = slot_.fetch_add(1) + 1;
  // The format travels with the bytes: a format changed after the request
  // must not change how this frame is decoded.
  auto request = CHidRequest::Make(
      HidOpRead, format.address, GetFrameRing().Slot(slot), static_cast<uint32_t>(size.bytes),
      BridgeCmdFrameRead, kReadTimeoutMs, [weak = weak_from_this(), format](CHidRequest& done) {
        if (auto self = weak.lock()) self->OnCompleted(done, format);
      });
  request->flagAddress = g_wSyncFlagAddr.load();
  request->tag = generation;
  GetRequestQueue().PushBack(std::move(request));
}

void FrameChain::OnCompleted(CHidRequest& request, const DataFormat& format) {
  if (stopped_.load() || request.tag != generation_.load()) return;  // a retired chain ends here
  if (request.result != 1) {
    StopGeneration(request.tag, "读取数据帧失败");
    return;
  }
  FramePayload payload;
  payload.bytes.assign(request.buffer, request.buffer + request.length);
  payload.format = format;
  payload.chain = request.tag;
  ClearSyncFlagAsync();
  // The next read is queued before this frame is drawn.
  Push(request.tag);
  if (sink_) sink_(std::move(payload));
}
