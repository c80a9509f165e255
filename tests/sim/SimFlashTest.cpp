// The pieces the firmware personalities stand on: memory mapped over an
// address range, and the firmware files for tests with a pattern per section.

#include <gtest/gtest.h>

#include <vector>

#include "sim/SimChip.h"
#include "sim/flash/FirmwareImages.h"

namespace sim {
namespace {

class Recorded : public MappedMemory {
 public:
  void ReadMemory(size_t offset, uint8_t* out, size_t count) override {
    for (size_t i = 0; i < count; ++i) out[i] = bytes[offset + i];
  }
  void WriteMemory(size_t offset, const uint8_t* data, size_t count) override {
    for (size_t i = 0; i < count; ++i) bytes[offset + i] = data[i];
  }
  std::vector<uint8_t> bytes = std::vector<uint8_t>(0x100, 0xA5);
};

TEST(SimChipMapping, MappedRangeBypassesRegistersHooksAndFramesUntilUnmapped) {
  SimChip chip(SimChipConfig::For(ChipFamily::RU9));
  Recorded memory;
  // Over the raw frame region, whose generator and the register file would answer otherwise.
  chip.MapMemory(0x8C00, memory.bytes.size(), &memory);
  const std::vector<uint8_t> data = {1, 2, 3, 4};
  chip.Write(0x8BFE, data.data(), data.size(), 15);  // straddles the mapping's start
  EXPECT_EQ(3, memory.bytes[0]);
  EXPECT_EQ(4, memory.bytes[1]);
  EXPECT_EQ(std::vector<uint8_t>({3, 4, 0xA5}), chip.Read(0x8C00, 3, 15));
  EXPECT_EQ(0xA5, chip.Read(0x8CFF, 1, 15)[0]);
  EXPECT_EQ(0u, chip.Peek(0x8C00));  // the register file never saw it

  chip.MapMemory(0x8C00, 0, nullptr);
  chip.Write(0x8C00, data.data(), 1, 15);
  EXPECT_EQ(1u, chip.Peek(0x8C00));
}

TEST(FirmwareImages, SectionsDifferAndIdentityIsWhereTheConventionSaysIt) {
  const auto file = MakeDe9Firmware(kDe9LengthFull, {"9110V", 0x1060, "9111", 0x2070});
  ASSERT_EQ(kDe9LengthFull, file.size());
  EXPECT_EQ(std::vector<uint8_t>({'9', '1', '1', '0', 'V'}),
            std::vector<uint8_t>(file.begin() + 4, file.begin() + 9));
  EXPECT_EQ(0x10, file[12]);
  EXPECT_EQ(0x60, file[13]);
  const size_t id = kDe9HeaderBytes + kDe9IdOffsetInSs51;
  EXPECT_EQ(std::vector<uint8_t>({'9', '1', '1', '1', 0x70, 0x20}),
            std::vector<uint8_t>(file.begin() + id, file.begin() + id + 6));
  // Two sections of the same size never hold the same bytes.
  EXPECT_NE(std::vector<uint8_t>(file.begin() + 0x000E, file.begin() + 0x000E + 0x800),
            std::vector<uint8_t>(file.begin() + 0x200E, file.begin() + 0x200E + 0x800));
  EXPECT_NE(std::vector<uint8_t>(file.begin() + 0x900E, file.begin() + 0x980E),
            std::vector<uint8_t>(file.begin() + 0x980E, file.begin() + 0xA00E));

  const auto ze73 = MakeZe73Firmware({"7388", 0x0102, "7388", 0x0304});
  ASSERT_EQ(kZe73Length, ze73.size());
  EXPECT_EQ(0x01, ze73[0x19]);
  EXPECT_EQ(0x02, ze73[0x1A]);
  const size_t at = 0x1900 + kDe7IdFlashAddress;
  EXPECT_EQ(std::vector<uint8_t>({'7', '3', '8', '8', 0, 0, 3, 4}),
            std::vector<uint8_t>(ze73.begin() + at, ze73.begin() + at + 8));
}

}  // namespace
}  // namespace sim
