// The two data tests and their verdict rule on crafted frames.

#include <gtest/gtest.h>

#include <memory>

#include "moduletest/engine/DataTests.h"

namespace {

struct Frames {
  std::unique_ptr<RawFrameStack> stack = std::make_unique<RawFrameStack>();
  std::unique_ptr<NodeArrays> nodes = std::make_unique<NodeArrays>();

  // Every node of every frame at value.
  Frames(int32_t rows, int32_t cols, int32_t value) {
    for (size_t f = 0; f < RawFrameStack::kFrames; ++f) {
      std::fill_n(stack->At(f).begin(), rows * cols, value);
    }
    nodes->NodeMaxLimit.fill(3500);
    nodes->NodeMinLimit.fill(1000);
    nodes->NodeAdjDevLimit.fill(40);
  }
};

TEST(DataTests, ShareBoundsOfTheVerdict) {
  EXPECT_EQ(TEST_PASS, JudgeShare(0));
  EXPECT_EQ(TEST_PASS, JudgeShare(10));
  EXPECT_EQ(TEST_UNDECIDED, JudgeShare(11));
  EXPECT_EQ(TEST_UNDECIDED, JudgeShare(89));
  EXPECT_EQ(TEST_FAIL, JudgeShare(90));
}

TEST(DataTests, MaxMinShareCountsReadingsOverAllNodes) {
  struct Case {
    int readings;  // spread over nodes and frames
    int share;
  };
  for (const Case c : {Case{0, 0}, Case{1, 6}, Case{2, 12}, Case{14, 87}, Case{15, 93},
                       Case{16, 100}, Case{32, 200}}) {
    Frames f(3, 4, 2000);
    for (int i = 0; i < c.readings; ++i) {
      // Alternately over the maximum and under the minimum, on several nodes.
      f.stack->At(static_cast<size_t>(i % 16))[static_cast<size_t>(i / 16)] =
          i % 2 == 0 ? 3501 : 999;
    }
    EXPECT_EQ(c.share, MaxMinShare(*f.stack, 3, 4, *f.nodes)) << c.readings;
  }
}

TEST(DataTests, ReadingsOnTheLimitsPass) {
  Frames f(2, 2, 3500);
  f.stack->At(3)[1] = 1000;
  EXPECT_EQ(0, MaxMinShare(*f.stack, 2, 2, *f.nodes));
}

TEST(DataTests, AdjacentShareIsTheWorstNodes) {
  Frames f(3, 3, 2000);
  // Node (1,1) at 1000 in four frames: 50 % from each neighbour.
  for (size_t frame = 0; frame < 4; ++frame) f.stack->At(frame)[4] = 1000;
  EXPECT_EQ(25, AdjacentShare(*f.stack, 3, 3, *f.nodes));
  EXPECT_EQ(100, f.nodes->NodeAdjDev[4]);  // |1000 - 2000| x 100 / 1000
  EXPECT_EQ(50, f.nodes->NodeAdjDev[1]);   // a neighbour: 1000 x 100 / 2000
  EXPECT_NE(0, f.nodes->NodeFailFlags[4] & kFailAdjacent);
}

TEST(DataTests, AdjacentZeroAllowanceFailsEveryFrame) {
  {
    Frames f(2, 2, 2000);
    f.nodes->NodeAdjDevLimit[3] = 0;
    EXPECT_EQ(100, AdjacentShare(*f.stack, 2, 2, *f.nodes));
  }
  {
    Frames f(2, 2, 2000);
    for (size_t frame = 0; frame < 16; ++frame) f.stack->At(frame)[0] = 0;
    EXPECT_EQ(100, AdjacentShare(*f.stack, 2, 2, *f.nodes));
    EXPECT_EQ(0, f.nodes->NodeAdjDev[0]);  // no division by zero
  }
}

TEST(DataTests, AdjacentDifferenceEqualToTheAllowanceFails) {
  Frames f(1, 2, 1000);
  // d0 = 40 x 1000 / 100 = 400; the neighbour 400 away fails.
  f.stack->At(0)[1] = 1400;
  // Node 1's own allowance is 560 > 400: it passes; node 0 fails one frame.
  EXPECT_EQ(6, AdjacentShare(*f.stack, 1, 2, *f.nodes));
}

TEST(DataTests, SingleNodeHasNoNeighbours) {
  Frames f(1, 1, 2000);
  EXPECT_EQ(0, AdjacentShare(*f.stack, 1, 1, *f.nodes));
}

TEST(DataTests, NoWrapBetweenColumns) {
  // The last row of column 0 and the first row of column 1 are not neighbours.
  Frames f(2, 2, 2000);
  for (size_t frame = 0; frame < 16; ++frame) {
    f.stack->At(frame)[1] = 2000;  // (1,0)
    f.stack->At(frame)[2] = 3000;  // (0,1): 50 % from (0,0), not compared with (1,0) via k+1
    f.stack->At(frame)[3] = 3000;  // (1,1)
  }
  AdjacentShare(*f.stack, 2, 2, *f.nodes);
  EXPECT_EQ(50, f.nodes->NodeAdjDev[1]);  // against (1,1) only
}

TEST(DataTests, LargeValuesDoNotOverflow) {
  Frames f(1, 2, 2000000000);
  f.nodes->NodeAdjDevLimit.fill(100);
  f.stack->At(0)[1] = -2000000000;
  EXPECT_EQ(6, AdjacentShare(*f.stack, 1, 2, *f.nodes));
  EXPECT_EQ(200, f.nodes->NodeAdjDev[0]);
}

TEST(DataTests, GeometryBeyondTheArraysIsNotJudged) {
  Frames f(1, 1, 0);
  EXPECT_EQ(0, MaxMinShare(*f.stack, 100, 100, *f.nodes));
  EXPECT_EQ(0, AdjacentShare(*f.stack, 0, 5, *f.nodes));
}

}  // namespace
