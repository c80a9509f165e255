#include "sim/module/RawFaults.h"

namespace sim {

namespace {

void Set(std::vector<int32_t>& values, size_t node, int32_t value) {
  if (node < values.size()) values[node] = value;
}

}  // namespace

void ApplyRawFaults(const ModuleFaults& faults, int rows, int cols, uint64_t frame,
                    std::vector<int32_t>& values) {
  const auto at = [rows](int row, int col) {
    return static_cast<size_t>(col) * static_cast<size_t>(rows) + static_cast<size_t>(row);
  };
  if (faults.openColumn && *faults.openColumn >= 0 && *faults.openColumn < cols) {
    for (int r = 0; r < rows; ++r) Set(values, at(r, *faults.openColumn), kOpenValue);
  }
  if (faults.shortedRow && *faults.shortedRow >= 0 && *faults.shortedRow + 1 < rows) {
    for (int c = 0; c < cols; ++c) {
      Set(values, at(*faults.shortedRow, c), kShortedRowValue);
      Set(values, at(*faults.shortedRow + 1, c), kShortedRowValue);
    }
  }
  if (faults.deadNode) Set(values, *faults.deadNode, 0);
  if (faults.stuckNode) Set(values, *faults.stuckNode, kStuckValue);
  if (faults.weakNode && *faults.weakNode < values.size()) {
    values[*faults.weakNode] = values[*faults.weakNode] * 55 / 100;
  }
  // Any 16 consecutive frames hold exactly intermittentFrames bad ones.
  if (faults.intermittentNode && frame % 16 < faults.intermittentFrames) {
    Set(values, *faults.intermittentNode, 0);
  }
}

}  // namespace sim
