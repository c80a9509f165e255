#pragma once
// A configuration loaded from a ".cfg" file of the test settings, with the
// record of which file it holds: the path, its last-write time and size at
// the load, and whether the load succeeded. A file is loaded again when any
// of them changed, when the settings name another path, or when the last
// load failed.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "device/config/Config.h"
#include "moduletest/engine/FileStamp.h"

class HeldConfig {
 public:
  HeldConfig();

  CConfig& Config() { return *config_; }
  // Whether the object holds exactly this file as it is on disk now.
  bool Holds(const std::filesystem::path& path) const;
  // Loads the file (CConfig::LoadCfgFile), which must give the whole block;
  // throws its ConfigError, after which the object holds nothing.
  void Load(const std::filesystem::path& path);
  // Forgets the file and starts a fresh object (the chip family changed).
  void Reset();

 private:
  std::unique_ptr<CConfig> config_;
  std::optional<FileStamp> held_;
};
