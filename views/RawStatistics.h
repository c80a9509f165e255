#pragma once
// The last 16 decoded raw frames and the per-node statistics over them, shared
// by the raw view, the module test and the sampling tools. The shared
// instances are guarded by NodeArraysMutex(); the functions work on whatever
// instances they are given and take no lock themselves.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>

#include "views/DataFormat.h"

class RawFrameStack {
 public:
  static constexpr size_t kFrames = 16;
  static constexpr size_t kNodes = kMaxRawNodes;
  using Frame = std::array<int32_t, kNodes>;

  Frame& At(size_t slot) { return frames_[slot % kFrames]; }
  const Frame& At(size_t slot) const { return frames_[slot % kFrames]; }

  // The slot the next frame goes into, and how many frames are stacked (0..16).
  size_t Index() const { return index_; }
  size_t Count() const { return count_; }
  // After a frame was stored at Index(): the next slot, one more frame
  // (at most 16).
  void Advance();
  // Forgets the stacked frames (a new stream, or a frame of another geometry).
  void Reset();

 private:
  std::array<Frame, kFrames> frames_{};
  size_t index_ = 0;
  size_t count_ = 0;
};

// NodeFailFlags bits.
enum NodeFailBit : uint16_t {
  kFailMax = 0x01,         // maximum over limit
  kFailMin = 0x02,         // minimum under limit
  kFailUniformity = 0x04,  // uniformity over limit
  kFailAdjacent = 0x08,    // adjacent deviation over limit
  kFailOverallUniformity = 0x10,
  kFailJitter = 0x20,
};

// The text of each set bit in bit order, each starting "\n  "
// ("\n  最大值超限\n  相邻偏差超限"); "" when none is set.
std::string NodeFailText(uint16_t flags);

// Per-node arrays indexed by node index (column x rows + row).
struct NodeArrays {
  static constexpr size_t kNodes = kMaxRawNodes;
  std::array<int32_t, kNodes> NodeMax{};
  std::array<int32_t, kNodes> NodeMin{};
  std::array<int32_t, kNodes> NodeJitter{};
  std::array<int32_t, kNodes> NodeAdjDev{};  // percent
  std::array<uint16_t, kNodes> NodeFailFlags{};
  // Limits from the test settings or the node thresholds. Until those are
  // loaded nothing is limited: zero limits would mark every node as failing.
  std::array<int32_t, kNodes> NodeMaxLimit = Filled(std::numeric_limits<int32_t>::max());
  std::array<int32_t, kNodes> NodeMinLimit = Filled(std::numeric_limits<int32_t>::min());
  std::array<int32_t, kNodes> NodeAdjDevLimit = Filled(std::numeric_limits<int32_t>::max());

 private:
  static constexpr std::array<int32_t, kNodes> Filled(int32_t value) {
    std::array<int32_t, kNodes> a{};
    a.fill(value);
    return a;
  }
};

// Whole-panel figures of the raw view.
struct RawPanelStats {
  int32_t overallMax = 0;
  int32_t overallMin = 0;
  int32_t attenuation = 0;  // percent
  int32_t maxJitter = 0;
  int32_t maxAdjDev = 0;   // percent
  int32_t uniformity = 0;  // percent
  int32_t average = 0;     // of the current frame
  bool operator==(const RawPanelStats&) const = default;
};

// The raw view's statistics. `framesBefore` frames of the stack (slots
// 0..framesBefore-1) are examined; `current` holds the `count` values of the
// frame just decoded (its average and uniformity). With framesBefore = 0
// everything is 0 and the node arrays are untouched.
//
// Per node: maximum and minimum over the frames, skipping 0 values (a node
// that is 0 in every frame keeps maximum 0 and minimum 0x7FFFFFFF); jitter =
// maximum - minimum; adjacent deviation = the largest |v - u| x 100 / v
// (truncated) against the next row and, except on the first row, the
// previous row, and likewise against the next and previous column; the last
// row and the last column have no comparison in their direction. Fail flags
// kFailMin, kFailMax and kFailAdjacent are set against the limits; the others
// are cleared. rows x cols beyond the arrays are cut to them.
RawPanelStats ComputeRawStats(const RawFrameStack& stack, size_t framesBefore, int32_t rows,
                              int32_t cols, const int32_t* current, size_t count,
                              NodeArrays& nodes);

// One raw frame arriving: decodes `byteCount` bytes of `format` into the
// stack's current slot, computes the statistics over the frames stacked
// before it, and advances the stack. The caller draws frame `slot`.
struct RawFrameResult {
  size_t slot = 0;   // where the frame was stored
  size_t count = 0;  // values decoded
  RawPanelStats stats;
};
RawFrameResult AddRawFrame(RawFrameStack& stack, NodeArrays& nodes, const uint8_t* bytes,
                           size_t byteCount, const DataFormat& format);

// The program's shared stack and node arrays, and the lock every user holds
// while reading or writing them.
RawFrameStack& GetRawFrameStack();
NodeArrays& GetNodeArrays();
std::mutex& NodeArraysMutex();
