#include "programming/update/HexSideFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/files/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

bool IsHexExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".hex";
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec)) return true;
  return a.lexically_normal() == b.lexically_normal();
}

std::string_view AsChars(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

uint16_t ImageCheckSum(std::span<const uint8_t> image) {
  uint32_t sum = 0;
  for (uint8_t b : image) sum += b;
  return static_cast<uint16_t>(0u - sum);
}

std::optional<HexSidePaths> HexSideFilePaths(const fs::path& source, uint16_t release,
                                             uint16_t checkSum) {
  if (!IsHexExtension(source)) return std::nullopt;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "_%04x_%02X", release, checkSum);
  const fs::path base = source.parent_path() / (source.stem().string() + suffix);
  HexSidePaths paths{base.string() + ".ect", base.string() + ".bin"};
  if (SameFile(paths.ect, source) || SameFile(paths.bin, source)) return std::nullopt;
  return paths;
}

std::optional<HexSidePaths> WriteHexSideFiles(const fs::path& source, std::span<const uint8_t> image,
                                              uint16_t release, std::vector<std::string>* errors) {
  auto paths = HexSideFilePaths(source, release, ImageCheckSum(image));
  if (!paths) return std::nullopt;
  auto write = [errors](const fs::path& target, std::string_view bytes) {
    std::string error;
    if (!platform::WriteFileAtomic(target, bytes, &error) && errors != nullptr) {
      errors->push_back(error);
    }
  };
  const size_t header = std::min(image.size(), kHexSideHeaderBytes);
  write(paths->ect, AsChars(image.first(header)));
  std::error_code ec;
  if (image.size() > header && !fs::exists(paths->bin, ec)) {
    write(paths->bin, AsChars(image.subspan(header)));
  }
  return paths;
}
