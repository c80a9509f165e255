#pragma once
// The program's main window: the row of page buttons above the page area,
// the bridge and TouchIC lamps, the register panel, the update files with
// their enable boxes, the chip type, the network address and the log pane.
// It owns the two bridge devices (the command interface, which carries every
// request, and the digitizer interface) from Initialize() until Shutdown().
//
// Pages that later work brings are not here yet: their buttons are shown and
// do nothing.
//
// The members are defined by concern in KestranaDlg*.cpp (start and close,
// layout, pages, devices, commands).

#include <QPointer>
#include <QString>
#include <chrono>
#include <filesystem>
#include <memory>

#include "ui/MyDialog.h"
#include "device/connection/ConnectionMonitor.h"
#include "platform/hid/HidPort.h"
#include "ui/DialogFolder.h"

class CHidDevice;
class CNetConnect;
class CTcpLink;
class ConnectionLinks;
class COptionDlg;
class CConfigDlg;
class CNoiseDlg;
class CDemo;
class CDlgTest;
class EngineRunner;
class IRunClock;
class CMcuIsp;
class Ch55xUsbBackend;
class CRawDataLayout;
class CDiffDataLayout;
class CObserveDataLayout;
class PageSwitcher;
class CMyButton;
class CMyEditBrowseCtrl;
class CMyRichEditCtrl;
class DeviceTeardown;
class IPrompts;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QStackedWidget;
class QVBoxLayout;
class RegisterPanel;
class UpdateRunner;
class SlidingPanels;
class MainCommands;
class NetworkConnectButton;
class QPushButton;
struct UpdatePlan;
struct AppSettings;
struct UpdateFileSetting;

class CKestranaDlg : public CMyDialog {
  Q_OBJECT

 public:
  // How long closing waits for the device link to come down before the
  // program goes on without it.
  static constexpr std::chrono::milliseconds kDefaultShutdownBudget{3000};

  CKestranaDlg(IPrompts& prompts, std::shared_ptr<platform::IHidBackend> backend,
               QWidget* parent = nullptr);
  // Shuts down when that has not happened yet.
  ~CKestranaDlg() override;

  // Reads the settings, opens the bridge and fills the window. false when
  // the settings file could not be created: the user has been told and the
  // window must not be shown (the program ends).
  bool Initialize();

  // Takes the device link down; waits at most the shutdown budget for it.
  // Safe to call more than once (the close event and the destructor both do).
  void Shutdown();
  void SetShutdownBudget(std::chrono::milliseconds budget) { m_shutdownBudget = budget; }
  // The connection monitor's waits (tests put in their own); before Initialize.
  void SetMonitorWait(ConnectionMonitor::WaitFn wait) { m_monitorWait = std::move(wait); }
  // The time the module test's runs see (their waits and deadlines; tests
  // put in a virtual one); before Initialize. The steady clock by default.
  void SetRunClock(IRunClock& clock) { m_runClock = &clock; }
  ConnectionLinks& Links() { return *m_links; }
  // The configuration editor opened last, while it is open.
  CConfigDlg* ConfigDlg() const;
  PageSwitcher& Pages() { return *m_pages; }
  // The noise view (a separate window, hidden until "噪声检测").
  CNoiseDlg* NoiseDlg() { return m_noiseDlg.get(); }
  // true once the devices are destroyed (false before Shutdown).
  bool TeardownFinished() const;
  // Waits up to limit for a teardown that outlasted the budget.
  bool WaitForTeardown(std::chrono::milliseconds limit);

  CMyRichEditCtrl& Log() { return *m_log; }
  // The networked device's link (connected by the network command) and the
  // remote link dialog; both exist from Initialize() on.
  CTcpLink* TcpLink() { return m_tcpLink.get(); }
  CNetConnect* NetConnect() { return m_netConnect; }
  CDlgTest& TestPage() { return *m_testPage; }
  // Runs the update sequence of the update panel.
  UpdateRunner& Updates() { return *m_updateRunner; }
  // Accelerators, axis buttons, logo line and help.
  MainCommands& Commands() { return *m_commands; }
  // The update and network panels under their header buttons.
  SlidingPanels& Panels() { return *m_panels; }

  // A burn or a module test owns the device: the controls that would send
  // requests in between (page buttons, register panel) are disabled and the
  // connection check stands aside. Claimed on the UI thread before the
  // worker starts.
  void SetBusy(bool busy);
  bool IsBusy() const { return m_busy; }

  // Bridge lamp: logs the bridge's version text.
  void OnBnClickedBridge();
  // TouchIC lamp (also run once at start): logs the sensor id.
  void OnBnClickedTouchIc();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildUi();
  QWidget* BuildPageColumn();
  QWidget* BuildControlColumn();
  CMyButton* MakePageButton(const QString& name, const QString& text);
  CMyButton* MakeLamp(const QString& name, const QString& text);
  void ApplySettings(const AppSettings& settings);
  void ApplyUpdateFile(const UpdateFileSetting& setting, CMyEditBrowseCtrl* edit, QCheckBox* enable,
                       const QString& filter);
  void OpenDevices();
  // The demo and the data views in the page area, and their buttons.
  void CreatePages();
  // The data-options dialog for the chip in force (formats loaded anew).
  void RebuildOptionDlg();
  void OnBnClickedOptions();
  // "触控配置": a new configuration editor for the identified chip.
  void OnBnClickedConfig();
  // The update panel's runner, its buttons and the storing of its choices.
  void CreateUpdateRunner(const std::filesystem::path& settingsFile);
  // The module test's own bridge programmer, handed to its runner with the
  // window's bridge hooks (after the update runner and the links exist).
  void AttachTestBridgeProgrammer();
  UpdatePlan TakeUpdatePlan() const;
  // The bridge path field still shows the name the relay server gave its
  // image (a base name, no file of ours).
  bool BridgePathIsRelayName() const;
  // "Auto Update": arms or disarms the update on every arrival.
  void OnBnClickedAutoUpdate();
  void CreateMainCommands(const std::filesystem::path& settingsFile);

  IPrompts& m_prompts;
  std::shared_ptr<platform::IHidBackend> m_backend;
  std::chrono::milliseconds m_shutdownBudget = kDefaultShutdownBudget;
  ConnectionMonitor::WaitFn m_monitorWait = &platform::Event::WaitAny;
  // Lamps, lines and chip selection driven by the connection logic.
  ConnectionLinks* m_links = nullptr;
  PageSwitcher* m_pages = nullptr;
  CDemo* m_demo = nullptr;
  CRawDataLayout* m_rawView = nullptr;
  CDiffDataLayout* m_diffView = nullptr;
  CObserveDataLayout* m_observeView = nullptr;
  // The editor opened last; it deletes itself when closed.
  QPointer<CConfigDlg> m_configDlg;
  // Where the editor's "ConfigFile" and "Save Cfg" dialogs open, kept across
  // editors for the session.
  std::shared_ptr<DialogFolder> m_configFileFolder = std::make_shared<DialogFolder>();
  std::shared_ptr<DialogFolder> m_configSaveFolder = std::make_shared<DialogFolder>();
  CDlgTest* m_testPage = nullptr;
  IRunClock* m_runClock = nullptr;  // null: the steady clock
  // The module test's bridge programmer: its own, so that the update panel's
  // loads never replace the image a run holds. Outlives the runner.
  std::unique_ptr<Ch55xUsbBackend> m_testIspBackend;
  std::unique_ptr<CMcuIsp> m_testIsp;
  // Runs the test page's module tests on its own thread.
  std::unique_ptr<EngineRunner> m_testRunner;
  // A separate window, rebuilt when the chip changes.
  std::unique_ptr<COptionDlg> m_optionDlg;
  std::unique_ptr<CNoiseDlg> m_noiseDlg;

  std::unique_ptr<CHidDevice> m_bridgeDevice;
  std::unique_ptr<CHidDevice> m_touchHidDevice;
  std::unique_ptr<CTcpLink> m_tcpLink;
  CNetConnect* m_netConnect = nullptr;
  std::unique_ptr<DeviceTeardown> m_teardown;
  bool m_shutDown = false;

  // Page area and page buttons.
  QStackedWidget* m_pageArea = nullptr;
  CMyButton* m_demoButton = nullptr;
  CMyButton* m_rawButton = nullptr;
  CMyButton* m_diffButton = nullptr;
  CMyButton* m_observeButton = nullptr;
  CMyButton* m_optionsButton = nullptr;
  CMyButton* m_configButton = nullptr;
  CMyButton* m_noiseButton = nullptr;
  CMyButton* m_testPageButton = nullptr;

  CMyButton* m_bridgeLamp = nullptr;
  CMyButton* m_touchIcLamp = nullptr;
  // The register panel goes here once the settings file is known.
  QVBoxLayout* m_registerPanelSlot = nullptr;
  RegisterPanel* m_registerPanel = nullptr;
  bool m_busy = false;

  CMyEditBrowseCtrl* m_configPath = nullptr;
  CMyEditBrowseCtrl* m_duvivPath = nullptr;
  CMyEditBrowseCtrl* m_v64erPath = nullptr;
  QString m_relayBridgeName;  // the last name the relay server put in m_v64erPath
  QCheckBox* m_configEnable = nullptr;
  QCheckBox* m_duvivEnable = nullptr;
  QCheckBox* m_v64erEnable = nullptr;
  QComboBox* m_chipType = nullptr;
  QLineEdit* m_ipAddress = nullptr;
  QLineEdit* m_port = nullptr;

  CMyRichEditCtrl* m_log = nullptr;
  QPushButton* m_updateButton = nullptr;
  QPushButton* m_autoUpdateButton = nullptr;
  UpdateRunner* m_updateRunner = nullptr;
  QPushButton* m_netConnectButton = nullptr;
  QPushButton* m_axisX2X = nullptr;
  QPushButton* m_axisY2Y = nullptr;
  QPushButton* m_axisX2Y = nullptr;
  QPushButton* m_logo = nullptr;
  NetworkConnectButton* m_netButton = nullptr;
  MainCommands* m_commands = nullptr;
  SlidingPanels* m_panels = nullptr;
  QPushButton* m_moduleTestButton = nullptr;
};
