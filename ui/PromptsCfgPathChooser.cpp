#include "ui/PromptsCfgPathChooser.h"

#include "ui/FileFilter.h"
#include "ui/Prompts.h"

std::optional<std::filesystem::path> PromptsCfgPathChooser::ChooseSavePath(
    const std::string& proposedName, const std::string& filter) {
  const std::optional<QString> path =
      m_prompts.saveFileName(QString(), WinFilterToQt(QString::fromStdString(filter)),
                             QString::fromStdString(proposedName), QStringLiteral("cfg"));
  if (!path) return std::nullopt;
  return std::filesystem::path(path->toStdString());
}
