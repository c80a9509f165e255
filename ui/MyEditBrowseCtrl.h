#pragma once
// File-path edit with a browse button. A file picked through the button is
// taken only after two checks, each of which the user may overrule: its
// extension must be one the filter names, and a chip-specific file ("RO" in
// its name) must name the current chip.

#include <QLineEdit>
#include <functional>
#include <memory>
#include <string>

class DialogFolder;
class IPrompts;
class QAction;

class CMyEditBrowseCtrl : public QLineEdit {
  Q_OBJECT

 public:
  // Current chip name (UTF-8), read at each browse. While the name is empty
  // or a placeholder containing "XXX", the chip question is never asked.
  using ChipNameSource = std::function<std::string()>;

  static const QString kTypeQuestion;
  static const QString kChipQuestion;

  explicit CMyEditBrowseCtrl(IPrompts& prompts, QWidget* parent = nullptr);

  // Defaults to the process-wide chip name (GetChipName).
  void SetChipNameSource(ChipNameSource source);

  // folder: where the file dialog starts, a stored path text resolved against
  // the base directory ("..\System\CfgItem"); empty: the base directory.
  // filter: Windows-style, "Config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||".
  void SetFilter(const QString& folder, const QString& filter);
  // The same with a folder memory kept by the caller: for a control that is
  // built anew each time its window opens, so that the session's last folder
  // outlives it.
  void SetFilter(std::shared_ptr<DialogFolder> folder, const QString& filter);
  // Where the next file dialog starts: SetFilter's folder, then the folder
  // of the last file taken (see DialogFolder).
  QString InitialFolder() const;
  QString Filter() const { return m_filter; }

  QAction* BrowseAction() const { return m_browse; }

 public slots:
  // The browse button: file dialog, then the type and chip questions. Leaves
  // the text alone when the dialog is cancelled or a question is answered No.
  void OnBrowse();

 private:
  bool TypeAccepted(const QString& path);
  bool ChipAccepted(const QString& path);

  IPrompts& m_prompts;
  ChipNameSource m_chipName;
  std::shared_ptr<DialogFolder> m_folder;
  QString m_filter;
  QAction* m_browse;
};
