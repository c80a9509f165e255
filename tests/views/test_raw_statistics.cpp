#include "views/RawStatistics.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "views/FrameRing.h"

namespace {

constexpr int32_t kNoMin = INT32_MAX;

struct Buffers {
  std::unique_ptr<RawFrameStack> stack = std::make_unique<RawFrameStack>();
  std::unique_ptr<NodeArrays> nodes = std::make_unique<NodeArrays>();
};

// Values by node index (column after column, 3 rows each).
void Put(RawFrameStack& stack, size_t slot, const std::vector<int32_t>& values) {
  std::copy(values.begin(), values.end(), stack.At(slot).begin());
}

// A 3 x 3 grid, two stacked frames; every expected figure below is worked
// out by hand from the neighbour rule (next row, previous row unless on the
// first, next column, previous column unless on the first; no comparison in
// a direction from the last row or column; zeros skipped).
TEST(ComputeRawStats, HandComputedThreeByThreeStack) {
  Buffers b;
  // Node values by index: column 0 (three rows), then column 1, then column 2.
  Put(*b.stack, 0, {100, 110, 0, 120, 100, 90, 100, 100, 100});
  Put(*b.stack, 1, {104, 110, 0, 120, 50, 90, 100, 100, 100});
  const std::vector<int32_t> current = {100, 100, 0, 100, 80, 100, 100, 100, 100};
  b.nodes->NodeFailFlags.fill(0xFFFF);  // stale flags must go
  b.nodes->NodeMinLimit.fill(60);
  b.nodes->NodeMaxLimit.fill(115);
  b.nodes->NodeAdjDevLimit.fill(99);

  const RawPanelStats s =
      ComputeRawStats(*b.stack, 2, 3, 3, current.data(), current.size(), *b.nodes);

  struct Node {
    int32_t max, min, jitter, adjDev;
    uint16_t flags;
  };
  const Node expected[9] = {
      {104, 100, 4, 20, 0},                          // r0 k0: vs 110 and 120
      {110, 110, 0, 100, kFailAdjacent},             // r1 k0: vs the zero below
      {0, kNoMin, 0 - kNoMin, 0, 0},                 // r2 k0: zero in every frame
      {120, 120, 0, 58, kFailMax},                   // r0 k1: 70 x 100 / 120
      {100, 50, 50, 140, kFailMin | kFailAdjacent},  // r1 k1: 70 x 100 / 50
      {90, 90, 0, 100, kFailAdjacent},               // r2 k1: last row, vs the zero on the left
      {100, 100, 0, 0, 0},                           // r0 k2
      {100, 100, 0, 0, 0},                           // r1 k2: last column
      {100, 100, 0, 0, 0},                           // r2 k2: no comparison at all
  };
  for (size_t n = 0; n < 9; ++n) {
    EXPECT_EQ(b.nodes->NodeMax[n], expected[n].max) << "node " << n;
    EXPECT_EQ(b.nodes->NodeMin[n], expected[n].min) << "node " << n;
    EXPECT_EQ(b.nodes->NodeJitter[n], expected[n].jitter) << "node " << n;
    EXPECT_EQ(b.nodes->NodeAdjDev[n], expected[n].adjDev) << "node " << n;
    EXPECT_EQ(b.nodes->NodeFailFlags[n], expected[n].flags) << "node " << n;
  }
  EXPECT_EQ(b.nodes->NodeFailFlags[9], 0xFFFF) << "nodes beyond the grid are left alone";

  RawPanelStats want;
  want.overallMax = 120;
  want.overallMin = 50;
  want.attenuation = 59;  // 100 - 5000 / 120
  want.maxJitter = 50;
  want.maxAdjDev = 140;
  want.average = 86;     // 780 / 9
  want.uniformity = 14;  // |100 - 86| x 100 / 100
  EXPECT_EQ(s, want);
}

// Before any limits are loaded the same stack has the same figures but no
// node fails: a limit nobody set cannot be exceeded.
TEST(ComputeRawStats, NoLimitsLoadedMarksNoNode) {
  Buffers b;
  Put(*b.stack, 0, {100, 110, 0, 120, 100, 90, 100, 100, 100});
  Put(*b.stack, 1, {104, 110, 0, 120, 50, 90, 100, 100, 100});
  const std::vector<int32_t> current = {100, 100, 0, 100, 80, 100, 100, 100, 100};

  const RawPanelStats s =
      ComputeRawStats(*b.stack, 2, 3, 3, current.data(), current.size(), *b.nodes);

  EXPECT_EQ(s.maxAdjDev, 140);
  for (size_t n = 0; n < 9; ++n) EXPECT_EQ(b.nodes->NodeFailFlags[n], 0) << "node " << n;
}

TEST(ComputeRawStats, NothingBeforeTheSecondFrame) {
  Buffers b;
  Put(*b.stack, 0, {5, 6, 7, 8});
  b.nodes->NodeMax.fill(-9);
  const std::vector<int32_t> current = {5, 6, 7, 8};
  EXPECT_EQ(ComputeRawStats(*b.stack, 0, 2, 2, current.data(), 4, *b.nodes), RawPanelStats{});
  EXPECT_EQ(b.nodes->NodeMax[0], -9) << "node arrays untouched";
}

TEST(ComputeRawStats, ThirtyTwoBitExtremesDoNotOverflow) {
  Buffers b;
  Put(*b.stack, 0, {INT32_MAX, 1, INT32_MIN, -1});
  const std::vector<int32_t> current = {INT32_MAX, 1, INT32_MIN, -1};
  const RawPanelStats s = ComputeRawStats(*b.stack, 1, 2, 2, current.data(), 4, *b.nodes);
  // Node 1 (r1 k0, last row): vs column 1 row 1 (-1): |1 - -1| x 100 / 1.
  EXPECT_EQ(b.nodes->NodeAdjDev[1], 200);
  // Node 0: vs 1 gives 99 (truncated), vs INT32_MIN (2^32 - 1) x 100 / MAX = 200.
  EXPECT_EQ(b.nodes->NodeAdjDev[0], 200);
  EXPECT_EQ(b.nodes->NodeJitter[2], static_cast<int32_t>(0u - static_cast<uint32_t>(INT32_MIN)));
  EXPECT_EQ(s.overallMax, INT32_MAX);
  EXPECT_EQ(s.overallMin, INT32_MIN);
  EXPECT_EQ(s.average, 0);  // (MAX + 1 + MIN - 1) / 4 in 64 bits
}

TEST(AddRawFrame, StackWrapsAfterSixteenFramesAndStatsCoverTheFramesBefore) {
  Buffers b;
  DataFormat f = DefaultFormat(DataKind::Raw);  // 16-bit little-endian unsigned
  f.rows = 1;
  f.cols = 2;
  std::vector<RawFrameResult> results;
  std::vector<int32_t> jitter;  // of node 0 after each frame
  for (int i = 1; i <= 17; ++i) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(i), 0, static_cast<uint8_t>(100 + i), 0};
    results.push_back(AddRawFrame(*b.stack, *b.nodes, bytes, sizeof bytes, f));
    jitter.push_back(b.nodes->NodeJitter[0]);
  }
  EXPECT_EQ(results[0].stats, RawPanelStats{}) << "first frame: no statistics";
  EXPECT_EQ(results[0].slot, 0u);
  EXPECT_EQ(results[0].count, 2u);
  // Frame 16 sees frames 1..15.
  EXPECT_EQ(results[15].slot, 15u);
  EXPECT_EQ(results[15].stats.overallMax, 115);
  EXPECT_EQ(results[15].stats.overallMin, 1);
  EXPECT_EQ(jitter[15], 15 - 1);
  // Frame 17 replaced frame 1 in slot 0; all 16 slots count now.
  EXPECT_EQ(results[16].slot, 0u);
  EXPECT_EQ(results[16].stats.overallMax, 117);
  EXPECT_EQ(results[16].stats.overallMin, 2);
  EXPECT_EQ(jitter[16], 17 - 2);
  EXPECT_EQ(b.stack->Count(), 16u);
  EXPECT_EQ(b.stack->Index(), 1u);
  EXPECT_EQ(b.stack->At(0)[1], 117);

  b.stack->Reset();
  EXPECT_EQ(b.stack->Count(), 0u);
  EXPECT_EQ(b.stack->Index(), 0u);
}

TEST(AddRawFrame, ShortFramesAndOversizedFormatsStayInsideTheStack) {
  Buffers b;
  DataFormat f = DefaultFormat(DataKind::Raw);
  const uint8_t three[3] = {7, 0, 9};  // one whole 16-bit value
  EXPECT_EQ(AddRawFrame(*b.stack, *b.nodes, three, sizeof three, f).count, 1u);

  f.unit = 0;
  f.rows = 100;
  f.cols = 100;  // 10000 values announced, the stack holds 3520
  std::vector<uint8_t> big(FrameRing::kSlotBytes, 1);
  EXPECT_EQ(AddRawFrame(*b.stack, *b.nodes, big.data(), big.size(), f).count, 3520u);
}

TEST(NodeFailText, BitsInOrder) {
  EXPECT_EQ(NodeFailText(0), "");
  EXPECT_EQ(NodeFailText(kFailAdjacent | kFailMax), "\n  最大值超限\n  相邻偏差超限");
  EXPECT_EQ(
      NodeFailText(0x3F),
      "\n  最大值超限\n  最小值超限\n  一致性超限\n  相邻偏差超限\n  整体一致性超限\n  抖动超限");
  EXPECT_EQ(NodeFailText(0x40), "") << "unknown bits have no text";
}

TEST(FrameRing, NextSlotWrapsAfterFifteenAndSlotsDoNotOverlap) {
  EXPECT_EQ(FrameRing::NextSlot(0), 1u);
  EXPECT_EQ(FrameRing::NextSlot(14), 15u);
  EXPECT_EQ(FrameRing::NextSlot(15), 0u);
  auto ring = std::make_unique<FrameRing>();
  for (unsigned s = 0; s < FrameRing::kSlots; ++s) {
    std::fill_n(ring->Slot(s), FrameRing::kSlotBytes, static_cast<uint8_t>(s));
  }
  for (unsigned s = 0; s < FrameRing::kSlots; ++s) {
    EXPECT_EQ(ring->Slot(s)[0], s);
    EXPECT_EQ(ring->Slot(s)[FrameRing::kSlotBytes - 1], s);
  }
  EXPECT_EQ(ring->Slot(16), ring->Slot(0)) << "slot numbers wrap";
}

}  // namespace
