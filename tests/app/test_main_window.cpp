#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/ConnectionLinks.h"
#include "app/DeviceBackend.h"
#include "ui/ControlIds.h"
#include "app/PageSwitcher.h"
#include "app/SlidingPanels.h"
#include "app/UpdateRunner.h"
#include "app/KestranaDlg.h"
#include "app/NetConnectDlg.h"
#include "moduletest/engine/ShortFirmware.h"
#include "moduletest/widgets/DlgTest.h"
#include "moduletest/samples/SampleStore.h"
#include "moduletest/widgets/samples/SampleDlg.h"
#include "ui/LogWindow.h"
#include "ui/MyButton.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/UiBridge.h"
#include "ui/WaittingDlg.h"
#include "views/DataFormatStore.h"
#include "programming/widgets/ConfigDlg.h"
#include "programming/widgets/ConfigGridView.h"
#include "views/widgets/Demo.h"
#include "views/widgets/OptionDlg.h"
#include "views/widgets/RawDataLayout.h"
#include "views/widgets/noise/NoiseDlg.h"
#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/chip/PanelGeometry.h"
#include "device/link/RegisterOps.h"
#include "device/link/RequestQueue.h"
#include "device/StreamControl.h"
#include "device/net/LinkSwitch.h"
#include "device/net/TcpLink.h"
#include "platform/files/AppPaths.h"
#include "platform/files/IniFile.h"
#include "sim/DataPlane.h"
#include "sim/SimChip.h"
#include "sim/noise/NoiseArea.h"
#include "sim/SimHidBackend.h"
#include "sim/netdevice/SimTcpDevice.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/QtTestUtil.h"
#include "tests/platform/ScratchDir.h"
#include "tests/app/WindowRig.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
namespace fs = std::filesystem;

const fs::path kShippedRuntime =
    fs::path(KESTRANA_TEST_DATA_DIR).parent_path().parent_path() / "resources" / "runtime";

QStringList LogLines(CMyRichEditCtrl& log) {
  QStringList lines;
  for (QTextBlock b = log.document()->begin(); b.isValid(); b = b.next()) {
    if (!b.text().isEmpty()) lines << b.text();
  }
  return lines;
}

QColor LastLineColour(CMyRichEditCtrl& log) {
  QTextBlock block = log.document()->lastBlock();
  while (block.isValid() && block.text().isEmpty()) block = block.previous();
  return block.begin().fragment().charFormat().foreground().color();
}

// A temporary runtime root holding the shipped settings file, and the window
// on a simulated bridge.
class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    g_shuttingDown = false;
    g_nResolutionX = 0;
    g_nResolutionY = 0;
    SetChipName("");
    platform::AppPaths::SetBaseDir(root_.path());
    // The runtime tree the program ships: settings, chip profiles, item files.
    fs::copy(kShippedRuntime, root_.path(), fs::copy_options::recursive);
  }
  void TearDown() override {
    window_.reset();
    g_shuttingDown = false;
  }

  std::shared_ptr<sim::SimBridge> AddBridge(sim::ChipFamily family,
                                            std::shared_ptr<sim::SimClock> clock = nullptr) {
    return backend_->AddBridge(sim::MakeDefaultBridge(family, std::move(clock)));
  }

  // monitorWait: the connection monitor's waits; by default it sits idle
  // until the window closes, so the log holds only the window's own lines.
  CKestranaDlg& Start(ConnectionMonitor::WaitFn monitorWait = MonitorIdle) {
    window_ = std::make_unique<CKestranaDlg>(prompts_, backend_);
    window_->SetMonitorWait(std::move(monitorWait));
    EXPECT_TRUE(window_->Initialize());
    return *window_;
  }

  static int MonitorIdle(const std::vector<platform::Event*>& events, uint32_t) {
    events[0]->Wait();  // the stop event
    return 0;
  }

  template <typename T>
  T* Control(const QString& name) {
    T* widget = window_->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
  }

  ScratchDir root_;
  FakePrompts prompts_;
  std::shared_ptr<sim::SimHidBackend> backend_ = std::make_shared<sim::SimHidBackend>();
  std::unique_ptr<CKestranaDlg> window_;
};

struct FamilyCase {
  const char* name;
  sim::ChipFamily family;
  uint16_t sensorIdRegister;
  const char* nameVersion;
};

class StartOnBridge : public MainWindow, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(StartOnBridge, LampsAndLogLinesInOrder) {
  auto bridge = AddBridge(GetParam().family);
  bridge->Chip().Poke(GetParam().sensorIdRegister, 0x2A);
  CKestranaDlg& w = Start();

  // The start runs the TouchIC lamp's handler: the chip is identified and
  // shown, then the resolution and the sensor id are logged.
  auto* touchIc = Control<CMyButton>(CONTROL_NAME(IDC_TOUCHIC_LAMP));
  EXPECT_EQ(Control<CMyButton>(CONTROL_NAME(IDC_BRIDGE_LAMP))->State(), LAMP_GREEN);
  EXPECT_EQ(touchIc->State(), LAMP_GREEN);
  EXPECT_EQ(touchIc->text(), QString::fromStdString(GetParam().nameVersion));
  EXPECT_EQ(Control<QComboBox>(CONTROL_NAME(IDC_CHIP_TYPE))->currentText(),
            QString::fromStdString(GetChipName()));
  EXPECT_NE(g_pBridgeDevice.load(), nullptr);
  EXPECT_NE(g_pTouchHidDevice.load(), nullptr);
  EXPECT_NE(w.findChild<QWidget*>(CONTROL_NAME(IDC_READ)), nullptr) << "register panel in place";

  Control<CMyButton>(CONTROL_NAME(IDC_BRIDGE_LAMP))->click();
  touchIc->click();
  const QString resolution = QStringLiteral("分辨率：%1*%2").arg(g_nResolutionX.load()).arg(g_nResolutionY.load());
  EXPECT_EQ(LogLines(w.Log()),
            (QStringList{resolution, QStringLiteral("SensorID：42"),
                         QStringLiteral("Kestrana SimBridge V1.10"), resolution,
                         QStringLiteral("SensorID：42")}));

  w.close();
  EXPECT_TRUE(w.TeardownFinished());
  EXPECT_EQ(g_pBridgeDevice.load(), nullptr);
  EXPECT_EQ(g_pTouchHidDevice.load(), nullptr);
  EXPECT_FALSE(GetRequestQueue().HasDispatcher());
}

// The DE7 bridge is told apart by the product id listed in the shipped
// settings' bridge models.
INSTANTIATE_TEST_SUITE_P(Families, StartOnBridge,
                         ::testing::Values(
                             FamilyCase{"RU9", sim::ChipFamily::RU9, 0x814A, "RO9110V_1060"},
                             FamilyCase{"DE7", sim::ChipFamily::DE7, 0x824A, "RO7387Z_01.0A"}),
                         [](const auto& info) { return info.param.name; });

TEST_F(MainWindow, StartWithoutBridgeLeavesTheLampRedAndSaysTheReadFailed) {
  CKestranaDlg& w = Start();
  EXPECT_EQ(Control<CMyButton>(CONTROL_NAME(IDC_BRIDGE_LAMP))->State(), LAMP_RED);
  EXPECT_EQ(LogLines(w.Log()),
            (QStringList{QStringLiteral("分辨率：0*0"), QStringLiteral("SensorID：读取失败")}));
  EXPECT_EQ(LastLineColour(w.Log()), QColor(255, 0, 0));
  w.close();
  EXPECT_TRUE(w.TeardownFinished());
}

// The connection monitor's start report and first status check on a live
// bridge: its waits are scripted so that both happen at once.
TEST_F(MainWindow, ConnectionMonitorReportsBothLinks) {
  AddBridge(sim::ChipFamily::RU9);
  // The start delay ends only once the window is up, so the monitor's lines
  // follow the window's own.
  auto startDelay = std::make_shared<platform::Event>(true, false);
  auto calls = std::make_shared<std::atomic<int>>(0);
  CKestranaDlg& w = Start([calls, startDelay](const std::vector<platform::Event*>& events, uint32_t) {
    const int call = (*calls)++;
    if (call == 0) {
      startDelay->Wait();
      return platform::kWaitTimeout;
    }
    if (call == 1) return platform::Event::WaitAny(events, 0);
    events[0]->Wait();
    return 0;
  });
  startDelay->Set();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return LogLines(w.Log()).size() >= 5; }));
  const QStringList lines = LogLines(w.Log());
  EXPECT_EQ(lines.mid(2), (QStringList{QStringLiteral("IIC已连接"), QStringLiteral("USB已连接"),
                                       QStringLiteral("IIC已连接")}));
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    return Control<CMyButton>(CONTROL_NAME(IDC_BRIDGE_LAMP))->text() == QStringLiteral("K101_0110");
  }));
  EXPECT_EQ(Control<CMyButton>(CONTROL_NAME(IDC_TOUCHIC_LAMP))->text(),
            QStringLiteral("RO9110V_1060"));
  w.close();
  EXPECT_TRUE(w.TeardownFinished());
}

// Unplugging the simulated bridge reaches the window like a udev removal;
// plugging it back reopens it.
TEST_F(MainWindow, FollowsTheSimulatedBridgeBeingUnpluggedAndReplugged) {
  auto bridge = AddBridge(sim::ChipFamily::RU9);
  CKestranaDlg& w = Start();
  auto* bridgeLamp = Control<CMyButton>(CONTROL_NAME(IDC_BRIDGE_LAMP));
  ASSERT_EQ(bridgeLamp->State(), LAMP_GREEN);

  bridge->Unplug();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !g_pBridgeDevice.load()->IsConnected(); }));
  EXPECT_TRUE(w.Pages().IsPageStopped(PAGE_DEMO));

  bridge->Replug();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return g_pBridgeDevice.load()->IsConnected(); }));
  EXPECT_EQ(bridgeLamp->State(), LAMP_GREEN);
  EXPECT_FALSE(w.Pages().IsPageStopped(PAGE_DEMO));
  EXPECT_TRUE(w.Links().BridgeArrived().IsSet());
  EXPECT_NE(ReadChipReg8(0x8140), kFailedReadByte);
  w.close();
  EXPECT_TRUE(w.TeardownFinished());
}

TEST_F(MainWindow, BusyDisablesWhatWouldSendRequests) {
  AddBridge(sim::ChipFamily::RU9);
  CKestranaDlg& w = Start();
  auto* read = Control<QPushButton>(CONTROL_NAME(IDC_READ));
  auto* raw = Control<QPushButton>(CONTROL_NAME(IDC_RAW_DATA));
  w.SetBusy(true);
  EXPECT_FALSE(read->isEnabled());
  EXPECT_FALSE(raw->isEnabled());
  EXPECT_TRUE(w.Pages().IsBusy());
  EXPECT_FALSE(w.close()) << "a busy window refuses to close";
  EXPECT_EQ(prompts_.infos, QStringList{QStringLiteral("需等烧录或测试完成才能关闭！")});
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << "an information box, not a warning";
  EXPECT_FALSE(w.TeardownFinished());
  w.SetBusy(false);
  EXPECT_TRUE(read->isEnabled());
  EXPECT_TRUE(raw->isEnabled());
  EXPECT_FALSE(w.Pages().IsBusy());
  EXPECT_TRUE(w.close());
  EXPECT_TRUE(w.TeardownFinished());
}

TEST_F(MainWindow, SettingsFillTheControls) {
  WriteBytes(root_ / "fw" / "touch.bin", "x");
  // The file is gone, its folder is there (a folder that is gone opens the
  // runtime root instead).
  const fs::path missingCfg = root_ / "cfgs" / "gone.cfg";
  fs::create_directories(missingCfg.parent_path());
  WriteBytes(root_ / "System" / "AppConfigInit.ini",
             "[NET INTERFACE]\r\nIP=10.0.0.7\r\nPort=abc\r\n"
             "[UPDATE]\r\nconfig path=" +
                 missingCfg.string() + "\r\nconfig enable=\"1 \"\r\n" +
                 "duviv path=..\\fw\\touch.bin\r\nduviv enable=1\r\n");
  Start();

  auto* chips = Control<QComboBox>(CONTROL_NAME(IDC_CHIP_TYPE));
  QStringList items;
  for (int i = 0; i < chips->count(); ++i) items << chips->itemText(i);
  EXPECT_EQ(items, (QStringList{"RO7385", "RO9110R", "RO9110V"}));
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_IP_ADDRESS))->text(), "10.0.0.7");
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_PORT))->text(), "0");

  auto* config = Control<CMyEditBrowseCtrl>(CONTROL_NAME(IDC_CONFIG_PATH));
  EXPECT_EQ(config->text(), "");
  EXPECT_EQ(config->InitialFolder(), QString::fromStdString((root_ / "cfgs").string()));
  EXPECT_EQ(config->Filter(), "Config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||");
  EXPECT_FALSE(Control<QCheckBox>(CONTROL_NAME(IDC_CONFIG_ENABLE))->isChecked());
  EXPECT_FALSE(config->isEnabled());

  auto* duviv = Control<CMyEditBrowseCtrl>(CONTROL_NAME(IDC_DUVIV_PATH));
  EXPECT_EQ(duviv->text(), "..\\fw\\touch.bin");
  EXPECT_EQ(duviv->cursorPosition(), duviv->text().size());
  EXPECT_EQ(duviv->Filter(), "Firmwave(*.bin)|*.bin|All Files (*.*)|*.*||");
  EXPECT_TRUE(Control<QCheckBox>(CONTROL_NAME(IDC_DUVIV_ENABLE))->isChecked());
  EXPECT_TRUE(duviv->isEnabled());

  auto* v64er = Control<CMyEditBrowseCtrl>(CONTROL_NAME(IDC_V64ER_PATH));
  EXPECT_EQ(v64er->Filter(), "Firmwave(*.bin,*.hex)|*.bin;*.hex|All Files (*.*)|*.*||");
  EXPECT_FALSE(v64er->isEnabled());
}

TEST_F(MainWindow, PageButtonsAreInPlace) {
  AddBridge(sim::ChipFamily::RU9);
  Start();
  const std::pair<QString, QString> buttons[] = {
      {CONTROL_NAME(IDC_DEMO), "触控演示"},    {CONTROL_NAME(IDC_RAW_DATA), "原始值"},
      {CONTROL_NAME(IDC_DIFF_DATA), "差值"},   {CONTROL_NAME(IDC_OBSERVE_DATA), "其它数据"},
      {CONTROL_NAME(IDC_OPTIONS), "数据选项"}, {CONTROL_NAME(IDC_CONFIG), "触控配置"},
      {CONTROL_NAME(IDC_NOISE), "噪声检测"},   {CONTROL_NAME(IDC_TEST_PAGE), "测试选项"}};
  for (const auto& [name, text] : buttons) {
    auto* button = Control<CMyButton>(name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), text);
    EXPECT_EQ(button->FaceStyle(), CMyButton::FACE_PAGE);
  }
}

// The toggling page buttons: which page shows, which one streams, and what
// the chip is told.
TEST_F(MainWindow, PageButtonsToggleTheirPages) {
  auto bridge = AddBridge(sim::ChipFamily::RU9);
  CKestranaDlg& w = Start();
  auto* area = Control<QStackedWidget>(CONTROL_NAME(IDC_PAGE_AREA));
  PageSwitcher& pages = w.Pages();
  auto shownPage = [&] {
    const QWidget* current = area->currentWidget();
    for (int page : {PAGE_DEMO, PAGE_RAW, PAGE_DIFF, PAGE_OBSERVE}) {
      if (current == area->widget(page)) return page;
    }
    return -1;
  };
  auto running = [&] {
    std::vector<int> list;
    for (int page : {PAGE_DEMO, PAGE_RAW, PAGE_DIFF, PAGE_OBSERVE}) {
      if (!pages.IsPageStopped(page)) list.push_back(page);
    }
    return list;
  };
  // At start the demo shows and runs.
  EXPECT_EQ(shownPage(), PAGE_DEMO);
  EXPECT_EQ(running(), std::vector<int>{PAGE_DEMO});
  // Only a running page's own button stops the chip's stream: leaving a page
  // for another sends no stop command.
  auto stopCommands = [&] {
    int n = 0;
    for (const sim::ChipAccess& a : bridge->Chip().AccessLog()) {
      n += a.op == sim::AccessOp::Write && a.cmd == BridgeCmdStreamStop;
    }
    return n;
  };

  struct Step {
    QString button;
    int current;
    int shown;
    std::vector<int> running;
    bool chipStreaming;
    int stopCommands;
  } steps[] = {
      {CONTROL_NAME(IDC_RAW_DATA), PAGE_RAW, PAGE_RAW, {PAGE_RAW}, true, 0},  // from the demo
      {CONTROL_NAME(IDC_RAW_DATA), PAGE_RAW, PAGE_RAW, {}, false, 1},  // second press stops, page stays
      {CONTROL_NAME(IDC_RAW_DATA), PAGE_RAW, PAGE_RAW, {PAGE_RAW}, true, 0},
      {CONTROL_NAME(IDC_DIFF_DATA), PAGE_DIFF, PAGE_DIFF, {PAGE_DIFF}, true, 0},
      {CONTROL_NAME(IDC_OBSERVE_DATA), PAGE_OBSERVE, PAGE_OBSERVE, {PAGE_OBSERVE}, true, 0},
      // Touch reporting, no frames.
      {CONTROL_NAME(IDC_DEMO), PAGE_DEMO, PAGE_DEMO, {PAGE_DEMO}, false, 0},
      {CONTROL_NAME(IDC_OBSERVE_DATA), PAGE_OBSERVE, PAGE_OBSERVE, {PAGE_OBSERVE}, true, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.button.toStdString());
    bridge->Chip().ClearAccessLog();
    Control<QPushButton>(step.button)->click();
    EXPECT_EQ(stopCommands(), step.stopCommands);
    EXPECT_EQ(pages.CurrentPage(), step.current);
    EXPECT_EQ(shownPage(), step.shown);
    EXPECT_EQ(running(), step.running);
    EXPECT_EQ(bridge->Chip().IsStreaming(), step.chipStreaming);
  }
  w.close();
  EXPECT_TRUE(w.TeardownFinished());
}

// A request stuck in the bridge (silent chip, ten-minute time-out) and a
// worker that keeps logging must not hold the close: the window gives the
// device link its budget and goes; the teardown ends once the request does.
TEST_F(MainWindow, CloseIsBoundedWithARequestStuckInTheBridge) {
  auto bridge = AddBridge(sim::ChipFamily::RU9, sim::SimClock::MakeReal());
  CKestranaDlg& w = Start();
  ASSERT_NE(g_pBridgeDevice.load(), nullptr);

  bridge->SetSilent(true);
  std::atomic<uint32_t> stuckResult{99};
  std::thread stuck([&] {
    uint8_t buffer[4] = {};
    stuckResult = ReadChipRegs(g_pBridgeDevice.load(), 0x8140, buffer, sizeof buffer, 600000);
  });
  std::atomic<bool> stopLogging{false};
  std::thread logger([&] {
    while (!stopLogging) w.Log().AddLog(std::string("busy worker"), LOG_INFO);
  });
  ASSERT_TRUE(qttest::ProcessEventsUntil([] { return !GetRequestQueue().IsIdle(); }));

  w.SetShutdownBudget(std::chrono::milliseconds(200));
  const auto start = std::chrono::steady_clock::now();
  w.close();
  const auto took = std::chrono::steady_clock::now() - start;
  // Far below the request's ten minutes: only a hang could come near it.
  EXPECT_LT(took, std::chrono::seconds(60));
  EXPECT_FALSE(w.TeardownFinished());
  EXPECT_EQ(stuckResult.load(), 99u) << "the request is still stuck";

  stopLogging = true;
  logger.join();
  bridge->Unplug();  // the stuck read ends; the teardown finishes
  EXPECT_TRUE(w.WaitForTeardown(std::chrono::seconds(30)));
  stuck.join();
  EXPECT_EQ(stuckResult.load(), 0u);
  EXPECT_EQ(g_pBridgeDevice.load(), nullptr);
  EXPECT_FALSE(GetRequestQueue().HasDispatcher());
}

// --- The chip type in force ---

int ChipTypeIndex(QComboBox& chips, const QString& name) {
  const int index = chips.findText(name);
  EXPECT_GE(index, 0) << name.toStdString();
  return index;
}

// The options dialog the window shows: its "Aplly" writes the chip INI it
// loaded.
COptionDlg* ShownOptionDlg() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dlg = qobject_cast<COptionDlg*>(widget); dlg != nullptr && dlg->isVisible()) {
      return dlg;
    }
  }
  return nullptr;
}

TEST_F(MainWindow, TheChipTypeListShowsNoChipBeforeOneIsIdentified) {
  Start();
  auto* chips = Control<QComboBox>(CONTROL_NAME(IDC_CHIP_TYPE));
  ASSERT_GT(chips->count(), 0);
  EXPECT_EQ(chips->currentIndex(), -1);
  EXPECT_EQ(chips->currentText(), QString());
  window_->close();
}

// With no bridge, the user picks the chip: its profile is the one in force.
TEST_F(MainWindow, AChosenChipTypeBringsItsProfileAndOptionsFile) {
  const fs::path chipIni = root_ / "System" / "ChipIni";
  const std::string shippedRu9Ini = ReadBytes(chipIni / "RO9110V.ini");
  const std::string shippedDe7Ini = ReadBytes(chipIni / "RO7387Z.ini");
  CKestranaDlg& w = Start();
  ASSERT_EQ(g_wSyncFlagAddr.load(), 0x814E);
  auto* chips = Control<QComboBox>(CONTROL_NAME(IDC_CHIP_TYPE));
  chips->setCurrentIndex(ChipTypeIndex(*chips, "RO7387Z"));
  emit chips->activated(chips->currentIndex());

  EXPECT_EQ(GetChipName(), "RO7387Z");
  EXPECT_EQ(GetChipIniPath().filename(), "RO7387Z.ini");
  EXPECT_EQ(g_wSyncFlagAddr.load(), 0x824E) << "the chip's ready flag";
  EXPECT_EQ(GetDataFormatStore().Format(DataKind::Diff).unit, 1) << "the chip's 2-byte diff values";

  Control<CMyButton>(CONTROL_NAME(IDC_OPTIONS))->click();
  COptionDlg* options = ShownOptionDlg();
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(options->OnBnClickedApply(), COptionDlg::ApplyResult::Saved);
  options->hide();
  EXPECT_NE(ReadBytes(chipIni / "RO7387Z.ini"), shippedDe7Ini);
  EXPECT_EQ(ReadBytes(chipIni / "RO9110V.ini"), shippedRu9Ini);
  w.close();
}

// A refresh whose geometry read fails keeps the rows and columns the chip
// INI just gave; the panel last read (perhaps another chip's) is not applied.
TEST_F(MainWindow, OnlyAGeometryReadThatSucceededIsAdopted) {
  auto bridge = AddBridge(sim::ChipFamily::RU9);
  CKestranaDlg& w = Start();
  const DataFormat read = GetDataFormatStore().Format(DataKind::Raw);
  ASSERT_NE(read.rows, 7);
  ASSERT_NE(read.cols, 9);

  const fs::path chipIni = root_ / "System" / "ChipIni" / "RO9110V.ini";
  ASSERT_TRUE(platform::IniWriteString("Option", "RawDataRows", "7", chipIni));
  ASSERT_TRUE(platform::IniWriteString("Option", "RawDataCols", "9", chipIni));
  bridge->Unplug();
  Control<CMyButton>(CONTROL_NAME(IDC_TOUCHIC_LAMP))->click();
  EXPECT_EQ(GetChipName(), "RO9110V");
  EXPECT_EQ(GetDataFormatStore().Format(DataKind::Raw).rows, 7);
  EXPECT_EQ(GetDataFormatStore().Format(DataKind::Raw).cols, 9);
  w.close();
}

// A networked device that never answers holds a request without limit; the
// close goes back to the bridge, cuts that wait short and finishes.
TEST_F(MainWindow, CloseEndsARequestWaitingOnASilentNetworkedDevice) {
  AddBridge(sim::ChipFamily::RU9);
  CKestranaDlg& w = Start();
  sim::SimChip chip;
  sim::SimTcpDevice device(chip);
  ASSERT_TRUE(device.Start());
  device.SetFault(sim::TcpDeviceFault::Silent);
  ASSERT_EQ(1u, ConnectNetworkDevice(*w.TcpLink(), g_pBridgeDevice.load(), "127.0.0.1",
                                     device.Port()));
  std::atomic<uint32_t> stuckResult{99};
  std::thread stuck([&] {
    uint8_t buffer[4] = {};
    stuckResult = ReadChipRegs(g_pBridgeDevice.load(), 0x8140, buffer, sizeof buffer,
                               platform::kInfinite);
  });
  // The pages' own reads go there too: wait for this one to be on the wire.
  const std::vector<uint8_t> ours = {0x8D, 0x7C, 0x6B, 0x5A, 0x06, 0x00, 0x00, 0x00,
                                     0x00, 0x0F, 0x81, 0x40, 0x00, 0x04};
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    const auto frames = device.Frames();
    return std::find(frames.begin(), frames.end(), ours) != frames.end();
  }));

  w.close();
  EXPECT_TRUE(w.WaitForTeardown(std::chrono::seconds(30)));
  stuck.join();
  EXPECT_EQ(stuckResult.load(), 0u);
  EXPECT_FALSE(GetRequestQueue().HasDispatcher());
}

TEST_F(MainWindow, AReceivedImageNameFillsTheBridgeFirmwarePath) {
  CKestranaDlg& w = Start();
  ASSERT_NE(w.NetConnect(), nullptr);
  EXPECT_FALSE(w.NetConnect()->isVisible());
  emit w.NetConnect()->imageReceived(QStringLiteral("bridge_v3.hex"));
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_V64ER_PATH))->text(),
            QStringLiteral("bridge_v3.hex"));
}

// "测试选项" stops the chip's stream and shows the module test page; a run of
// the page holds the window busy; Ctrl+F7 locks and unlocks its settings.
TEST_F(MainWindow, TestPageButtonShowsThePageAndARunHoldsTheWindow) {
  struct Runner : IModuleTestRunner {
    bool StartRun(const TestRunRequest&, ITestRunEvents& events) override {
      sink = &events;
      // The engine refuses a run while the window is busy.
      busyAtStart = StreamControl().IsBusy();
      return true;
    }
    ITestRunEvents* sink = nullptr;
    bool busyAtStart = true;
  } runner;
  auto bridge = AddBridge(sim::ChipFamily::RU9);
  CKestranaDlg& w = Start();
  auto* area = Control<QStackedWidget>(CONTROL_NAME(IDC_PAGE_AREA));
  Control<QPushButton>(CONTROL_NAME(IDC_RAW_DATA))->click();
  ASSERT_TRUE(bridge->Chip().IsStreaming());
  Control<QPushButton>(CONTROL_NAME(IDC_TEST_PAGE))->click();
  EXPECT_EQ(area->currentWidget(), &w.TestPage());
  EXPECT_EQ(w.Pages().CurrentPage(), PAGE_TEST);
  EXPECT_TRUE(w.Pages().IsPageStopped(PAGE_RAW));
  EXPECT_FALSE(bridge->Chip().IsStreaming());
  EXPECT_TRUE(fs::exists(root_ / "test" / "test_file" / "test.ini"));

  w.TestPage().SetRunner(&runner);
  Control<QPushButton>(CONTROL_NAME(IDC_TEST_START))->click();
  ASSERT_NE(runner.sink, nullptr);
  EXPECT_FALSE(runner.busyAtStart);
  EXPECT_TRUE(w.IsBusy());
  EXPECT_FALSE(Control<QPushButton>(CONTROL_NAME(IDC_RAW_DATA))->isEnabled());
  EXPECT_FALSE(w.close()) << "a running test holds the window";
  prompts_.warnings.clear();
  TestRunOutcome outcome;
  outcome.passed = true;
  runner.sink->OnRunDone(outcome);
  EXPECT_FALSE(w.IsBusy());
  EXPECT_TRUE(fs::exists(root_ / "test" / "test_result" / "Result_OK_0.csv"));

  QShortcut* lockKey = nullptr;
  for (QShortcut* s : w.findChildren<QShortcut*>()) {
    if (s->key() == QKeySequence(Qt::CTRL | Qt::Key_F7)) lockKey = s;
  }
  ASSERT_NE(lockKey, nullptr);
  emit lockKey->activated();
  EXPECT_EQ(w.TestPage().Lock(), LockState::LockedByKey);
  emit lockKey->activated();
  EXPECT_EQ(w.TestPage().Lock(), LockState::Unlocked);
  w.close();
  EXPECT_TRUE(w.TeardownFinished());
}

// Not checks: with KESTRANA_SCREENSHOT_DIR=<folder> these save the pictures
// of docs/images (the window as the program runs on the simulated bridge).
TEST_F(MainWindow, ConfigButtonOpensTheEditorOnTheChipsItemsAndSendsThroughIt) {
  auto bridge = AddBridge(sim::ChipFamily::RU9);
  CKestranaDlg& w = Start();
  Control<QPushButton>(CONTROL_NAME(IDC_CONFIG))->click();
  CConfigDlg* editor = w.ConfigDlg();
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->isVisible());
  EXPECT_FALSE(editor->Config().Items().empty());
  EXPECT_FALSE(editor->Grid().Model().Pages().empty());

  editor->findChild<QPushButton*>(CONTROL_NAME(IDC_CFG_SEND))->click();
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
  EXPECT_FALSE(w.Links().Exclusive());
  // Every press opens another editor; a closed one deletes itself.
  editor->close();
  EXPECT_TRUE(qttest::ProcessEventsUntil([&] { return w.ConfigDlg() == nullptr; }));
  w.close();
}

// Notes, as the waiting dialog comes up, whether the connection links stand
// aside (the send starts on its worker right after).
class WaitingDialogWatch : public QObject {
 public:
  explicit WaitingDialogWatch(ConnectionLinks& links) : links_(links) {}
  std::vector<bool> exclusiveAtShow;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && qobject_cast<CWaittingDlg*>(watched) != nullptr) {
      exclusiveAtShow.push_back(links_.Exclusive());
    }
    return false;
  }

 private:
  ConnectionLinks& links_;
};

TEST_F(MainWindow, TheNoiseViewsSendsHoldTheDeviceEventsBackWhileTheyRun) {
  auto bridge = AddBridge(sim::ChipFamily::RU9);
  sim::AddNoiseArea(bridge->Chip(), sim::NoiseAreaConfig::For(sim::ChipFamily::RU9));
  CKestranaDlg& w = Start();
  Control<QPushButton>(CONTROL_NAME(IDC_NOISE))->click();
  CNoiseDlg* noise = w.NoiseDlg();
  ASSERT_NE(noise, nullptr);
  ASSERT_TRUE(noise->isVisible());
  WaitingDialogWatch watch(w.Links());
  qApp->installEventFilter(&watch);
  noise->OnBnClickedSendConfig();  // a send
  noise->close();                  // the restore, a second one
  qApp->removeEventFilter(&watch);
  EXPECT_EQ(watch.exclusiveAtShow, (std::vector<bool>{true, true}));
  EXPECT_FALSE(w.Links().Exclusive());
  EXPECT_EQ(prompts_.infos, QStringList{QString::fromUtf8(kNoiseSavedText)});
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
  w.close();
}

TEST_F(MainWindow, DeviceEventsWaitWhileASendOwnsTheDevice) {
  CKestranaDlg& w = Start();
  platform::HotplugEvent arrival;
  arrival.action = platform::HotplugAction::Added;
  arrival.kind = platform::HotplugKind::ProgrammingDevice;
  w.Links().BeginExclusive();
  w.Links().HandleDeviceEvent(arrival);
  EXPECT_FALSE(w.Links().ProgrammingPresent());
  w.Links().EndExclusive();
  EXPECT_TRUE(w.Links().ProgrammingPresent());
  w.close();
}

TEST_F(MainWindow, TheNodeThresholdButtonOpensTheSamplingDialog) {
  CKestranaDlg& w = Start();
  Control<QPushButton>(CONTROL_NAME(IDC_TEST_PAGE))->click();
  bool opened = false;
  QTimer::singleShot(0, &w, [&] {
    auto* dlg = w.findChild<CSampleDlg*>();
    opened = dlg != nullptr && dlg->isVisible() && dlg->windowTitle() == QStringLiteral("调参采样");
    if (dlg != nullptr) dlg->reject();
  });
  Control<QPushButton>(CONTROL_NAME(IDC_TEST_NODE_THRESHOLD))->click();
  EXPECT_TRUE(opened);
  EXPECT_EQ(w.findChild<CSampleDlg*>(), nullptr);
  w.close();
}

// Stands in for the test engine: counts the runs and keeps the last one's
// events so that a test can end it.
struct CountingRunner : IModuleTestRunner {
  bool StartRun(const TestRunRequest&, ITestRunEvents& events) override {
    sink = &events;
    ++starts;
    return true;
  }
  ITestRunEvents* sink = nullptr;
  int starts = 0;
};

TEST_F(MainWindow, TheModuleTestButtonStartsTheTestPagesRun) {
  CountingRunner runner;
  CKestranaDlg& w = Start();
  w.TestPage().SetRunner(&runner);
  auto* button = Control<QPushButton>(CONTROL_NAME(IDC_MODULE_TEST));
  EXPECT_EQ(button->text(), QStringLiteral("模组测试"));
  button->click();
  ASSERT_EQ(runner.starts, 1);
  EXPECT_TRUE(w.IsBusy());
  EXPECT_FALSE(button->isEnabled()) << "no second run while one is going";
  runner.sink->OnRunDone(TestRunOutcome{});
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !w.IsBusy(); }));
  EXPECT_TRUE(button->isEnabled());
  w.close();
  EXPECT_TRUE(w.TeardownFinished());
}

// An arrival reaches the test page, which starts its automatic test; while
// the window is busy the arrival is dropped.
TEST_F(MainWindow, AnArrivalStartsTheAutomaticTest) {
  CountingRunner runner;
  CKestranaDlg& w = Start();
  w.TestPage().SetRunner(&runner);
  Control<QCheckBox>(CONTROL_NAME(IDC_TEST_AUTO_TEST))->click();
  platform::HotplugEvent arrival;
  arrival.action = platform::HotplugAction::Added;
  arrival.kind = platform::HotplugKind::ProgrammingDevice;
  w.SetBusy(true);
  w.Links().HandleDeviceEvent(arrival);
  QCoreApplication::processEvents();
  EXPECT_EQ(runner.starts, 0);
  w.SetBusy(false);
  w.Links().HandleDeviceEvent(arrival);
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return runner.starts == 1; }));
  EXPECT_TRUE(w.IsBusy());
  runner.sink->OnRunDone(TestRunOutcome{});
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !w.IsBusy(); }));
  w.close();
  EXPECT_TRUE(w.TeardownFinished());
}

class Screenshot : public MainWindow {
 protected:
  // The window on a real clock, shown and connected. module: the fault
  // profile of a whole simulated module (as KESTRANA_SIM_MODULE names it);
  // null for a panel only.
  CKestranaDlg* Open(const char* module = nullptr) {
    const char* dir = std::getenv("KESTRANA_SCREENSHOT_DIR");
    if (dir == nullptr) return nullptr;
    dir_ = fs::path(dir);
    if (module != nullptr) {
      backend_->AddBridge(MakeSimulatedBridge(module, sim::SimClock::MakeReal()));
    } else {
      auto bridge = AddBridge(sim::ChipFamily::RU9, sim::SimClock::MakeReal());
      const sim::DataPlane& panel =
          sim::AddDataPlane(bridge->Chip(), sim::DataPlaneConfig::For(sim::ChipFamily::RU9));
      sim::AddNoiseArea(bridge->Chip(), sim::NoiseAreaConfig::For(sim::ChipFamily::RU9), &panel);
    }
    CKestranaDlg& w = Start(&platform::Event::WaitAny);
    w.resize(1280, 760);
    w.show();
    EXPECT_TRUE(qttest::ProcessEventsUntil([&] {
      return w.isVisible() && LogLines(w.Log()).contains(QStringLiteral("USB已连接"));
    }));
    return &w;
  }
  static void Run(int ms) {
    QElapsedTimer timer;
    timer.start();
    qttest::ProcessEventsUntil([&] { return timer.elapsed() > ms; });
    QCoreApplication::processEvents();
  }
  void Save(CKestranaDlg& w, const char* name) {
    EXPECT_TRUE(w.grab().save(QString::fromStdString((dir_ / name).string())));
    w.close();
  }
  fs::path dir_;
};

TEST_F(Screenshot, MainWindowWithTheRawView) {
  CKestranaDlg* w = Open();
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  Control<QComboBox>(CONTROL_NAME(IDC_ADDRESS))->setCurrentText(QStringLiteral("8140"));
  Control<QPushButton>(CONTROL_NAME(IDC_READ))->click();
  Control<QPushButton>(CONTROL_NAME(IDC_RAW_DATA))->click();
  Run(1500);
  Save(*w, "main-window.png");
}

TEST_F(Screenshot, RawViewColourScaleWithStatistics) {
  CKestranaDlg* w = Open();
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  Control<QPushButton>(CONTROL_NAME(IDC_RAW_DATA))->click();
  CRawDataLayout* raw = w->findChild<CRawDataLayout*>();
  ASSERT_NE(raw, nullptr);
  raw->RunCommand(CRawDataLayout::kCmdRawColourScale);
  Run(2000);
  Save(*w, "raw-view.png");
}

TEST_F(Screenshot, ConfigEditorWithTheRO9110VItems) {
  CKestranaDlg* w = Open();
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  Control<QPushButton>(CONTROL_NAME(IDC_CONFIG))->click();
  CConfigDlg* editor = w->ConfigDlg();
  ASSERT_NE(editor, nullptr);
  editor->resize(1100, 620);
  // A changed value shows its name in red.
  editor->Config().Items()[3].value = "9";
  Run(500);
  EXPECT_TRUE(editor->grab().save(QString::fromStdString((dir_ / "config-editor.png").string())));
  editor->close();
  w->close();
}

TEST_F(Screenshot, DemoWithTrails) {
  CKestranaDlg* w = Open();
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  CDemo* demo = w->findChild<CDemo*>();
  ASSERT_NE(demo, nullptr);
  demo->SetMode(DemoDrawMode::PointsAndLines);
  demo->SetAutoClear(false);
  // The demo is the start page and streams from the start.
  Run(6000);
  Save(*w, "demo-trails.png");
}

TEST_F(Screenshot, NoiseViewWithItsSidePanel) {
  CKestranaDlg* w = Open();
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  Control<QPushButton>(CONTROL_NAME(IDC_NOISE))->click();
  CNoiseDlg* noise = w->NoiseDlg();
  ASSERT_NE(noise, nullptr);
  ASSERT_TRUE(noise->isVisible());
  noise->findChild<QCheckBox*>(CONTROL_NAME(IDC_NOISE_AVG))->setChecked(true);
  noise->OnBnClickedPanelToggle();
  Run(3000);
  EXPECT_TRUE(noise->grab().save(QString::fromStdString((dir_ / "noise-view.png").string())));
  noise->close();
  w->close();
}

TEST_F(Screenshot, SamplingDialogWithTheMaximumLimits) {
  CKestranaDlg* w = Open();
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  Control<QPushButton>(CONTROL_NAME(IDC_TEST_PAGE))->click();
  SampleStore samples(root_.path() / "test" / "test_sample");
  CSampleDlg dlg(GetDataFormatStore(), nullptr, prompts_, samples, GetTestIniPath(), w);
  dlg.resize(1500, 800);
  dlg.show();
  dlg.OnBnClickedStartSample();
  Run(1500);
  dlg.OnBnClickedStartSample();
  dlg.SetRatioAsker([] { return std::optional<AdjustRatios>(AdjustRatios{}); });
  dlg.OnBnClickedCalcParams();
  Control<QComboBox>(CONTROL_NAME(IDC_SAMPLE_PARAM_TYPE))->setCurrentIndex(CSampleDlg::kTypeMax);
  dlg.OnCbnSelchangeParamType(CSampleDlg::kTypeMax);
  Run(500);
  EXPECT_TRUE(dlg.grab().save(QString::fromStdString((dir_ / "sampling-dialog.png").string())));
  prompts_.answers = {false};
  dlg.reject();
  w->close();
}

TEST_F(Screenshot, TestPageWithItsSettings) {
  // A line's setup: version check with two files, counters of a shift.
  WriteBytes(root_.path() / "test" / "test_file" / "RO9110V_v1.2.bin", "firmware");
  WriteBytes(root_.path() / "test" / "test_file" / "RO9110V_line.cfg", "config");
  WriteBytes(root_.path() / "test" / "test_file" / "test.ini",
             "[Test Enable]\r\nSensorTest=0\r\nVersionCheck=1\r\nVAzezu.cfg=1\r\n"
             "VAzezu.bin=1\r\nSensor ID Test=1\r\n"
             "[Test File]\r\nVAzezu_CONFIG=..\\test\\test_file\\RO9110V_line.cfg\r\n"
             "VAzezu_BIN=..\\test\\test_file\\RO9110V_v1.2.bin\r\n"
             "[Test Threhold]\r\nMax=3200\r\nMin=1200\r\nSensor ID=3\r\n");
  WriteBytes(root_.path() / "test" / "test_result" / "TestReport.ini",
             "[Test Report]\r\nUniformityTestFaileCnt=2\r\nOpenShortTestFailedCnt=1\r\n"
             "TotalTestCnt=150\r\nTotalFailedCnt=3\r\n");
  CKestranaDlg* w = Open();
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  Control<QPushButton>(CONTROL_NAME(IDC_TEST_PAGE))->click();
  Run(500);
  Save(*w, "test-page.png");
}

TEST_F(Screenshot, TestPageAfterAnNgRunWithItsShortLines) {
  // The placeholder the program's run script stages for the simulator.
  WriteBytes(root_.path() / "System" / "ShortFw.bin", std::string(kShortFirmwareBytes, '\0'));
  CKestranaDlg* w = Open("tx-short");
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  Control<QPushButton>(CONTROL_NAME(IDC_TEST_PAGE))->click();
  Run(500);
  CDlgTest& page = w->TestPage();
  page.OnBnClickedStartTest();
  ASSERT_TRUE(page.IsRunning());
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !page.IsRunning(); }));
  EXPECT_TRUE(LogLines(w->Log()).contains(QStringLiteral("NG")));
  Run(500);
  Save(*w, "test-page-ng.png");
}

TEST_F(Screenshot, UpdatePanelAfterASuccessfulUpdate) {
  // The program's own simulated bridge: bridge, firmware and configuration
  // from the demonstration files the run script stages for it.
  CKestranaDlg* w = Open("good");
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  window_test::ChooseUpdateSteps(*w, window_test::WriteUpdateFiles(root_.path() / "sim-demo"));
  w->Panels().Toggle(0);
  QSignalSpy finished(&w->Updates(), &UpdateRunner::Finished);
  Control<QPushButton>(CONTROL_NAME(IDC_UPDATE))->click();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }, 30000));
  EXPECT_TRUE(finished.at(0).at(0).toBool()) << LogLines(w->Log()).join('\n').toStdString();
  Run(500);
  Save(*w, "update-panel.png");
}

TEST_F(Screenshot, NetworkPanelOnTheLoopbackAddress) {
  // Only the loopback address is ever shown; nothing connects.
  ASSERT_TRUE(platform::IniWriteString("NET INTERFACE", "IP", "127.0.0.1",
                                       root_.path() / "System/AppConfigInit.ini"));
  CKestranaDlg* w = Open();
  if (w == nullptr) GTEST_SKIP() << "KESTRANA_SCREENSHOT_DIR not set";
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_IP_ADDRESS))->text(), QStringLiteral("127.0.0.1"));
  w->Panels().Toggle(1);
  Run(500);
  Save(*w, "network-panel.png");
}

}  // namespace
