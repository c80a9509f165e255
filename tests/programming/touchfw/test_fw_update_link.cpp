// Both engines through the real device link: the register operations, the
// request queue and its dispatcher, the HID report codec and the simulated
// bridge, on a virtual clock with 1 ms per report.

#include <gtest/gtest.h>

#include "tests/programming/FwTestRig.h"
#include "programming/touchfw/FwUpdate.h"
#include "tests/device/SimDevice.h"

namespace {

using namespace fw_test;

// The engines' clock on the simulator's virtual time.
class SimTimeClock : public IClock {
 public:
  explicit SimTimeClock(sim::SimClock& clock) : clock_(clock) {}
  void SleepMs(uint32_t ms) override { clock_.Advance(ms); }
  int64_t NowMs() override { return clock_.NowMs(); }

 private:
  sim::SimClock& clock_;
};

class FwUpdateLinkTest : public SimDeviceTest {
 protected:
  void Start(sim::ChipFamily family) {
    Connect(family);
    Bridge().SetReportWireUs(1000);
    Bridge().Chip().SetAccessLogEnabled(false);
    Bridge().Trace().SetEnabled(false);
    clock_ = std::make_unique<SimTimeClock>(*SimDeviceTest::clock_);
    access_ = std::make_unique<CQueueRegisterAccess>(*clock_);
  }
  void TearDown() override {
    access_.reset();
    SimDeviceTest::TearDown();
  }
  std::unique_ptr<SimTimeClock> clock_;
  std::unique_ptr<CQueueRegisterAccess> access_;
  platform::testing_support::ScratchDir dir_;
  RecordingLog log_;
};

TEST_F(FwUpdateLinkTest, De9FullBurnThroughTheQueue) {
  Start(sim::ChipFamily::RU9);
  sim::SimChipDe9& chip = sim::AddDe9Personality(Bridge().Chip());
  ASSERT_EQ(FwFamily::DE9vur, FwFamilyOfConnectedChip());
  auto engine = CreateFwUpdate(FwFamilyOfConnectedChip(), &log_, *access_);
  const auto file = sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity(0x2001));
  ASSERT_TRUE(engine->LoadFirmwareFile(WriteFile(dir_, "fw.bin", file)));
  ASSERT_TRUE(engine->Update()) << ::testing::PrintToString(log_.Texts());
  const sim::De9Flash flash = chip.Flash();
  EXPECT_EQ(flash.ss51, Slice(file, 0x000E, 0x8000));
  EXPECT_EQ(flash.dsp, Slice(file, 0x800E, 0x1000));
  EXPECT_EQ(flash.boot, Slice(file, 0x900E, 0x800));
  EXPECT_EQ(flash.bootIsp, Slice(file, 0x980E, 0x800));
  EXPECT_EQ(flash.link, Slice(file, 0xA00E, 0x3000));
  EXPECT_TRUE(chip.Finished());
  EXPECT_EQ(0u, chip.Violations());
  EXPECT_TRUE(engine->IsChipMatch());
}

TEST_F(FwUpdateLinkTest, Ze73FullBurnThroughTheQueue) {
  Start(sim::ChipFamily::DE7);
  sim::SimChipDe7& chip = sim::AddDe7Personality(Bridge().Chip());
  ASSERT_EQ(FwFamily::ZE73da, FwFamilyOfConnectedChip());
  auto engine = CreateFwUpdate(FwFamilyOfConnectedChip(), &log_, *access_);
  const auto file = sim::MakeZe73Firmware(De7Identity(0x0304));
  ASSERT_TRUE(engine->LoadFirmwareFile(WriteFile(dir_, "fw.bin", file)));
  ASSERT_TRUE(engine->Update()) << ::testing::PrintToString(log_.Texts());
  const std::vector<uint8_t> flash = chip.Flash();
  EXPECT_EQ(Slice(flash, 0x00000, 0x1F000), Slice(file, 0x1900, 0x1F000));
  EXPECT_EQ(Slice(flash, 0x20000, 0x8000), Slice(file, 0x22900, 0x8000));
  EXPECT_EQ(Slice(flash, 0x28000, 0x2000), Slice(file, 0x20900, 0x2000));
  EXPECT_EQ(Slice(flash, 0x2A000, 0x4000), Slice(file, 0x2A900, 0x4000));
  EXPECT_EQ(Slice(flash, 0x3D000, 0x800), Slice(file, 0x1100, 0x800));
  EXPECT_EQ(24u, chip.Chunks().size());
  EXPECT_EQ(1u, chip.Restarts());
}

TEST_F(FwUpdateLinkTest, UnplugInTheMiddleEndsTheBurnPromptly) {
  Start(sim::ChipFamily::RU9);
  sim::AddDe9Personality(Bridge().Chip());
  auto engine = CreateFwUpdate(FwFamily::DE9vur, &log_, *access_);
  ASSERT_TRUE(engine->LoadFirmwareFile(
      WriteFile(dir_, "fw.bin", sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity()))));
  ForwardingLink link(*device_);
  int requests = 0;
  link.before_ = [&](CHidRequest&) {
    if (++requests == 150) Bridge().Unplug();
  };
  GetRequestQueue().SelectLink(&link);
  const int64_t start = NowMs();
  EXPECT_FALSE(engine->Update());
  GetRequestQueue().SelectLink(nullptr);
  EXPECT_EQ(1u, log_.Errors().size()) << ::testing::PrintToString(log_.Texts());
  EXPECT_LT(NowMs() - start, 10000);
}

}  // namespace
