#include "moduletest/widgets/DlgTest.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QUrl>
#include <QVBoxLayout>
#include <system_error>

#include "device/ChipGlobals.h"
#include "device/LogSink.h"
#include "device/StreamControl.h"
#include "moduletest/package/PackageExport.h"
#include "moduletest/package/TestPackage.h"
#include "moduletest/report/ResultIndex.h"
#include "moduletest/report/TestReport.h"
#include "moduletest/settings/NodeThresholds.h"
#include "moduletest/settings/TestId.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/IniFile.h"
#include "ui/ControlIds.h"
#include "ui/MyButton.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/MyProgressCtrl.h"
#include "ui/Prompts.h"
#include "ui/UiBridge.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// RGB(0xE2, 0xF8, 0xFF): the page's background.
const QColor kPageColour(0xE2, 0xF8, 0xFF);
const QColor kBarBlue(0x00, 0x00, 0xFF);

const char* const kPackageFolderText = "..\\test\\test_package\\";

// Lines kept to be logged later.
class LineList : public ILogSink {
 public:
  void AddLog(const std::string& text, LogLevel level) override { lines.emplace_back(text, level); }
  std::vector<std::pair<std::string, LogLevel>> lines;
};

// The objectName of a control id, checked against the id list like
// CONTROL_NAME, for the tables below.
#define ID_NAME(id) (static_cast<void>(ControlId{id}), #id)

struct FileGroupUi {
  const char* box;
  const char* edit;
  const char* boxText;
  const char* filter;
};
constexpr FileGroupUi kFileGroupUi[kTestFileKinds] = {
    {ID_NAME(IDC_TEST_CONFIG_FILE_BOX), ID_NAME(IDC_TEST_CONFIG_FILE_PATH), "VAzezu.cfg",
     "RO*.cfg(*.cfg)|*.cfg|All Files (*.*)|*.*||"},
    {ID_NAME(IDC_TEST_FIRMWARE_FILE_BOX), ID_NAME(IDC_TEST_FIRMWARE_FILE_PATH), "VAzezu.bin",
     "RO*.bin(*.bin)|*.bin|All Files (*.*)|*.*||"},
    {ID_NAME(IDC_TEST_BRIDGE_FILE_BOX), ID_NAME(IDC_TEST_BRIDGE_FILE_PATH), "V64er.bin",
     "K64*.bin(*.bin)|*.bin|All Files (*.*)|*.*||"},
    {ID_NAME(IDC_TEST_TEST_CONFIG_FILE_BOX), ID_NAME(IDC_TEST_TEST_CONFIG_FILE_PATH), "Test.cfg",
     "Test*.cfg(*.cfg)|*.cfg|All Files (*.*)|*.*||"},
};

struct TestBoxUi {
  const char* name;
  const char* text;
};
constexpr TestBoxUi kTestBoxUi[kTestFlagCount] = {
    {ID_NAME(IDC_TEST_MAXMIN), "最大值,最小值"},    {ID_NAME(IDC_TEST_JITTER), "抖动测试"},
    {ID_NAME(IDC_TEST_ADJACENT), "相邻偏差"},       {ID_NAME(IDC_TEST_OFFSET), "相对平均值"},
    {ID_NAME(IDC_TEST_OPEN_SHORT), "短路检测"},     {ID_NAME(IDC_TEST_INT), "INT测试"},
    {ID_NAME(IDC_TEST_SENSOR_ID), "SENSOR_ID测试"},
};

constexpr const char* kNumberNames[kNumericFieldCount] = {
    ID_NAME(IDC_TEST_MAX_THRESHOLD),        ID_NAME(IDC_TEST_MIN_THRESHOLD),
    ID_NAME(IDC_TEST_UNIFORMITY_THRESHOLD), ID_NAME(IDC_TEST_JITTER_THRESHOLD),
    ID_NAME(IDC_TEST_ADJACENT_THRESHOLD),   ID_NAME(IDC_TEST_OFFSET_THRESHOLD),
    ID_NAME(IDC_TEST_CH2CH_THRESHOLD),      ID_NAME(IDC_TEST_CH2GND_THRESHOLD),
    ID_NAME(IDC_TEST_STABLE_FRAMES),
};

struct BarUi {
  TestBar bar;
  const char* name;
  const char* label;
  int step;
};
constexpr BarUi kBarUi[6] = {
    {kBarUpdate, ID_NAME(IDC_TEST_UPDATE_PROGRESS), "升级", 2},
    {kBarMaxMin, ID_NAME(IDC_TEST_MAXMIN_PROGRESS), "最大值,最小值", 2},
    {kBarJitter, ID_NAME(IDC_TEST_JITTER_PROGRESS), "抖动", 2},
    {kBarAdjacent, ID_NAME(IDC_TEST_ADJACENT_PROGRESS), "相邻偏差", 2},
    {kBarOffset, ID_NAME(IDC_TEST_OFFSET_PROGRESS), "相对平均值", 2},
    {kBarOpenShort, ID_NAME(IDC_TEST_OPEN_SHORT_PROGRESS), "短路检测", 3},
};

struct CounterUi {
  const char* name;
  const char* label;
};
constexpr CounterUi kCounterUi[kCounterCount] = {
    {ID_NAME(IDC_TEST_MAXMIN_FAILS), "最大值,最小值失败"},
    {ID_NAME(IDC_TEST_JITTER_FAILS), "抖动失败"},
    {ID_NAME(IDC_TEST_ADJACENT_FAILS), "相邻偏差失败"},
    {ID_NAME(IDC_TEST_OFFSET_FAILS), "相对平均值失败"},
    {ID_NAME(IDC_TEST_OPEN_SHORT_FAILS), "短路检测失败"},
    {ID_NAME(IDC_TEST_UPDATE_FAILS), "版本检测失败"},
    {ID_NAME(IDC_TEST_TOTAL_COUNT), "总体个数"},
    {ID_NAME(IDC_TEST_FAILED_COUNT), "坏品个数"},
};

template <typename T>
T* Named(T* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

// The file name of a stored path text, either separator.
std::string FileNameOf(const std::string& text) {
  const size_t cut = text.find_last_of("\\/");
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

}  // namespace

CDlgTest::CDlgTest(IPrompts& prompts, ILogSink& log, QWidget* parent)
    : QWidget(parent), m_prompts(prompts), m_log(log), m_paths(TestPaths::Current()) {
  m_openFolder = [](const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
  m_now = [] { return QDateTime::currentDateTime(); };
  BuildUi();
  ConnectHandlers();

  const std::string recovered = RecoverPackageSwap(m_paths);
  if (!recovered.empty()) Log(recovered, LOG_ERROR);
  std::string error;
  if (!CreateTestFolders(m_paths, &error)) Log("测试文件夹创建失败：" + error, LOG_ERROR);
  std::vector<std::string> warnings;
  m_nextResultIndex = ::NextResultIndex(m_paths.resultDir, &warnings);
  for (const std::string& w : warnings) Log(w, LOG_INFO);

  LoadTestIniPath();
  LoadTestSettings();
  m_counters = LoadTestCounters(m_paths.countersFile, m_paths.testIni, &m_log);
  ShowCounters();
}

CDlgTest::~CDlgTest() = default;

// ---------------------------------------------------------------------------
// Layout

void CDlgTest::BuildUi() {
  setObjectName(QStringLiteral("CDlgTest"));
  QPalette pal = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(group, QPalette::Window, kPageColour);
    pal.setColor(group, QPalette::WindowText, Qt::black);
    pal.setColor(group, QPalette::Text, Qt::black);
    pal.setColor(group, QPalette::ButtonText, Qt::black);
  }
  setPalette(pal);
  setAutoFillBackground(true);

  auto* top = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  columns->addWidget(BuildItemsGroup(), 1);
  columns->addWidget(BuildUpdateGroup(), 1);
  top->addLayout(columns);
  top->addWidget(BuildResultsGroup());
  top->addStretch(1);
}

QWidget* CDlgTest::BuildItemsGroup() {
  auto* group = new QGroupBox(QStringLiteral("测试项目"), this);
  auto* grid = new QGridLayout(group);
  int row = 0;
  // Box, then the numeric fields it uses, one row each.
  auto addNumber = [&](NumericField f, int r, int column) {
    auto* label = new QLabel(Q(kNumericFieldKeys[f].label), group);
    m_numbers[f] = Named(new QLineEdit(group), QLatin1String(kNumberNames[f]));
    m_numbers[f]->setMaximumWidth(80);
    label->setBuddy(m_numbers[f]);
    grid->addWidget(label, r, column);
    grid->addWidget(m_numbers[f], r, column + 1);
  };
  for (int t = 0; t < kTestFlagCount; ++t) {
    m_tests[t] =
        Named(new QCheckBox(Q(kTestBoxUi[t].text), group), QLatin1String(kTestBoxUi[t].name));
  }
  // Jitter and relative average are never judged by a run; their boxes stay
  // hidden as on the production line's page.
  m_tests[kFlagJitter]->setVisible(false);
  m_tests[kFlagOffset]->setVisible(false);

  grid->addWidget(m_tests[kFlagUniformity], row, 0);
  addNumber(kFieldMax, row, 1);
  addNumber(kFieldMin, ++row, 1);
  addNumber(kFieldUniformity, ++row, 1);
  grid->addWidget(m_tests[kFlagAdjacentDeviation], ++row, 0);
  addNumber(kFieldAdjacentDeviation, row, 1);
  addNumber(kFieldJitter, ++row, 1);
  addNumber(kFieldOffset, ++row, 1);
  grid->addWidget(m_tests[kFlagOpenShort], ++row, 0);
  addNumber(kFieldCh2Ch, row, 1);
  addNumber(kFieldCh2Gnd2Avdd, ++row, 1);
  addNumber(kFieldWaitForStable, ++row, 1);
  grid->addWidget(m_tests[kFlagInt], ++row, 0);
  grid->addWidget(m_tests[kFlagSensorId], ++row, 0);
  m_sensorId = Named(new QComboBox(group), CONTROL_NAME(IDC_TEST_SENSOR_ID_VALUE));
  // Editable: the expected id may be a value that is not in the list.
  m_sensorId->setEditable(true);
  m_sensorId->setMaximumWidth(80);
  grid->addWidget(m_sensorId, row, 2);
  grid->addWidget(m_tests[kFlagJitter], ++row, 0);
  grid->addWidget(m_tests[kFlagOffset], row, 1);
  grid->setColumnStretch(3, 1);
  return group;
}

QWidget* CDlgTest::BuildUpdateGroup() {
  auto* group = new QGroupBox(QStringLiteral("升级与文件"), this);
  auto* box = new QVBoxLayout(group);
  m_testOnly = Named(new QRadioButton(QStringLiteral("TP测试(不会更新配置和固件）"), group),
                     CONTROL_NAME(IDC_TEST_ONLY));
  m_versionCheck =
      Named(new QRadioButton(QStringLiteral("版本检测(若芯片与文档不同则更新)"), group),
            CONTROL_NAME(IDC_TEST_VERSION_CHECK));
  m_forceUpdate = Named(new QRadioButton(QStringLiteral("强制升级固件和配置"), group),
                        CONTROL_NAME(IDC_TEST_FORCE_UPDATE));
  m_modeGroup = new QButtonGroup(this);
  m_modeGroup->setExclusive(true);
  for (QRadioButton* r : {m_testOnly, m_versionCheck, m_forceUpdate}) {
    m_modeGroup->addButton(r);
    box->addWidget(r);
  }
  auto* files = new QGridLayout;
  for (int k = 0; k < kTestFileKinds; ++k) {
    const FileGroupUi& ui = kFileGroupUi[k];
    m_fileBoxes[k] = Named(new QCheckBox(Q(ui.boxText), group), QLatin1String(ui.box));
    m_filePathEdits[k] = Named(new CMyEditBrowseCtrl(m_prompts, group), QLatin1String(ui.edit));
    m_filePathEdits[k]->SetFilter(QString(), Q(ui.filter));
    files->addWidget(m_fileBoxes[k], k, 0);
    files->addWidget(m_filePathEdits[k], k, 1);
  }
  box->addLayout(files);

  auto* packageRow = new QHBoxLayout;
  packageRow->addWidget(new QLabel(QStringLiteral("导入测试文件包"), group));
  m_package = Named(new CMyEditBrowseCtrl(m_prompts, group), CONTROL_NAME(IDC_TEST_PACKAGE_PATH));
  m_package->SetFilter(QString(), QStringLiteral("TestPackage(*.tp)|*.tp|All Files (*.*)|*.*||"));
  packageRow->addWidget(m_package, 1);
  box->addLayout(packageRow);

  auto* buttons = new QHBoxLayout;
  m_export =
      Named(new CMyButton(QStringLiteral("导出配置"), group), CONTROL_NAME(IDC_TEST_EXPORT_CONFIG));
  m_save =
      Named(new CMyButton(QStringLiteral("保存配置"), group), CONTROL_NAME(IDC_TEST_SAVE_CONFIG));
  m_nodeThreshold = Named(new CMyButton(QStringLiteral("获取节点阈值"), group),
                          CONTROL_NAME(IDC_TEST_NODE_THRESHOLD));
  for (CMyButton* b : {m_export, m_save, m_nodeThreshold}) buttons->addWidget(b);
  box->addLayout(buttons);

  m_autoTest = Named(new QCheckBox(QStringLiteral("插入设备后自动测试"), group),
                     CONTROL_NAME(IDC_TEST_AUTO_TEST));
  m_noModification = Named(new QCheckBox(QStringLiteral("量产禁止修改"), group),
                           CONTROL_NAME(IDC_TEST_NO_MODIFICATION));
  auto* flags = new QHBoxLayout;
  flags->addWidget(m_autoTest);
  flags->addWidget(m_noModification);
  flags->addStretch(1);
  box->addLayout(flags);
  box->addStretch(1);
  return group;
}

QWidget* CDlgTest::BuildResultsGroup() {
  auto* group = new QGroupBox(QStringLiteral("测试"), this);
  auto* grid = new QGridLayout(group);
  auto* idRow = new QHBoxLayout;
  idRow->addWidget(new QLabel(QStringLiteral("测试ID"), group));
  m_testId = Named(new QLineEdit(group), CONTROL_NAME(IDC_TEST_ID));
  idRow->addWidget(m_testId, 1);
  m_start = Named(new CMyButton(QStringLiteral("开始测试"), group), CONTROL_NAME(IDC_TEST_START));
  m_retest = Named(new CMyButton(QStringLiteral("重新测试"), group), CONTROL_NAME(IDC_TEST_RETEST));
  m_retest->setVisible(false);
  m_openReport =
      Named(new CMyButton(QStringLiteral("查看报告"), group), CONTROL_NAME(IDC_TEST_OPEN_REPORT));
  m_openFolderButton =
      Named(new CMyButton(QStringLiteral("测试路径"), group), CONTROL_NAME(IDC_TEST_OPEN_FOLDER));
  // Shown: the counters now outlive a restart, so the operator needs a way
  // to start a new count.
  m_resetStatistics = Named(new CMyButton(QStringLiteral("重置统计信息"), group),
                            CONTROL_NAME(IDC_TEST_RESET_STATISTICS));
  for (CMyButton* b : {m_start, m_retest, m_openReport, m_openFolderButton, m_resetStatistics}) {
    idRow->addWidget(b);
  }
  grid->addLayout(idRow, 0, 0, 1, 4);

  for (int i = 0; i < 6; ++i) {
    const BarUi& ui = kBarUi[i];
    m_bars[i] = Named(new CMyProgressCtrl(group), QLatin1String(ui.name));
    m_bars[i]->setRange(0, 100);
    m_bars[i]->SetStep(ui.step);
    grid->addWidget(new QLabel(Q(ui.label), group), 1 + i / 2, (i % 2) * 2);
    grid->addWidget(m_bars[i], 1 + i / 2, (i % 2) * 2 + 1);
  }
  auto* counters = new QGridLayout;
  for (int c = 0; c < kCounterCount; ++c) {
    counters->addWidget(new QLabel(Q(kCounterUi[c].label), group), c / 4 * 2, c % 4);
    m_counterLabels[c] =
        Named(new QLabel(QStringLiteral("0"), group), QLatin1String(kCounterUi[c].name));
    counters->addWidget(m_counterLabels[c], c / 4 * 2 + 1, c % 4);
  }
  counters->addWidget(new QLabel(QStringLiteral("良品个数"), group), 0, 4);
  m_good = Named(new QLabel(QStringLiteral("0"), group), CONTROL_NAME(IDC_TEST_GOOD_COUNT));
  counters->addWidget(m_good, 1, 4);
  counters->addWidget(new QLabel(QStringLiteral("总体良率"), group), 2, 4);
  m_yield = Named(new QLabel(QStringLiteral("0.00"), group), CONTROL_NAME(IDC_TEST_YIELD));
  counters->addWidget(m_yield, 3, 4);
  grid->addLayout(counters, 4, 0, 1, 4);
  return group;
}

void CDlgTest::ConnectHandlers() {
  for (int t = 0; t < kTestFlagCount; ++t) {
    connect(m_tests[t], &QCheckBox::clicked, this, &CDlgTest::OnSettingChanged);
  }
  for (QRadioButton* r : {m_testOnly, m_versionCheck, m_forceUpdate}) {
    connect(r, &QRadioButton::clicked, this, &CDlgTest::OnSettingChanged);
  }
  connect(m_autoTest, &QCheckBox::clicked, this, &CDlgTest::OnSettingChanged);
  for (QLineEdit* e : m_numbers)
    connect(e, &QLineEdit::textChanged, this, &CDlgTest::OnSettingChanged);
  for (int k = 0; k < kTestFileKinds; ++k) {
    connect(m_filePathEdits[k], &QLineEdit::textChanged, this, [this, k] { OnFilePathChanged(k); });
    connect(m_fileBoxes[k], &QCheckBox::clicked, this, [this, k] { OnFileBoxClicked(k); });
  }
  connect(m_sensorId, qOverload<int>(&QComboBox::activated), this,
          &CDlgTest::OnCbnSelchangeSensorId);
  connect(m_noModification, &QCheckBox::clicked, this, &CDlgTest::OnBnClickedNoModification);
  connect(m_testId, &QLineEdit::textChanged, this, &CDlgTest::OnEnChangeTestId);
  connect(m_start, &QPushButton::clicked, this, &CDlgTest::OnBnClickedStartTest);
  connect(m_retest, &QPushButton::clicked, this, &CDlgTest::OnBnClickedRetest);
  connect(m_openReport, &QPushButton::clicked, this, &CDlgTest::OnBnClickedOpenReport);
  connect(m_openFolderButton, &QPushButton::clicked, this, &CDlgTest::OnBnClickedOpenTestFolder);
  connect(m_resetStatistics, &QPushButton::clicked, this, &CDlgTest::OnBnClickedResetStatistics);
  connect(m_nodeThreshold, &QPushButton::clicked, this, &CDlgTest::OnBnClickedNodeThreshold);
  connect(m_export, &QPushButton::clicked, this, &CDlgTest::ExportTestPackage);
  connect(m_save, &QPushButton::clicked, this, &CDlgTest::OnBnClickedSaveConfig);
  // A package is imported once it is chosen: after the browse button, or
  // when the typed path is finished, never on every keystroke.
  connect(m_package->BrowseAction(), &QAction::triggered, this, [this] {
    if (m_package->text() != m_packageText) ImportTestPackage();
  });
  connect(m_package, &QLineEdit::editingFinished, this, [this] {
    if (m_package->text() != m_packageText) ImportTestPackage();
  });
}

// ---------------------------------------------------------------------------
// test.ini

bool CDlgTest::LoadTestIniPath() {
  const fs::path ini = m_paths.testIni;
  if (GetTestIniPath() == ini) return true;
  std::error_code ec;
  if (fs::is_regular_file(ini, ec)) {
    SetTestIniPath(ini);
    return false;
  }
  std::string error;
  if (fs::is_directory(ini, ec) || !platform::WriteFileAtomic(ini, "", &error)) {
    // Runs still go ahead on the defaults; nothing is written.
    SetTestIniPath({});
    Log("test.ini创建失败：" + ini.string() + (error.empty() ? "" : "：" + error), LOG_ERROR);
    return false;
  }
  SetTestIniPath(ini);
  WriteChipIni("ModuleTest", "LastTestIni", kTestIniText);
  return false;
}

void CDlgTest::LoadTestSettings(bool fromPackage) {
  std::vector<std::string> warnings;
  const TestSettings s = ::LoadTestSettings(GetTestIniPath(), &warnings);
  for (const std::string& w : warnings) Log(w, LOG_ERROR);
  m_loading = true;
  for (int k = 0; k < kTestFileKinds; ++k) {
    m_filePathEdits[k]->setText(Q(s.filePaths[k]));
    m_filePathEdits[k]->setCursorPosition(m_filePathEdits[k]->text().size());
    m_fileBoxes[k]->setChecked(s.fileEnabled[k]);
  }
  m_filePaths = s.filePaths;
  for (int f = 0; f < kNumericFieldCount; ++f) m_numbers[f]->setText(Q(s.numbers[f]));
  for (int t = 0; t < kTestFlagCount; ++t) m_tests[t]->setChecked(s.tests[t]);
  switch (s.mode) {
    case UpdateMode::TestOnly:
      m_testOnly->setChecked(true);
      break;
    case UpdateMode::VersionCheck:
      m_versionCheck->setChecked(true);
      break;
    case UpdateMode::ForceUpdate:
      m_forceUpdate->setChecked(true);
      break;
  }
  m_sensorId->clear();
  for (int i = 0; i <= 9; ++i) m_sensorId->addItem(QString::number(i));
  m_sensorId->setCurrentText(Q(s.sensorId));
  m_minTestId = s.minTestId;
  m_lock = LockFromStored(s.noModification, fromPackage);
  m_loading = false;
  ApplyEnables();
  LoadNodeThresholds();
}

TestSettings CDlgTest::CurrentSettings() const {
  TestSettings s;
  for (int t = 0; t < kTestFlagCount; ++t) s.tests[t] = m_tests[t]->isChecked();
  s.mode = m_forceUpdate->isChecked()    ? UpdateMode::ForceUpdate
           : m_versionCheck->isChecked() ? UpdateMode::VersionCheck
                                         : UpdateMode::TestOnly;
  for (int k = 0; k < kTestFileKinds; ++k) s.fileEnabled[k] = m_fileBoxes[k]->isChecked();
  s.filePaths = m_filePaths;
  for (int f = 0; f < kNumericFieldCount; ++f) s.numbers[f] = S(m_numbers[f]->text());
  s.autoTest = m_autoTest->isChecked();
  s.sensorId = S(m_sensorId->currentText());
  s.noModification = IsLocked(m_lock);
  s.minTestId = m_minTestId;
  return s;
}

void CDlgTest::SaveTestSettings() {
  const TestSettings s = CurrentSettings();
  std::string error;
  if (!::SaveTestSettings(s, GetTestIniPath(), &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
    return;
  }
  constexpr std::pair<TestItemIndex, NumericField> kItemThresholds[] = {
      {kItemMaxMin, kFieldUniformity},
      {kItemJitter, kFieldJitter},
      {kItemAdjacent, kFieldAdjacentDeviation},
      {kItemOffset, kFieldOffset},
  };
  for (const auto& [item, field] : kItemThresholds) {
    m_items[item].threshold = NumericValue(s.numbers[field]);
  }
  m_settingsChanged = false;
}

void CDlgTest::LoadNodeThresholds() {
  const DataFormat raw = GetDataFormatStore().Format(DataKind::Raw);
  // No panel known yet (no chip): the limits follow once the chip is known.
  if (raw.rows <= 0 || raw.cols <= 0) return;
  const NodeLimitFallbacks fallbacks{NumericValue(S(m_numbers[kFieldMax]->text())),
                                     NumericValue(S(m_numbers[kFieldMin]->text())),
                                     NumericValue(S(m_numbers[kFieldAdjacentDeviation]->text()))};
  LineList lines;
  {
    std::lock_guard lock(NodeArraysMutex());
    ::LoadNodeThresholds(GetTestIniPath(), raw.rows, raw.cols, fallbacks, GetNodeArrays(), &lines);
  }
  for (const auto& [text, level] : lines.lines) Log(text, level);
}

// ---------------------------------------------------------------------------
// Operator handlers

void CDlgTest::OnBnClickedStartTest() { StartRun(false); }

void CDlgTest::OnBnClickedRetest() { StartRun(true); }

void CDlgTest::OnDeviceArrived() {
  if (!m_autoTest->isChecked() || IsBusy()) return;
  StartRun(false, true);
}

void CDlgTest::StartRun(bool retest, bool automatic) {
  if (IsBusy()) {
    RefuseStart();
    return;
  }
  // A pattern of "x" in the field is set by the operator's button only.
  if (!retest && !automatic && m_currentTestId == 0) {
    const XPattern x = ParseXPattern(S(m_testId->text()));
    if (x.matched) {
      if (!x.minimum) {
        Log("测试ID位数超过19位，最小测试ID未更改", LOG_ERROR);
      } else {
        m_minTestId = *x.minimum;
        std::string error;
        if (!WriteTestIniKey("Test ID", "Min id", std::to_string(m_minTestId), GetTestIniPath(),
                             &error)) {
          Log("测试设置保存失败：" + error, LOG_ERROR);
        }
      }
      m_testId->clear();
      return;
    }
  }
  const TestSettings settings = CurrentSettings();
  if (const auto problem = ValidateForRun(settings)) {
    Log(*problem, LOG_ERROR);
    RefuseStart();
    return;
  }
  if (m_runner == nullptr) {
    Log("测试引擎未接入，无法开始测试", LOG_ERROR);
    RefuseStart();
    return;
  }
  m_startLines.clear();
  m_holdLines = true;
  if (m_settingsChanged) SaveTestSettings();
  // Every run: the panel may have changed with the chip since the last load.
  LoadNodeThresholds();
  m_holdLines = false;
  m_runRequest = TestRunRequest{settings, m_currentTestId, retest};
  ResetBars();
  // The runner refuses while the window is busy, so the window is claimed
  // only once the run is accepted; its events reach the page after this
  // handler returns.
  m_running = true;
  if (!m_runner->StartRun(m_runRequest, *this)) {
    m_running = false;
    for (const auto& [text, level] : m_startLines) m_log.AddLog(text, level);
    Log("测试无法开始", LOG_ERROR);
    RefuseStart();
    return;
  }
  for (CMyButton* b : {m_start, m_retest}) b->setEnabled(false);
  emit BusyChanged(true);
}

void CDlgTest::RefuseStart() {
  m_testId->clear();
  m_testId->setEnabled(true);
}

void CDlgTest::OnEnChangeTestId() {
  const ParsedTestId parsed = ParseTestId(S(m_testId->text()));
  if (!parsed.valid) {
    Log(kInvalidTestIdText, LOG_ERROR);
    m_testId->clear();
    return;
  }
  m_currentTestId = parsed.id;
  if (IsTestIdComplete(m_currentTestId, m_minTestId)) {
    m_testId->setEnabled(false);
    OnBnClickedStartTest();
  }
}

void CDlgTest::OnTestDone() {
  m_testId->clear();
  m_testId->setEnabled(true);
  m_testId->setFocus();
}

void CDlgTest::OnSettingChanged() {
  m_settingsChanged = true;
  ApplyEnables();
}

void CDlgTest::ApplyEnables() {
  const TestSettings s = CurrentSettings();
  const SettingEnables e = ComputeSettingEnables(s.mode, s.fileEnabled, IsLocked(m_lock));
  for (QCheckBox* box : m_tests) box->setEnabled(e.settings);
  for (QLineEdit* edit : m_numbers) edit->setEnabled(e.settings);
  for (QRadioButton* r : {m_testOnly, m_versionCheck, m_forceUpdate}) r->setEnabled(e.settings);
  m_sensorId->setEnabled(e.settings);
  for (int k = 0; k < kTestFileKinds; ++k) {
    m_fileBoxes[k]->setEnabled(e.fileBoxes[k]);
    m_filePathEdits[k]->setEnabled(e.fileEdits[k]);
  }
  m_noModification->setChecked(IsLocked(m_lock));
  m_noModification->setEnabled(LockBoxEnabled(m_lock));
}

void CDlgTest::SetLock(LockState lock) {
  m_lock = lock;
  ApplyEnables();
  std::string error;
  if (!WriteTestIniKey("Test Package", "No Motification", IsLocked(lock) ? "1" : "0",
                       GetTestIniPath(), &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
  }
}

void CDlgTest::OnBnClickedNoModification() { SetLock(LockByBox(m_noModification->isChecked())); }

void CDlgTest::OnToggleNoModification() { SetLock(ToggleLockByKey(m_lock)); }

void CDlgTest::OnFilePathChanged(int kind) {
  if (m_loading) return;
  const std::string text = S(m_filePathEdits[kind]->text());
  std::error_code ec;
  const bool isFile = !text.empty() && fs::is_regular_file(platform::AppPaths::Resolve(text), ec);
  const std::string recorded = isFile ? text : std::string();
  if (recorded == m_filePaths[kind] && isFile) return;
  m_filePaths[kind] = recorded;
  std::string error;
  if (!WriteTestIniKey("Test File", kTestFileKeys[kind].fileKey, recorded, GetTestIniPath(),
                       &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
  }
}

void CDlgTest::OnFileBoxClicked(int kind) {
  const bool ticked = m_fileBoxes[kind]->isChecked();
  m_filePathEdits[kind]->setEnabled(ticked);
  std::string error;
  if (!WriteTestIniKey("Test Enable", kTestFileKeys[kind].enableKey, ticked ? "1" : "0",
                       GetTestIniPath(), &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
  }
}

// ---------------------------------------------------------------------------
// Results

void CDlgTest::ShowCounters() {
  for (int c = 0; c < kCounterCount; ++c) {
    m_counterLabels[c]->setText(QString::number(m_counters.Shown(c)));
  }
  m_good->setText(QString::number(m_counters.Good()));
  m_yield->setText(Q(m_counters.YieldText()));
}

void CDlgTest::SaveCounters() {
  // The folder may have been removed during the shift.
  std::error_code ec;
  fs::create_directories(m_paths.resultDir, ec);
  std::string error;
  if (!SaveTestCounters(m_counters, m_paths.countersFile, &error)) {
    Log(kCountersFailedText + m_paths.countersFile.string(), LOG_ERROR);
    Log(error, LOG_ERROR);
  }
}

void CDlgTest::UpdateStatistics(const TestItemStates& items, bool passed) {
  m_counters.AddRun(items, passed);
  SaveCounters();
  ShowCounters();
}

void CDlgTest::OnBnClickedResetStatistics() {
  if (RefuseWhileBusy("重置统计信息")) return;
  m_counters.Reset();
  SaveCounters();
  ShowCounters();
}

void CDlgTest::OnBnClickedOpenReport() { OpenFolder(m_paths.resultDir); }

void CDlgTest::OnBnClickedOpenTestFolder() { OpenFolder(m_paths.testDir); }

// A machine without a file manager must not make the button do nothing.
void CDlgTest::OpenFolder(const std::filesystem::path& folder) {
  if (!m_openFolder(Q(folder.string()))) Log("无法打开文件夹：" + folder.string(), LOG_ERROR);
}

void CDlgTest::OnCbnSelchangeSensorId() {
  std::string error;
  if (!WriteTestIniKey("Test Threhold", "Sensor ID", std::to_string(m_sensorId->currentIndex()),
                       GetTestIniPath(), &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
  }
}

void CDlgTest::OnBnClickedNodeThreshold() {
  if (m_nodeThresholdHook) m_nodeThresholdHook();
}

void CDlgTest::WriteTestResult(const TestRunOutcome& outcome) {
  TestReportData data;
  data.chipConfig = outcome.chipConfig;
  data.thresholds = m_runRequest.settings.numbers;
  data.items = outcome.items;
  data.testOnly = m_runRequest.settings.mode == UpdateMode::TestOnly;
  data.measurements = outcome.measurements;
  const std::string name = ReportFileName(m_runRequest.testId, outcome.passed, &m_nextResultIndex);
  const std::string path = (m_paths.resultDir / name).string();
  std::error_code ec;
  fs::create_directories(m_paths.resultDir, ec);
  std::string error;
  if (WriteTestReport(m_paths.resultDir, name, BuildTestReport(data), &error)) {
    Log(kReportWrittenText + path, LOG_INFO);
  } else {
    Log(kReportFailedText + path, LOG_ERROR);
    Log(error, LOG_ERROR);
    m_prompts.warn(Q(kReportFailedText + path));
  }
  if (outcome.items[kItemMaxMin] != TEST_OFF) Bar(kBarMaxMin)->setValue(100);
  if (outcome.items[kItemJitter] != TEST_OFF) Bar(kBarJitter)->setValue(100);
}

// ---------------------------------------------------------------------------
// Run events

void CDlgTest::PostToPage(std::function<void(CDlgTest&)> fn) {
  std::weak_ptr<char> alive = m_alive;
  UiBridge::post([this, alive, fn = std::move(fn)] {
    if (alive.lock()) fn(*this);
  });
}

void CDlgTest::OnRunClearLog() {
  // On the run's thread, in order with its lines: the lines it logs next
  // are never caught by the clear. The start's own lines open the run's log
  // (the page leaves them alone until the run is done).
  m_log.Clear();
  for (const auto& [text, level] : m_startLines) m_log.AddLog(text, level);
  PostToPage([](CDlgTest& page) { emit page.ClearLogRequested(); });
}

void CDlgTest::OnRunLog(const std::string& text, LogLevel level) { m_log.AddLog(text, level); }

void CDlgTest::OnRunProgress(TestBar bar, int position) {
  PostToPage([bar, position](CDlgTest& page) { page.Bar(bar)->setValue(position); });
}

void CDlgTest::OnRunBarStep(TestBar bar) {
  PostToPage([bar](CDlgTest& page) { page.Bar(bar)->StepIt(); });
}

void CDlgTest::OnRunBarColour(TestBar bar, uint32_t rgb) {
  PostToPage([bar, rgb](CDlgTest& page) {
    page.Bar(bar)->SetBarColor(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  });
}

void CDlgTest::OnRunItemState(TestItemIndex item, TestItemState state) {
  if (item >= kTestItemCount) return;
  PostToPage([item, state](CDlgTest& page) { page.m_items[item].state = state; });
}

void CDlgTest::OnRunChipInfoChanged() {
  PostToPage([](CDlgTest& page) { emit page.ChipInfoChanged(); });
}

void CDlgTest::OnRunDone(const TestRunOutcome& outcome) {
  PostToPage([outcome](CDlgTest& page) { page.FinishRun(outcome); });
}

void CDlgTest::FinishRun(const TestRunOutcome& outcome) {
  if (!m_running) return;
  for (size_t i = 0; i < kTestItemCount; ++i) m_items[i].state = outcome.items[i];
  // The report first: a program stopped between the two writes leaves a
  // module reported but not counted, never counted without its report.
  WriteTestResult(outcome);
  if (!m_runRequest.retest) UpdateStatistics(outcome.items, outcome.passed);
  OnTestDone();
  m_running = false;
  for (CMyButton* b : {m_start, m_retest}) b->setEnabled(true);
  emit BusyChanged(false);
}

CMyProgressCtrl* CDlgTest::Bar(TestBar bar) const {
  for (int i = 0; i < 6; ++i) {
    if (kBarUi[i].bar == bar) return m_bars[i];
  }
  return m_bars[0];
}

void CDlgTest::ResetBars() {
  for (CMyProgressCtrl* bar : m_bars) {
    bar->SetBkColor(Qt::white);
    bar->SetBarColor(kBarBlue);
    bar->setValue(0);
  }
}

// ---------------------------------------------------------------------------
// Packages

bool CDlgTest::RefuseWhileBusy(const char* what) {
  if (!IsBusy()) return false;
  Log(std::string("测试进行中，不能") + what, LOG_ERROR);
  return true;
}

void CDlgTest::ExportTestPackage() {
  if (RefuseWhileBusy("导出配置")) return;
  SaveTestSettings();
  const QString suggested =
      Q(GetChipName()) + m_now().toString(QStringLiteral("_yyyyMMddHHmm")) + QStringLiteral(".tp");
  const auto chosen =
      m_prompts.saveFileName(Q(m_paths.packageDir.string()),
                             QStringLiteral("Test Package(*.tp) (*.tp);;All Files(*.*) (*)"),
                             suggested, QStringLiteral("tp"));
  if (!chosen) {
    m_exportedPath.clear();
    return;
  }
  const ExportResult r = ::ExportTestPackage(m_paths, fs::path(S(*chosen)));
  if (!r.messageBox.empty()) {
    m_prompts.warn(Q(r.messageBox));
    return;
  }
  if (!r.ok) {
    Log(r.logLine, LOG_ERROR);
    if (!r.reason.empty()) Log(r.reason, LOG_ERROR);
    return;
  }
  m_exportedPath = S(*chosen);
  Log(r.logLine, LOG_INFO);
}

bool CDlgTest::ImportTestPackage() {
  const QString text = m_package->text();
  if (text.isEmpty()) return false;
  // A choice that was not imported goes back out of the field: the field is
  // what the close offers to save into.
  if (RefuseWhileBusy("导入测试配置包")) {
    SetPackageText(m_packageText);
    return false;
  }
  std::string error;
  if (!UnpackTestPackage(platform::AppPaths::Resolve(S(text)), m_paths, &error)) {
    Log("导入测试配置包失败", LOG_ERROR);
    Log(error, LOG_ERROR);
    SetPackageText(m_packageText);
    return false;
  }
  m_packageText = text;
  Log("导入测试配置包成功", LOG_INFO);
  WriteChipIni("Test File", "Test Package", S(text));
  LoadTestIniPath();
  LoadTestSettings(/*fromPackage=*/true);
  m_settingsChanged = true;
  if (IsLocked(m_lock)) emit ShowDemoPageRequested();
  return true;
}

void CDlgTest::OnBnClickedSaveConfig() {
  if (RefuseWhileBusy("保存配置")) return;
  const std::string text = S(m_package->text());
  if (text.empty()) {
    ExportTestPackage();
    std::error_code ec;
    if (!m_exportedPath.empty() && fs::is_regular_file(m_exportedPath, ec)) {
      SetPackageText(Q(m_exportedPath));
      m_packageText.clear();
      ImportTestPackage();
    }
    return;
  }
  // What the operator sees is what goes into the package.
  SaveTestSettings();
  const std::string target = kPackageFolderText + FileNameOf(text);
  std::string error;
  if (!PackFolder(platform::AppPaths::Resolve(target), m_paths.testFileDir, &error)) {
    Log(target + "保存失败", LOG_ERROR);
    Log(error, LOG_ERROR);
    return;
  }
  WriteChipIni("Test File", "Test Package", target);
  Log(target + "保存成功", LOG_INFO);
  // The saved copy is the package from now on; no import of it.
  SetPackageText(Q(target));
  m_packageText = Q(target);
}

void CDlgTest::PrepareClose() {
  SaveTestSettings();
  const std::string text = S(m_package->text());
  if (text.empty()) return;
  if (IsFolderChangedFromPackage(platform::AppPaths::Resolve(text), m_paths.testFileDir) &&
      m_prompts.askYesNo(QStringLiteral("测试配置有改动，是否保存？"))) {
    OnBnClickedSaveConfig();
  }
}

// ---------------------------------------------------------------------------

bool CDlgTest::IsBusy() const { return m_running || StreamControl().IsBusy(); }

void CDlgTest::SetPackageText(const QString& text) {
  const QSignalBlocker block(m_package);
  m_package->setText(text);
}

void CDlgTest::WriteChipIni(const char* section, const char* key, const std::string& value) {
  // Only the profile of a known chip: no profile file is made for these keys.
  const fs::path chipIni = GetChipIniPath();
  std::error_code ec;
  if (chipIni.empty() || !fs::is_regular_file(chipIni, ec)) return;
  std::string error;
  if (!platform::IniWriteString(section, key, value, chipIni, &error)) {
    Log("芯片配置文件写入失败：" + error, LOG_ERROR);
  }
}

void CDlgTest::Log(const std::string& text, LogLevel level) {
  if (m_holdLines) {
    m_startLines.emplace_back(text, level);
    return;
  }
  m_log.AddLog(text, level);
}
