// The main window's commands: accelerators, the axis buttons on the
// simulated chip, the network connect button against the simulated
// networked device on loopback, the logo line and help.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>

#include "app/MainCommands.h"
#include "app/NetConnectDlg.h"
#include "app/NetworkConnectButton.h"
#include "app/PageSwitcher.h"
#include "app/SlidingPanels.h"
#include "views/widgets/Demo.h"
#include "device/link/HidDevice.h"
#include "device/net/TcpLink.h"
#include "platform/files/IniFile.h"
#include "sim/SimChip.h"
#include "sim/netdevice/SimTcpDevice.h"
#include "tests/app/WindowRig.h"
#include "tests/ui/QtTestUtil.h"

namespace {

using namespace window_test;

// A press and a release of the left button at the widget's centre, as the
// application delivers them (through its event filters).
void LeftClick(QWidget* widget) {
  const QPointF at(widget->rect().center());
  QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
  QCoreApplication::sendEvent(widget, &release);
}

class MainCommandsTest : public WindowRig {
 protected:
  QShortcut* ShortcutFor(const QKeySequence& keys) {
    for (QShortcut* s : window_->findChildren<QShortcut*>()) {
      if (s->key() == keys) return s;
    }
    return nullptr;
  }
};

TEST_F(MainCommandsTest, AcceleratorsDoTheirCommandsAndNothingWhileBusy) {
  ASSERT_NE(ShortcutFor(QKeySequence(Qt::Key_F5)), nullptr);
  EXPECT_EQ(ShortcutFor(QKeySequence(Qt::SHIFT | Qt::Key_F4)), nullptr) << "Shift+F4 does nothing";

  window_->SetBusy(true);
  emit ShortcutFor(QKeySequence(Qt::Key_F5))->activated();
  emit ShortcutFor(QKeySequence(Qt::Key_F9))->activated();
  EXPECT_EQ(window_->ConfigDlg(), nullptr);
  EXPECT_FALSE(window_->NetConnect()->isVisible());
  window_->SetBusy(false);

  emit ShortcutFor(QKeySequence(Qt::Key_F5))->activated();
  EXPECT_NE(window_->ConfigDlg(), nullptr);
  emit ShortcutFor(QKeySequence(Qt::Key_F9))->activated();
  EXPECT_TRUE(window_->NetConnect()->isVisible());
  window_->NetConnect()->hide();
}

TEST_F(MainCommandsTest, F3ShowsTheDemoAndTogglesFullScreen) {
  auto* demo = window_->findChild<CDemo*>();
  ASSERT_NE(demo, nullptr);
  window_->Pages().OnPageButton(PAGE_DEMO);  // stop the demo
  ASSERT_TRUE(window_->Pages().IsPageStopped(PAGE_DEMO));
  const bool before = demo->IsFullScreen();
  emit ShortcutFor(QKeySequence(Qt::Key_F3))->activated();
  EXPECT_FALSE(window_->Pages().IsPageStopped(PAGE_DEMO));
  EXPECT_EQ(window_->Pages().CurrentPage(), PAGE_DEMO);
  EXPECT_NE(demo->IsFullScreen(), before);
  emit ShortcutFor(QKeySequence(Qt::Key_F3))->activated();
  EXPECT_EQ(demo->IsFullScreen(), before);
  EXPECT_FALSE(window_->Pages().IsPageStopped(PAGE_DEMO)) << "a running demo stays running";
}

TEST_F(MainCommandsTest, HelpOpensTheGuideOrSaysItIsMissing) {
  std::vector<fs::path> opened;
  window_->Commands().SetOpenFile([&](const fs::path& p) {
    opened.push_back(p);
    return true;
  });
  const fs::path guide = root_.path() / "doc" / "Zudazivir使用说明v1.20.pdf";
  fs::remove(guide);
  emit ShortcutFor(QKeySequence(Qt::Key_F1))->activated();
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(LogLines(window_->Log()).last().startsWith(QStringLiteral("找不到使用说明文件：")));
  fs::create_directories(guide.parent_path());
  WriteBytes(guide, "%PDF-1.4");
  emit ShortcutFor(QKeySequence(Qt::Key_F1))->activated();
  EXPECT_EQ(opened, std::vector<fs::path>{guide});
}

TEST_F(MainCommandsTest, LogoLogsTheVersionLine) {
  Control<QPushButton>(CONTROL_NAME(IDC_LOGO))->click();
  EXPECT_EQ(LogLines(window_->Log()).last(), QStringLiteral("V1.40.0D@2020-09-04"));
}

TEST_F(MainCommandsTest, AxisButtonSendsTheBlockWithTheDriveMapReversed) {
  std::vector<uint8_t> map(42);
  for (size_t i = 0; i < map.size(); ++i) map[i] = static_cast<uint8_t>(i);
  bridge_->Chip().Write(0x80D5, map.data(), map.size(), 15);
  const std::vector<uint8_t> before = bridge_->Chip().Read(0x80D5, 42, 15);
  ASSERT_EQ(before, map);
  Control<QPushButton>(CONTROL_NAME(IDC_AXIS_X2X))->click();
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('\n').toStdString();
  const std::vector<uint8_t> after = bridge_->Chip().Read(0x80D5, 42, 15);
  EXPECT_EQ(after, std::vector<uint8_t>(before.rbegin(), before.rend()));
  EXPECT_NE(after, before);
}

// Each button turns its own axis on the chip and leaves the other map alone.
TEST_F(MainCommandsTest, EachAxisButtonTurnsItsOwnAxis) {
  constexpr uint16_t kSenseMap = 0x80B7;
  constexpr uint16_t kDriveMap = 0x80D5;
  constexpr size_t kSenseEntries = 30;
  constexpr size_t kDriveEntries = 42;
  struct Case {
    QString button;
    bool senseReversed;
    bool driveReversed;
  } cases[] = {
      {CONTROL_NAME(IDC_AXIS_X2X), false, true},
      {CONTROL_NAME(IDC_AXIS_Y2Y), true, false},
      // The swap toggles the chip's "X2Y" item: neither map moves.
      {CONTROL_NAME(IDC_AXIS_X2Y), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button.toStdString());
    std::vector<uint8_t> sense(kSenseEntries);
    std::vector<uint8_t> drive(kDriveEntries);
    for (size_t i = 0; i < sense.size(); ++i) sense[i] = static_cast<uint8_t>(i);
    for (size_t i = 0; i < drive.size(); ++i) drive[i] = static_cast<uint8_t>(50 + i);
    bridge_->Chip().Write(kSenseMap, sense.data(), sense.size(), 15);
    bridge_->Chip().Write(kDriveMap, drive.data(), drive.size(), 15);
    Control<QPushButton>(c.button)->click();
    EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('\n').toStdString();
    const std::vector<uint8_t> senseAfter = bridge_->Chip().Read(kSenseMap, kSenseEntries, 15);
    const std::vector<uint8_t> driveAfter = bridge_->Chip().Read(kDriveMap, kDriveEntries, 15);
    EXPECT_EQ(senseAfter, c.senseReversed ? std::vector<uint8_t>(sense.rbegin(), sense.rend()) : sense);
    EXPECT_EQ(driveAfter, c.driveReversed ? std::vector<uint8_t>(drive.rbegin(), drive.rend()) : drive);
  }
}

// A command that finds nothing to change writes nothing to the chip and
// says, in one line, which command and what was missing.
TEST_F(MainCommandsTest, AnAxisCommandThatChangesNothingSendsNothingAndSaysWhy) {
  const fs::path chipIni = root_.path() / "System/ChipIni/RO9110V.ini";
  const std::string shippedIni = platform::testing_support::ReadBytes(chipIni);
  auto without = [&](const std::string& key) {
    std::string text = shippedIni;
    const size_t at = text.find(key + "=");
    text.erase(at, text.find('\n', at) + 1 - at);
    return text;
  };
  // The swap's key names a bit no item of the chip's item file holds.
  std::string noSwapItem = shippedIni;
  noSwapItem.insert(noSwapItem.find("[Cfg]") + 5, "\nX2Y=9000,0");
  struct Case {
    QString button;
    std::string ini;
    QString line;
  } cases[] = {
      {CONTROL_NAME(IDC_AXIS_X2Y), noSwapItem, QStringLiteral("[X<->Y]找不到配置项X2Y，未发送配置")},
      {CONTROL_NAME(IDC_AXIS_X2X), without("DrvMaxNum"),
       QStringLiteral("[X<->X]芯片INI缺少DrvMaxNum，未发送配置")},
      {CONTROL_NAME(IDC_AXIS_Y2Y), without("SenMaxNum"),
       QStringLiteral("[Y<->Y]芯片INI缺少SenMaxNum，未发送配置")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button.toStdString());
    WriteBytes(chipIni, c.ini);

    bridge_->Chip().ClearAccessLog();
    Control<QPushButton>(c.button)->click();
    EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('\n').toStdString();
    EXPECT_EQ(LogLines(window_->Log()).last(), c.line);
    for (const sim::ChipAccess& a : bridge_->Chip().AccessLog()) {
      EXPECT_FALSE(a.op == sim::AccessOp::Write && a.address >= 0x8047 && a.address < 0x8047 + 186)
          << "a write at " << std::hex << a.address;
    }
  }
}

TEST_F(MainCommandsTest, AxisButtonWithAFailingReadShowsTheTextAndSendsNothing) {
  bridge_->Unplug();
  ASSERT_TRUE(qttest::ProcessEventsUntil([] { return !g_pBridgeDevice.load()->IsConnected(); }));
  Control<QPushButton>(CONTROL_NAME(IDC_AXIS_X2Y))->click();
  ASSERT_EQ(prompts_.warnings.size(), 1);
  EXPECT_EQ(prompts_.warnings[0], QStringLiteral("读取配置出错！请检查USB或I2C连接是否正常"));
}

TEST_F(MainCommandsTest, NetworkConnectAndDisconnectOnLoopback) {
  auto* button = Control<QPushButton>(CONTROL_NAME(IDC_NET_CONNECT));
  auto* ip = Control<QLineEdit>(CONTROL_NAME(IDC_IP_ADDRESS));
  auto* port = Control<QLineEdit>(CONTROL_NAME(IDC_PORT));
  const fs::path ini = root_.path() / "System/AppConfigInit.ini";
  EXPECT_EQ(button->text(), QStringLiteral("网络连接"));

  // An out-of-range port is refused before anything is stored or tried.
  ip->setText(QStringLiteral("127.0.0.1"));
  port->setText(QStringLiteral("70000"));
  const std::string storedPort = platform::IniGetString("NET INTERFACE", "Port", "", ini);
  button->click();
  EXPECT_EQ(LogLines(window_->Log()).last(), QStringLiteral("安卓设备连接失败"));
  EXPECT_EQ(button->text(), QStringLiteral("网络连接"));
  EXPECT_EQ(platform::IniGetString("NET INTERFACE", "Port", "", ini), storedPort);

  sim::SimChip chip(sim::SimChipConfig::For(sim::ChipFamily::RU9));
  sim::SimTcpDevice device(chip);
  ASSERT_TRUE(device.Start());
  port->setText(QString::number(device.Port()));
  QSignalSpy finished(window_->findChild<NetworkConnectButton*>(), &NetworkConnectButton::Finished);
  button->click();
  EXPECT_EQ(button->text(), QStringLiteral("正在连接"));
  EXPECT_FALSE(button->isEnabled());
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }));
  EXPECT_TRUE(finished.at(0).at(0).toBool());
  EXPECT_EQ(button->text(), QStringLiteral("断开连接"));
  EXPECT_EQ(LogLines(window_->Log()).last(), QStringLiteral("安卓设备已连接"));
  EXPECT_EQ(g_pBridgeDevice.load()->ConnectionKind(), CHidDevice::kConnectionTcp);
  EXPECT_EQ(platform::IniGetString("NET INTERFACE", "IP", "", ini), "127.0.0.1");
  EXPECT_EQ(platform::IniGetString("NET INTERFACE", "Port", "", ini), std::to_string(device.Port()));

  button->click();
  EXPECT_EQ(button->text(), QStringLiteral("网络连接"));
  EXPECT_EQ(g_pBridgeDevice.load()->ConnectionKind(), CHidDevice::kConnectionHid);
  EXPECT_FALSE(window_->TcpLink()->IsConnected());

  // Nobody listens any more: the attempt fails and says so.
  device.Stop();
  button->click();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 2; }));
  EXPECT_FALSE(finished.at(1).at(0).toBool());
  EXPECT_EQ(button->text(), QStringLiteral("网络连接"));
  EXPECT_EQ(LogLines(window_->Log()).last(), QStringLiteral("安卓设备连接失败"));
}

// A run that takes the window while the connect is still going keeps its
// requests on the bridge: the connect that ends meanwhile is dropped.
TEST_F(MainCommandsTest, AConnectEndingWhileBusyLeavesTheRequestsOnTheBridge) {
  auto* button = Control<QPushButton>(CONTROL_NAME(IDC_NET_CONNECT));
  sim::SimChip chip(sim::SimChipConfig::For(sim::ChipFamily::RU9));
  sim::SimTcpDevice device(chip);
  ASSERT_TRUE(device.Start());
  Control<QLineEdit>(CONTROL_NAME(IDC_IP_ADDRESS))->setText(QStringLiteral("127.0.0.1"));
  Control<QLineEdit>(CONTROL_NAME(IDC_PORT))->setText(QString::number(device.Port()));
  QSignalSpy finished(window_->findChild<NetworkConnectButton*>(), &NetworkConnectButton::Finished);
  button->click();
  // The connect's result is handed to the UI thread, which has not run yet.
  window_->SetBusy(true);
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }));
  EXPECT_FALSE(finished.at(0).at(0).toBool());
  EXPECT_EQ(LogLines(window_->Log()).last(), QStringLiteral("安卓设备连接失败"));
  EXPECT_EQ(g_pBridgeDevice.load()->ConnectionKind(), CHidDevice::kConnectionHid);
  EXPECT_FALSE(window_->TcpLink()->IsConnected());
  EXPECT_FALSE(button->isEnabled()) << "the window is still busy";
  window_->SetBusy(false);
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(button->text(), QStringLiteral("网络连接"));
}

TEST_F(MainCommandsTest, OpeningOnePanelShutsTheOtherFirst) {
  SlidingPanels& panels = window_->Panels();
  auto* update = Control<QWidget>(CONTROL_NAME(IDC_UPDATE_GROUP));
  auto* net = Control<QWidget>(CONTROL_NAME(IDC_NET_GROUP));
  auto* updateHeader = Control<QPushButton>(CONTROL_NAME(IDC_UPDATE_PANEL_HEADER));
  auto* netHeader = Control<QPushButton>(CONTROL_NAME(IDC_NET_PANEL_HEADER));
  EXPECT_EQ(update->maximumHeight(), 0);
  EXPECT_EQ(net->maximumHeight(), 0);
  QSignalSpy settled(&panels, &SlidingPanels::Settled);

  updateHeader->click();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return settled.count() == 1; }));
  EXPECT_TRUE(panels.IsOpen(0));
  EXPECT_TRUE(updateHeader->isChecked());
  EXPECT_GT(update->maximumHeight(), 0);

  netHeader->click();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return settled.count() == 3; }));
  EXPECT_FALSE(panels.IsOpen(0));
  EXPECT_FALSE(updateHeader->isChecked());
  EXPECT_EQ(update->maximumHeight(), 0);
  EXPECT_TRUE(panels.IsOpen(1));
  EXPECT_TRUE(netHeader->isChecked());
  EXPECT_GT(net->maximumHeight(), 0);

  netHeader->click();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return settled.count() == 4; }));
  EXPECT_EQ(net->maximumHeight(), 0);
  EXPECT_FALSE(netHeader->isChecked());
}

// While a burn or a test holds the window, nothing on it that would put
// requests on the bridge can be started, by mouse or by keyboard.
TEST_F(MainCommandsTest, WhileBusyNothingThatSendsCanBeStarted) {
  const QString disabled[] = {
      CONTROL_NAME(IDC_DEMO),         CONTROL_NAME(IDC_RAW_DATA),   CONTROL_NAME(IDC_DIFF_DATA),
      CONTROL_NAME(IDC_OBSERVE_DATA), CONTROL_NAME(IDC_OPTIONS),    CONTROL_NAME(IDC_CONFIG),
      CONTROL_NAME(IDC_NOISE),        CONTROL_NAME(IDC_TEST_PAGE),  CONTROL_NAME(IDC_READ),
      CONTROL_NAME(IDC_WRITE),        CONTROL_NAME(IDC_AXIS_X2X),   CONTROL_NAME(IDC_AXIS_Y2Y),
      CONTROL_NAME(IDC_AXIS_X2Y),     CONTROL_NAME(IDC_NET_CONNECT), CONTROL_NAME(IDC_MODULE_TEST),
      CONTROL_NAME(IDC_UPDATE),       CONTROL_NAME(IDC_CHIP_TYPE),
  };
  // The lamps keep their look (they show the devices during the run), but a
  // press on them asks the devices nothing while busy.
  const QString lamps[] = {CONTROL_NAME(IDC_BRIDGE_LAMP), CONTROL_NAME(IDC_TOUCHIC_LAMP)};

  window_->SetBusy(true);
  for (const QString& name : disabled) EXPECT_FALSE(Control<QWidget>(name)->isEnabled()) << name.toStdString();
  for (const QString& name : lamps) {
    const QStringList before = LogLines(window_->Log());
    Control<QPushButton>(name)->click();
    EXPECT_EQ(LogLines(window_->Log()), before) << name.toStdString();
  }

  window_->SetBusy(false);
  for (const QString& name : disabled) EXPECT_TRUE(Control<QWidget>(name)->isEnabled()) << name.toStdString();
  for (const QString& name : lamps) {
    const qsizetype before = LogLines(window_->Log()).size();
    Control<QPushButton>(name)->click();
    EXPECT_GT(LogLines(window_->Log()).size(), before) << name.toStdString();
  }
}

TEST_F(MainCommandsTest, ClicksOnTheWindowAreSwallowedWhileBusy) {
  auto* autoButton = Control<QPushButton>(CONTROL_NAME(IDC_AUTO_UPDATE));
  QSignalSpy clicked(autoButton, &QAbstractButton::clicked);
  auto click = [&] { LeftClick(autoButton); };
  window_->SetBusy(true);
  click();
  EXPECT_EQ(clicked.count(), 0);
  EXPECT_FALSE(autoButton->isDown()) << "the release went through";
  // A pop-up window stays usable.
  window_->NetConnect()->show();
  auto* linkButton = window_->NetConnect()->findChild<QPushButton*>();
  ASSERT_NE(linkButton, nullptr);
  QSignalSpy linkClicked(linkButton, &QAbstractButton::clicked);
  LeftClick(linkButton);
  EXPECT_EQ(linkClicked.count(), 1);
  window_->NetConnect()->hide();
  window_->SetBusy(false);
  click();
  EXPECT_EQ(clicked.count(), 1);
  autoButton->click();  // disarm again
}

}  // namespace
