#pragma once
// The main window's register panel: read and write single chip registers by
// hand. The address and written-value combos keep their six newest entries;
// the address list is kept in the settings file ([Register] "Address List").
// Every access is logged, failures at LOG_ERROR. The requests run on the
// bridge device (g_pBridgeDevice) synchronously on the UI thread; each is
// bounded by the register time-out.

#include <QWidget>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "device/LogSink.h"
#include "device/RegisterPanelModel.h"

class QComboBox;
class QToolButton;
class CMyButton;

class RegisterPanel : public QWidget {
  Q_OBJECT

 public:
  // settingsFile is the resolved "..\System\AppConfigInit.ini"; the address
  // list is loaded from it here and written back after every access that
  // changed it.
  RegisterPanel(ILogSink& log, std::filesystem::path settingsFile, QWidget* parent = nullptr);

  // While busy every control is disabled and the handlers do nothing: a
  // register access must not slip into the traffic of a running job.
  void SetBusy(bool busy);
  bool IsBusy() const { return busy_; }

  // "Read": reads the register named by the address text and shows its byte
  // ("ee" when the read failed).
  void OnRead();
  // The spin: steps the address by delta (up is +1), then reads.
  void OnSpin(int delta);
  // "Write": one byte for 1-2 typed digits, two for 3-4 (high byte first).
  void OnWrite();

 private:
  void ShowList(QComboBox* combo, const std::vector<std::string>& entries);
  // Writes the stored address list unless it is the text last written.
  void SaveAddressList();

  ILogSink& log_;
  std::filesystem::path settingsFile_;
  RegisterPanelModel model_;
  // The address list text last written successfully: repeated reads of one
  // address must not rewrite the settings file each time.
  std::optional<std::string> savedAddressList_;
  bool busy_ = false;

  QComboBox* address_;
  QToolButton* spinUp_;
  QToolButton* spinDown_;
  QComboBox* writeValue_;
  CMyButton* write_;
  QComboBox* readValue_;
  CMyButton* read_;
};
