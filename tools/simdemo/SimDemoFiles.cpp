#include "tools/simdemo/SimDemoFiles.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "device/config/CfgText.h"
#include "device/chip/ChipIdentify.h"
#include "platform/files/AtomicFile.h"
#include "programming/update/HexSideFiles.h"
#include "sim/ConfigBehaviour.h"
#include "sim/program/ProgramBridge.h"
#include "sim/ch55x/IntelHexWriter.h"
#include "sim/flash/FirmwareImages.h"
#include "sim/noise/NoiseArea.h"

namespace simdemo {

namespace {

namespace fs = std::filesystem;
using sim::ChipFamily;

constexpr ChipFamily kFamily = ChipFamily::RU9;
// The configurations hold the same block whatever fault the module has.
constexpr const char* kModule = "good";

// A bridge application is a few KiB; the pattern's section number keeps it
// apart from the touch firmware's sections.
constexpr size_t kBridgeImageBytes = 0x1000;
constexpr unsigned kBridgeImageSection = 30;
// The test page's bridge field offers "K64*.bin"; the four characters after
// "_v" are the version the module test compares with the bridge's release.
constexpr const char* kBridgeImagePrefix = "K64_v";

std::string Bytes(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

std::string Hex4(uint16_t value) {
  char text[5];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

// The chip's id block with the firmware version raised by one, and the name
// and version the chip reports once it runs that firmware.
struct NextFirmware {
  sim::FirmwareIdentity identity;
  ChipId chip;
};
NextFirmware NextFirmwareOf(const sim::SimChip& chip) {
  const sim::FamilyLayout& layout = sim::LayoutOf(kFamily);
  std::vector<uint8_t> id = chip.PeekRange(layout.idAddress, layout.idLength);
  // RU9: four id characters, then the version low byte first.
  const auto version = static_cast<uint16_t>((id[4] | id[5] << 8) + 1);
  id[4] = static_cast<uint8_t>(version);
  id[5] = static_cast<uint8_t>(version >> 8);
  NextFirmware next;
  next.chip = ParseChipId(ChipIdFamily::RU9, id.data());
  // The file's header names the chip as it is sold, without its "RO".
  next.identity.headerName = next.chip.name.substr(next.chip.name.rfind("RO", 0) == 0 ? 2 : 0);
  next.identity.headerVersion = version;
  next.identity.chipId.assign(id.begin(), std::find(id.begin(), id.begin() + 4, 0));
  next.identity.chipVersion = version;
  return next;
}

// A block as the host writes it: the family's sums, and for RU9 the fresh
// flag set that the chip clears when it takes the block.
std::string CfgFileOf(std::vector<uint8_t> block) {
  sim::SealStoredConfig(kFamily, block);
  if (kFamily == ChipFamily::RU9) block.back() = 1;
  return FormatCfgText(block, CfgTextEnding::kComma);
}

void AddBridgeImage(DemoSet& set, uint16_t release) {
  std::vector<uint8_t> image(kBridgeImageBytes);
  for (size_t i = 0; i < image.size(); ++i) {
    image[i] = sim::FirmwarePattern(kBridgeImageSection, i);
  }
  const std::string hexName = kBridgeImagePrefix + Hex4(release) + ".hex";
  const std::optional<HexSidePaths> pair =
      HexSideFilePaths(hexName, release, ImageCheckSum(image));
  if (!pair) throw std::logic_error("no side files for " + hexName);
  const auto split = image.begin() + static_cast<std::ptrdiff_t>(kHexSideHeaderBytes);
  set.files.push_back({DemoRole::BridgeHex, hexName, sim::ImageToIntelHex(image)});
  set.files.push_back({DemoRole::BridgeBin, pair->bin.string(), std::string(split, image.end())});
  set.files.push_back(
      {DemoRole::BridgeHeader, pair->ect.string(), std::string(image.begin(), split)});
}

void AddConfigs(DemoSet& set, const sim::SimChip& chip, const std::string& chipName) {
  const sim::ConfigPersonality block = sim::ConfigPersonality::For(kFamily);
  std::vector<uint8_t> production = chip.PeekRange(block.base, block.length);
  set.configVersion = static_cast<uint8_t>(production[0] + 1);
  production[0] = set.configVersion;
  // The test configuration: the same block with frequency hopping off, what
  // the module test sends when no test configuration is chosen.
  std::vector<uint8_t> test = production;
  const sim::NoiseItem hopping = sim::NoiseItemLayout::For(kFamily).hoppingEn;
  for (int i = 0; i < hopping.width / 8; ++i) test[hopping.address - block.base + i] = 0;

  const std::string name = chipName + "_Config" + std::to_string(set.configVersion) + ".cfg";
  set.files.push_back({DemoRole::ProductionConfig, name, CfgFileOf(production)});
  set.files.push_back({DemoRole::TestConfig, "Test_" + name, CfgFileOf(test)});
}

}  // namespace

const DemoFile& DemoSet::Of(DemoRole role) const {
  for (const DemoFile& file : files) {
    if (file.role == role) return file;
  }
  throw std::out_of_range("no demonstration file of that role");
}

DemoSet MakeDemoSet() {
  const std::shared_ptr<sim::SimBridge> bridge =
      sim::MakeProgramBridge(*sim::ProgramModule(kModule), sim::SimClock::MakeVirtual());
  const sim::SimChip& chip = bridge->Chip();
  DemoSet set;
  set.bridgeRelease = sim::ReleaseAfterBurn(*bridge);
  AddBridgeImage(set, set.bridgeRelease);

  const NextFirmware next = NextFirmwareOf(chip);
  set.chipNameVersion = next.chip.nameVersion;
  set.files.push_back({DemoRole::TouchFirmware, next.chip.nameVersion + ".bin",
                       Bytes(sim::MakeDe9Firmware(sim::kDe9LengthFull, next.identity))});

  AddConfigs(set, chip, next.chip.name);
  return set;
}

bool WriteDemoSet(const DemoSet& set, const fs::path& folder, std::string* error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    if (error != nullptr) *error = folder.string() + ": " + ec.message();
    return false;
  }
  for (const DemoFile& file : set.files) {
    if (!platform::WriteFileAtomic(folder / file.name, file.bytes, error)) return false;
  }
  return true;
}

}  // namespace simdemo
