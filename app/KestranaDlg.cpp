#include "app/KestranaDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/AppSettings.h"
#include "app/ConnectionLinks.h"
#include "ui/ControlIds.h"
#include "app/DeviceBackend.h"
#include "app/DeviceTeardown.h"
#include "app/NetConnectDlg.h"
#include "device/net/TcpLink.h"
#include "ui/LogWindow.h"
#include "ui/MyButton.h"
#include "ui/MyEditBrowseCtrl.h"
#include "app/PageSwitcher.h"
#include "ui/Prompts.h"
#include "app/BusyClickFilter.h"
#include "app/MainCommands.h"
#include "app/NetworkConnectButton.h"
#include "app/RegisterPanel.h"
#include "app/SlidingPanels.h"
#include "app/UpdateRunner.h"
#include "app/BridgeDeviceHooks.h"
#include "ui/UiBridge.h"
#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/chip/PanelGeometry.h"
#include "device/link/RegisterOps.h"
#include "device/SettingsFileCheck.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/IniFile.h"
#include "views/DataFormatStore.h"
#include "programming/widgets/ConfigDlg.h"
#include "moduletest/run/EngineRunner.h"
#include "moduletest/engine/RunClock.h"
#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"
#include "moduletest/widgets/DlgTest.h"
#include "moduletest/widgets/samples/SampleDlg.h"
#include "views/widgets/Demo.h"
#include "views/widgets/DiffDataLayout.h"
#include "views/widgets/ObserveDataLayout.h"
#include "views/widgets/OptionDlg.h"
#include "views/widgets/RawDataLayout.h"
#include "views/widgets/noise/NoiseDlg.h"

namespace {

const QString kSettingsFailedText = QStringLiteral("创建AppConfigInit.ini文件失败");
const QString kNoHotplugText = QStringLiteral("无法连接udev，设备插拔将不会被发现");
const QString kConfigFilter = QStringLiteral("Config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||");
const QString kDuvivFilter = QStringLiteral("Firmwave(*.bin)|*.bin|All Files (*.*)|*.*||");
const QString kV64erFilter =
    QStringLiteral("Firmwave(*.bin,*.hex)|*.bin;*.hex|All Files (*.*)|*.*||");

// Sensor id register of each chip family.
constexpr uint16_t kSensorIdRegisterDe7 = 0x824A;
constexpr uint16_t kSensorIdRegisterRu9 = 0x814A;

// How often closing looks at the teardown while it lets queued UI work run.
constexpr std::chrono::milliseconds kTeardownSlice{50};

constexpr int kControlColumnWidth = 380;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

CKestranaDlg::CKestranaDlg(IPrompts& prompts, std::shared_ptr<platform::IHidBackend> backend,
                           QWidget* parent)
    : CMyDialog(parent), m_prompts(prompts), m_backend(std::move(backend)) {
  setWindowTitle(QStringLiteral("Kestrana"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/kestrana.svg")));
  BuildUi();
}

CKestranaDlg::~CKestranaDlg() { Shutdown(); }

// ---------------------------------------------------------------------------
// Layout

void CKestranaDlg::BuildUi() {
  auto* root = new QHBoxLayout(this);
  root->setSpacing(8);
  root->addWidget(BuildPageColumn(), 1);
  root->addWidget(BuildControlColumn());
  resize(1180, 720);
}

CMyButton* CKestranaDlg::MakePageButton(const QString& name, const QString& text) {
  auto* button = new CMyButton(text, this);
  button->setObjectName(name);
  button->SetFaceStyle(CMyButton::FACE_PAGE);
  button->setMinimumHeight(34);
  return button;
}

CMyButton* CKestranaDlg::MakeLamp(const QString& name, const QString& text) {
  auto* lamp = new CMyButton(text, this);
  lamp->setObjectName(name);
  lamp->SetFaceStyle(CMyButton::FACE_LAMP);
  lamp->SetState(LAMP_RED);
  lamp->setMinimumHeight(34);
  return lamp;
}

QWidget* CKestranaDlg::BuildPageColumn() {
  auto* column = new QWidget(this);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);

  // The demo, data-view and test-page buttons switch pages (wired once the
  // pages exist); the configuration editor and the noise view come with
  // later work.
  m_demoButton = MakePageButton(CONTROL_NAME(IDC_DEMO), QStringLiteral("触控演示"));
  m_rawButton = MakePageButton(CONTROL_NAME(IDC_RAW_DATA), QStringLiteral("原始值"));
  m_diffButton = MakePageButton(CONTROL_NAME(IDC_DIFF_DATA), QStringLiteral("差值"));
  m_observeButton = MakePageButton(CONTROL_NAME(IDC_OBSERVE_DATA), QStringLiteral("其它数据"));
  m_optionsButton = MakePageButton(CONTROL_NAME(IDC_OPTIONS), QStringLiteral("数据选项"));
  m_configButton = MakePageButton(CONTROL_NAME(IDC_CONFIG), QStringLiteral("触控配置"));
  m_noiseButton = MakePageButton(CONTROL_NAME(IDC_NOISE), QStringLiteral("噪声检测"));
  m_testPageButton = MakePageButton(CONTROL_NAME(IDC_TEST_PAGE), QStringLiteral("测试选项"));

  auto* buttons = new QHBoxLayout;
  for (CMyButton* button : {m_demoButton, m_rawButton, m_diffButton, m_observeButton,
                            m_optionsButton, m_configButton, m_noiseButton, m_testPageButton}) {
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);

  // The pages (demo, data views, module test) are stacked here as they land.
  m_pageArea = new QStackedWidget(column);
  m_pageArea->setObjectName(CONTROL_NAME(IDC_PAGE_AREA));
  m_pageArea->setFrameShape(QFrame::StyledPanel);
  m_pageArea->setMinimumSize(640, 480);
  m_pageArea->setAutoFillBackground(true);
  QPalette area = m_pageArea->palette();
  area.setColor(QPalette::Window, Qt::white);
  m_pageArea->setPalette(area);
  layout->addWidget(m_pageArea, 1);
  return column;
}

QWidget* CKestranaDlg::BuildControlColumn() {
  auto* column = new QWidget(this);
  column->setFixedWidth(kControlColumnWidth);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);

  m_bridgeLamp = MakeLamp(CONTROL_NAME(IDC_BRIDGE_LAMP), QStringLiteral("R648i"));
  m_touchIcLamp = MakeLamp(CONTROL_NAME(IDC_TOUCHIC_LAMP), QStringLiteral("TouchIC"));
  // The lamps stay enabled so that they keep showing the devices during a
  // burn, but a press (a key reaches them past the click filter) asks the
  // devices nothing while the window is busy.
  connect(m_bridgeLamp, &QAbstractButton::clicked, this, [this] {
    if (!m_busy) OnBnClickedBridge();
  });
  connect(m_touchIcLamp, &QAbstractButton::clicked, this, [this] {
    if (!m_busy) OnBnClickedTouchIc();
  });
  auto* lamps = new QHBoxLayout;
  lamps->addWidget(m_bridgeLamp);
  lamps->addWidget(m_touchIcLamp);
  layout->addLayout(lamps);

  m_registerPanelSlot = new QVBoxLayout;
  layout->addLayout(m_registerPanelSlot);

  // Update files and the chip type.
  auto* update = new QGroupBox(QStringLiteral("Update"), column);
  update->setObjectName(CONTROL_NAME(IDC_UPDATE_GROUP));
  auto* grid = new QGridLayout(update);
  auto addFileRow = [&](int row, QCheckBox*& box, CMyEditBrowseCtrl*& edit, const QString& text,
                        const QString& boxName, const QString& editName) {
    box = new QCheckBox(text, update);
    box->setObjectName(boxName);
    edit = new CMyEditBrowseCtrl(m_prompts, update);
    edit->setObjectName(editName);
    edit->setEnabled(false);
    // The edit follows its box; storing the choice comes with the update sequence.
    connect(box, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    grid->addWidget(box, row, 0);
    grid->addWidget(edit, row, 1);
  };
  addFileRow(0, m_configEnable, m_configPath, QStringLiteral("Config"),
             CONTROL_NAME(IDC_CONFIG_ENABLE), CONTROL_NAME(IDC_CONFIG_PATH));
  addFileRow(1, m_duvivEnable, m_duvivPath, QStringLiteral("DUviv"), CONTROL_NAME(IDC_DUVIV_ENABLE),
             CONTROL_NAME(IDC_DUVIV_PATH));
  addFileRow(2, m_v64erEnable, m_v64erPath, QString(), CONTROL_NAME(IDC_V64ER_ENABLE),
             CONTROL_NAME(IDC_V64ER_PATH));
  auto* chipLabel = new QLabel(QStringLiteral("ChipType"), update);
  chipLabel->setObjectName(CONTROL_NAME(IDC_CHIP_TYPE_LABEL));
  m_chipType = new QComboBox(update);
  m_chipType->setObjectName(CONTROL_NAME(IDC_CHIP_TYPE));
  grid->addWidget(chipLabel, 3, 0);
  grid->addWidget(m_chipType, 3, 1);
  m_updateButton = new QPushButton(QStringLiteral("Update"), update);
  m_updateButton->setObjectName(CONTROL_NAME(IDC_UPDATE));
  m_autoUpdateButton = new QPushButton(QStringLiteral("Auto Update"), update);
  m_autoUpdateButton->setObjectName(CONTROL_NAME(IDC_AUTO_UPDATE));
  grid->addWidget(m_updateButton, 4, 0);
  grid->addWidget(m_autoUpdateButton, 4, 1);
  grid->setColumnStretch(1, 1);
  auto* updateHeader = new QPushButton(QStringLiteral("配置和固件升级"), column);
  updateHeader->setObjectName(CONTROL_NAME(IDC_UPDATE_PANEL_HEADER));
  layout->addWidget(updateHeader);
  layout->addWidget(update);

  // Address of the networked device.
  auto* net = new QGroupBox(QStringLiteral("Net Connect"), column);
  net->setObjectName(CONTROL_NAME(IDC_NET_GROUP));
  auto* netRow = new QHBoxLayout(net);
  auto* ipLabel = new QLabel(QStringLiteral("IP:"), net);
  ipLabel->setObjectName(CONTROL_NAME(IDC_IP_LABEL));
  m_ipAddress = new QLineEdit(net);
  m_ipAddress->setObjectName(CONTROL_NAME(IDC_IP_ADDRESS));
  m_ipAddress->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral(
          R"(((25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)\.){3}(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d))")),
      m_ipAddress));
  auto* portLabel = new QLabel(QStringLiteral("Port:"), net);
  portLabel->setObjectName(CONTROL_NAME(IDC_PORT_LABEL));
  m_port = new QLineEdit(net);
  m_port->setObjectName(CONTROL_NAME(IDC_PORT));
  m_port->setMaximumWidth(80);
  netRow->addWidget(ipLabel);
  netRow->addWidget(m_ipAddress, 1);
  netRow->addWidget(portLabel);
  netRow->addWidget(m_port);
  m_netConnectButton = new QPushButton(QStringLiteral("网络连接"), net);
  m_netConnectButton->setObjectName(CONTROL_NAME(IDC_NET_CONNECT));
  netRow->addWidget(m_netConnectButton);
  auto* netHeader = new QPushButton(QStringLiteral("安卓设备连接"), column);
  netHeader->setObjectName(CONTROL_NAME(IDC_NET_PANEL_HEADER));
  layout->addWidget(netHeader);
  layout->addWidget(net);
  m_panels = new SlidingPanels(updateHeader, update, netHeader, net, this);
  m_moduleTestButton = new QPushButton(QStringLiteral("模组测试"), column);
  m_moduleTestButton->setObjectName(CONTROL_NAME(IDC_MODULE_TEST));
  layout->addWidget(m_moduleTestButton);

  // Axis buttons and the logo line.
  auto* commands = new QHBoxLayout;
  auto addCommand = [&](QPushButton*& button, const QString& text, const QString& name) {
    button = new QPushButton(text, column);
    button->setObjectName(name);
    commands->addWidget(button);
  };
  addCommand(m_axisX2X, QStringLiteral("X<->X"), CONTROL_NAME(IDC_AXIS_X2X));
  addCommand(m_axisY2Y, QStringLiteral("Y<->Y"), CONTROL_NAME(IDC_AXIS_Y2Y));
  addCommand(m_axisX2Y, QStringLiteral("X<->Y"), CONTROL_NAME(IDC_AXIS_X2Y));
  addCommand(m_logo, QStringLiteral("Kestrana"), CONTROL_NAME(IDC_LOGO));
  m_logo->setFlat(true);
  layout->addLayout(commands);

  m_log = new CMyRichEditCtrl(column);
  m_log->setObjectName(CONTROL_NAME(IDC_LOG));
  layout->addWidget(m_log, 1);
  return column;
}

// ---------------------------------------------------------------------------
// Start

bool CKestranaDlg::Initialize() {
  g_bDigitizerDisabled = false;

  // Temporary files of writes a crash cut short: the complete old files are
  // in place. The test folder's are removed by the test page's start.
  platform::RemoveLeftoverTempFiles(platform::AppPaths::BaseDir() / "System");
  const std::filesystem::path settingsFile = AppSettingsFile();
  std::string error;
  if (!EnsureSettingsFile(settingsFile, &error)) {
    m_prompts.warn(kSettingsFailedText + QLatin1Char('\n') + Q(error));
    return false;
  }
  ReportUnreadableSettingsFile(settingsFile, *m_log);
  // The bridge models decide which bridges may be opened.
  if (!LoadBridgeModels(settingsFile, &error)) m_log->AddLog(error, LOG_ERROR);

  const AppSettings settings = LoadAppSettings(settingsFile);
  ApplySettings(settings);
  OpenDevices();
  // Hidden until asked for; a received image's name goes to the bridge
  // firmware path field.
  m_netConnect = new CNetConnect(*m_log, settings.serverIp, settings.serverPort, this);
  connect(m_netConnect, &CNetConnect::imageReceived, this, [this](const QString& name) {
    m_relayBridgeName = name;
    m_v64erPath->setText(name);
  });
  CreatePages();
  m_links = new ConnectionLinks({m_log, m_bridgeLamp, m_touchIcLamp, m_chipType}, m_prompts,
                                *m_pages, this);
  m_links->SetChipInfoSteps([this] { RebuildOptionDlg(); },
                            [] { GetDataFormatStore().AdoptPanelGeometry(GetPanelGeometry()); });
  CreateUpdateRunner(settingsFile);
  AttachTestBridgeProgrammer();
  CreateMainCommands(settingsFile);
  // Queued: the arrival's own handling ends before an automatic test starts.
  connect(m_links, &ConnectionLinks::DeviceArrived, m_testPage, &CDlgTest::OnDeviceArrived,
          Qt::QueuedConnection);
  m_links->StartMonitor(m_monitorWait);
  OnBnClickedTouchIc();
  bool udevUnreachable = false;
  m_links->WatchDevices(MakeDeviceEventSource(m_backend, &udevUnreachable));
  if (udevUnreachable) m_log->AddLog(kNoHotplugText, LOG_ERROR);

  m_registerPanel = new RegisterPanel(*m_log, settingsFile, this);
  m_registerPanelSlot->addWidget(m_registerPanel);
  // From now on a chip change refreshes the chip information. At start the
  // demo page is shown and running.
  m_links->SetReady(true);
  m_pages->OnPageButton(PAGE_DEMO);
  return true;
}

void CKestranaDlg::ApplySettings(const AppSettings& settings) {
  m_chipType->clear();
  for (const std::string& chip : settings.chipTypes) m_chipType->addItem(Q(chip));
  // No chip is in force until one is identified or chosen.
  m_chipType->setCurrentIndex(-1);
  m_ipAddress->setText(Q(FormatIpv4(settings.deviceIp)));
  m_port->setText(QString::number(settings.devicePort));
  ApplyUpdateFile(settings.configFile, m_configPath, m_configEnable, kConfigFilter);
  ApplyUpdateFile(settings.duvivFile, m_duvivPath, m_duvivEnable, kDuvivFilter);
  ApplyUpdateFile(settings.v64erFile, m_v64erPath, m_v64erEnable, kV64erFilter);
}

void CKestranaDlg::ApplyUpdateFile(const UpdateFileSetting& setting, CMyEditBrowseCtrl* edit,
                                   QCheckBox* enable, const QString& filter) {
  if (setting.fileExists) {
    edit->setText(Q(setting.storedPath));
    edit->setCursorPosition(edit->text().size());
  }
  edit->SetFilter(Q(setting.initialFolder), filter);
  enable->setChecked(setting.enabled);
  edit->setEnabled(setting.enabled);
}

void CKestranaDlg::OpenDevices() {
  m_bridgeDevice = std::make_unique<CHidDevice>(CHidDevice::kModeCommand, m_backend);
  g_pBridgeDevice = m_bridgeDevice.get();
  m_touchHidDevice = std::make_unique<CHidDevice>(CHidDevice::kModeDigitizer, m_backend);
  g_pTouchHidDevice = m_touchHidDevice.get();
  m_tcpLink = std::make_unique<CTcpLink>();
  if (OpenDevice() == 1) {
    OpenDevice();
    m_bridgeLamp->SetState(LAMP_GREEN);
  }
}

void CKestranaDlg::SetBusy(bool busy) {
  m_busy = busy;
  for (CMyButton* button : {m_demoButton, m_rawButton, m_diffButton, m_observeButton,
                            m_optionsButton, m_configButton, m_noiseButton, m_testPageButton}) {
    button->setEnabled(!busy);
  }
  if (m_registerPanel != nullptr) m_registerPanel->SetBusy(busy);
  for (QPushButton* button : {m_axisX2X, m_axisY2Y, m_axisX2Y, m_netConnectButton, m_moduleTestButton}) {
    button->setEnabled(!busy);
  }
  // The chip chosen here decides which block a run burns and checks.
  m_chipType->setEnabled(!busy);
  // In automatic mode "Update" stays off until the mode ends.
  m_updateButton->setEnabled(!busy && (m_updateRunner == nullptr || !m_updateRunner->IsEnabled()));
  // The connection logic reads it from the pages.
  if (m_pages != nullptr) m_pages->SetBusy(busy);
}

void CKestranaDlg::CreatePages() {
  DataFormatStore& store = GetDataFormatStore();
  m_demo = new CDemo(m_prompts, m_pageArea);
  m_demo->SetRecordPath(platform::AppPaths::BaseDir() / "PointFile.csv");
  m_demo->SetLog(m_log);
  m_rawView = new CRawDataLayout(store, m_log, m_pageArea);
  m_diffView = new CDiffDataLayout(store, m_log, m_pageArea);
  m_observeView = new CObserveDataLayout(store, m_log, m_pageArea);
  for (QWidget* page :
       std::initializer_list<QWidget*>{m_demo, m_rawView, m_diffView, m_observeView}) {
    m_pageArea->addWidget(page);
  }
  m_testPage = new CDlgTest(m_prompts, *m_log, m_pageArea);
  m_testRunner = std::make_unique<EngineRunner>(m_runClock != nullptr ? *m_runClock : SteadyRunClock());
  m_testPage->SetRunner(m_testRunner.get());
  m_pageArea->addWidget(m_testPage);
  m_testPage->SetNodeThresholdHook([this] {
    if (StreamControl().IsBusy()) return;
    // The chip's preparation and restore run on the test thread; the modal
    // dialog waits for each, with events other than input still flowing.
    // Returns whether the raw frames now have the panel's size.
    auto chipJob = [this](bool prepare) {
      auto finished = std::make_shared<std::atomic<bool>>(false);
      auto follows = std::make_shared<std::atomic<bool>>(false);
      if (!m_testRunner->PostSamplingJob(prepare, m_testPage->CurrentSettings(), *m_testPage,
                                         [finished, follows](bool rawFollowsPanel) {
                                           follows->store(rawFollowsPanel);
                                           finished->store(true);
                                         })) {
        m_log->AddLog(prepare ? "模组测试进行中，无法为采样准备芯片配置"
                              : "模组测试进行中，无法恢复芯片配置",
                      LOG_ERROR);
        return false;
      }
      while (!finished->load()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      return follows->load();
    };
    RunSampleDlg(GetDataFormatStore(), m_log, m_prompts, this, [chipJob] { return chipJob(true); },
                 [chipJob] { chipJob(false); });
    // The test reads the limits the dialog may have saved.
    m_testPage->LoadNodeThresholds();
  });
  m_pageArea->setCurrentWidget(m_demo);
  m_pages = new PageSwitcher({m_pageArea, m_demo, m_rawView, m_diffView, m_observeView, m_testPage},
                             this);
  connect(m_testPageButton, &QAbstractButton::clicked, this, [this] { m_pages->ShowTestPage(); });
  connect(m_testPage, &CDlgTest::BusyChanged, this, &CKestranaDlg::SetBusy);
  connect(m_testPage, &CDlgTest::ChipInfoChanged, this, [this] {
    if (m_links != nullptr) m_links->RefreshChipInfo();
  });
  connect(m_testPage, &CDlgTest::ShowDemoPageRequested, this,
          [this] { m_pages->OnPageButton(PAGE_DEMO); });
  // The settings lock by key: locks so that the mouse cannot unlock, and
  // unlocks again.
  auto* lockKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F7), this);
  connect(lockKey, &QShortcut::activated, m_testPage, &CDlgTest::OnToggleNoModification);

  connect(m_demoButton, &QAbstractButton::clicked, this,
          [this] { m_pages->OnPageButton(PAGE_DEMO); });
  connect(m_rawButton, &QAbstractButton::clicked, this,
          [this] { m_pages->OnPageButton(PAGE_RAW); });
  connect(m_diffButton, &QAbstractButton::clicked, this,
          [this] { m_pages->OnPageButton(PAGE_DIFF); });
  connect(m_observeButton, &QAbstractButton::clicked, this,
          [this] { m_pages->OnPageButton(PAGE_OBSERVE); });
  connect(m_optionsButton, &QAbstractButton::clicked, this, &CKestranaDlg::OnBnClickedOptions);
  connect(m_configButton, &QAbstractButton::clicked, this, &CKestranaDlg::OnBnClickedConfig);

  // The connection links come after the pages: looked up when a send starts.
  NoiseDlgHost noiseHost;
  noiseHost.beginExclusive = [this] {
    if (m_links != nullptr) m_links->BeginExclusive();
  };
  noiseHost.endExclusive = [this] {
    if (m_links != nullptr) m_links->EndExclusive();
  };
  // m_links is set before the first run starts and outlives the noise view.
  noiseHost.holdOnWorker = [this] {
    if (m_links != nullptr) m_links->HoldOnWorker();
  };
  noiseHost.releaseOnWorker = [this] {
    if (m_links != nullptr) m_links->ReleaseOnWorker();
  };
  m_noiseDlg = std::make_unique<CNoiseDlg>(m_prompts, m_log, std::move(noiseHost));
  connect(m_noiseButton, &QAbstractButton::clicked, this, [this] { m_noiseDlg->LoadNoiseConfig(); });
}

void CKestranaDlg::RebuildOptionDlg() {
  m_optionDlg.reset();
  m_optionDlg = std::make_unique<COptionDlg>(GetDataFormatStore(), m_prompts, m_log);
}

void CKestranaDlg::OnBnClickedOptions() {
  if (!m_optionDlg) RebuildOptionDlg();
  m_optionDlg->OnBnClickedCancel();
  m_optionDlg->show();
  m_optionDlg->raise();
}

CConfigDlg* CKestranaDlg::ConfigDlg() const { return m_configDlg.data(); }

void CKestranaDlg::OnBnClickedConfig() {
  ConfigDlgHost host;
  ConnectionLinks* links = m_links;
  if (links != nullptr) {
    host.readPanelGeometry = [links] { links->ReadPanelGeometry(); };
    host.beginExclusive = [links] { links->BeginExclusive(); };
    host.endExclusive = [links] { links->EndExclusive(); };
  }
  m_configDlg = new CConfigDlg(m_prompts, std::move(host), this);
  m_configDlg->LoadItemFileForChip();
}

// ---------------------------------------------------------------------------
// Lamps

void CKestranaDlg::OnBnClickedBridge() { m_log->AddLog(GetBridgeVersion(), LOG_INFO); }

void CKestranaDlg::OnBnClickedTouchIc() {
  CHidDevice* device = g_pBridgeDevice.load();
  if (device == nullptr) return;
  if (m_links != nullptr) m_links->RefreshChipInfo();
  m_log->AddLog(
      QStringLiteral("分辨率：%1*%2").arg(g_nResolutionX.load()).arg(g_nResolutionY.load()),
      LOG_INFO);
  const uint16_t address = device->IsDe7Family() ? kSensorIdRegisterDe7 : kSensorIdRegisterRu9;
  uint8_t sensorId = 0;
  if (ReadChipRegs(device, address, &sensorId, 1, kRegisterTimeoutMs) == 1) {
    m_log->AddLog(QStringLiteral("SensorID：%1").arg(sensorId), LOG_INFO);
  } else {
    m_log->AddLog(QStringLiteral("SensorID：读取失败"), LOG_ERROR);
  }
}

// ---------------------------------------------------------------------------
// Close

void CKestranaDlg::closeEvent(QCloseEvent* event) {
  // Closing in the middle of a burn or a test would leave the module half
  // written.
  if (m_busy) {
    // A notice, not a warning: nothing went wrong, the window only has to wait.
    m_prompts.info(QStringLiteral("需等烧录或测试完成才能关闭！"));
    event->ignore();
    return;
  }
  if (m_testPage != nullptr) m_testPage->PrepareClose();
  Shutdown();
  event->accept();
}

void CKestranaDlg::Shutdown() {
  if (m_shutDown) return;
  m_shutDown = true;
  // Workers waiting on the UI give up from here on.
  g_shuttingDown = true;
  // Pages, the connection monitor and the update worker stop here, before
  // the devices go.
  if (m_links != nullptr) m_links->Stop();
  if (m_updateRunner != nullptr) {
    m_updateRunner->SetAutoEnabled(false);
    m_updateRunner->Wait();
  }
  // A connect in flight ends within the link's connect time.
  if (m_netButton != nullptr) m_netButton->Wait();
  if (m_pages != nullptr) m_pages->HaltAll();
  m_optionDlg.reset();
  // Its read chain and any auto-adjust end before the devices go.
  m_noiseDlg.reset();

  m_teardown = std::make_unique<DeviceTeardown>(
      std::move(m_bridgeDevice), std::move(m_touchHidDevice), std::move(m_tcpLink));
  // Queued UI work still runs meanwhile, so nothing that waits for the UI
  // can hold the teardown up.
  QElapsedTimer elapsed;
  elapsed.start();
  while (!m_teardown->WaitFor(kTeardownSlice) && elapsed.elapsed() < m_shutdownBudget.count()) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
}

bool CKestranaDlg::TeardownFinished() const { return m_teardown && m_teardown->Finished(); }

bool CKestranaDlg::WaitForTeardown(std::chrono::milliseconds limit) {
  return m_teardown && m_teardown->WaitFor(limit);
}

// ---------------------------------------------------------------------------
// Update panel

void CKestranaDlg::CreateUpdateRunner(const std::filesystem::path& settingsFile) {
  UpdateRunner::Host host;
  host.log = m_log;
  host.links = m_links;
  host.pages = m_pages;
  host.remote = m_netConnect != nullptr ? &m_netConnect->Link() : nullptr;
  host.prompts = &m_prompts;
  host.settingsFile = settingsFile;
  host.setBusy = [this](bool busy) { SetBusy(busy); };
  host.isBusy = [this] { return m_busy; };
  host.plan = [this] { return TakeUpdatePlan(); };
  host.touchVerified = [this] { OnBnClickedTouchIc(); };
  m_updateRunner = new UpdateRunner(std::move(host), MakeUsbBackend(m_backend), this);
  m_links->SetAutoUpdate(m_updateRunner);
  connect(m_updateButton, &QAbstractButton::clicked, this, [this] { m_updateRunner->TryStart(); });
  connect(m_autoUpdateButton, &QAbstractButton::clicked, this, &CKestranaDlg::OnBnClickedAutoUpdate);

  // The panel's choices are stored as they are made.
  auto storeEnable = [this, settingsFile](QCheckBox* box, const char* key) {
    connect(box, &QAbstractButton::toggled, this, [this, settingsFile, key](bool on) {
      StoreSettings("UPDATE", {{key, on ? "1" : "0"}}, settingsFile, *m_log);
    });
  };
  storeEnable(m_configEnable, "config enable");
  storeEnable(m_duvivEnable, "duviv enable");
  storeEnable(m_v64erEnable, "v64er enable");
  auto storePath = [this, settingsFile](QLineEdit* edit, const char* key) {
    connect(edit, &QLineEdit::textChanged, this, [this, edit, settingsFile, key](const QString& text) {
      std::error_code ec;
      const std::string stored = text.toStdString();
      // A name from the network is never stored as a path of this machine.
      if (edit == m_v64erPath && BridgePathIsRelayName()) return;
      if (!stored.empty() && std::filesystem::is_regular_file(platform::AppPaths::Resolve(stored), ec)) {
        StoreSettings("UPDATE", {{key, stored}}, settingsFile, *m_log);
      }
    });
  };
  storePath(m_configPath, "config path");
  storePath(m_duvivPath, "duviv path");
  storePath(m_v64erPath, "v64er path");
}

void CKestranaDlg::AttachTestBridgeProgrammer() {
  m_testIspBackend = std::make_unique<Ch55xUsbBackend>(m_updateRunner->Usb());
  m_testIsp = std::make_unique<CMcuIsp>(*m_testIspBackend);
  UpdateHooks hooks;
  SetBridgeDeviceHooks(hooks, *m_links);
  // No run can have started yet: the window is not shown.
  m_testRunner->AttachBridgeProgrammer(*m_testIsp, std::move(hooks));
}

UpdatePlan CKestranaDlg::TakeUpdatePlan() const {
  auto pathOf = [](const QLineEdit* edit) {
    const std::string text = edit->text().trimmed().toStdString();
    return text.empty() ? std::filesystem::path() : platform::AppPaths::Resolve(text);
  };
  UpdatePlan plan;
  plan.config = m_configEnable->isChecked();
  plan.touch = m_duvivEnable->isChecked();
  plan.bridge = m_v64erEnable->isChecked();
  plan.configPath = pathOf(m_configPath);
  plan.touchPath = pathOf(m_duvivPath);
  // The relay's name is passed on as it came, never resolved to a file under
  // the runtime root: without the relay's image the run refuses it, so no
  // local file is burnt for it and no side file lands outside the temporary
  // folder.
  plan.bridgePath = BridgePathIsRelayName()
                        ? std::filesystem::path(m_v64erPath->text().trimmed().toStdString())
                        : pathOf(m_v64erPath);
  return plan;
}

bool CKestranaDlg::BridgePathIsRelayName() const {
  return !m_relayBridgeName.isEmpty() && m_v64erPath->text().trimmed() == m_relayBridgeName;
}

void CKestranaDlg::OnBnClickedAutoUpdate() {
  const bool arm = !m_updateRunner->IsEnabled();
  m_updateRunner->SetAutoEnabled(arm);
  m_autoUpdateButton->setText(arm ? QStringLiteral("Stop Upadate") : QStringLiteral("Auto Upadate"));
  m_updateButton->setEnabled(!arm && !m_busy);
  if (arm) m_updateRunner->TryStart();
}

// ---------------------------------------------------------------------------
// Commands

void CKestranaDlg::CreateMainCommands(const std::filesystem::path& settingsFile) {
  m_netButton = new NetworkConnectButton(m_netConnectButton, m_ipAddress, m_port, *m_tcpLink, *m_log,
                                         settingsFile, [this] { return m_busy; }, this);
  MainCommands::Host host;
  host.window = this;
  host.prompts = &m_prompts;
  host.log = m_log;
  host.links = m_links;
  host.isBusy = [this] { return m_busy; };
  host.openConfig = [this] { OnBnClickedConfig(); };
  host.demoFullScreen = [this] {
    // A stopped demo is shown and started; a running one stays as it is.
    if (m_pages->IsPageStopped(PAGE_DEMO)) m_pages->OnPageButton(PAGE_DEMO);
    m_demo->ToggleFullScreen();
  };
  host.showNetLink = [this] { m_netConnect->show(); };
  m_commands = new MainCommands(std::move(host), this);
  m_commands->InstallShortcuts();
  new BusyClickFilter(this, [this] { return m_busy; }, this);
  connect(m_axisX2X, &QAbstractButton::clicked, this, [this] { m_commands->SwapAxes(AxisSwap::X2X); });
  connect(m_axisY2Y, &QAbstractButton::clicked, this, [this] { m_commands->SwapAxes(AxisSwap::Y2Y); });
  connect(m_axisX2Y, &QAbstractButton::clicked, this, [this] { m_commands->SwapAxes(AxisSwap::X2Y); });
  connect(m_logo, &QAbstractButton::clicked, m_commands, &MainCommands::OnLogo);
  connect(m_moduleTestButton, &QAbstractButton::clicked, m_testPage, &CDlgTest::OnBnClickedStartTest);
}
