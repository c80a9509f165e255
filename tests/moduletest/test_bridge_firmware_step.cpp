// The bridge firmware step of a run on simulated equipment: the module's
// bridge restarts into its bootloader on command 14, the real programmer
// burns the image, and the bridge comes back with the image's release.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "programming/bridgefw/Ch55xProtocol.h"
#include "sim/ch55x/IntelHexWriter.h"
#include "tests/moduletest/ModuleRig.h"
#include "tests/programming/Ch55xRig.h"

namespace {

constexpr uint16_t kNewRelease = 0x0124;

class BridgeStepTest : public ModuleRig {
 protected:
  void SetUp() override {
    ModuleRig::SetUp();
    PlugNamed("good");
    sim::ConnectBootloader(module_.bridge, loaderRig_.loader);
    engine_->AttachBridgeProgrammer(loaderRig_.isp, Hooks());
  }

  static sim::Ch55xConfig LoaderConfig() {
    sim::Ch55xConfig c;
    c.applicationRelease = kNewRelease;
    return c;
  }

  UpdateHooks Hooks() {
    UpdateHooks h;
    h.programmingPresent = [this] { return loaderRig_.loader->IsPresent(); };
    h.resetArrivals = [] {};
    h.enterUpgradeMode = [] { return EnterBridgeUpgradeMode() != 0; };
    h.waitProgrammingArrived = [this](uint32_t ms) {
      waits_.push_back(ms);
      if (!loaderRig_.loader->IsPresent()) runClock_->SleepMs(ms);
      return loaderRig_.loader->IsPresent();
    };
    // Back once the bootloader ended its session and the bridge opens again.
    h.waitBridgeBack = [this](uint32_t ms) {
      waits_.push_back(ms);
      const bool back = loaderRig_.loader->Ends() > 0 && module_.bridge->IsPlugged() && OpenDevice() == 1;
      if (!back) runClock_->SleepMs(ms);
      return back;
    };
    h.bridgeRelease = [] {
      CHidDevice* device = g_pBridgeDevice.load();
      return device != nullptr ? device->GetAttributes().version : uint16_t{0};
    };
    return h;
  }

  // Update mode with only the bridge image ticked.
  RunSettings BridgeOnly(const std::string& fileName, bool force) {
    const std::vector<uint8_t> image(3000, 0x5A);
    const std::filesystem::path path = Root() / "test" / fileName;
    std::filesystem::create_directories(path.parent_path());
    platform::testing_support::WriteBytes(path, sim::ImageToIntelHex(image));
    image_ = image;
    RunSettings s;
    s.testOnly = false;
    s.versionCheck = !force;
    s.forceUpdate = force;
    s.maxMinTest = s.adjacentTest = s.openShortTest = s.intTest = false;
    s.useBridgeFirmware = true;
    s.bridgeFirmwarePath = path;
    return s;
  }

  Ch55xRig loaderRig_{LoaderConfig(), false};
  std::vector<uint8_t> image_;
  std::vector<uint32_t> waits_;
};

std::vector<uint8_t> Head(const std::vector<uint8_t>& flash, size_t n) {
  return {flash.begin(), flash.begin() + static_cast<std::ptrdiff_t>(n)};
}

TEST_F(BridgeStepTest, VersionMismatchBurnsAndTheBridgeReturnsWithTheNewRelease) {
  // Forced, an older release in the name, and a name without "_v": all burn.
  struct Case {
    const char* name;
    bool force;
    const char* why;
  };
  for (const Case& c : {Case{"V64er_v0100.hex", false, "[V64er]芯片中固件与测试固件版本不相同"},
                        Case{"V64er.hex", false, "[V64er]固件文件名中没有版本号(_v)，直接烧录"},
                        Case{"V64er_v0100.hex", true, nullptr}}) {
    SCOPED_TRACE(c.name);
    waits_.clear();
    const unsigned endsBefore = loaderRig_.loader->Ends();
    const RunResult result = Run(BridgeOnly(c.name, c.force));
    EXPECT_EQ(loaderRig_.loader->Ends(), endsBefore + 1);
    EXPECT_EQ(Head(loaderRig_.loader->Flash(), image_.size()), image_);
    EXPECT_EQ(g_pBridgeDevice.load()->GetAttributes().version, kNewRelease);
    EXPECT_EQ(waits_, (std::vector<uint32_t>{10000, 8000}));
    if (c.why != nullptr) {
      EXPECT_TRUE(sink_.Has(c.why, LOG_INFO));
    }
    EXPECT_TRUE(sink_.Has("[V64er]进入升级模式", LOG_BUSY));
    EXPECT_TRUE(sink_.Has("[V64er]烧录固件", LOG_BUSY));
    EXPECT_TRUE(sink_.Has("[V64er]烧录成功，当前版本为：0124", LOG_INFO));
    EXPECT_NE(result.items[kItemUpdate], TEST_FAIL);
    EXPECT_TRUE(sink_.Has("OK", LOG_PASS));
  }
}

TEST_F(BridgeStepTest, SameReleaseIsNotBurnt) {
  const uint16_t release = g_pBridgeDevice.load()->GetAttributes().version;
  char name[32];
  std::snprintf(name, sizeof name, "V64er_v%04X.hex", release);
  const RunResult result = Run(BridgeOnly(name, false));
  EXPECT_EQ(loaderRig_.loader->Ends(), 0u);
  EXPECT_FALSE(sink_.Has("[V64er]烧录固件", LOG_BUSY));
  EXPECT_NE(result.items[kItemUpdate], TEST_FAIL);
}

TEST_F(BridgeStepTest, AFailedBurnFailsItemFiveAndTheModule) {
  loaderRig_.loader->InjectFault(ch55x::kVerify, sim::Ch55xFault::Refuse);
  const RunResult result = Run(BridgeOnly("V64er_v0100.hex", false));
  EXPECT_EQ(result.items[kItemUpdate], TEST_FAIL);
  EXPECT_TRUE(sink_.Has("[V64er]烧录失败", LOG_ERROR));
  EXPECT_FALSE(sink_.Has("[V64er]烧录成功，当前版本为：0124", LOG_INFO));
  EXPECT_TRUE(sink_.Has("NG", LOG_FAIL));
  EXPECT_FALSE(sink_.Has("OK", LOG_PASS));
}

TEST_F(BridgeStepTest, ABootloaderThatNeverArrivesFailsWithItsLine) {
  module_.bridge->SetLoaderHook([] {});
  const RunResult result = Run(BridgeOnly("V64er_v0100.hex", false));
  EXPECT_EQ(result.items[kItemUpdate], TEST_FAIL);
  EXPECT_TRUE(sink_.Has("[V64er]进入升级模式失败", LOG_ERROR));
  EXPECT_EQ(waits_, (std::vector<uint32_t>{10000}));
  EXPECT_TRUE(sink_.Has("NG", LOG_FAIL));
}

}  // namespace
