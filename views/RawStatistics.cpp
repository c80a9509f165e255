#include "views/RawStatistics.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "views/ValueDecode.h"

namespace {

constexpr int32_t kNoMinimum = std::numeric_limits<int32_t>::max();

struct FailText {
  uint16_t bit;
  const char* text;
};
constexpr FailText kFailTexts[] = {
    {kFailMax, "\n  最大值超限"},
    {kFailMin, "\n  最小值超限"},
    {kFailUniformity, "\n  一致性超限"},
    {kFailAdjacent, "\n  相邻偏差超限"},
    {kFailOverallUniformity, "\n  整体一致性超限"},
    {kFailJitter, "\n  抖动超限"},
};

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// |v - u| x 100 / v, truncated toward 0; in 64 bits, as 32-bit values
// overflow it otherwise.
int32_t Deviation(int32_t v, int32_t u) { return Saturate(std::llabs(int64_t{v} - u) * 100 / v); }

}  // namespace

void RawFrameStack::Advance() {
  index_ = (index_ + 1) % kFrames;
  count_ = std::min(count_ + 1, kFrames);
}

void RawFrameStack::Reset() {
  index_ = 0;
  count_ = 0;
}

std::string NodeFailText(uint16_t flags) {
  std::string out;
  for (const FailText& t : kFailTexts) {
    if (flags & t.bit) out += t.text;
  }
  return out;
}

RawPanelStats ComputeRawStats(const RawFrameStack& stack, size_t framesBefore, int32_t rows,
                              int32_t cols, const int32_t* current, size_t count,
                              NodeArrays& nodes) {
  RawPanelStats s;
  framesBefore = std::min(framesBefore, RawFrameStack::kFrames);
  if (framesBefore == 0 || rows <= 0 || cols <= 0) return s;
  // A grid larger than the arrays keeps the whole columns that fit.
  const int32_t R = rows;
  const auto K =
      static_cast<int32_t>(std::min<int64_t>(cols, static_cast<int64_t>(NodeArrays::kNodes) / R));
  if (K == 0) return s;
  const size_t nodeCount = static_cast<size_t>(R) * static_cast<size_t>(K);

  std::fill_n(nodes.NodeFailFlags.begin(), nodeCount, uint16_t{0});
  s.overallMin = kNoMinimum;
  for (int32_t k = 0; k < K; ++k) {
    for (int32_t r = 0; r < R; ++r) {
      const size_t n = NodeIndex(R, r, k);
      int32_t nodeMax = 0;
      int32_t nodeMin = kNoMinimum;
      int32_t adjDev = 0;
      for (size_t f = 0; f < framesBefore; ++f) {
        const RawFrameStack::Frame& frame = stack.At(f);
        const int32_t v = frame[n];
        if (v == 0) continue;
        if (r < R - 1) {
          adjDev = std::max(adjDev, Deviation(v, frame[n + 1]));
          if (r > 0) adjDev = std::max(adjDev, Deviation(v, frame[n - 1]));
        }
        if (k < K - 1) {
          adjDev = std::max(adjDev, Deviation(v, frame[n + R]));
          if (k > 0) adjDev = std::max(adjDev, Deviation(v, frame[n - R]));
        }
        nodeMax = std::max(nodeMax, v);
        nodeMin = std::min(nodeMin, v);
      }
      nodes.NodeMax[n] = nodeMax;
      nodes.NodeMin[n] = nodeMin;
      nodes.NodeAdjDev[n] = adjDev;
      // Wrapping subtraction: signed 32-bit extremes must not overflow.
      nodes.NodeJitter[n] =
          static_cast<int32_t>(static_cast<uint32_t>(nodeMax) - static_cast<uint32_t>(nodeMin));
      s.overallMin = std::min(s.overallMin, nodeMin);
      s.overallMax = std::max(s.overallMax, nodeMax);
      uint16_t flags = 0;
      if (nodeMin < nodes.NodeMinLimit[n]) flags |= kFailMin;
      if (nodeMax > nodes.NodeMaxLimit[n]) flags |= kFailMax;
      if (adjDev > nodes.NodeAdjDevLimit[n]) flags |= kFailAdjacent;
      nodes.NodeFailFlags[n] = flags;
      s.maxJitter = std::max(s.maxJitter, nodes.NodeJitter[n]);
      s.maxAdjDev = std::max(s.maxAdjDev, adjDev);
    }
  }

  if (s.overallMax != 0) {
    s.attenuation = Saturate(100 - int64_t{s.overallMin} * 100 / s.overallMax);
  }
  const size_t values = std::min(count, nodeCount);
  int64_t sum = 0;
  for (size_t i = 0; i < values; ++i) sum += current[i];
  const int64_t average = values == 0 ? 0 : sum / static_cast<int64_t>(values);
  s.average = static_cast<int32_t>(average);
  int64_t uniformity = 0;
  for (size_t i = 0; i < values; ++i) {
    const int64_t v = current[i];
    if (v == 0) continue;
    uniformity = std::max<int64_t>(uniformity, std::llabs(v - average) * 100 / v);
  }
  s.uniformity = Saturate(uniformity);
  return s;
}

RawFrameResult AddRawFrame(RawFrameStack& stack, NodeArrays& nodes, const uint8_t* bytes,
                           size_t byteCount, const DataFormat& format) {
  RawFrameResult result;
  result.slot = stack.Index();
  RawFrameStack::Frame& frame = stack.At(result.slot);
  const FrameRequestSize planned = PlanFrameRequest(DataKind::Raw, format);
  result.count = DecodeFrame(bytes, byteCount, format, planned.nodes, frame.data(), frame.size());
  result.stats = ComputeRawStats(stack, stack.Count(), format.rows, format.cols, frame.data(),
                                 result.count, nodes);
  stack.Advance();
  return result;
}

RawFrameStack& GetRawFrameStack() {
  static RawFrameStack stack;
  return stack;
}

NodeArrays& GetNodeArrays() {
  static NodeArrays arrays;
  return arrays;
}

std::mutex& NodeArraysMutex() {
  static std::mutex mutex;
  return mutex;
}
