#pragma once
// The chip's short-test program for the family whose configuration starts at
// 0x8047. It is not part of this program: it is read at run time from the
// System folder, and only an image of exactly its size is used.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

inline constexpr size_t kShortFirmwareBytes = 5848;
inline constexpr const char* kShortFirmwareText = "..\\System\\ShortFw.bin";

// The file's bytes, or std::nullopt when it is missing, unreadable or not
// exactly kShortFirmwareBytes long.
std::optional<std::vector<uint8_t>> LoadShortFirmwareImage(const std::filesystem::path& path);
