#pragma once
// The configuration editor: every item of the chip's item file (".sc" or
// ".ui") as a cell of the grid, the block read from the chip, sent to it,
// loaded from a ".cfg" file or saved to one. It owns its configuration block
// (CConfig) and deletes itself when closed.
//
// Sends run on a worker while the waiting dialog stands application-modal;
// reads and sends are refused while the main window is busy (a burn or a
// module test owns the device). Every error of the configuration layer is
// shown to the user with its own text.

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "device/config/Config.h"
#include "programming/configeditor/MyExcel.h"
#include "ui/MyDialog.h"

class ConfigGridView;
class CMyEditBrowseCtrl;
class DialogFolder;
class IPrompts;
class QLineEdit;
class QPushButton;
class QToolButton;

// What the editor needs of the main window.
struct ConfigDlgHost {
  // Re-reads the panel geometry after a send (successful or not). Runs on
  // the send's worker.
  std::function<void()> readPanelGeometry;
  // Bracket a send on the UI thread: the connection probes pause and device
  // arrivals and removals wait until the send is over.
  std::function<void()> beginExclusive;
  std::function<void()> endExclusive;
  // Where the "ConfigFile" and "Save Cfg" dialogs open. The window keeps them
  // for the session, so that a reopened editor opens where the last one did;
  // null: the editor's own.
  std::shared_ptr<DialogFolder> configFileFolder;
  std::shared_ptr<DialogFolder> saveFolder;
};

class CConfigDlg : public CMyDialog {
  Q_OBJECT

 public:
  static const QString kTitle;
  static const QString kScMissingText;
  static const QString kBusyText;
  static const QString kUiFilter;
  static const QString kCfgFilter;

  CConfigDlg(IPrompts& prompts, ConfigDlgHost host, QWidget* parent = nullptr);
  ~CConfigDlg() override;

  // Chooses the item file of the identified chip ("..\System\CfgItem\<chip>_*.sc")
  // and shows the editor; the file's load reads the chip's block.
  void LoadItemFileForChip();

  CConfig& Config() { return m_config; }
  ConfigGridView& Grid() { return *m_grid; }
  bool Sending() const { return m_sending; }

 public slots:
  void OnBnClickedReadCfg();
  void OnBnClickedSendCfg();
  void OnBnClickedSaveCfg();
  void OnBnClickedSearch();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FollowPath(QLineEdit* edit, void (CConfigDlg::*changed)(const QString&));
  void OnUiFileChanged(const QString& path);
  void OnConfigFileChanged(const QString& text);
  bool RefusedWhileBusy();
  void ShowError(const std::exception& error);

  IPrompts& m_prompts;
  ConfigDlgHost m_host;
  CConfig m_config;
  CMyExcel m_excel;
  CMyEditBrowseCtrl* m_configFile = nullptr;
  CMyEditBrowseCtrl* m_uiFile = nullptr;
  QPushButton* m_read = nullptr;
  QPushButton* m_send = nullptr;
  QPushButton* m_save = nullptr;
  QLineEdit* m_searchText = nullptr;
  QToolButton* m_search = nullptr;
  ConfigGridView* m_grid = nullptr;
  bool m_sending = false;
  // Set while the ConfigFile edit's text is replaced by the file name.
  bool m_replacingConfigText = false;
};
