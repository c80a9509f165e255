#pragma once
// How fuzz_chip_identify reads its input (FuzzedDataProvider): from the back
// the family whose id block is read, the number of tries, the chip name known
// before, whether the window takes chip changes, and per read whether it
// succeeded; from the front the bytes of each id block read. The seed
// generator writes its inputs by the same ranges, so that a seed still
// decodes as meant when they change.

#include <array>

namespace chip_identify_input {

// The firmware engines read the id block up to five times.
inline constexpr int kMaxTries = 5;
// The chip name before the identification: none yet, a family placeholder,
// a listed chip.
inline constexpr std::array<const char*, 5> kPreviousNames = {"", "RO9XXX", "RO7XXX", "RO9110V",
                                                              "RO7387Z"};

}  // namespace chip_identify_input
