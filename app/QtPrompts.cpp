#include "app/QtPrompts.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace {

QString Caption() { return QGuiApplication::applicationDisplayName(); }

}  // namespace

void QtPrompts::info(const QString& text) { QMessageBox::information(m_parent, Caption(), text); }

void QtPrompts::warn(const QString& text) { QMessageBox::warning(m_parent, Caption(), text); }

bool QtPrompts::askYesNo(const QString& text) {
  return QMessageBox::question(m_parent, Caption(), text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::openFileName(const QString& folder, const QString& filter) {
  // getOpenFileName only returns files that exist.
  const QString path = QFileDialog::getOpenFileName(m_parent, QString(), folder, filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QString> QtPrompts::saveFileName(const QString& folder, const QString& filter,
                                               const QString& proposedName,
                                               const QString& defaultSuffix) {
  QFileDialog dialog(m_parent, QString(), folder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultSuffix);
  // The bare name: the dialog starts in the folder already, and a name joined
  // to an empty folder would show as "./name".
  if (!proposedName.isEmpty()) dialog.selectFile(proposedName);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
  return chosen.first();
}
