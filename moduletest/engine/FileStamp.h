#pragma once
// Which file an object holds: its path, last-write time and size when it was
// loaded. The object holds the file only while the settings name the same
// path and the file on disk still has that time and size.

#include <cstdint>
#include <filesystem>
#include <optional>

struct FileStamp {
  std::filesystem::path path;
  std::filesystem::file_time_type time;
  uintmax_t size = 0;

  // The stamp of a regular file as it is now.
  static std::optional<FileStamp> Of(const std::filesystem::path& path);
  // Whether `path` is this file, unchanged.
  bool Matches(const std::filesystem::path& path) const;
};
