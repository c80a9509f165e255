#pragma once
// The faulty nodes and channels of a module, applied to each raw frame the
// panel makes.

#include <cstdint>
#include <vector>

#include "sim/module/ModuleProfile.h"

namespace sim {

void ApplyRawFaults(const ModuleFaults& faults, int rows, int cols, uint64_t frame,
                    std::vector<int32_t>& values);

}  // namespace sim
