#pragma once
// The two data tests over the 16 captured frames and their common verdict
// rule. Pure functions over the stack and node arrays they are given; the
// caller holds NodeArraysMutex() for the shared ones.

#include <cstdint>

#include "moduletest/engine/TestItems.h"
#include "views/RawStatistics.h"

// Frames of one capture.
inline constexpr int kDataTestFrames = 16;
// Share bounds of the verdict rule (percent).
inline constexpr int kSharePassBound = 10;
inline constexpr int kShareFailBound = 90;

// S <= 10 passes, S >= 90 fails, anything between is undecided.
TestItemState JudgeShare(int share);

// Readings (node, frame) above NodeMaxLimit or else below NodeMinLimit,
// summed over all nodes, x 100 / 16. Sets kFailMax / kFailMin of the nodes
// concerned.
int MaxMinShare(const RawFrameStack& stack, int32_t rows, int32_t cols, NodeArrays& nodes);

// Per node (column outer, row inner), the frames in which its allowed
// difference d0 = NodeAdjDevLimit x v / 100 is 0 or some neighbour (next row,
// previous row, next column, previous column) differs by d >= d0; the share
// of the worst node. NodeAdjDev gets each node's largest d x 100 / v; a
// frame whose d0 is 0 fails without it (v may be 0). Sets kFailAdjacent of
// every node with a failing frame. All products in 64 bits.
int AdjacentShare(const RawFrameStack& stack, int32_t rows, int32_t cols, NodeArrays& nodes);
