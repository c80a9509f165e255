#include "moduletest/engine/ShortFirmware.h"

#include <fstream>
#include <system_error>

std::optional<std::vector<uint8_t>> LoadShortFirmwareImage(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  if (std::filesystem::file_size(path, ec) != kShortFirmwareBytes || ec) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> image(kShortFirmwareBytes);
  in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
  // A file that changed size meanwhile is refused as well.
  if (in.gcount() != static_cast<std::streamsize>(kShortFirmwareBytes) || in.peek() != EOF) {
    return std::nullopt;
  }
  return image;
}
