#pragma once
// What the firmware-burn personalities of both chip families share: how one
// is added to a chip, the id block the running firmware shows from flash,
// and the copy of a firmware file's sections into flash.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/SimChip.h"

namespace sim {

// Adds the personality to the chip (which owns it); the reference stays valid
// as long as the chip.
template <typename Personality>
Personality& AddFlashPersonality(SimChip& chip) {
  auto personality = std::make_unique<Personality>();
  Personality& ref = *personality;
  chip.AddBehaviour(std::move(personality));
  return ref;
}

// Where the running firmware keeps its id block in (a part of) flash, and
// where the chip shows it.
struct FlashIdBlock {
  size_t flashOffset;
  size_t length;
  uint16_t address;

  std::vector<uint8_t> From(const std::vector<uint8_t>& flash) const;
  // Shows the block unless that part of flash is blank: a chip without
  // firmware keeps its power-on id.
  void ShowIfProgrammed(SimChip& chip, const std::vector<uint8_t>& flash) const;
};

// Copies `length` bytes of the file from `fileOffset` into flash at
// `flashOffset`; a file that ends early copies what it holds.
void CopyFileSection(const std::vector<uint8_t>& file, size_t fileOffset,
                     std::vector<uint8_t>& flash, size_t flashOffset, size_t length);

}  // namespace sim
