#pragma once
// The per-node limits of the data tests, read from [Node threshold] of
// test.ini ("Max", "Min", "Adjacent Deviation": comma-separated numbers, one
// per node, written by the sampling tools). A list that does not fit the
// panel falls back to the global value of its edit for every node.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "views/RawStatistics.h"

class ILogSink;

// Leading decimal number of each comma-separated piece, signs allowed, a
// value beyond 32 bits held at the nearer end; a trailing comma ends the
// list. Every piece is counted, but at most
// kMaxRawNodes values are kept.
struct NodeList {
  std::vector<int32_t> values;
  size_t count = 0;
};
NodeList ParseNodeList(std::string_view text);

struct NodeLimitFallbacks {
  int32_t max = 0;                // edit 1092
  int32_t min = 0;                // edit 1131
  int32_t adjacentDeviation = 0;  // edit 1077
};

// Fills nodes' three limit arrays for a rows x cols panel (caller holds
// NodeArraysMutex for the shared arrays). An empty list falls back quietly
// (the usual state before sampling); a list of another length falls back
// with one LOG_ERROR line naming the file and the key. A geometry beyond the
// arrays is refused: false, a LOG_ERROR line, the arrays untouched.
bool LoadNodeThresholds(const std::filesystem::path& ini, int32_t rows, int32_t cols,
                        const NodeLimitFallbacks& fallbacks, NodeArrays& nodes, ILogSink* log);
