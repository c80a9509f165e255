#include "moduletest/engine/FileStamp.h"

#include <system_error>

std::optional<FileStamp> FileStamp::Of(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  FileStamp stamp{path, std::filesystem::last_write_time(path, ec), 0};
  if (ec) return std::nullopt;
  stamp.size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return stamp;
}

bool FileStamp::Matches(const std::filesystem::path& other) const {
  if (other != path) return false;
  const auto now = Of(other);
  return now && now->time == time && now->size == size;
}
