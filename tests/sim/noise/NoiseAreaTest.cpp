// The simulated chip's noise area: the configuration it starts with, the
// scan index in byte 5 following "FactorA", the threshold and "HoppingEn",
// and raw frames whose level follows the scan index.

#include <gtest/gtest.h>

#include <numeric>

#include "sim/ConfigBehaviour.h"
#include "sim/DataPlane.h"
#include "sim/SimChip.h"
#include "sim/noise/NoiseArea.h"

namespace sim {
namespace {

class NoiseAreaTest : public ::testing::TestWithParam<ChipFamily> {
 protected:
  void SetUp() override {
    chip_ = std::make_unique<SimChip>(SimChipConfig::For(GetParam()));
    config_ = NoiseAreaConfig::For(GetParam());
    config_.jitter = 0;
    config_.spikeEvery = 0;
    config_.quietEvery = 0;
    area_ = &AddNoiseArea(*chip_, config_);
  }
  void SetItem(const NoiseItem& item, int value) {
    chip_->Poke(item.address, static_cast<uint8_t>(value));
  }
  std::vector<uint8_t> NoiseFrame() { return chip_->Read(kSimNoiseAddress, kSimNoiseBytes, 11); }

  std::unique_ptr<SimChip> chip_;
  NoiseAreaConfig config_;
  NoiseArea* area_ = nullptr;
};

TEST_P(NoiseAreaTest, StartsWithTheHoppingItemsInASealedBlock) {
  const NoiseItemLayout& items = config_.items;
  EXPECT_EQ(chip_->Peek(items.hopStart.address), 20);
  EXPECT_EQ(chip_->Peek(items.hopEnd.address), 70);
  EXPECT_EQ(chip_->Peek(items.factorA.address), 35);
  std::vector<uint8_t> block = chip_->PeekRange(config_.cfgBase, config_.cfgLength);
  if (GetParam() == ChipFamily::RU9) block.back() = 1;  // as the host sends it
  EXPECT_TRUE(ConfigSumsValid(GetParam(), block));
}

TEST_P(NoiseAreaTest, ByteFiveFollowsFactorAWhenHoppingIsOffOrTheThresholdIs255) {
  const NoiseItemLayout& items = config_.items;
  SetItem(items.factorA, 41);  // inside the noisy band 40..43
  SetItem(items.hoppingEn, 0);
  std::vector<uint8_t> frame = NoiseFrame();
  EXPECT_EQ(frame[5], 41);
  EXPECT_EQ(frame[6 + 41 - 20], config_.noiseFloor[41]);
  EXPECT_GE(frame[6 + 41 - 20], 150);
  EXPECT_EQ(frame[6 + 51], 0);  // beyond End: nothing measured

  SetItem(items.hoppingEn, 1);
  SetItem(items.hopThreshold, 255);
  EXPECT_EQ(NoiseFrame()[5], 41);

  // With a threshold the chip leaves the noisy frequency for the quietest.
  SetItem(items.hopThreshold, 60);
  const int hopped = NoiseFrame()[5];
  EXPECT_NE(hopped, 41);
  EXPECT_LE(config_.noiseFloor[static_cast<size_t>(hopped)], 30);
  EXPECT_EQ(NoiseFrame()[5], hopped);  // and stays there
}

TEST_P(NoiseAreaTest, RawFramesAverageTheLevelOfTheScanIndex) {
  const NoiseItemLayout& items = config_.items;
  SetItem(items.hoppingEn, 0);
  for (int index : {25, 40, 60}) {
    SetItem(items.factorA, index);
    const std::vector<uint8_t> bytes = chip_->Read(config_.raw.address, config_.raw.Bytes(), 15);
    int64_t sum = 0;
    for (size_t i = 0; i < config_.raw.Nodes(); ++i) sum += bytes[2 * i] | bytes[2 * i + 1] << 8;
    EXPECT_EQ(sum / static_cast<int64_t>(config_.raw.Nodes()),
              config_.rawLevel[static_cast<size_t>(index)])
        << index;
  }
  EXPECT_EQ(area_->RawFrameIndices(), (std::vector<int>{25, 40, 60}));
}

// The open/short program runs from the memory under both areas: while the
// panel is suspended for it they read what was written there.
TEST_P(NoiseAreaTest, ASuspendedPanelLeavesBothAreasToTheChipsMemory) {
  SimChip chip(SimChipConfig::For(GetParam()));
  DataPlane& plane = AddDataPlane(chip, DataPlaneConfig::For(GetParam()));
  AddNoiseArea(chip, config_, &plane);
  const std::vector<uint8_t> program = {0x12, 0x34, 0x56, 0x78};
  for (uint16_t base : {kSimNoiseAddress, config_.raw.address}) {
    SCOPED_TRACE(base);
    chip.PokeRange(base, program);
    EXPECT_NE(chip.Read(base, program.size(), 11), program);
    plane.SetSuspended(true);
    EXPECT_EQ(chip.Read(base, program.size(), 11), program);
    plane.SetSuspended(false);
  }
}

INSTANTIATE_TEST_SUITE_P(Families, NoiseAreaTest,
                         ::testing::Values(ChipFamily::RU9, ChipFamily::DE7));

}  // namespace
}  // namespace sim
