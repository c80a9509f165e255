#pragma once
// The two files a ".hex" bridge image leaves beside itself after a burn: the
// 112-byte header (".ect") and the rest of the image (".bin"), the pair the
// bridge programmer can load again without the HEX text. Both are named from
// the image file's stem plus the reopened bridge's release number and the
// image's checksum, so no target can be the image file itself.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr size_t kHexSideHeaderBytes = 112;

struct HexSidePaths {
  std::filesystem::path ect;
  std::filesystem::path bin;
};

// 16-bit two's complement of the byte sum of the image.
uint16_t ImageCheckSum(std::span<const uint8_t> image);

// "<dir>/<stem>_%04x_%02X.ect" and ".bin"; nullopt when the source is no
// ".hex" file (extension compared without regard to case) or a target would
// be the source.
std::optional<HexSidePaths> HexSideFilePaths(const std::filesystem::path& source, uint16_t release,
                                             uint16_t checkSum);

// Writes the ".ect" (always, atomically) and the ".bin" (only when absent).
// A file that cannot be written is skipped (the burn itself has succeeded)
// and its reason added to *errors, one line each, for the caller's log.
// Returns the paths, for the caller's tests and log.
std::optional<HexSidePaths> WriteHexSideFiles(const std::filesystem::path& source,
                                              std::span<const uint8_t> image, uint16_t release,
                                              std::vector<std::string>* errors = nullptr);
