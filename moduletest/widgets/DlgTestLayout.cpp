// The module test page's controls: the test items and thresholds, the
// update mode with its four file fields, the package field and buttons, the
// Test ID row, the progress bars and counters, and their connections.
#include "moduletest/widgets/DlgTest.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "moduletest/widgets/DlgTestParts.h"
#include "ui/ControlIds.h"
#include "ui/MyButton.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/MyProgressCtrl.h"

using dlgtest::BarUi;
using dlgtest::kBarUi;
using dlgtest::Q;

namespace {

// RGB(0xE2, 0xF8, 0xFF): the page's background.
const QColor kPageColour(0xE2, 0xF8, 0xFF);

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

}  // namespace

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
  // First where the packages are kept.
  m_package->SetFilter(Q(m_paths.packageDir.string()),
                       QStringLiteral("TestPackage(*.tp)|*.tp|All Files (*.*)|*.*||"));
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
