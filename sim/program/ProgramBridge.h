#pragma once
// The simulated bridge the program drives with KESTRANA_DEVICE=sim: the RU9
// chip with its flash and loader, a touch module and the noise area. The
// program's composition root builds it, its window tests take it on a
// virtual clock, and the demonstration files staged for it are made from it,
// so all three see the same chip.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "sim/SimBridge.h"
#include "sim/SimClock.h"
#include "sim/module/ModuleProfile.h"

namespace sim {

// The module of the named fault profile on the panel the staged chip INI
// gives (30 x 42), with the demo's moving contacts; std::nullopt for a name
// no profile has.
std::optional<ModuleProfile> ProgramModule(std::string_view name);

// The bridge with that module on `clock`.
std::shared_ptr<SimBridge> MakeProgramBridge(const ModuleProfile& module,
                                             std::shared_ptr<SimClock> clock);

// The release number a burn through the bridge's bootloader brings the
// bridge back with: one above its own, so that a burn always shows.
uint16_t ReleaseAfterBurn(const SimBridge& bridge);

}  // namespace sim
