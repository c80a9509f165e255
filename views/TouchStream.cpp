#include "views/TouchStream.h"

#include <algorithm>

#include "device/ChipGlobals.h"
#include "device/link/HidRequest.h"
#include "device/link/RegisterOps.h"
#include "device/link/RequestQueue.h"
#include "views/StylusValues.h"

namespace {
constexpr uint32_t kGenerationMask = 0x7FFFFFFF;
}  // namespace

TouchStream::TouchStream(HandOff handOff) : handOff_(std::move(handOff)) {}

std::shared_ptr<TouchStream> TouchStream::Create(HandOff handOff) {
  return std::shared_ptr<TouchStream>(new TouchStream(std::move(handOff)));
}

void TouchStream::Start() {
  const uint32_t generation = (generation_.fetch_add(1) + 1) & kGenerationMask;
  stopped_ = false;
  RequestReport(generation);
}

void TouchStream::Stop() {
  stopped_ = true;
  generation_.fetch_add(1);  // a read still in flight is no longer current
}

bool TouchStream::Current(uint32_t generation) const {
  return (generation_.load() & kGenerationMask) == generation;
}

void TouchStream::OnCompletedWeak(const std::weak_ptr<TouchStream>& weak, CHidRequest& request,
                                  unsigned slot) {
  if (auto self = weak.lock()) self->OnCompleted(request, slot);
}

void TouchStream::RequestReport(uint32_t generation) {
  if (stopped_ || !Current(generation)) return;
  if (g_pBridgeDevice.load() == nullptr) {
    stopped_ = true;
    return;
  }
  const unsigned slot = (slot_.fetch_add(1) + 1) & (kRingSlots - 1);
  const uint16_t flag = g_wSyncFlagAddr.load();
  std::weak_ptr<TouchStream> weak = weak_from_this();
  auto buffers = buffers_;
  auto request = CHidRequest::Make(
      HidOpRead, flag, buffers->reports[slot].data(), kTouchReportBytes, BridgeCmdFrameRead,
      kReadTimeoutMs, [weak, buffers, slot](CHidRequest& r) { OnCompletedWeak(weak, r, slot); });
  request->flagAddress = flag;
  request->tag = TagOf(generation, false);
  GetRequestQueue().PushBack(std::move(request));
}

void TouchStream::RequestStylus(uint32_t generation, unsigned slot) {
  const DataFormat& stylus = held_.formats.Of(DataKind::Stylus);
  const uint32_t length = StylusReadLength(held_.formats.stylusLength, kStylusSlotBytes);
  std::weak_ptr<TouchStream> weak = weak_from_this();
  auto buffers = buffers_;
  auto request = CHidRequest::Make(
      HidOpRead, stylus.address, buffers->stylus[slot].data(), length, BridgeCmdAsyncRead,
      kReadTimeoutMs, [weak, buffers, slot](CHidRequest& r) { OnCompletedWeak(weak, r, slot); });
  request->tag = TagOf(generation, true);
  GetRequestQueue().PushBack(std::move(request));
}

void TouchStream::OnCompleted(CHidRequest& request, unsigned slot) {
  const uint32_t generation = request.tag >> 1;
  const bool penRead = (request.tag & 1) != 0;
  if (!Current(generation)) return;  // a chain from before the last Start ends here
  if (request.result != 1) {
    stopped_ = true;
    if (ILogSink* log = log_.load()) log->AddLog("触控演示：读取坐标失败，数据流已停止", LOG_ERROR);
    return;
  }

  TouchFrame frame;
  if (penRead) {
    frame = std::move(held_);
    frame.hasStylus = true;
    frame.stylus.assign(
        buffers_->stylus[slot].begin(),
        buffers_->stylus[slot].begin() + std::min<uint32_t>(request.length, kStylusSlotBytes));
  } else {
    std::copy_n(buffers_->reports[slot].begin(), kTouchReportBytes, frame.report.begin());
    frame.formats = GetDataFormatStore().Snapshot().set;
    frame.stylusRowOffset = StylusRowProfileOffset(GetChipName());
    if (activePen_) {
      if (stopped_) return;
      held_ = std::move(frame);
      RequestStylus(generation, slot);
      return;
    }
  }

  // The hand-off (up to 100 ms while the picture is still being drawn) comes
  // before the next read, so the demo reads at the pace it can draw.
  ClearSyncFlagAsync();
  if (handOff_) handOff_(std::move(frame));
  RequestReport(generation);
}
