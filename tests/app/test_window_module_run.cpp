// The module test run inside the main window, on the simulated module in
// virtual time: the page's settings reach the run, and a ticked bridge
// image is burnt through the simulated bridge's bootloader by the run's own
// programmer; the bridge comes back with the image's release.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <string>

#include "app/DeviceBackend.h"
#include "app/UpdateRunner.h"
#include "device/link/HidDevice.h"
#include "moduletest/engine/ShortFirmware.h"
#include "moduletest/widgets/DlgTest.h"
#include "sim/ch55x/SimCh55xUsbBackend.h"
#include "tests/app/WindowRig.h"
#include "tests/moduletest/SimRunClock.h"
#include "tests/ui/QtTestUtil.h"
#include "ui/MyButton.h"

namespace {

using namespace window_test;

class WindowModuleRun : public WindowRig {
 protected:
  // Force update with only the bridge image ticked, every test item on.
  void BeforeStart() override {
    WriteBytes(root_.path() / "System" / "ShortFw.bin", std::string(kShortFirmwareBytes, '\0'));
    const std::string image = simdemo::MakeDemoSet().Of(simdemo::DemoRole::BridgeHex).name;
    WriteBridgeImage(root_.path() / "test" / "test_file" / image);
    WriteBytes(root_.path() / "test" / "test_file" / "test.ini",
               "[Test Enable]\r\nSensorTest=0\r\nForceUpdate=1\r\nV64er.bin=1\r\n"
               "[Test File]\r\nD6oro_BIN=..\\test\\test_file\\" + image + "\r\n");
  }
  // The program's own simulated bridge, in virtual time.
  std::shared_ptr<sim::SimBridge> MakeBridge() override {
    return MakeSimulatedBridge(Profile(), clock_);
  }
  virtual const char* Profile() const { return "good"; }
  void BeforeInitialize(CKestranaDlg& window) override { window.SetRunClock(runClock_); }

  sim::SimCh55xBootloader& Loader() {
    auto* usb = dynamic_cast<sim::SimCh55xUsbBackend*>(&window_->Updates().Usb());
    EXPECT_NE(usb, nullptr);
    return *usb->Loader(0);
  }
  uint16_t Release() const { return g_pBridgeDevice.load()->GetAttributes().version; }

  // One run from the page's start button, to its end.
  void RunFromThePage() {
    CDlgTest& page = window_->TestPage();
    page.OnBnClickedStartTest();
    ASSERT_TRUE(page.IsRunning()) << Log();
    EXPECT_TRUE(window_->IsBusy());
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !page.IsRunning(); })) << Log();
    EXPECT_FALSE(window_->IsBusy());
  }
  std::string Log() { return LogLines(window_->Log()).join('\n').toStdString(); }

  std::shared_ptr<sim::SimClock> clock_ = sim::SimClock::MakeVirtual();
  SimRunClock runClock_{clock_};
};

TEST_F(WindowModuleRun, ATickedBridgeImageIsBurntAndTheModulePasses) {
  const uint16_t before = Release();
  RunFromThePage();
  EXPECT_EQ(Release(), before + 1);
  EXPECT_TRUE(Saw(QString::asprintf("[V64er]烧录成功，当前版本为：%04X", before + 1))) << Log();
  EXPECT_FALSE(Saw(QStringLiteral("[V64er]固件升级尚不可用")));
  EXPECT_TRUE(Saw(QStringLiteral("OK"))) << Log();
  EXPECT_FALSE(Saw(QStringLiteral("NG")));
  EXPECT_EQ(Loader().Ends(), 1u);
  // The bridge lamp names the reflashed bridge.
  auto* lamp = Control<CMyButton>(CONTROL_NAME(IDC_BRIDGE_LAMP));
  EXPECT_TRUE(qttest::ProcessEventsUntil(
      [&] { return lamp->text().endsWith(QString::asprintf("_%04x", before + 1)); }))
      << lamp->text().toStdString();
}

TEST_F(WindowModuleRun, AFailingBurnMakesTheModuleNg) {
  Loader().InjectFault(sim::kCh55xVerify, sim::Ch55xFault::Refuse);
  RunFromThePage();
  // The burn reached the bootloader and its verify refused the image.
  EXPECT_GT(Loader().Requests(sim::kCh55xVerify), 0u);
  EXPECT_TRUE(Saw(QStringLiteral("[V64er]烧录失败"))) << Log();
  EXPECT_TRUE(Saw(QStringLiteral("NG"))) << Log();
  EXPECT_FALSE(Saw(QStringLiteral("OK")));
  EXPECT_EQ(Loader().Ends(), 0u);
}

// The module test's programmer and the update panel's share the bootloader:
// after the run's burn failed, the panel finds the bootloader and burns it.
TEST_F(WindowModuleRun, AfterAFailedBurnTheUpdatePanelBurnsTheBridge) {
  const uint16_t before = Release();
  Loader().InjectFault(sim::kCh55xErase, sim::Ch55xFault::Refuse);
  RunFromThePage();
  EXPECT_TRUE(Saw(QStringLiteral("[V64er]烧录失败"))) << Log();
  EXPECT_EQ(Loader().Ends(), 0u);
  Loader().ClearFaults();

  ChooseBridgeImage();
  QSignalSpy finished(&window_->Updates(), &UpdateRunner::Finished);
  ASSERT_TRUE(window_->Updates().TryStart());
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished.count() == 1; })) << Log();
  EXPECT_TRUE(finished.at(0).at(0).toBool()) << Log();
  EXPECT_FALSE(Saw(QStringLiteral("[V64er]USB 连接异常"))) << Log();
  EXPECT_EQ(Loader().Ends(), 1u);
  EXPECT_EQ(Release(), before + 1);
}

// The module test's version check with the four demonstration files staged
// for the program's simulated bridge, picked through the page's fields: the
// first run brings the bridge, the touch firmware and the configuration up
// to the files and takes the test configuration; the second finds all three
// current and burns nothing.
class DemoModuleRun : public WindowModuleRun {
 protected:
  void BeforeStart() override {
    WriteBytes(root_.path() / "System" / "ShortFw.bin", std::string(kShortFirmwareBytes, '\0'));
  }
  // Ticks each file's box and picks the demonstration file in its field.
  void ChooseDemoFiles(const simdemo::DemoSet& demo, const fs::path& dir) {
    const struct {
      QString box;
      QString edit;
      simdemo::DemoRole role;
    } fields[] = {
        {CONTROL_NAME(IDC_TEST_CONFIG_FILE_BOX), CONTROL_NAME(IDC_TEST_CONFIG_FILE_PATH),
         simdemo::DemoRole::ProductionConfig},
        {CONTROL_NAME(IDC_TEST_FIRMWARE_FILE_BOX), CONTROL_NAME(IDC_TEST_FIRMWARE_FILE_PATH),
         simdemo::DemoRole::TouchFirmware},
        {CONTROL_NAME(IDC_TEST_BRIDGE_FILE_BOX), CONTROL_NAME(IDC_TEST_BRIDGE_FILE_PATH),
         simdemo::DemoRole::BridgeBin},
        {CONTROL_NAME(IDC_TEST_TEST_CONFIG_FILE_BOX), CONTROL_NAME(IDC_TEST_TEST_CONFIG_FILE_PATH),
         simdemo::DemoRole::TestConfig},
    };
    for (const auto& field : fields) {
      auto* box = Control<QCheckBox>(field.box);
      ASSERT_NE(box, nullptr);
      if (!box->isChecked()) box->click();
      BrowseTo(prompts_, *Control<CMyEditBrowseCtrl>(field.edit), dir / demo.Of(field.role).name);
    }
  }
};

TEST_F(DemoModuleRun, TheFirstRunBringsAllUpToTheFilesAndTheSecondBurnsNothing) {
  const fs::path dir = root_.path() / "sim-demo";
  const simdemo::DemoSet demo = WriteDemoFiles(dir);
  // The fields' chip check compares with the identified chip.
  ASSERT_TRUE(qttest::ProcessEventsUntil([] { return GetChipName() == "RO9110V"; }));
  Control<QRadioButton>(CONTROL_NAME(IDC_TEST_VERSION_CHECK))->click();
  ChooseDemoFiles(demo, dir);

  RunFromThePage();
  for (const char* line : {"[V64er]芯片中固件与测试固件版本不相同",
                           "[VAzezu]Touch芯片中固件版本与量产固件版本不一致", "[VAzezu]升级成功",
                           "[Config]芯片中配置与测试文档中配置不同，开始升级配置",
                           "[Config]升级成功", "OK"}) {
    EXPECT_TRUE(Saw(QString::fromUtf8(line))) << line << "\n" << Log();
  }
  EXPECT_TRUE(Saw(QString::asprintf("[V64er]烧录成功，当前版本为：%04X", demo.bridgeRelease))) << Log();
  // The test configuration was taken (same version as the production one).
  EXPECT_FALSE(Saw(QStringLiteral("导入测试配置失败")));
  EXPECT_FALSE(Saw(QStringLiteral("测试配置版本号与量产配置版本号不同，取消下载")));
  EXPECT_EQ(Loader().Ends(), 1u);
  EXPECT_EQ(Release(), demo.bridgeRelease);

  RunFromThePage();
  EXPECT_TRUE(Saw(QStringLiteral("OK"))) << Log();
  EXPECT_FALSE(Saw(QStringLiteral("NG")));
  for (const char* line : {"[V64er]芯片中固件与测试固件版本不相同", "[VAzezu]开始升级固件",
                           "[Config]芯片中配置与测试文档中配置不同，开始升级配置"}) {
    EXPECT_FALSE(Saw(QString::fromUtf8(line))) << line << "\n" << Log();
  }
  EXPECT_EQ(Loader().Ends(), 1u) << "the bridge already runs the image";
}

// The open/short program runs from the chip memory that the firmware
// burn's windows, the panel's and the noise view's frames also use; its
// results must still be the module's own.
struct ShortCase {
  const char* profile;
  const char* line;
};

class WindowShortRun : public WindowModuleRun, public ::testing::WithParamInterface<ShortCase> {
 protected:
  const char* Profile() const override { return GetParam().profile; }
};

TEST_P(WindowShortRun, TheShortIsNamedAndTheModuleIsNg) {
  RunFromThePage();
  EXPECT_TRUE(Saw(QString::fromUtf8(GetParam().line))) << Log();
  EXPECT_FALSE(Saw(QStringLiteral("Recall frame data fail,not equal.")));
  EXPECT_TRUE(Saw(QStringLiteral("NG")));
}

INSTANTIATE_TEST_SUITE_P(Profiles, WindowShortRun,
                         ::testing::Values(ShortCase{"tx-short", "Tx3与Tx4短路，阻值为：100K欧"},
                                           ShortCase{"avdd-short", "TX5与AVDD短路，阻值为：100K欧"}),
                         [](const ::testing::TestParamInfo<ShortCase>& info) {
                           return info.param.profile[0] == 't' ? "TxShort" : "AvddShort";
                         });

}  // namespace
