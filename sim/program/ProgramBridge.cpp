#include "sim/program/ProgramBridge.h"

#include "sim/SimHidBackend.h"
#include "sim/flash/SimChipDe9.h"
#include "sim/module/SimModule.h"
#include "sim/noise/NoiseArea.h"

namespace sim {

namespace {

// The panel of the staged chip INI ([Option] RawDataRows, RawDataCols).
constexpr int kPanelRows = 30;
constexpr int kPanelCols = 42;

}  // namespace

std::optional<ModuleProfile> ProgramModule(std::string_view name) {
  std::optional<ModuleProfile> profile = ModuleProfile::Named(name, ChipFamily::RU9);
  if (!profile) return std::nullopt;
  profile->rows = kPanelRows;
  profile->cols = kPanelCols;
  profile->touches = true;
  return profile;
}

std::shared_ptr<SimBridge> MakeProgramBridge(const ModuleProfile& module,
                                             std::shared_ptr<SimClock> clock) {
  auto bridge = MakeDefaultBridge(ChipFamily::RU9, std::move(clock));
  // Flash and loader, so that a firmware update runs as on a real chip.
  AddDe9Personality(bridge->Chip());
  // A touch module: panel frames, touches and pen data for the data views
  // and the demo, its configuration, INT line, sensor id and open/short
  // program for the module test; a fault profile by name.
  const SimModule added = AddSimModule(bridge, module);
  // Noise per scan frequency and the hopping items for the noise view.
  AddNoiseArea(bridge->Chip(), NoiseAreaConfig::For(ChipFamily::RU9), added.plane);
  return bridge;
}

uint16_t ReleaseAfterBurn(const SimBridge& bridge) {
  return static_cast<uint16_t>(bridge.Config().bcdDevice + 1);
}

}  // namespace sim
