#pragma once
// "调参采样": records raw frames of good panels into sample files, browses
// them frame by frame, computes the per-node limits from them with the
// ratios of "参数调整" and saves them into the test INI.
//
// Preparing the chip for sampling (the test configuration) and restoring the
// production configuration belong to the module test; the dialog calls them
// through two hooks: before a recording or the live raw view starts, and when
// a recording stops and when the dialog closes. A preparation after which the
// raw frames do not have the panel's size refuses the recording and the live
// raw view, and, until a preparation succeeds, computing and saving limits:
// files cut by the previous panel's format would become this panel's limits.

#include <QDialog>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "moduletest/samples/NodeLimits.h"

class CSampleLayout;
class DataFormatStore;
class ILogSink;
class IPrompts;
class QComboBox;
class QPushButton;
class QTimer;
class SampleStore;

class CSampleDlg : public QDialog {
  Q_OBJECT

 public:
  // Entries of the parameter-type combo, in order.
  static constexpr int kTypeAdjacent = 0;
  static constexpr int kTypeMax = 1;
  static constexpr int kTypeMin = 2;
  static constexpr int kTypeRaw = 3;

  CSampleDlg(DataFormatStore& formats, ILogSink* log, IPrompts& prompts, SampleStore& samples,
             std::filesystem::path testIni, QWidget* parent = nullptr);
  ~CSampleDlg() override;

  using Hook = std::function<void()>;
  // Returns whether the raw frame format follows the panel now in place.
  using Prepare = std::function<bool()>;
  void SetSessionHooks(Prepare prepare, Hook restore);
  // The import's file chooser (default: a multi-select file dialog). Returns
  // the chosen paths in the dialog's order; empty when cancelled.
  using ChooseFiles = std::function<QStringList(const QString& folder, const QString& filter)>;
  void SetFileChooser(ChooseFiles choose);
  // The ratios of a computation (default: "参数调整" run modally); nullopt
  // when cancelled.
  using AskRatios = std::function<std::optional<AdjustRatios>()>;
  void SetRatioAsker(AskRatios ask);

  void OnBnClickedStartSample();
  void OnBnClickedCalcParams();
  void OnBnClickedSaveParams();
  void OnBnClickedImportData();
  void OnBnClickedPrevFrame();
  void OnBnClickedNextFrame();
  void OnBnClickedPrevSample();
  void OnBnClickedNextSample();
  void OnBnClickedDeleteSample();
  void OnCbnSelchangeParamType(int index);
  void OnTimer();

  CSampleLayout& View() { return *view_; }
  QPushButton* Button(int id) const;
  bool HasUnsavedLimits() const { return unsaved_; }
  const NodeLimitArrays& Limits() const { return limits_; }

 public slots:
  void done(int result) override;

 private:
  void RunHook(const Hook& hook);
  void RunPrepare();
  bool RefusedByFormat();
  void StartLiveView();
  void StopRecording();
  void EnableBrowse(bool enable);
  void ShowFrameCaption();
  QString CurrentName() const;

  DataFormatStore& formats_;
  ILogSink* log_;
  IPrompts& prompts_;
  SampleStore& samples_;
  std::filesystem::path testIni_;
  CSampleLayout* view_ = nullptr;
  QComboBox* paramType_ = nullptr;
  QTimer* timer_ = nullptr;
  std::map<int, QPushButton*> buttons_;
  Prepare prepare_;
  Hook restore_;
  ChooseFiles chooseFiles_;
  AskRatios askRatios_;
  QString typeText_;
  bool recording_ = false;
  bool unsaved_ = false;
  bool closing_ = false;
  // The last preparation's word; true until one has run.
  bool rawFollowsPanel_ = true;
  NodeLimitArrays limits_;
};

// Runs the dialog modally over `parent` on the program's sample store and
// test INI.
void RunSampleDlg(DataFormatStore& formats, ILogSink* log, IPrompts& prompts, QWidget* parent,
                  CSampleDlg::Prepare prepare = {}, CSampleDlg::Hook restore = {});
