#include "ui/PromptsCfgPathChooser.h"

#include "ui/DialogFolder.h"
#include "ui/FileFilter.h"
#include "ui/Prompts.h"

std::optional<std::filesystem::path> PromptsCfgPathChooser::ChooseSavePath(
    const std::string& proposedName, const std::string& filter) {
  const std::optional<QString> path =
      m_prompts.saveFileName(m_folder.Folder(), WinFilterToQt(QString::fromStdString(filter)),
                             QString::fromStdString(proposedName), QStringLiteral("cfg"));
  if (!path) return std::nullopt;
  m_folder.Used(*path);
  return std::filesystem::path(path->toStdString());
}
