// The main window's start and close: Initialize (settings, devices, pages,
// connection monitor, update runner, commands, register panel, in that
// order), the settings into the window, the busy state, and the bounded
// shutdown.
#include "app/KestranaDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "app/AppSettings.h"
#include "app/ConnectionLinks.h"
#include "app/DeviceBackend.h"
#include "app/DeviceTeardown.h"
#include "app/NetConnectDlg.h"
#include "app/NetworkConnectButton.h"
#include "app/PageSwitcher.h"
#include "app/RegisterPanel.h"
#include "app/UpdateRunner.h"
#include "device/ChipGlobals.h"
#include "device/SettingsFileCheck.h"
#include "device/chip/PanelGeometry.h"
#include "device/link/BridgeModels.h"
#include "device/link/HidDevice.h"
#include "device/net/TcpLink.h"
#include "moduletest/run/EngineRunner.h"
#include "moduletest/widgets/DlgTest.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"
#include "ui/LogWindow.h"
#include "ui/MyButton.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/Prompts.h"
#include "ui/UiBridge.h"
#include "views/DataFormatStore.h"
#include "views/widgets/OptionDlg.h"
#include "views/widgets/noise/NoiseDlg.h"

namespace {

const QString kSettingsFailedText = QStringLiteral("创建AppConfigInit.ini文件失败");
const QString kNoHotplugText = QStringLiteral("无法连接udev，设备插拔将不会被发现");
const QString kConfigFilter = QStringLiteral("Config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||");
const QString kDuvivFilter = QStringLiteral("Firmwave(*.bin)|*.bin|All Files (*.*)|*.*||");
const QString kV64erFilter =
    QStringLiteral("Firmwave(*.bin,*.hex)|*.bin;*.hex|All Files (*.*)|*.*||");

// How often closing looks at the teardown while it lets queued UI work run.
constexpr std::chrono::milliseconds kTeardownSlice{50};

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
