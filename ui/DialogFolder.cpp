#include "ui/DialogFolder.h"

#include <QFileInfo>

#include "platform/files/AppPaths.h"

QString DialogFolder::Folder() const {
  const QString root = QString::fromStdString(platform::AppPaths::BaseDir().string());
  if (m_folder.isEmpty()) return root;
  const QString folder =
      QString::fromStdString(platform::AppPaths::Resolve(m_folder.toStdString()).string());
  return QFileInfo(folder).isDir() ? folder : root;
}

void DialogFolder::Used(const QString& file) { m_folder = QFileInfo(file).path(); }
