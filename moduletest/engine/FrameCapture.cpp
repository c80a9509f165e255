#include "moduletest/engine/FrameCapture.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/link/HidRequest.h"
#include "device/link/RegisterOps.h"
#include "device/link/RequestQueue.h"
#include "moduletest/engine/ChipAccess.h"
#include "views/RawStatistics.h"
#include "views/ValueDecode.h"

namespace {

constexpr int32_t kLowest = std::numeric_limits<int32_t>::min();
constexpr int32_t kHighest = std::numeric_limits<int32_t>::max();

// Waits until the chip announces a frame (its ready flag rises), bounded by
// the deadline. The bridge's frame read alone would read a frame that was
// never announced once its own polls give up.
bool WaitForReadyFlag(IRunClock& clock, int64_t deadline) {
  const uint16_t flag = g_wSyncFlagAddr.load();
  for (int polls = 1;; ++polls) {
    const auto value = ReadChipReg8Checked(flag);
    if (value && *value != 0) return true;
    if (g_pBridgeDevice.load() == nullptr || clock.NowMs() >= deadline) return false;
    if (polls % kFlagPollBurst == 0) clock.SleepMs(kFlagPollPauseMs);
  }
}

// One flag-polled read of the frame. The buffer belongs to the request's
// callback, so a read that outlives the wait never writes into anything
// that is gone or reused.
bool ReadOneFrame(const DataFormat& raw, size_t bytes, uint32_t frame, uint32_t waitMs,
                  std::vector<uint8_t>& out) {
  auto buffer = std::make_shared<std::vector<uint8_t>>(bytes);
  auto request =
      CHidRequest::Make(HidOpRead, raw.address, buffer->data(), static_cast<uint32_t>(bytes),
                        BridgeCmdFrameRead, kFrameReadTimeoutMs, [buffer](CHidRequest&) {});
  request->flagAddress = g_wSyncFlagAddr.load();
  request->tag = frame;
  if (!PushAndWait(request, waitMs)) return false;
  out = *buffer;
  return true;
}

// Decodes frame f into its stack slot and folds it into the node extremes.
FrameStat StoreFrame(const DataFormat& raw, size_t nodes, const std::vector<uint8_t>& bytes,
                     size_t f) {
  std::lock_guard lock(NodeArraysMutex());
  RawFrameStack::Frame& slot = GetRawFrameStack().At(f);
  NodeArrays& arrays = GetNodeArrays();
  const size_t decoded =
      DecodeFrame(bytes.data(), bytes.size(), raw, nodes, slot.data(), slot.size());
  FrameStat stat{kLowest, kHighest, 0};
  int64_t sum = 0;
  for (size_t k = 0; k < decoded; ++k) {
    const int32_t v = slot[k];
    stat.max = std::max(stat.max, v);
    stat.min = std::min(stat.min, v);
    arrays.NodeMax[k] = std::max(arrays.NodeMax[k], v);
    arrays.NodeMin[k] = std::min(arrays.NodeMin[k], v);
    sum += v;
  }
  stat.avg = decoded == 0 ? 0 : static_cast<int32_t>(sum / static_cast<int64_t>(decoded));
  return stat;
}

void FinishJitter(size_t nodes) {
  std::lock_guard lock(NodeArraysMutex());
  NodeArrays& arrays = GetNodeArrays();
  for (size_t k = 0; k < nodes; ++k) {
    arrays.NodeJitter[k] = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{arrays.NodeMax[k]} - arrays.NodeMin[k], kLowest, kHighest));
  }
}

}  // namespace

void ClearCaptureArrays() {
  std::lock_guard lock(NodeArraysMutex());
  RawFrameStack& stack = GetRawFrameStack();
  stack.Reset();
  for (size_t f = 0; f < RawFrameStack::kFrames; ++f) stack.At(f).fill(0);
  NodeArrays& arrays = GetNodeArrays();
  arrays.NodeMax.fill(0);
  arrays.NodeMin.fill(0);
  arrays.NodeJitter.fill(0);
  arrays.NodeAdjDev.fill(0);
  arrays.NodeFailFlags.fill(0);
}

CaptureOutcome CaptureRawFrames(const DataFormat& raw, IRunClock& clock,
                                const std::function<void()>& onFrame) {
  CaptureOutcome outcome;
  outcome.formatError = CheckFormat(DataKind::Raw, raw);
  if (!outcome.formatError.empty()) {
    outcome.status = CaptureStatus::BadFormat;
    return outcome;
  }
  const size_t nodes = raw.NodeCount();
  const size_t bytes = nodes * raw.UnitBytes();
  {
    std::lock_guard lock(NodeArraysMutex());
    NodeArrays& arrays = GetNodeArrays();
    std::fill_n(arrays.NodeMax.begin(), nodes, kLowest);
    std::fill_n(arrays.NodeMin.begin(), nodes, kHighest);
  }

  for (int i = 0; i < kFlagClearWrites; ++i) {
    WriteChipReg8(g_pBridgeDevice.load(), g_wSyncFlagAddr.load(), 0);
  }
  StartDataStream(1);

  const int64_t deadline = clock.NowMs() + kCaptureLimitMs;
  std::vector<uint8_t> frameBytes;
  size_t captured = 0;
  while (captured < kCapturedFrames && g_pBridgeDevice.load() != nullptr) {
    const int64_t left = deadline - clock.NowMs();
    if (left <= 0) break;
    const auto waitMs = static_cast<uint32_t>(std::min<int64_t>(left, kCaptureLimitMs));
    if (!WaitForReadyFlag(clock, deadline)) break;
    if (!ReadOneFrame(raw, bytes, static_cast<uint32_t>(captured), waitMs, frameBytes)) {
      clock.SleepMs(kFrameRetryPauseMs);
      continue;
    }
    // The next frame only after the flag is down again.
    WriteChipReg8(g_pBridgeDevice.load(), g_wSyncFlagAddr.load(), 0);
    outcome.stats[captured] = StoreFrame(raw, nodes, frameBytes, captured);
    ++captured;
    if (onFrame) onFrame();
  }
  StopDataStream();

  if (captured == kCapturedFrames) {
    FinishJitter(nodes);
    outcome.status = CaptureStatus::Captured;
  }
  return outcome;
}
