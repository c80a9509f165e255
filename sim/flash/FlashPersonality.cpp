#include "sim/flash/FlashPersonality.h"

#include <algorithm>

namespace sim {

std::vector<uint8_t> FlashIdBlock::From(const std::vector<uint8_t>& flash) const {
  const auto at = flash.begin() + static_cast<std::ptrdiff_t>(flashOffset);
  return std::vector<uint8_t>(at, at + static_cast<std::ptrdiff_t>(length));
}

void FlashIdBlock::ShowIfProgrammed(SimChip& chip, const std::vector<uint8_t>& flash) const {
  const std::vector<uint8_t> id = From(flash);
  if (std::all_of(id.begin(), id.end(), [](uint8_t b) { return b == 0xFF; })) return;
  chip.PokeRange(address, id);
}

void CopyFileSection(const std::vector<uint8_t>& file, size_t fileOffset,
                     std::vector<uint8_t>& flash, size_t flashOffset, size_t length) {
  if (fileOffset >= file.size() || flashOffset >= flash.size()) return;
  const size_t count = std::min({length, file.size() - fileOffset, flash.size() - flashOffset});
  std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(fileOffset), count,
              flash.begin() + static_cast<std::ptrdiff_t>(flashOffset));
}

}  // namespace sim
