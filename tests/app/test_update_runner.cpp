// The update panel of the main window on the simulated bridge: the bridge's
// reflash through its simulated bootloader, one run at a time, the automatic
// update on arrivals, and the panel's settings keys.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "app/ConnectionLinks.h"
#include "app/DeviceBackend.h"
#include "app/KestranaDlg.h"
#include "app/PageSwitcher.h"
#include "app/UpdateRunner.h"
#include "device/config/CfgText.h"
#include "device/ChipGlobals.h"
#include "device/config/Config.h"
#include "device/connection/ConnectionStatus.h"
#include "device/link/HidDevice.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "platform/hid/HotplugMonitor.h"
#include "platform/files/IniFile.h"
#include "sim/SimHidBackend.h"
#include "sim/relay/SimRelayServer.h"
#include "app/NetConnectDlg.h"
#include "device/net/RemoteLink.h"
#include "tests/platform/ScratchDir.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/QtTestUtil.h"
#include "ui/ControlIds.h"
#include "ui/LogWindow.h"
#include "ui/MyButton.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/UiBridge.h"
#include "tests/app/WindowRig.h"

namespace {

using namespace window_test;

class UpdatePanel : public WindowRig {};

TEST_F(UpdatePanel, UpdateReflashesTheBridgeWhichComesBackWithItsNewRelease) {
  const fs::path hex = ChooseBridgeImage();
  const uint16_t oldRelease = g_pBridgeDevice.load()->GetAttributes().version;
  QSignalSpy finished(&window_->Updates(), &UpdateRunner::Finished);
  const int page = window_->Pages().CurrentPage();
  ASSERT_FALSE(window_->Pages().IsPageStopped(page));
  auto* update = Control<QPushButton>(CONTROL_NAME(IDC_UPDATE));
  update->click();
  EXPECT_TRUE(window_->IsBusy());
  EXPECT_FALSE(window_->Updates().TryStart()) << "one run at a time";
  EXPECT_FALSE(window_->close()) << "no closing in the middle of a burn";
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }));
  EXPECT_TRUE(finished.at(0).at(0).toBool()) << LogLines(window_->Log()).join('\n').toStdString();
  EXPECT_FALSE(window_->IsBusy());
  EXPECT_TRUE(update->isEnabled());
  EXPECT_EQ(window_->Pages().CurrentPage(), page);
  EXPECT_FALSE(window_->Pages().IsPageStopped(page)) << "the page runs again after the run";

  const uint16_t release = g_pBridgeDevice.load()->GetAttributes().version;
  EXPECT_EQ(release, oldRelease + 1);
  EXPECT_TRUE(Saw(QStringLiteral("[V64er]烧录完成")));
  EXPECT_TRUE(Saw(QString::asprintf("K%x_%04x烧录成功", g_pBridgeDevice.load()->ModelKey(), release)));
  // The bridge lamp names the reflashed bridge at once, not the release
  // before the burn (the connection check stood aside for the whole run).
  auto* bridgeLamp = Control<CMyButton>(CONTROL_NAME(IDC_BRIDGE_LAMP));
  EXPECT_TRUE(bridgeLamp->text().endsWith(QString::asprintf("_%04x", release)))
      << bridgeLamp->text().toStdString();
  EXPECT_EQ(bridgeLamp->State(), LAMP_GREEN);
  EXPECT_EQ(platform::IniGetString("UPDATE", "v64er path", "", root_.path() / "System/AppConfigInit.ini"),
            hex.string());
  // The side files beside the image, named from its stem.
  int sideFiles = 0;
  for (const auto& entry : fs::directory_iterator(root_.path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(hex.stem().string() + QString::asprintf("_%04x_", release).toStdString(), 0) == 0) {
      ++sideFiles;
    }
  }
  EXPECT_EQ(sideFiles, 2);
}

// However short the reflash, the bridge lamp shows the loader while it is
// there and the bridge's own caption as soon as the bridge is back; the
// connection check then announces the returned bridge.
TEST_F(UpdatePanel, TheBridgeLampShowsTheLoaderWhileItIsThere) {
  ChooseBridgeImage();
  auto* bridgeLamp = Control<CMyButton>(CONTROL_NAME(IDC_BRIDGE_LAMP));
  struct Seen {
    QString caption;
    int state = -1;
  };
  // Written only on the UI thread (inside UiBridge::call).
  Seen atLoader;
  Seen atBridgeBack;
  auto look = [bridgeLamp](Seen* seen) {
    UiBridge::call([bridgeLamp, seen] { *seen = {bridgeLamp->text(), bridgeLamp->State()}; });
  };
  window_->Updates().SetHooksOverride([&](UpdateHooks& h) {
    h.waitProgrammingArrived = [look, &atLoader, wait = h.waitProgrammingArrived](uint32_t ms) {
      const bool arrived = wait(ms);
      look(&atLoader);
      return arrived;
    };
    // Before the run's own lamp refresh after "[V64er]烧录完成".
    h.waitBridgeBack = [look, &atBridgeBack, wait = h.waitBridgeBack](uint32_t ms) {
      const bool back = wait(ms);
      look(&atBridgeBack);
      return back;
    };
  });
  QSignalSpy finished(&window_->Updates(), &UpdateRunner::Finished);
  ASSERT_TRUE(window_->Updates().TryStart());
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }));
  ASSERT_TRUE(finished.at(0).at(0).toBool()) << LogLines(window_->Log()).join('\n').toStdString();

  const QString bridgeCaption =
      QString::asprintf("_%04x", g_pBridgeDevice.load()->GetAttributes().version);
  struct Row {
    const char* when;
    const Seen& seen;
    bool loader;
  } rows[] = {{"loader arrived", atLoader, true}, {"bridge back", atBridgeBack, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.when);
    EXPECT_EQ(row.seen.state, LAMP_GREEN);
    if (row.loader) {
      EXPECT_EQ(row.seen.caption, QStringLiteral("R64oz_IRE"));
    } else {
      EXPECT_TRUE(row.seen.caption.endsWith(bridgeCaption)) << row.seen.caption.toStdString();
    }
  }

  window_->Log().OnClear();
  window_->Links().CheckConnectionStatus(ProbeConnection());
  EXPECT_TRUE(Saw(QStringLiteral("USB已连接"))) << LogLines(window_->Log()).join('\n').toStdString();
  EXPECT_TRUE(bridgeLamp->text().endsWith(bridgeCaption)) << bridgeLamp->text().toStdString();
}

TEST_F(UpdatePanel, MissingPathsAreAskedForAndTheWindowIsFreedAgain) {
  Control<QCheckBox>(CONTROL_NAME(IDC_CONFIG_ENABLE))->setChecked(true);
  Control<QCheckBox>(CONTROL_NAME(IDC_DUVIV_ENABLE))->setChecked(true);
  Control<QCheckBox>(CONTROL_NAME(IDC_V64ER_ENABLE))->setChecked(true);
  for (auto id : {CONTROL_NAME(IDC_CONFIG_PATH), CONTROL_NAME(IDC_DUVIV_PATH), CONTROL_NAME(IDC_V64ER_PATH)})
    Control<CMyEditBrowseCtrl>(id)->clear();
  QSignalSpy finished(&window_->Updates(), &UpdateRunner::Finished);
  const int page = window_->Pages().CurrentPage();
  ASSERT_TRUE(window_->Updates().TryStart());
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }));
  EXPECT_FALSE(finished.at(0).at(0).toBool());
  EXPECT_FALSE(window_->Pages().IsPageStopped(page)) << "a failed run restores the page too";
  EXPECT_EQ(prompts_.infos, (QStringList{QStringLiteral("[V64er]请选择 v64er 固件文件"),
                                         QStringLiteral("[VAzezu]请选择固件文件"),
                                         QStringLiteral("[CONFIG]请选择配置文件")}));
  EXPECT_FALSE(window_->IsBusy());
  EXPECT_TRUE(window_->close());
}

TEST_F(UpdatePanel, AutoUpdateRunsOncePerArrival) {
  ChooseBridgeImage();
  QSignalSpy finished(&window_->Updates(), &UpdateRunner::Finished);
  auto* autoButton = Control<QPushButton>(CONTROL_NAME(IDC_AUTO_UPDATE));
  auto* update = Control<QPushButton>(CONTROL_NAME(IDC_UPDATE));
  autoButton->click();
  EXPECT_EQ(autoButton->text(), QStringLiteral("Stop Upadate"));
  // Arming runs once; the bridge coming back from its own reflash is part of
  // that run, not a new arrival.
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }));
  EXPECT_FALSE(update->isEnabled()) << "Update stays off while armed";

  bridge_->Unplug();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !g_pBridgeDevice.load()->IsConnected(); }));
  bridge_->Replug();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 2; }));
  // Nothing else starts once everything has settled.
  QElapsedTimer settle;
  settle.start();
  qttest::ProcessEventsUntil([&] { return settle.elapsed() > 200; });
  EXPECT_EQ(finished.count(), 2);

  autoButton->click();
  EXPECT_EQ(autoButton->text(), QStringLiteral("Auto Upadate"));
  EXPECT_TRUE(update->isEnabled());
}

TEST_F(UpdatePanel, AProgrammingDeviceArrivalStartsOneAutoUpdate) {
  ChooseBridgeImage();
  QSignalSpy finished(&window_->Updates(), &UpdateRunner::Finished);
  // Armed without the run that the button starts on its own.
  window_->Updates().SetAutoEnabled(true);
  platform::HotplugEvent arrival;
  arrival.action = platform::HotplugAction::Added;
  arrival.kind = platform::HotplugKind::ProgrammingDevice;
  window_->Links().HandleDeviceEvent(arrival);
  EXPECT_TRUE(window_->IsBusy());
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }));
  // The event announced a device that no bootloader answers for: the one
  // run reports that, and nothing starts again on its own.
  EXPECT_FALSE(finished.at(0).at(0).toBool());
  EXPECT_TRUE(Saw(QStringLiteral("[V64er]USB 连接异常")));
  QElapsedTimer settle;
  settle.start();
  qttest::ProcessEventsUntil([&] { return settle.elapsed() > 200; });
  EXPECT_EQ(finished.count(), 1);
  EXPECT_FALSE(window_->IsBusy());
  window_->Updates().SetAutoEnabled(false);
}

TEST_F(UpdatePanel, EnableBoxesAndExistingPathsAreStored) {
  const fs::path ini = root_.path() / "System/AppConfigInit.ini";
  auto* box = Control<QCheckBox>(CONTROL_NAME(IDC_DUVIV_ENABLE));
  box->setChecked(false);
  EXPECT_EQ(platform::IniGetString("UPDATE", "duviv enable", "", ini), "0");
  box->setChecked(true);
  EXPECT_EQ(platform::IniGetString("UPDATE", "duviv enable", "", ini), "1");
  auto* edit = Control<CMyEditBrowseCtrl>(CONTROL_NAME(IDC_DUVIV_PATH));
  const std::string before = platform::IniGetString("UPDATE", "duviv path", "", ini);
  edit->setText(QString::fromStdString((root_.path() / "missing.bin").string()));
  EXPECT_EQ(platform::IniGetString("UPDATE", "duviv path", "", ini), before);
  const fs::path fw = root_.path() / "fw.bin";
  WriteBytes(fw, "x");
  edit->setText(QString::fromStdString(fw.string()));
  EXPECT_EQ(platform::IniGetString("UPDATE", "duviv path", "", ini), fw.string());
}

// A configuration file with fewer values than the chip's block would leave
// the rest of a fresh block to be burnt as zeros: it is refused before
// anything is written, in one line, and the run fails.
TEST_F(UpdatePanel, AConfigurationFileOfTheWrongLengthIsNeverBurnt) {
  CConfig chip;
  chip.ReadConfig();
  const std::vector<uint8_t> before(chip.Block().begin(), chip.Block().begin() + chip.CfgLength());
  UpdateFiles files;
  files.config = root_.path() / "short.cfg";
  WriteBytes(files.config,
             FormatCfgText(std::span<const uint8_t>(before.data(), 100), CfgTextEnding::kComma));
  ChooseUpdateSteps(*window_, files);

  QSignalSpy finished(&window_->Updates(), &UpdateRunner::Finished);
  Control<QPushButton>(CONTROL_NAME(IDC_UPDATE))->click();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }));
  const QStringList lines = LogLines(window_->Log());
  EXPECT_FALSE(finished.at(0).at(0).toBool()) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines.contains(QString::fromStdString(CfgFileLengthText(files.config, 100, 186))))
      << lines.join('\n').toStdString();
  EXPECT_FALSE(lines.contains(QStringLiteral("[CONFIG]烧录配置")));
  EXPECT_FALSE(lines.contains(QStringLiteral("校验配置")));
  CConfig after;
  after.ReadConfig();
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.Block().begin()));
}

// All three steps from the panel on the program's own simulated bridge, with
// the demonstration files staged for it, each picked through its browse
// button: the window's hooks reach the bootloader, the touch chip's firmware
// engine and the configuration burn, and each step is verified on what came
// back.
class FullUpdate : public WindowRig {
 protected:
  std::shared_ptr<sim::SimBridge> MakeBridge() override {
    return MakeSimulatedBridge("good", sim::SimClock::MakeReal());
  }
};

// Names and contents of the files in `dir`.
std::map<std::string, std::string> FolderContents(const fs::path& dir) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadFileBytes(entry.path(), &bytes, size_t{1} << 20)) << entry.path();
    contents[entry.path().filename().string()] = bytes;
  }
  return contents;
}

TEST_F(FullUpdate, TheDemonstrationFilesAreBurntAndVerified) {
  const fs::path dir = root_.path() / "sim-demo";
  const simdemo::DemoSet demo = WriteDemoFiles(dir);
  const auto staged = FolderContents(dir);
  // The browse fields' chip check compares with the identified chip.
  ASSERT_TRUE(qttest::ProcessEventsUntil([] { return GetChipName() == "RO9110V"; }));
  ChooseUpdateSteps(*window_, UpdateFilesOf(demo, dir), &prompts_);

  QSignalSpy finished(&window_->Updates(), &UpdateRunner::Finished);
  Control<QPushButton>(CONTROL_NAME(IDC_UPDATE))->click();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }, 30000));
  const QStringList lines = LogLines(window_->Log());
  ASSERT_TRUE(finished.at(0).at(0).toBool()) << lines.join('\n').toStdString();
  for (const QString& line :
       {QString::asprintf("K%x_%04x烧录成功", g_pBridgeDevice.load()->ModelKey(), demo.bridgeRelease),
        QStringLiteral("[VAzezu]烧录完成"),
        QString::fromStdString(demo.chipNameVersion) + QStringLiteral(" 烧录成功"),
        QString::asprintf("Config_%d校验通过", demo.configVersion)}) {
    EXPECT_TRUE(lines.contains(line)) << line.toStdString() << "\n" << lines.join('\n').toStdString();
  }
  EXPECT_TRUE(lines.last().startsWith(QStringLiteral("烧录时间:"))) << lines.last().toStdString();
  // The lamps name what was burnt.
  EXPECT_EQ(Control<CMyButton>(CONTROL_NAME(IDC_TOUCHIC_LAMP))->text(),
            QString::fromStdString(demo.chipNameVersion));
  EXPECT_TRUE(Control<CMyButton>(CONTROL_NAME(IDC_BRIDGE_LAMP))
                  ->text()
                  .endsWith(QString::asprintf("_%04x", demo.bridgeRelease)));
  CConfig chip;
  chip.ReadConfig();
  EXPECT_EQ(chip.Block()[0], demo.configVersion);
  // The pair the burnt HEX image leaves beside itself is the staged one, as
  // it was: the image's version is the release the bridge came back with.
  EXPECT_EQ(FolderContents(dir), staged);
}

// The relay server of the settings is one on the loopback address that the
// test started itself.
class RemoteUpdate : public WindowRig {
 protected:
  void BeforeStart() override {
    sim::RelayImage image;
    image.fileName = "..\\evil\\v64er.hex";
    for (int i = 0; i < 600; ++i) image.clearData.push_back(static_cast<uint8_t>(i * 5));
    image.remaining = 1;
    server_ = std::make_unique<sim::SimRelayServer>(0x14, image);
    ASSERT_TRUE(server_->Start());
    const fs::path ini = root_.path() / "System/AppConfigInit.ini";
    ASSERT_TRUE(platform::IniWriteString("NET INTERFACE", "Server IP", "127.0.0.1", ini));
    ASSERT_TRUE(platform::IniWriteString("NET INTERFACE", "Server Port", std::to_string(server_->Port()), ini));
  }
  // Connects with the test key; the image is in and its base name in the
  // bridge path field.
  void ReceiveImage() {
    CNetConnect& dlg = *window_->NetConnect();
    QSignalSpy images(&dlg, &CNetConnect::imageReceived);
    dlg.findChild<QLineEdit*>(CONTROL_NAME(IDC_LINK_KEY))->setText(QStringLiteral("00000000D7"));
    dlg.findChild<QPushButton*>(CONTROL_NAME(IDC_LINK_CONNECT))->click();
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return images.count() == 1; }));
    EXPECT_EQ(Control<CMyEditBrowseCtrl>(CONTROL_NAME(IDC_V64ER_PATH))->text(), QStringLiteral("v64er.hex"));
  }
  // One run of the bridge step alone; its result.
  bool RunBridgeStep() {
    Control<QCheckBox>(CONTROL_NAME(IDC_CONFIG_ENABLE))->setChecked(false);
    Control<QCheckBox>(CONTROL_NAME(IDC_DUVIV_ENABLE))->setChecked(false);
    Control<QCheckBox>(CONTROL_NAME(IDC_V64ER_ENABLE))->setChecked(true);
    QSignalSpy finished(&window_->Updates(), &UpdateRunner::Finished);
    EXPECT_TRUE(window_->Updates().TryStart());
    EXPECT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; }));
    return finished.count() == 1 && finished.at(0).at(0).toBool();
  }
  std::unique_ptr<sim::SimRelayServer> server_;
};

TEST_F(RemoteUpdate, ARemoteImageIsBurntReportedAndItsSideFilesStayInTemp) {
  ReceiveImage();
  EXPECT_TRUE(RunBridgeStep()) << LogLines(window_->Log()).join('\n').toStdString();
  EXPECT_TRUE(server_->WaitBurnsDone(1));
  // The last burn the server asked for closes the link.
  EXPECT_FALSE(window_->NetConnect()->Link().IsConnected());

  std::vector<std::string> written;
  for (const auto& entry : fs::recursive_directory_iterator(root_.path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("v64er_", 0) == 0) written.push_back(entry.path().parent_path().filename().string());
  }
  EXPECT_EQ(written, (std::vector<std::string>{"Temp", "Temp"}));
  EXPECT_FALSE(fs::exists(root_.path() / "evil"));
  EXPECT_FALSE(fs::exists(root_.path().parent_path() / "evil"));
}

// Once the image is gone, the base name the relay left in the path field is
// no file of this machine: a file of that name in the runtime root (where a
// relative path text is looked for) is neither stored as the path, nor burnt,
// nor given side files beside it. A file the user then picks burns as always.
TEST_F(RemoteUpdate, TheNameLeftInThePathIsNoLocalFile) {
  const fs::path ini = root_.path() / "System/AppConfigInit.ini";
  const std::string storedPath = platform::IniGetString("UPDATE", "v64er path", "", ini);
  const fs::path local = root_.path() / "v64er.hex";
  WriteBridgeImage(local);
  ReceiveImage();
  EXPECT_EQ(platform::IniGetString("UPDATE", "v64er path", "", ini), storedPath);
  ASSERT_TRUE(RunBridgeStep()) << LogLines(window_->Log()).join('\n').toStdString();
  ASSERT_FALSE(window_->NetConnect()->Link().IsConnected());

  EXPECT_FALSE(RunBridgeStep());
  EXPECT_TRUE(Saw(QStringLiteral("[V64er]固件文件路径不完整，请重新选择 v64er 固件文件：v64er.hex")))
      << LogLines(window_->Log()).join('\n').toStdString();
  EXPECT_FALSE(Saw(QStringLiteral("[V64er]检测设备"))) << "the bridge was not touched";
  for (const auto& entry : fs::directory_iterator(root_.path())) {
    EXPECT_NE(entry.path().filename().string().rfind("v64er_", 0), 0u) << entry.path();
  }
  EXPECT_EQ(platform::IniGetString("UPDATE", "v64er path", "", ini), storedPath);
  EXPECT_FALSE(window_->IsBusy());

  Control<CMyEditBrowseCtrl>(CONTROL_NAME(IDC_V64ER_PATH))->setText(QString::fromStdString(local.string()));
  EXPECT_TRUE(RunBridgeStep()) << LogLines(window_->Log()).join('\n').toStdString();
  EXPECT_TRUE(Saw(QStringLiteral("[V64er]烧录完成")));
  EXPECT_EQ(platform::IniGetString("UPDATE", "v64er path", "", ini), local.string());
}

}  // namespace
