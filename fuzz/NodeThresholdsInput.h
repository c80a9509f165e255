#pragma once
// How fuzz_node_thresholds reads its input (FuzzedDataProvider): from the
// back the panel's rows and columns and the three global limits the lists
// fall back to; the rest, from the front, is the test.ini text. The seed
// generator writes its inputs by the same ranges, so that a seed still
// decodes as meant when they change.

#include <cstdint>

namespace node_thresholds_input {

// Rows and columns of the panel: up to a grid beyond the raw arrays.
inline constexpr int32_t kMaxSide = 128;

}  // namespace node_thresholds_input
