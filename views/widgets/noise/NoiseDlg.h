#pragma once
// The noise view: a semi-transparent window that shows, live, the noise the
// chip measures at each scanning frequency of its hopping range, marks the
// frequencies in use (FreqA, and FreqB on dual-frequency chips), lets the
// user force one by dragging its marker, and, in a side panel, tunes the six
// hopping segments by hand ("Send Config") or with the auto-adjust sweep.
//
// Every change reaches the chip as a configuration send of its own CConfig
// (NoiseTuning); opening backs the chip's configuration up and closing
// restores it; an opening whose backup failed sends nothing, closing
// included. While the main window is busy (a burn or a module test) the
// configuration commands are refused and the read chain pauses; while an
// auto-adjust runs the view's own commands are disabled.
//
// A send never runs on the UI thread (it may need that thread to stop a
// page): the marker release, the manual hop's release, "Send Config" and the
// restore at closing each send on a worker through RunWithWaiting, the
// waiting dialog standing application-modal meanwhile. A close that arrives
// during such a send restores once the send is over.
//
// Threads: the UI thread (this widget), the request dispatcher (the read
// chain's completions, which only offer frames), the draw thread
// (NoiseDrawWorker), a send's worker (NoiseTuning only) and the auto-adjust
// worker. The workers reach this
// widget only through UiBridge::post, guarded by a token the destructor
// drops, so a late hand-over never touches a destroyed view.

#include <QWidget>
#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/LogSink.h"
#include "views/noise/NoiseTuning.h"
#include "views/widgets/noise/NoiseAdjustWorker.h"
#include "views/widgets/noise/NoiseRenderer.h"

class IPrompts;
class NoiseChain;
class NoiseDrawWorker;
class NoiseGraphWidget;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QToolButton;

// The refusal while the main window is busy with a burn or a module test.
inline constexpr const char* kNoiseBusyText = "正在烧录或测试，请完成后再修改配置";
inline constexpr const char* kNoiseSavedText = "保存配置成功";

// What the view needs of the main window.
struct NoiseDlgHost {
  // Bracket a send on the UI thread: the connection probes pause and device
  // arrivals and removals wait until the send is over.
  std::function<void()> beginExclusive;
  std::function<void()> endExclusive;
  // The same for the auto-adjust's whole run, called on its worker thread.
  std::function<void()> holdOnWorker;
  std::function<void()> releaseOnWorker;
};

class CNoiseDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPanelWidth = 110;

  CNoiseDlg(IPrompts& prompts, ILogSink* log, NoiseDlgHost host = {}, QWidget* parent = nullptr);
  ~CNoiseDlg() override;

  // The "噪声检测" button: opens the view (backup, settings, the read chain)
  // when it is not streaming, restarts a chain that died, and always reads
  // the segment values again.
  void LoadNoiseConfig();

  void OnBnClickedAutoAdjust();
  void OnBnClickedSendConfig();
  void OnBnClickedManualHop(bool checked);
  void OnBnClickedPanelToggle();

  bool PanelShown() const { return panelShown_; }
  // A configuration send of the view is on its worker.
  bool Sending() const { return sending_; }
  AdjustState AdjustStateNow() const { return adjust_.State(); }
  const std::array<int, 11>& SegmentValues() const { return segValues_; }
  const NoiseSettings& Settings() const { return settings_; }
  NoiseRenderer& Renderer() { return *renderer_; }
  NoiseChain& Chain() { return *chain_; }
  NoiseDrawWorker& DrawWorker() { return *drawWorker_; }
  NoiseTuning& Tuning() { return *tuning_; }
  NoiseGraphWidget* Graph() const { return graph_; }
  uint16_t NoiseAddress() const { return address_; }

 signals:
  // The auto-adjust has ended (its restore done) and the view is Idle again.
  void adjustFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildUi();
  QWidget* BuildPanel();
  void PlaceGraphControls();
  void ShowSegmentValues();
  void UpdateLabels(const NoiseMarkers& markers);
  void SetConfigControlsEnabled(bool enabled);
  bool RefuseWhileBusy();
  // Sends are refused while this opening holds no backup of its own.
  bool RefuseWithoutBackup();
  // Runs send on a worker with the waiting dialog up and the main window's
  // exclusive bracket around it; the failure's text, empty when it went
  // through. A close that came meanwhile restores afterwards.
  std::string SendOnWorker(const std::function<void(NoiseTuning&)>& send);
  void RestoreOnClose();
  // A worker's message, shown on the UI thread one box at a time.
  void TellLater(const std::string& text);
  void OnAdjustEnded();
  void StopAdjust();
  void RestartNoiseChain();

  void OnGraphPressed(QPoint at);
  void OnGraphMoved(QPoint at);
  void OnGraphReleased(QPoint at);

  IPrompts& prompts_;
  ILogSink* const log_;
  const NoiseDlgHost host_;
  const std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::shared_ptr<NoiseRenderer> renderer_;
  std::shared_ptr<NoiseDrawWorker> drawWorker_;
  std::shared_ptr<NoiseChain> chain_;
  std::shared_ptr<NoiseTuning> tuning_;
  NoiseAdjustWorker adjust_;

  uint16_t address_ = 0xC6E6;
  NoiseSettings settings_;
  std::array<int, 11> segValues_{};
  bool opened_ = false;  // opened and not closed since (the backup may have failed)
  bool panelShown_ = false;
  bool dragging_ = false;
  bool restartAfterAdjust_ = false;
  bool closeAfterAdjust_ = false;
  bool openAfterAdjust_ = false;
  bool sending_ = false;
  bool restoreAfterSend_ = false;
  NoiseMarkers markers_;
  std::deque<QString> pendingTexts_;
  bool showingText_ = false;
  std::atomic<bool> repaintPending_{false};

  NoiseGraphWidget* graph_ = nullptr;
  QCheckBox* avg_ = nullptr;
  QCheckBox* manualHop_ = nullptr;
  QLabel* freqA_ = nullptr;
  QLabel* freqB_ = nullptr;
  QToolButton* panelToggle_ = nullptr;
  QWidget* panel_ = nullptr;
  QLineEdit* refFreq_ = nullptr;
  std::array<QLineEdit*, 11> segEdits_{};
  QPushButton* autoAdjust_ = nullptr;
  QPushButton* sendConfig_ = nullptr;
  QTimer* resumeTimer_ = nullptr;
};
