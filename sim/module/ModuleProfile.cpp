#include "sim/module/ModuleProfile.h"

#include <functional>
#include <utility>

namespace sim {

namespace {

using Edit = std::function<void(ModuleProfile&)>;

const std::vector<std::pair<std::string, Edit>>& Table() {
  static const std::vector<std::pair<std::string, Edit>> table = {
      {"good", [](ModuleProfile&) {}},
      {"dead-node", [](ModuleProfile& p) { p.faults.deadNode = 25; }},
      {"stuck-node", [](ModuleProfile& p) { p.faults.stuckNode = 25; }},
      {"weak-node", [](ModuleProfile& p) { p.faults.weakNode = 25; }},
      {"intermittent-node",
       [](ModuleProfile& p) {
         p.faults.intermittentNode = 25;
         p.faults.intermittentFrames = 15;
       }},
      {"open-channel", [](ModuleProfile& p) { p.faults.openColumn = 3; }},
      {"shorted-rows", [](ModuleProfile& p) { p.faults.shortedRow = 4; }},
      {"starvation", [](ModuleProfile& p) { p.faults.starvation = true; }},
      {"int-open", [](ModuleProfile& p) { p.faults.intOpen = true; }},
      {"wrong-sensor-id", [](ModuleProfile& p) { p.faults.sensorId = 3; }},
      {"tx-short",
       [](ModuleProfile& p) {
         p.faults.shortsA.push_back({ShortPair::TxTx, 3, 4, 100});
         p.faults.shortsB.push_back({0x84, 0x83, 100});
       }},
      {"avdd-short",
       [](ModuleProfile& p) {
         p.faults.shortsA.push_back({ShortPair::TxAvdd, 5, 0, 100});
         p.faults.shortsB.push_back({0xF0, 3, 10});
       }},
      {"restore-fails", [](ModuleProfile& p) { p.faults.configKeepsFirstOnly = true; }},
  };
  return table;
}

}  // namespace

std::optional<ModuleProfile> ModuleProfile::Named(std::string_view name, ChipFamily family) {
  for (const auto& [known, edit] : Table()) {
    if (known != name) continue;
    ModuleProfile profile;
    profile.family = family;
    edit(profile);
    return profile;
  }
  return std::nullopt;
}

std::vector<std::string> ModuleProfile::Names() {
  std::vector<std::string> names;
  for (const auto& entry : Table()) names.push_back(entry.first);
  return names;
}

}  // namespace sim
