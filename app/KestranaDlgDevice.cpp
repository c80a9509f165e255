// The main window's side of the devices: opening the bridge's two
// interfaces, the bridge and TouchIC lamps, the update panel's runner with
// the storing of its choices, and the module test's own bridge programmer.
#include "app/KestranaDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/AppSettings.h"
#include "app/BridgeDeviceHooks.h"
#include "app/ConnectionLinks.h"
#include "app/DeviceBackend.h"
#include "app/NetConnectDlg.h"
#include "app/PageSwitcher.h"
#include "app/UpdateRunner.h"
#include "device/ChipGlobals.h"
#include "device/chip/PanelGeometry.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "device/net/TcpLink.h"
#include "moduletest/run/EngineRunner.h"
#include "platform/files/AppPaths.h"
#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"
#include "ui/LogWindow.h"
#include "ui/MyButton.h"
#include "ui/MyEditBrowseCtrl.h"

namespace {

// Sensor id register of each chip family.
constexpr uint16_t kSensorIdRegisterDe7 = 0x824A;
constexpr uint16_t kSensorIdRegisterRu9 = 0x814A;

}  // namespace

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
