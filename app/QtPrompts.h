#pragma once
// IPrompts shown as Qt message boxes and file dialogs.

#include "ui/Prompts.h"

class QWidget;

class QtPrompts : public IPrompts {
 public:
  // parent: the window the dialogs are modal to; nullptr before any window exists.
  explicit QtPrompts(QWidget* parent = nullptr) : m_parent(parent) {}

  void info(const QString& text) override;
  void warn(const QString& text) override;
  bool askYesNo(const QString& text) override;
  std::optional<QString> openFileName(const QString& folder, const QString& filter) override;
  std::optional<QString> saveFileName(const QString& folder, const QString& filter,
                                      const QString& proposedName,
                                      const QString& defaultSuffix) override;

 private:
  QWidget* m_parent;
};
