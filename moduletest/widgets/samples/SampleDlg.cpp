#include "moduletest/widgets/samples/SampleDlg.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <mutex>

#include "device/ChipGlobals.h"
#include "device/LogSink.h"
#include "moduletest/samples/SampleStore.h"
#include "moduletest/widgets/samples/SampleLayout.h"
#include "moduletest/widgets/samples/TestThrdAdjustDlg.h"
#include "platform/files/AppPaths.h"
#include "ui/ControlIds.h"
#include "ui/Prompts.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"

namespace {

constexpr int kTimerMs = 10;
const char* const kTypeTexts[] = {"相邻偏差", "最大值", "最小值", "原始值"};

QString PathText(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

}  // namespace

CSampleDlg::CSampleDlg(DataFormatStore& formats, ILogSink* log, IPrompts& prompts,
                       SampleStore& samples, std::filesystem::path testIni, QWidget* parent)
    : QDialog(parent),
      formats_(formats),
      log_(log),
      prompts_(prompts),
      samples_(samples),
      testIni_(std::move(testIni)),
      typeText_(QString::fromUtf8(kTypeTexts[kTypeRaw])) {
  setWindowTitle(QStringLiteral("调参采样"));
  setStyleSheet(
      QStringLiteral("QDialog { background: rgb(211, 233, 242); } QLabel { color: black; }"));
  resize(900, 640);
  samples_.SetLog(log_);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(5, 5, 5, 5);
  view_ = new CSampleLayout(formats_, log_, samples_, GetRawFrameStack(), GetNodeArrays(),
                            NodeArraysMutex(), this);
  column->addWidget(view_, 1);
  auto* row = new QHBoxLayout;
  column->addLayout(row);
  struct ButtonDef {
    int id;
    QString name;
    const char* text;
    void (CSampleDlg::*handler)();
  };
  const ButtonDef defs[] = {
      {IDC_SAMPLE_START, CONTROL_NAME(IDC_SAMPLE_START), "开始采样",
       &CSampleDlg::OnBnClickedStartSample},
      {IDC_SAMPLE_CALC, CONTROL_NAME(IDC_SAMPLE_CALC), "计算参数",
       &CSampleDlg::OnBnClickedCalcParams},
      {IDC_SAMPLE_SAVE, CONTROL_NAME(IDC_SAMPLE_SAVE), "保存参数",
       &CSampleDlg::OnBnClickedSaveParams},
      {IDC_SAMPLE_IMPORT, CONTROL_NAME(IDC_SAMPLE_IMPORT), "导入数据",
       &CSampleDlg::OnBnClickedImportData},
      {IDC_SAMPLE_PREV_FRAME, CONTROL_NAME(IDC_SAMPLE_PREV_FRAME), "上一帧",
       &CSampleDlg::OnBnClickedPrevFrame},
      {IDC_SAMPLE_NEXT_FRAME, CONTROL_NAME(IDC_SAMPLE_NEXT_FRAME), "下一帧",
       &CSampleDlg::OnBnClickedNextFrame},
      {IDC_SAMPLE_PREV_SAMPLE, CONTROL_NAME(IDC_SAMPLE_PREV_SAMPLE), "上一样本",
       &CSampleDlg::OnBnClickedPrevSample},
      {IDC_SAMPLE_NEXT_SAMPLE, CONTROL_NAME(IDC_SAMPLE_NEXT_SAMPLE), "下一样本",
       &CSampleDlg::OnBnClickedNextSample},
      {IDC_SAMPLE_DELETE, CONTROL_NAME(IDC_SAMPLE_DELETE), "删除样本",
       &CSampleDlg::OnBnClickedDeleteSample},
  };
  for (const ButtonDef& d : defs) {
    auto* b = new QPushButton(QString::fromUtf8(d.text), this);
    b->setObjectName(d.name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, h = d.handler] { (this->*h)(); });
    buttons_[d.id] = b;
    row->addWidget(b);
  }
  row->addWidget(new QLabel(QStringLiteral("参数类型"), this));
  paramType_ = new QComboBox(this);
  paramType_->setObjectName(CONTROL_NAME(IDC_SAMPLE_PARAM_TYPE));
  for (const char* t : kTypeTexts) paramType_->addItem(QString::fromUtf8(t));
  paramType_->setCurrentIndex(kTypeRaw);
  row->addWidget(paramType_);
  connect(paramType_, &QComboBox::activated, this, &CSampleDlg::OnCbnSelchangeParamType);
  timer_ = new QTimer(this);
  timer_->setInterval(kTimerMs);
  connect(timer_, &QTimer::timeout, this, &CSampleDlg::OnTimer);

  // Nothing to browse, compute or save before a recording or an import.
  for (int id : {IDC_SAMPLE_CALC, IDC_SAMPLE_SAVE, IDC_SAMPLE_PREV_FRAME, IDC_SAMPLE_NEXT_FRAME,
                 IDC_SAMPLE_PREV_SAMPLE, IDC_SAMPLE_NEXT_SAMPLE, IDC_SAMPLE_DELETE}) {
    buttons_[id]->setEnabled(false);
  }
  chooseFiles_ = [this](const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileNames(this, QString(), folder, filter);
  };
  askRatios_ = [this]() -> std::optional<AdjustRatios> {
    CTestThrdAdjustDlg dlg(testIni_, prompts_, this);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Ratios();
  };
}

CSampleDlg::~CSampleDlg() {
  view_->StopStream();
  std::lock_guard lock(SampleStore::Lock());
  if (samples_.IsRecording()) samples_.StopRecording(nullptr);
  samples_.CloseFile();
  samples_.SetLog(nullptr);
}

void CSampleDlg::SetSessionHooks(Prepare prepare, Hook restore) {
  prepare_ = std::move(prepare);
  restore_ = std::move(restore);
}

void CSampleDlg::SetFileChooser(ChooseFiles choose) { chooseFiles_ = std::move(choose); }
void CSampleDlg::SetRatioAsker(AskRatios ask) { askRatios_ = std::move(ask); }

QPushButton* CSampleDlg::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

QString CSampleDlg::CurrentName() const { return PathText(samples_.CurrentName()); }

void CSampleDlg::RunHook(const Hook& hook) {
  if (!hook) return;
  // Nothing may be clicked while the chip is being prepared or restored.
  setEnabled(false);
  hook();
  setEnabled(true);
}

void CSampleDlg::RunPrepare() {
  // Without an owner page nothing prepares the chip, and nothing reads the
  // panel: the frames are taken as the raw format stands.
  if (!prepare_) return;
  bool follows = false;
  RunHook([this, &follows] { follows = prepare_(); });
  rawFollowsPanel_ = follows;
}

bool CSampleDlg::RefusedByFormat() {
  if (rawFollowsPanel_) return false;
  // The panel's own size could not be taken (its refusal is in the log).
  const QString line = QStringLiteral("原始帧格式与当前面板不符，无法采样");
  if (log_) log_->AddLog(line.toStdString(), LOG_ERROR);
  prompts_.warn(line);
  return true;
}

void CSampleDlg::StartLiveView() {
  if (view_->IsStopped()) view_->StartStream();
}

void CSampleDlg::EnableBrowse(bool enable) {
  for (int id : {IDC_SAMPLE_PREV_SAMPLE, IDC_SAMPLE_NEXT_SAMPLE, IDC_SAMPLE_PREV_FRAME,
                 IDC_SAMPLE_NEXT_FRAME, IDC_SAMPLE_DELETE}) {
    buttons_[id]->setEnabled(enable);
  }
}

void CSampleDlg::OnBnClickedStartSample() {
  if (recording_) {
    StopRecording();
    return;
  }
  // No file, and the dialog stays as it was.
  RunPrepare();
  if (RefusedByFormat()) return;
  for (int id : {IDC_SAMPLE_DELETE, IDC_SAMPLE_IMPORT, IDC_SAMPLE_NEXT_FRAME, IDC_SAMPLE_PREV_FRAME,
                 IDC_SAMPLE_CALC, IDC_SAMPLE_PREV_SAMPLE, IDC_SAMPLE_NEXT_SAMPLE}) {
    buttons_[id]->setEnabled(false);
  }
  paramType_->setEnabled(false);
  buttons_[IDC_SAMPLE_START]->setText(QStringLiteral("停止采样"));
  recording_ = true;
  std::filesystem::path path;
  std::string error;
  if (!samples_.BeginRecording(&path, &error)) {
    prompts_.warn(QStringLiteral("创建文件") + PathText(path) + QStringLiteral("失败"));
  }
  view_->ResetFramesReceived();
  timer_->start();
  setWindowTitle(QStringLiteral("开始采样"));
  // The type shown while recording is the live raw view.
  paramType_->setCurrentIndex(kTypeRaw);
  typeText_ = QString::fromUtf8(kTypeTexts[kTypeRaw]);
  StartLiveView();
}

void CSampleDlg::StopRecording() {
  view_->StopStream();
  buttons_[IDC_SAMPLE_IMPORT]->setEnabled(true);
  paramType_->setEnabled(true);
  RunHook(restore_);
  buttons_[IDC_SAMPLE_START]->setText(QStringLiteral("开始采样"));
  recording_ = false;
  bool hadFile = false;
  bool broken = false;
  int32_t stored = 0;
  std::filesystem::path path;
  {
    // A late frame must not land between the count and the stop.
    std::lock_guard lock(SampleStore::Lock());
    hadFile = samples_.IsRecording();
    broken = !hadFile || samples_.RecordingBroken();
    stored = hadFile ? samples_.FrameCounter() : 0;
    path = samples_.RecordingPath();
    // A failed flush is the store's line.
    if (hadFile) samples_.StopRecording(nullptr);
  }
  timer_->stop();
  // A broken recording (no file, or a write that failed) counts what its
  // file holds, not the frames that came.
  const QString stopped =
      (broken ? QStringLiteral("采样已中断:") : QStringLiteral("采样已停止:")) + PathText(path) +
      QStringLiteral(",%1帧").arg(broken ? stored : view_->FramesReceived());
  if (hadFile) {
    OnBnClickedNextSample();
    buttons_[IDC_SAMPLE_DELETE]->setEnabled(true);
    buttons_[IDC_SAMPLE_CALC]->setEnabled(true);
  }
  // The count of the recording stays readable over the first frame shown.
  setWindowTitle(stopped);
}

void CSampleDlg::OnTimer() {
  // A failed frame read ends the stream (the view logs it), a failed write
  // ends the storing (the store logs it); the caption says so instead of
  // counting on.
  const bool broken = recording_ && (view_->IsStopped() || samples_.RecordingBroken());
  const QString state = broken ? QStringLiteral("采样已中断:") : QStringLiteral("正在采样:");
  setWindowTitle(state + CurrentName() + QStringLiteral(",%1帧").arg(view_->FramesReceived()));
}

void CSampleDlg::OnBnClickedImportData() {
  samples_.CloseFile();
  const QString folder = PathText(platform::AppPaths::BaseDir() / "test" / "test_sample") + "/";
  const QStringList chosen =
      chooseFiles_(folder, QStringLiteral("Sample Files(*.sd) (*.sd);;All Files(*.*) (*)"));
  if (chosen.isEmpty()) return;
  std::vector<std::filesystem::path> names;
  for (const QString& c : chosen) names.emplace_back(c.toStdString());
  samples_.SetNames(std::move(names));
  view_->StopStream();
  OnBnClickedNextSample();
  buttons_[IDC_SAMPLE_DELETE]->setEnabled(true);
  buttons_[IDC_SAMPLE_CALC]->setEnabled(true);
}

void CSampleDlg::OnBnClickedNextSample() {
  samples_.OpenNext();
  buttons_[IDC_SAMPLE_PREV_SAMPLE]->setEnabled(samples_.CurrentIndex() > 0);
  buttons_[IDC_SAMPLE_NEXT_SAMPLE]->setEnabled(!samples_.IsLast());
  view_->ResetStatistics();
  setWindowTitle(QStringLiteral("Sample Data:") + CurrentName());
  OnBnClickedNextFrame();
}

void CSampleDlg::OnBnClickedPrevSample() {
  samples_.OpenPrevious();
  buttons_[IDC_SAMPLE_PREV_SAMPLE]->setEnabled(samples_.CurrentIndex() > 0);
  buttons_[IDC_SAMPLE_NEXT_SAMPLE]->setEnabled(!samples_.IsLast());
  view_->ResetStatistics();
  setWindowTitle(QStringLiteral("Sample Data:") + CurrentName());
  OnBnClickedNextFrame();
}

void CSampleDlg::ShowFrameCaption() {
  const int64_t position = samples_.Position();
  const int64_t frame = samples_.FrameLength();
  buttons_[IDC_SAMPLE_PREV_FRAME]->setEnabled(frame > 0 && position >= 2 * frame);
  buttons_[IDC_SAMPLE_NEXT_FRAME]->setEnabled(frame > 0 &&
                                              position <= samples_.FileLength() - frame);
  const QString title = windowTitle();
  const qsizetype comma = title.indexOf(',');
  setWindowTitle((comma < 0 ? title : title.left(comma)) +
                 QStringLiteral(",第%1帧").arg(samples_.FrameCounter()));
}

void CSampleDlg::OnBnClickedNextFrame() {
  view_->ReadSampleFrame(true);
  ShowFrameCaption();
}

void CSampleDlg::OnBnClickedPrevFrame() {
  view_->ReadSampleFrame(false);
  ShowFrameCaption();
}

void CSampleDlg::OnBnClickedDeleteSample() {
  const QString name = CurrentName();
  std::string error;
  const bool hadEntry = samples_.CurrentIndex() >= 0;
  const bool more = samples_.DeleteCurrent(&error);
  if (!error.empty()) {
    prompts_.warn(QStringLiteral("删除文件") + name + QStringLiteral("失败：") +
                  QString::fromStdString(error));
    return;
  }
  if (more) {
    OnBnClickedNextSample();
    return;
  }
  setWindowTitle(QStringLiteral("文件已删除:") + name);
  buttons_[IDC_SAMPLE_DELETE]->setEnabled(false);
  if (hadEntry) EnableBrowse(false);
  buttons_[IDC_SAMPLE_CALC]->setEnabled(!samples_.Names().empty());
}

void CSampleDlg::OnCbnSelchangeParamType(int index) {
  if (index < 0 || index > kTypeRaw) return;
  typeText_ = QString::fromUtf8(kTypeTexts[index]);
  if (index == kTypeRaw) {
    RunPrepare();
    // Frames of the previous panel's size would be drawn as this one's.
    if (RefusedByFormat()) {
      view_->StopStream();
      return;
    }
    StartLiveView();
    return;
  }
  // A live frame would replace the array at once.
  view_->StopStream();
  NodeLimitArrays shown = limits_;
  if (shown.max.empty()) {
    // Nothing computed yet: the limits the test settings hold.
    const DataFormat raw = formats_.Format(DataKind::Raw);
    std::lock_guard lock(NodeArraysMutex());
    shown = HeldNodeLimits(GetNodeArrays(), raw.rows, raw.cols);
  }
  const std::vector<int32_t>& values = index == kTypeAdjacent ? shown.adjacentDeviation
                                       : index == kTypeMax    ? shown.max
                                                              : shown.min;
  view_->ShowLimits(values, shown.rows, shown.cols);
}

void CSampleDlg::OnBnClickedCalcParams() {
  // The files would be cut by the previous panel's format.
  if (RefusedByFormat()) return;
  const std::optional<AdjustRatios> ratios = askRatios_();
  if (!ratios) return;
  const SampleSums sums =
      SumSampleFrames(samples_, formats_.Format(DataKind::Raw), ratios->sampleTimes);
  if (sums.frames == 0) {
    prompts_.warn(QStringLiteral("数据读取出现异常，请重新采集数据和导入数据!!"));
    return;
  }
  EnableBrowse(false);
  limits_ = ComputeNodeLimits(sums, *ratios);
  {
    // The live raw view marks nodes against the new limits at once.
    std::lock_guard lock(NodeArraysMutex());
    NodeArrays& nodes = GetNodeArrays();
    std::copy(limits_.max.begin(), limits_.max.end(), nodes.NodeMaxLimit.begin());
    std::copy(limits_.min.begin(), limits_.min.end(), nodes.NodeMinLimit.begin());
    std::copy(limits_.adjacentDeviation.begin(), limits_.adjacentDeviation.end(),
              nodes.NodeAdjDevLimit.begin());
  }
  paramType_->setCurrentIndex(kTypeAdjacent);
  OnCbnSelchangeParamType(kTypeAdjacent);
  unsaved_ = true;
  buttons_[IDC_SAMPLE_SAVE]->setEnabled(true);
}

void CSampleDlg::OnBnClickedSaveParams() {
  if (limits_.max.empty()) return;
  // The panel's size is unknown: the comparison below would be with the
  // previous panel's.
  if (RefusedByFormat()) return;
  const DataFormat now = formats_.Format(DataKind::Raw);
  if (now.rows != limits_.rows || now.cols != limits_.cols) {
    prompts_.warn(QStringLiteral("面板已从%1x%2变为%3x%4，请重新计算参数")
                      .arg(limits_.rows)
                      .arg(limits_.cols)
                      .arg(now.rows)
                      .arg(now.cols));
    return;
  }
  std::string error;
  if (!SaveNodeLimits(testIni_, limits_, &error)) {
    prompts_.warn(QStringLiteral("节点阈值保存失败：") + QString::fromStdString(error));
    return;
  }
  if (log_) log_->AddLog("节点阈值已保存：" + testIni_.string(), LOG_OK);
  unsaved_ = false;
  buttons_[IDC_SAMPLE_SAVE]->setEnabled(false);
}

void CSampleDlg::done(int result) {
  if (closing_) return;
  closing_ = true;
  if (recording_) StopRecording();
  view_->StopStream();
  if (unsaved_ && prompts_.askYesNo(QStringLiteral("是否保存新的阈值参数？"))) {
    OnBnClickedSaveParams();
  }
  samples_.CloseFile();
  RunHook(restore_);
  QDialog::done(result);
  closing_ = false;
}

void RunSampleDlg(DataFormatStore& formats, ILogSink* log, IPrompts& prompts, QWidget* parent,
                  CSampleDlg::Prepare prepare, CSampleDlg::Hook restore) {
  CSampleDlg dlg(formats, log, prompts, SampleStore::GetInstance(), GetTestIniPath(), parent);
  dlg.SetSessionHooks(std::move(prepare), std::move(restore));
  dlg.exec();
}
