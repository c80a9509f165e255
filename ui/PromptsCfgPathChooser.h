#pragma once
// A configuration export's save dialog through the prompts: the core's
// ICfgPathChooser answered with IPrompts::saveFileName, opened where the
// caller's folder memory says and telling it the folder chosen.

#include "device/config/CfgPathChooser.h"

class DialogFolder;
class IPrompts;

class PromptsCfgPathChooser : public ICfgPathChooser {
 public:
  PromptsCfgPathChooser(IPrompts& prompts, DialogFolder& folder)
      : m_prompts(prompts), m_folder(folder) {}
  std::optional<std::filesystem::path> ChooseSavePath(const std::string& proposedName,
                                                      const std::string& filter) override;

 private:
  IPrompts& m_prompts;
  DialogFolder& m_folder;
};
