#include "views/widgets/noise/NoiseDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "device/ChipGlobals.h"
#include "device/StreamControl.h"
#include "ui/ControlIds.h"
#include "ui/Prompts.h"
#include "ui/UiBridge.h"
#include "ui/WaittingDlg.h"
#include "views/DataFormatStore.h"
#include "views/noise/NoiseChain.h"
#include "views/widgets/PrepareFonts.h"
#include "views/widgets/noise/NoiseDrawWorker.h"
#include "views/widgets/noise/NoiseGraphWidget.h"

namespace {

constexpr double kOpacity = 200.0 / 255.0;
constexpr int kGraphWidth = 640;
constexpr int kGraphHeight = 460;
constexpr int kPanelEditWidth = 34;
// The controls over the graph sit right of the x axis's end.
constexpr int kControlsFromRight = 115;
constexpr int kResumeCheckMs = 250;
constexpr int kSkipAfterSend = 2;
constexpr const char* kAutoAdjustText = "Auto Adjust";
constexpr const char* kStopAdjustText = "Stop Adjust";

struct SegmentEdit {
  ControlId id;
  const char* name;
  const char* label;
};
constexpr SegmentEdit kSegmentEdits[11] = {
    {IDC_SEG1_NORMAL, "IDC_SEG1_NORMAL", "Seg1 Normal"},
    {IDC_SEG1_FACTOR, "IDC_SEG1_FACTOR", "Seg1 Factor"},
    {IDC_SEG2_NORMAL, "IDC_SEG2_NORMAL", "Seg2Normal"},
    {IDC_SEG2_FACTOR, "IDC_SEG2_FACTOR", "Seg2 Factor"},
    {IDC_SEG3_NORMAL, "IDC_SEG3_NORMAL", "Seg3 Normal"},
    {IDC_SEG3_FACTOR, "IDC_SEG3_FACTOR", "Seg3 Factor"},
    {IDC_SEG4_NORMAL, "IDC_SEG4_NORMAL", "Seg4 Normal"},
    {IDC_SEG4_FACTOR, "IDC_SEG4_FACTOR", "Seg4 Factor"},
    {IDC_SEG5_NORMAL, "IDC_SEG5_NORMAL", "Seg5 Normal"},
    {IDC_SEG5_FACTOR, "IDC_SEG5_FACTOR", "Seg5 Factor"},
    {IDC_SEG6_NORMAL, "IDC_SEG6_NORMAL", "Seg6 Normal"},
};

QString Q(const std::string& text) { return QString::fromStdString(text); }


}  // namespace

CNoiseDlg::CNoiseDlg(IPrompts& prompts, ILogSink* log, NoiseDlgHost host, QWidget* parent)
    : QWidget(parent, Qt::Window), prompts_(prompts), log_(log), host_(std::move(host)) {
  PrepareFonts();
  setObjectName(CONTROL_NAME(IDD_NOISE));
  setWindowTitle(QStringLiteral("Noise"));
  setWindowOpacity(kOpacity);
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::Base, Qt::white);
  setPalette(white);

  renderer_ = std::make_shared<NoiseRenderer>();
  drawWorker_ = std::make_shared<NoiseDrawWorker>(renderer_);
  tuning_ = std::make_shared<NoiseTuning>(std::string());
  std::weak_ptr<NoiseDrawWorker> weakDraw = drawWorker_;
  chain_ = NoiseChain::Create(
      [weakDraw](std::vector<uint8_t>&& frame) {
        if (auto draw = weakDraw.lock()) draw->OfferNoise(std::move(frame));
      },
      log_);
  chain_->SetPausePredicate([] { return StreamControl().IsBusy(); });

  BuildUi();

  std::weak_ptr<int> alive = alive_;
  NoiseDrawWorker::Callbacks callbacks;
  // One repaint waits at a time, however fast frames come; labels only
  // when the markers moved. (The callbacks end before this widget does.)
  callbacks.pictureChanged = [this, alive] {
    if (repaintPending_.exchange(true)) return;
    UiBridge::post([this, alive] {
      if (!alive.lock()) return;
      repaintPending_ = false;
      graph_->update();
    });
  };
  callbacks.markers = [this, alive, last = std::make_shared<std::optional<NoiseMarkers>>()](
                          const NoiseMarkers& markers) {
    if (*last && (*last)->freqA == markers.freqA && (*last)->freqB == markers.freqB) return;
    *last = markers;
    UiBridge::post([this, alive, markers] {
      if (alive.lock()) UpdateLabels(markers);
    });
  };
  callbacks.adjustDone = [this, alive](const std::array<int, 11>& values) {
    UiBridge::post([this, alive, values] {
      if (!alive.lock()) return;
      segValues_ = values;
      ShowSegmentValues();
    });
  };
  drawWorker_->SetCallbacks(std::move(callbacks));
  drawWorker_->Start();

  resumeTimer_ = new QTimer(this);
  resumeTimer_->setInterval(kResumeCheckMs);
  connect(resumeTimer_, &QTimer::timeout, this, [this] {
    if (isVisible()) chain_->ResumeIfPaused();
  });
  resumeTimer_->start();
}

CNoiseDlg::~CNoiseDlg() {
  chain_->Stop();
  if (adjust_.State() != AdjustState::Idle) {
    adjust_.Stop();
    // The run may be waiting for the UI thread (a page stop inside a send);
    // serve it until the run has ended.
    while (!adjust_.HasEnded()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  drawWorker_->SetCallbacks({});
  drawWorker_->Stop();
}

void CNoiseDlg::BuildUi() {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  graph_ = new NoiseGraphWidget(renderer_, this);
  graph_->setObjectName(CONTROL_NAME(IDC_NOISE_GRAPH));
  graph_->setMinimumSize(200, 150);
  row->addWidget(graph_, 1);

  panelToggle_ = new QToolButton(this);
  panelToggle_->setObjectName(CONTROL_NAME(IDC_PANEL_TOGGLE));
  panelToggle_->setArrowType(Qt::RightArrow);
  panelToggle_->setFixedSize(13, 26);
  row->addWidget(panelToggle_, 0, Qt::AlignVCenter);
  connect(panelToggle_, &QToolButton::clicked, this, &CNoiseDlg::OnBnClickedPanelToggle);

  panel_ = BuildPanel();
  panel_->setVisible(false);
  row->addWidget(panel_);

  avg_ = new QCheckBox(QStringLiteral("Avg"), graph_);
  avg_->setObjectName(CONTROL_NAME(IDC_NOISE_AVG));
  connect(avg_, &QCheckBox::toggled, this, [this](bool on) { drawWorker_->SetAverage(on); });
  manualHop_ = new QCheckBox(QStringLiteral("Manual Hop"), graph_);
  manualHop_->setObjectName(CONTROL_NAME(IDC_MANUAL_HOP));
  connect(manualHop_, &QCheckBox::toggled, this, &CNoiseDlg::OnBnClickedManualHop);
  freqA_ = new QLabel(QStringLiteral("FreqA:"), graph_);
  freqA_->setObjectName(CONTROL_NAME(IDC_FREQA));
  freqB_ = new QLabel(QStringLiteral("FreqB:"), graph_);
  freqB_->setObjectName(CONTROL_NAME(IDC_FREQB));
  for (QWidget* w : {static_cast<QWidget*>(avg_), static_cast<QWidget*>(manualHop_),
                     static_cast<QWidget*>(freqA_), static_cast<QWidget*>(freqB_)}) {
    w->setAutoFillBackground(false);
    w->resize(kControlsFromRight - 5, 20);
  }

  connect(graph_, &NoiseGraphWidget::resized, this, [this](QSize size) {
    renderer_->Resize(size.width(), size.height());
    PlaceGraphControls();
    drawWorker_->RequestRedraw();
    graph_->update();
  });
  connect(graph_, &NoiseGraphWidget::pressed, this, &CNoiseDlg::OnGraphPressed);
  connect(graph_, &NoiseGraphWidget::moved, this, &CNoiseDlg::OnGraphMoved);
  connect(graph_, &NoiseGraphWidget::released, this, &CNoiseDlg::OnGraphReleased);
  connect(graph_, &NoiseGraphWidget::doubleClicked, this, [this] {
    renderer_->ClearCurves();
    graph_->update();
  });
  resize(kGraphWidth + panelToggle_->width(), kGraphHeight);
}

QWidget* CNoiseDlg::BuildPanel() {
  auto* panel = new QWidget(this);
  panel->setFixedWidth(kPanelWidth);
  // Eleven labelled values in 110 pixels: a small face.
  QFont small = panel->font();
  small.setPointSize(7);
  panel->setFont(small);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(2, 4, 2, 4);
  column->setSpacing(2);
  auto* form = new QFormLayout;
  form->setContentsMargins(0, 0, 0, 0);
  form->setSpacing(2);
  refFreq_ = new QLineEdit(panel);
  refFreq_->setFixedWidth(kPanelEditWidth);
  refFreq_->setObjectName(CONTROL_NAME(IDC_REF_FREQ));
  connect(refFreq_, &QLineEdit::textChanged, this,
          [this](const QString& text) { drawWorker_->SetRefFreq(text.toInt()); });
  form->addRow(QStringLiteral("RefFreq"), refFreq_);
  for (size_t i = 0; i < segEdits_.size(); ++i) {
    auto* edit = new QLineEdit(QStringLiteral("0"), panel);
    edit->setFixedWidth(kPanelEditWidth);
    edit->setObjectName(QString::fromLatin1(kSegmentEdits[i].name));
    segEdits_[i] = edit;
    form->addRow(QString::fromLatin1(kSegmentEdits[i].label), edit);
  }
  column->addLayout(form);
  autoAdjust_ = new QPushButton(QString::fromLatin1(kAutoAdjustText), panel);
  autoAdjust_->setObjectName(CONTROL_NAME(IDC_AUTO_ADJUST));
  connect(autoAdjust_, &QPushButton::clicked, this, &CNoiseDlg::OnBnClickedAutoAdjust);
  sendConfig_ = new QPushButton(QStringLiteral("Send Config"), panel);
  sendConfig_->setObjectName(CONTROL_NAME(IDC_SEND_CONFIG));
  connect(sendConfig_, &QPushButton::clicked, this, &CNoiseDlg::OnBnClickedSendConfig);
  column->addWidget(autoAdjust_);
  column->addWidget(sendConfig_);
  column->addStretch(1);
  return panel;
}

void CNoiseDlg::PlaceGraphControls() {
  const int x = graph_->width() - kControlsFromRight;
  avg_->move(x, 10);
  manualHop_->move(x, 32);
  freqA_->move(x, 60);
  freqB_->move(x, 82);
}

void CNoiseDlg::ShowSegmentValues() {
  for (size_t i = 0; i < segEdits_.size(); ++i) segEdits_[i]->setText(QString::number(segValues_[i]));
}

void CNoiseDlg::UpdateLabels(const NoiseMarkers& markers) {
  markers_ = markers;
  freqA_->setText(QStringLiteral("FreqA: %1kHz")
                      .arg(NoiseKHz(markers.freqA, settings_.bitFreq), 0, 'f', 1));
  freqB_->setVisible(markers.freqB.has_value());
  if (markers.freqB) {
    freqB_->setText(QStringLiteral("FreqB: %1kHz")
                        .arg(NoiseKHz(*markers.freqB, settings_.bitFreq), 0, 'f', 1));
  }
}

void CNoiseDlg::SetConfigControlsEnabled(bool enabled) {
  sendConfig_->setEnabled(enabled);
  manualHop_->setEnabled(enabled);
}

bool CNoiseDlg::RefuseWhileBusy() {
  if (!StreamControl().IsBusy()) return false;
  prompts_.warn(QString::fromUtf8(kNoiseBusyText));
  return true;
}

std::string CNoiseDlg::SendOnWorker(const std::function<void(NoiseTuning&)>& send) {
  sending_ = true;
  if (host_.beginExclusive) host_.beginExclusive();
  // The worker touches the configuration object only; the widgets stay here.
  const std::shared_ptr<NoiseTuning> tuning = tuning_;
  std::string failure;
  try {
    RunWithWaiting(this, [&] {
      try {
        send(*tuning);
      } catch (const std::exception& e) {
        failure = e.what();
      }
    });
  } catch (const std::exception& e) {
    if (failure.empty()) failure = e.what();
  }
  if (host_.endExclusive) host_.endExclusive();
  sending_ = false;
  if (restoreAfterSend_) {
    restoreAfterSend_ = false;
    RestoreOnClose();
  }
  return failure;
}

void CNoiseDlg::RestoreOnClose() {
  opened_ = false;
  // Only this opening's own backup is ever sent back.
  if (!tuning_->BackedUp()) return;
  // Its failures reach the operator through the notifier.
  SendOnWorker([](NoiseTuning& tuning) { tuning.Restore(); });
}

void CNoiseDlg::TellLater(const std::string& text) {
  std::weak_ptr<int> alive = alive_;
  UiBridge::post([this, alive, text] {
    if (!alive.lock()) return;
    pendingTexts_.push_back(Q(text));
    // A box is open: this text waits its turn (the box's own event loop
    // runs this hand-over).
    if (showingText_) return;
    showingText_ = true;
    while (!pendingTexts_.empty()) {
      const QString next = pendingTexts_.front();
      pendingTexts_.pop_front();
      prompts_.warn(next);
    }
    showingText_ = false;
  });
}

void CNoiseDlg::LoadNoiseConfig() {
  // The send's worker holds the configuration object until it ends (the
  // waiting dialog keeps the button from being pressed meanwhile).
  if (sending_) return;
  address_ = ReadNoiseDataAddress();
  if (adjust_.State() != AdjustState::Idle) {
    // A running auto-adjust owns the configuration object until it has
    // restored the chip. A view closed during the run and opened again
    // meanwhile completes its opening then.
    if (closeAfterAdjust_) {
      closeAfterAdjust_ = false;
      openAfterAdjust_ = true;
    }
    show();
    raise();
    return;
  }
  if (chain_->IsStopped()) {
    tuning_ = std::make_shared<NoiseTuning>(GetChipName());
    tuning_->Backup();
    opened_ = true;
    if (tuning_->BackedUp()) {
      const NoiseSettingsRead read = tuning_->ReadSettings(&settings_);
      if (!read.error.empty()) prompts_.warn(Q(read.error));
      if (!read.rangeLog.empty() && log_ != nullptr) log_->AddLog(read.rangeLog, LOG_ERROR);
    } else {
      // The block holds no chip data (the backup's box said why): the graph
      // takes the default range rather than one made of a failed read.
      settings_ = NoiseSettings{};
    }
    renderer_->Configure({settings_.range, settings_.bitFreq, settings_.dual});
    renderer_->SetTarget(std::nullopt);
    renderer_->SetSkip(0);
    freqB_->setVisible(settings_.dual);
    show();
    raise();
    chain_->Start(address_);
  } else {
    show();
    raise();
    // A chain ended by a failed read starts again (the backup stays).
    if (chain_->IsDead()) chain_->Start(address_);
  }
  if (!tuning_->BackedUp()) {
    // No values of the chip to show.
    segValues_ = {};
    for (QLineEdit* edit : segEdits_) edit->clear();
    refFreq_->clear();
    return;
  }
  const std::string error = tuning_->ReadSegments(&segValues_);
  if (error.empty()) {
    ShowSegmentValues();
  } else {
    prompts_.warn(Q(error));
  }
  refFreq_->setText(QString::number(tuning_->ReadFactorA()));
}

bool CNoiseDlg::RefuseWithoutBackup() {
  if (tuning_->BackedUp()) return false;
  prompts_.warn(QString::fromUtf8(kNoiseNoBackupText));
  return true;
}

void CNoiseDlg::OnGraphPressed(QPoint at) {
  const bool canDrag = adjust_.State() == AdjustState::Idle && !sending_ && !chain_->IsStopped();
  if (canDrag && HitsMarker(at.x(), at.y(), markers_.freqA, markers_.freqB,
                            renderer_->Geometry(), settings_.range)) {
    dragging_ = true;
    renderer_->SetTarget(std::nullopt);
    renderer_->SetDragIndex(DragIndex(at.x(), renderer_->Geometry(), settings_.range));
    drawWorker_->RequestRedraw();
    return;
  }
  if (QWindow* window = windowHandle()) window->startSystemMove();
}

void CNoiseDlg::OnGraphMoved(QPoint at) {
  if (!dragging_) return;
  renderer_->SetDragIndex(DragIndex(at.x(), renderer_->Geometry(), settings_.range));
  drawWorker_->RequestRedraw();
}

void CNoiseDlg::OnGraphReleased(QPoint at) {
  if (!dragging_) return;
  dragging_ = false;
  const int index = DragIndex(at.x(), renderer_->Geometry(), settings_.range);
  renderer_->SetDragIndex(std::nullopt);
  drawWorker_->RequestRedraw();
  if (sending_ || RefuseWhileBusy() || RefuseWithoutBackup()) return;
  renderer_->SetTarget(index);
  const bool dual = settings_.dual;
  const bool manualHop = manualHop_->isChecked();
  const std::string failure = SendOnWorker(
      [index, dual, manualHop](NoiseTuning& tuning) { tuning.ReleaseMarker(index, dual, manualHop); });
  if (failure.empty()) {
    renderer_->SetSkip(kSkipAfterSend);
    return;
  }
  // The chip did not take the index: the markers follow what it reports
  // again instead of showing the choice as if it held.
  renderer_->SetTarget(std::nullopt);
  prompts_.warn(Q(failure));
}

void CNoiseDlg::OnBnClickedManualHop(bool checked) {
  if (checked) return;  // the hop comes with the next marker release
  const bool busy = StreamControl().IsBusy();
  if (sending_ || busy) {
    // The box keeps saying what the chip has.
    QSignalBlocker block(manualHop_);
    manualHop_->setChecked(true);
    if (busy) prompts_.warn(QString::fromUtf8(kNoiseBusyText));
    return;
  }
  if (!tuning_->KeptHopThreshold()) return;
  const std::string failure = SendOnWorker([](NoiseTuning& tuning) { tuning.ReleaseManualHop(); });
  renderer_->SetSkip(kSkipAfterSend);
  if (failure.empty()) return;
  {
    // The chip still has the hop: the box says so, and clearing it again
    // retries with the threshold still kept.
    QSignalBlocker block(manualHop_);
    manualHop_->setChecked(true);
  }
  prompts_.warn(Q(failure));
}

void CNoiseDlg::OnBnClickedSendConfig() {
  if (sending_ || adjust_.State() != AdjustState::Idle || RefuseWhileBusy() ||
      RefuseWithoutBackup()) {
    return;
  }
  std::array<int, 11> values{};
  for (size_t i = 0; i < segEdits_.size(); ++i) {
    bool ok = false;
    values[i] = segEdits_[i]->text().trimmed().toInt(&ok);
    if (!ok) {
      prompts_.warn(QString::fromLatin1(kSegmentEdits[i].label) + QStringLiteral("的值不是整数：") +
                    segEdits_[i]->text());
      return;
    }
  }
  const std::string failure =
      SendOnWorker([values](NoiseTuning& tuning) { tuning.SendSegments(values); });
  if (!failure.empty()) {
    prompts_.warn(Q(failure));
    return;
  }
  segValues_ = values;
  prompts_.info(QString::fromUtf8(kNoiseSavedText));
}

void CNoiseDlg::OnBnClickedAutoAdjust() {
  if (adjust_.State() == AdjustState::Running) {
    StopAdjust();
    return;
  }
  if (sending_ || adjust_.State() != AdjustState::Idle || RefuseWhileBusy() ||
      RefuseWithoutBackup()) {
    return;
  }
  chain_->Stop();
  IStreamControl& pages = StreamControl();
  // The chip's stream itself stops with the run's first request, which
  // goes out under the run's hold on the device: nothing reaches the device
  // from this thread, so a probe in progress never keeps it waiting.
  for (int page : {PAGE_RAW, PAGE_DIFF, PAGE_OBSERVE, PAGE_DEMO}) pages.MarkPageStopped(page);
  renderer_->SetTarget(std::nullopt);
  renderer_->Reset(NoiseRenderer::kAdjustYMax);
  drawWorker_->SetRefFreq(refFreq_->text().toInt());
  graph_->update();

  std::weak_ptr<int> alive = alive_;
  std::weak_ptr<NoiseDrawWorker> weakDraw = drawWorker_;
  AutoAdjustHooks hooks;
  hooks.handOff = [weakDraw](AdjustFrame&& frame) {
    auto draw = weakDraw.lock();
    return draw && draw->OfferAdjust(std::move(frame));
  };
  hooks.tell = [this](const std::string& text) { TellLater(text); };
  hooks.holdDevice = host_.holdOnWorker;
  hooks.releaseDevice = host_.releaseOnWorker;
  const uint64_t adjustDrawnBefore = drawWorker_->AdjustFramesDrawn();
  const bool started = adjust_.Start(
      tuning_, settings_.range, settings_.dual, GetDataFormatStore().Format(DataKind::Raw),
      std::move(hooks),
      [this, alive, weakDraw, adjustDrawnBefore](const AutoAdjustResult& result) {
        // The draw thread hands the last frames' segment values over; the end
        // follows them, so the controls never come back showing older values.
        if (auto draw = weakDraw.lock()) {
          draw->WaitForAdjustFramesDrawn(adjustDrawnBefore + result.handedOff,
                                         NoiseDrawWorker::kJoinLimitMs);
        }
        UiBridge::post([this, alive] {
          if (alive.lock()) OnAdjustEnded();
        });
      });
  if (!started) return;
  autoAdjust_->setText(QString::fromLatin1(kStopAdjustText));
  SetConfigControlsEnabled(false);
}

void CNoiseDlg::StopAdjust() {
  adjust_.Stop();
  autoAdjust_->setText(QString::fromLatin1(kAutoAdjustText));
  autoAdjust_->setEnabled(false);
}

void CNoiseDlg::OnAdjustEnded() {
  adjust_.Finish();
  // The run restored the chip's configuration from the backup.
  autoAdjust_->setText(QString::fromLatin1(kAutoAdjustText));
  autoAdjust_->setEnabled(true);
  SetConfigControlsEnabled(true);
  renderer_->SetTarget(std::nullopt);
  if (closeAfterAdjust_) {
    closeAfterAdjust_ = false;
    restartAfterAdjust_ = false;
    opened_ = false;
  } else if (openAfterAdjust_) {
    // Opened again while the closed run was ending: the opening it skipped,
    // from a backup of its own.
    openAfterAdjust_ = false;
    restartAfterAdjust_ = false;
    opened_ = false;
    LoadNoiseConfig();
  } else if (restartAfterAdjust_) {
    restartAfterAdjust_ = false;
    RestartNoiseChain();
  }
  emit adjustFinished();
}

void CNoiseDlg::RestartNoiseChain() {
  renderer_->Reset(NoiseRenderer::kDefaultYMax);
  graph_->update();
  chain_->Start(address_);
}

void CNoiseDlg::OnBnClickedPanelToggle() {
  panelShown_ = !panelShown_;
  panelToggle_->setArrowType(panelShown_ ? Qt::LeftArrow : Qt::RightArrow);
  panel_->setVisible(panelShown_);
  resize(width() + (panelShown_ ? kPanelWidth : -kPanelWidth), height());
  if (panelShown_) return;
  // Closing the panel ends a running auto-adjust; the noise graph comes back
  // once the run has restored the chip.
  if (adjust_.State() != AdjustState::Idle) {
    if (adjust_.State() == AdjustState::Running) StopAdjust();
    restartAfterAdjust_ = true;
    return;
  }
  if (isVisible() && opened_) RestartNoiseChain();
}

void CNoiseDlg::closeEvent(QCloseEvent* event) {
  chain_->Stop();
  dragging_ = false;
  if (adjust_.State() != AdjustState::Idle) {
    // The run restores the backup itself when it ends: that is the one
    // restore. Never wait for it here: its sends need this thread.
    if (adjust_.State() == AdjustState::Running) StopAdjust();
    closeAfterAdjust_ = true;
    openAfterAdjust_ = false;
    restartAfterAdjust_ = false;
  } else if (sending_) {
    // The send in progress holds the configuration object; the restore
    // follows it.
    restoreAfterSend_ = opened_;
  } else if (opened_) {
    RestoreOnClose();
  }
  event->accept();
}
