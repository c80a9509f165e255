#include "moduletest/engine/ShortFirmware.h"

#include <string>

#include "platform/files/AtomicFile.h"

std::optional<std::vector<uint8_t>> LoadShortFirmwareImage(const std::filesystem::path& path) {
  // One byte over the size is read so that a longer file is told apart.
  std::string bytes;
  if (!platform::ReadFileBytes(path, &bytes, kShortFirmwareBytes + 1) ||
      bytes.size() != kShortFirmwareBytes) {
    return std::nullopt;
  }
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}
