#include "sim/module/SimModule.h"

#include "sim/SimHidBackend.h"
#include "sim/module/IntLine.h"
#include "sim/module/RawFaults.h"
#include "sim/module/ShortEngineA.h"
#include "sim/module/ShortEngineB.h"

namespace sim {

namespace {

constexpr uint8_t kConfigVersion = 0x41;

// Map positions inside the block (the chip INI defaults of each family).
struct MapLayout {
  size_t drive;
  size_t driveEntries;
  size_t sense;
  size_t senseEntries;
};
constexpr MapLayout kRu9Maps{0x80D5 - 0x8047, 42, 0x80B7 - 0x8047, 30};
constexpr MapLayout kDe7Maps{0x8171 - 0x8050, 42, 0x8127 - 0x8050, 72};

}  // namespace

std::vector<uint8_t> ModuleConfigBlock(const ModuleProfile& profile) {
  const ChipFamily family = profile.family;
  const ConfigPersonality personality = ConfigPersonality::For(family);
  const size_t n = personality.length;
  std::vector<uint8_t> b(n);
  uint32_t x = 11;
  for (uint8_t& v : b) {
    x = x * 1103515245u + 12345u;
    v = static_cast<uint8_t>(x >> 16);
  }
  b[0] = kConfigVersion;
  const MapLayout maps = family == ChipFamily::DE7 ? kDe7Maps : kRu9Maps;
  for (size_t i = 0; i < maps.driveEntries; ++i) b[maps.drive + i] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < maps.senseEntries; ++i) b[maps.sense + i] = static_cast<uint8_t>(i);
  // Registers of the panel that lie inside the block (the resolution and
  // channel counts of the 0x8047 family) hold what the panel reports.
  const DataPlaneConfig plane = ModulePlaneConfig(profile);
  const auto put = [&](uint16_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      const size_t at = static_cast<size_t>(address) + i;
      if (at >= personality.base && at < personality.base + n) b[at - personality.base] = bytes[i];
    }
  };
  put(plane.channelAddress, {plane.channelBytes.begin(), plane.channelBytes.end()});
  put(plane.resolutionAddress,
      {static_cast<uint8_t>(plane.resolutionX & 0xFF), static_cast<uint8_t>(plane.resolutionX >> 8),
       static_cast<uint8_t>(plane.resolutionY & 0xFF),
       static_cast<uint8_t>(plane.resolutionY >> 8)});
  // Frequency hopping on (bit 3 of byte 6), so that a test with it off is a
  // different configuration.
  b[6] |= 0x08;
  SealStoredConfig(family, b);
  return b;
}

DataPlaneConfig ModulePlaneConfig(const ModuleProfile& profile) {
  DataPlaneConfig config = DataPlaneConfig::For(profile.family);
  config.raw.rows = profile.rows;
  config.raw.cols = profile.cols;
  const auto half = [](int n) { return static_cast<uint8_t>(n / 2); };
  const auto rest = [](int n) { return static_cast<uint8_t>(n - n / 2); };
  if (profile.family == ChipFamily::DE7) {
    // rows = b0 + b2, columns = b1 + b3
    config.channelBytes = {half(profile.rows), half(profile.cols), rest(profile.rows),
                           rest(profile.cols)};
  } else {
    // columns = (b0 & 0x1F) + (b1 & 0x1F), rows = high + low nibble of b2
    config.channelBytes = {half(profile.cols), rest(profile.cols),
                           static_cast<uint8_t>(half(profile.rows) << 4 | rest(profile.rows)), 0};
  }
  return config;
}

SimModule AddSimModule(std::shared_ptr<SimBridge> bridge, const ModuleProfile& profile) {
  SimModule module;
  module.bridge = bridge;
  SimChip& chip = bridge->Chip();
  const ConfigPersonality personality = ConfigPersonality::For(profile.family);
  chip.SetPowerOnBytes(personality.base, ModuleConfigBlock(profile));
  chip.SetPowerOnBytes(LayoutOf(profile.family).sensorIdAddress, {profile.faults.sensorId});
  module.config = &AddConfigPersonality(chip, personality);
  if (profile.faults.configKeepsFirstOnly) module.config->SetFault(ConfigFault::KeepsFirstOnly);

  module.plane = &AddDataPlane(chip, ModulePlaneConfig(profile));
  if (!profile.touches) module.plane->ScriptTouches({});
  const ModuleFaults faults = profile.faults;
  const int rows = profile.rows;
  const int cols = profile.cols;
  module.plane->SetRawFilter([faults, rows, cols](uint64_t frame, std::vector<int32_t>& values) {
    ApplyRawFaults(faults, rows, cols, frame, values);
  });
  if (faults.starvation) chip.SetFlagNeverReady(true);

  chip.AddBehaviour(std::make_unique<IntLine>(profile.family, faults.intOpen));
  if (profile.family == ChipFamily::DE7) {
    chip.AddBehaviour(
        std::make_unique<ShortEngineB>(faults.shortsB, faults.shortNeverFinishes, module.config));
  } else {
    chip.AddBehaviour(std::make_unique<ShortEngineA>(faults.shortsA, faults.shortNeverFinishes,
                                                     module.plane, faults.shortHeaderA));
  }
  return module;
}

SimModule MakeSimModule(const ModuleProfile& profile, std::shared_ptr<SimClock> clock) {
  SimChipConfig chipConfig = SimChipConfig::For(profile.family);
  chipConfig.sensorId = profile.faults.sensorId;
  auto bridge = std::make_shared<SimBridge>(DefaultBridgeConfig(profile.family), chipConfig,
                                            std::move(clock));
  return AddSimModule(std::move(bridge), profile);
}

}  // namespace sim
