#pragma once
// The neighbours the adjacent-deviation test compares a node with: every
// neighbour that exists (next row, previous row, next column, previous
// column). The limits computed from samples use the same rule, so an edge
// node never gets a limit below what the test measures on it. (The raw view
// keeps its own, narrower rule for its display.)

#include <cstddef>
#include <cstdint>

#include "views/DataFormat.h"

// Calls visit(neighbourIndex) for each neighbour of node (row i, column j) of
// a rows x cols frame stored column after column.
template <typename Visit>
void ForEachTestNeighbour(int32_t rows, int32_t cols, int32_t i, int32_t j, Visit&& visit) {
  const size_t k = NodeIndex(rows, i, j);
  const size_t r = static_cast<size_t>(rows);
  if (i + 1 < rows) visit(k + 1);
  if (i > 0) visit(k - 1);
  if (j + 1 < cols) visit(k + r);
  if (j > 0) visit(k - r);
}
