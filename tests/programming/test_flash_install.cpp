// Firmware installed on a simulated chip as if burnt earlier must leave the
// flash and the id block a real burn of the same file leaves; a chip whose
// flash is blank keeps its power-on id across a reset.

#include <gtest/gtest.h>

#include <vector>

#include "FwTestRig.h"
#include "sim/ChipFamily.h"

namespace {

using namespace fw_test;

std::vector<uint8_t> IdBlock(const sim::SimChip& chip) {
  return chip.PeekRange(chip.Layout().idAddress, chip.Layout().idLength);
}

void ExpectSameFlash(const sim::De9Flash& burnt, const sim::De9Flash& installed) {
  EXPECT_TRUE(burnt.ss51 == installed.ss51);
  EXPECT_TRUE(burnt.dsp == installed.dsp);
  EXPECT_TRUE(burnt.boot == installed.boot);
  EXPECT_TRUE(burnt.bootIsp == installed.bootIsp);
  EXPECT_TRUE(burnt.link == installed.link);
}

void ExpectSameFlash(const std::vector<uint8_t>& burnt, const std::vector<uint8_t>& installed) {
  EXPECT_TRUE(burnt == installed) << "flash differs";
}

// Burns the file through the family's engine on one chip, installs it on a
// blank one, and compares what each holds.
template <typename Personality>
void ExpectInstallMatchesBurn(sim::ChipFamily family, const std::vector<uint8_t>& file) {
  const std::vector<uint8_t> powerOn = IdBlock(sim::SimChip(sim::SimChipConfig::For(family)));
  Rig<Personality> target(family);  // its engine stays unused
  target.chip.Reset();
  EXPECT_EQ(powerOn, IdBlock(target.chip)) << "blank flash";

  Rig<Personality> rig(family);
  ASSERT_TRUE(rig.Load(file));
  ASSERT_TRUE(rig.engine->Update()) << ::testing::PrintToString(rig.log.Texts());
  ASSERT_NE(powerOn, IdBlock(rig.chip));

  target.personality->InstallFirmware(file);
  ExpectSameFlash(rig.personality->Flash(), target.personality->Flash());
  EXPECT_EQ(IdBlock(rig.chip), IdBlock(target.chip)) << "at once";
  target.chip.Reset();
  EXPECT_EQ(IdBlock(rig.chip), IdBlock(target.chip)) << "after a reset";
}

TEST(FlashInstall, De9LeavesWhatABurnOfEachLayoutLeaves) {
  for (const size_t length :
       {sim::kDe9LengthMinimal, sim::kDe9LengthBootIsp, sim::kDe9LengthFull}) {
    SCOPED_TRACE(length);
    ExpectInstallMatchesBurn<sim::SimChipDe9>(sim::ChipFamily::RU9,
                                              sim::MakeDe9Firmware(length, De9Identity(0x1234)));
  }
}

TEST(FlashInstall, Ze73LeavesWhatABurnLeaves) {
  ExpectInstallMatchesBurn<sim::SimChipDe7>(sim::ChipFamily::DE7,
                                            sim::MakeZe73Firmware(De7Identity(0x0203)));
}

// A file cut short fills what it holds and leaves the rest of flash blank.
TEST(FlashInstall, Ze73FileCutShortFillsWhatItHolds) {
  const auto file = sim::MakeZe73Firmware(De7Identity(0x0203), 0x2000);
  De7Rig rig(sim::ChipFamily::DE7);
  rig.personality->InstallFirmware(file);
  std::vector<uint8_t> expected(sim::kDe7FlashBytes, 0xFF);
  std::copy(file.begin() + 0x1100, file.begin() + 0x1900, expected.begin() + 0x3D000);
  std::copy(file.begin() + 0x1900, file.end(), expected.begin());
  EXPECT_TRUE(rig.personality->Flash() == expected) << "flash differs";
  EXPECT_EQ(Slice(file, 0x1900 + sim::kDe7IdFlashAddress, 8), IdBlock(rig.chip));
}

}  // namespace
