#include "moduletest/engine/HeldConfig.h"

#include <system_error>

HeldConfig::HeldConfig() : config_(std::make_unique<CConfig>()) {}

bool HeldConfig::Holds(const std::filesystem::path& path) const {
  return held_ && held_->Matches(path);
}

void HeldConfig::Load(const std::filesystem::path& path) {
  held_.reset();
  const auto before = FileStamp::Of(path);
  // The file is burnt as it is: only a file of the whole block is taken.
  config_->LoadCfgFile(path, CConfig::CfgFileFit::kWholeBlock);
  held_ = before;
}

void HeldConfig::Reset() {
  held_.reset();
  config_ = std::make_unique<CConfig>();
}
