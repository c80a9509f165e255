#pragma once
// A configuration export's save dialog through the prompts: the core's
// ICfgPathChooser answered with IPrompts::saveFileName.

#include "device/config/CfgPathChooser.h"

class IPrompts;

class PromptsCfgPathChooser : public ICfgPathChooser {
 public:
  explicit PromptsCfgPathChooser(IPrompts& prompts) : m_prompts(prompts) {}
  std::optional<std::filesystem::path> ChooseSavePath(const std::string& proposedName,
                                                      const std::string& filter) override;

 private:
  IPrompts& m_prompts;
};
