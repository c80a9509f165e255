#pragma once
// "参数调整": the five ratios of the node-limit computation, read from and
// written to [Calculate node threshold] of the test INI. OK refuses a value
// that is no integer or lies outside its range, with a message, and keeps
// the dialog open.

#include <QDialog>
#include <array>
#include <filesystem>

#include "moduletest/samples/NodeLimits.h"

class IPrompts;
class QLineEdit;

class CTestThrdAdjustDlg : public QDialog {
  Q_OBJECT

 public:
  CTestThrdAdjustDlg(const std::filesystem::path& testIni, IPrompts& prompts,
                     QWidget* parent = nullptr);

  // The ratios accepted by OK (the loaded ones before).
  const AdjustRatios& Ratios() const { return ratios_; }

 public slots:
  void accept() override;

 private:
  std::filesystem::path testIni_;
  IPrompts& prompts_;
  AdjustRatios ratios_;
  std::array<QLineEdit*, 5> edits_{};
};
