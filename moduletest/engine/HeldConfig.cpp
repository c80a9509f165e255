#include "moduletest/engine/HeldConfig.h"

#include <system_error>

HeldConfig::HeldConfig() : config_(std::make_unique<CConfig>()) {}

std::optional<HeldConfig::Record> HeldConfig::Stat(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  Record record{path, std::filesystem::last_write_time(path, ec), 0};
  if (ec) return std::nullopt;
  record.size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return record;
}

bool HeldConfig::Holds(const std::filesystem::path& path) const {
  if (!held_ || held_->path != path) return false;
  const auto now = Stat(path);
  return now && now->time == held_->time && now->size == held_->size;
}

void HeldConfig::Load(const std::filesystem::path& path) {
  held_.reset();
  const auto before = Stat(path);
  config_->LoadCfgFile(path);
  held_ = before;
}

void HeldConfig::Reset() {
  held_.reset();
  config_ = std::make_unique<CConfig>();
}
