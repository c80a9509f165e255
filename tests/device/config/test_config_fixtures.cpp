// The configuration fixtures on disk are what the item table generates, and
// the parsers give back the table they were generated from.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/device/CfgItemText.h"
#include "tests/device/ConfigFixtures.h"
#include "device/config/CfgText.h"
#include "device/config/ScFile.h"
#include "device/config/UiFile.h"
#include "platform/files/AtomicFile.h"

namespace {

namespace fs = std::filesystem;
using config_fixtures::ChipTable;
}  // namespace

namespace config_fixtures {
void PrintTo(const ChipTable& chip, std::ostream* os) { *os << chip.chip; }
}  // namespace config_fixtures

namespace {

const fs::path kDataDir = fs::path(KESTRANA_TEST_DATA_DIR) / "config";
const fs::path kStagedDir =
    fs::path(KESTRANA_TEST_DATA_DIR) / ".." / ".." / "resources" / "runtime" / "System" / "CfgItem";

// The committed file, rewritten first when KESTRANA_WRITE_CONFIG_FIXTURES is set.
std::string Committed(const fs::path& path, const std::string& generated) {
  if (std::getenv("KESTRANA_WRITE_CONFIG_FIXTURES") != nullptr) {
    fs::create_directories(path.parent_path());
    std::string error;
    EXPECT_TRUE(platform::WriteFileAtomic(path, generated, &error)) << error;
  }
  std::string bytes;
  std::string error;
  EXPECT_TRUE(platform::ReadFileBytes(path, &bytes, kCfgFileMaxBytes, &error)) << error;
  return bytes;
}

class ConfigFixtures : public ::testing::TestWithParam<ChipTable> {
 protected:
  std::string Name(const char* extension) const { return GetParam().chip + "_demo" + extension; }
};

TEST_P(ConfigFixtures, FilesOnDiskAreWhatTheTableGenerates) {
  const ChipTable& chip = GetParam();
  const std::string sc = config_fixtures::ScFileBytes(chip);
  EXPECT_EQ(Committed(kDataDir / Name(".sc"), sc), sc);
  EXPECT_EQ(Committed(kStagedDir / Name(".sc"), sc), sc);
  const std::string ui = config_fixtures::UiFileBytes(chip);
  EXPECT_EQ(Committed(kDataDir / Name(".ui"), ui), ui);
  const std::string cfg = config_fixtures::CfgFileBytes(chip);
  EXPECT_EQ(Committed(kDataDir / Name(".cfg"), cfg), cfg);
}

TEST_P(ConfigFixtures, ScFileParsesToTheTable) {
  const ChipTable& chip = GetParam();
  std::string bytes;
  ASSERT_TRUE(platform::ReadFileBytes(kDataDir / Name(".sc"), &bytes, kItemFileMaxBytes));
  const ScDescription parsed = ParseScFile(bytes, chip.length);
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_TRUE(parsed.hasBaseAddress);
  EXPECT_EQ(parsed.baseAddress, chip.base);
  EXPECT_EQ(DescribeItems(parsed.items), DescribeItems(config_fixtures::ExpectedScItems(chip)));
}

TEST_P(ConfigFixtures, UiFileParsesToTheTable) {
  const ChipTable& chip = GetParam();
  std::string bytes;
  ASSERT_TRUE(platform::ReadFileBytes(kDataDir / Name(".ui"), &bytes, kItemFileMaxBytes));
  const UiDescription parsed = ParseUiFile(bytes, Name(".ui"));
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.baseAddress, chip.base);
  EXPECT_EQ(DescribeItems(parsed.items), DescribeItems(config_fixtures::ExpectedUiItems(chip)));
}

TEST_P(ConfigFixtures, CfgFileHoldsTheTableValuesAndMaps) {
  const ChipTable& chip = GetParam();
  std::string bytes;
  ASSERT_TRUE(platform::ReadFileBytes(kDataDir / Name(".cfg"), &bytes, kCfgFileMaxBytes));
  const CfgParseResult parsed = ParseCfgText(bytes);
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.bytes.size(), static_cast<size_t>(chip.length));
  for (const auto& item : chip.items) {
    if (CfgChannelListOf(item.name) != CfgChannelList::kNone || item.group == "CheckSum") continue;
    const size_t at = item.address - chip.base;
    const unsigned raw = item.width > 8
                             ? parsed.bytes[at] | parsed.bytes[at + 1] << 8
                             : (parsed.bytes[at] >> item.lowBit) & ((1u << item.width) - 1);
    EXPECT_EQ(raw, item.value) << item.name;
  }
  // Channel items find their channel in the map at their own position.
  EXPECT_EQ(parsed.bytes[chip.senseMap - chip.base + 1], 1);
  EXPECT_EQ(parsed.bytes[chip.driveMap - chip.base + chip.driveCount - 1],
            chip.unusedDriveEntries > 0 ? 0xFF : 0);
  unsigned sum = 0;
  if (chip.de7) {
    for (size_t i = 0; i < 213; ++i) sum += parsed.bytes[i];
    EXPECT_EQ(sum % 256, 0u);
  } else {
    for (size_t i = 0; i + 1 < parsed.bytes.size(); ++i) sum += parsed.bytes[i];
    EXPECT_EQ(sum % 256, 0u);
    EXPECT_EQ(parsed.bytes.back(), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Chips, ConfigFixtures, ::testing::ValuesIn(config_fixtures::Chips()),
                         [](const auto& info) { return info.param.chip; });

}  // namespace
