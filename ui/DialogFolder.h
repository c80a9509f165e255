#pragma once
// Where a file dialog opens: the folder of the file last chosen through it in
// this session, else its own starting folder, else the runtime root. Never the
// process's working directory, which is where Qt's dialog opens when it is
// given no folder or one that is gone (and which is the source checkout when
// scripts/run.sh starts the program).

#include <QString>

class DialogFolder {
 public:
  // start: a stored path text, resolved against the runtime root like every
  // stored path ("..\System\CfgItem", or an absolute folder); empty: the
  // runtime root itself.
  explicit DialogFolder(const QString& start = QString()) : m_folder(start) {}

  // The folder the next dialog opens in: absolute, and one that exists.
  QString Folder() const;
  // The dialog gave this file: the next one opens in its folder.
  void Used(const QString& file);

 private:
  // As given: resolved when asked, so that it follows the runtime root.
  QString m_folder;
};
