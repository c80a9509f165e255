// fuzz_chip_identify takes, as FuzzedDataProvider reads them, the family,
// the tries, the name known before and whether the window takes changes from
// the back, and per read whether it succeeded from the back and the id
// block's bytes from the front. The blocks are what simulated chips of both
// families answer: listed chips under their sales names, a three-character
// id, an unlisted chip, and a read that failed before the chip answered.

#include <algorithm>
#include <string>

#include "device/link/HidRequest.h"
#include "fuzz/ChipIdentifyInput.h"
#include "fuzz/seeds/ProviderInput.h"
#include "fuzz/seeds/Seeds.h"
#include "sim/SimChip.h"

namespace fuzzseeds {

namespace {

using namespace chip_identify_input;

struct Chip {
  sim::ChipFamily family;
  const char* productId;
  uint16_t version;
};

std::vector<uint8_t> IdBlock(const Chip& c) {
  sim::SimChipConfig config = sim::SimChipConfig::For(c.family);
  config.productId = c.productId;
  config.firmwareVersion = c.version;
  sim::SimChip chip(config);
  const sim::FamilyLayout& layout = sim::LayoutOf(c.family);
  return chip.Read(layout.idAddress, layout.idLength, BridgeCmdRegister);
}

size_t PreviousIndex(const std::string& name) {
  const auto* it = std::find_if(kPreviousNames.begin(), kPreviousNames.end(),
                                [&](const char* n) { return name == n; });
  return static_cast<size_t>(it - kPreviousNames.begin());
}

// `failures` failed reads, then the chip's answers in turn.
Seed Make(const char* name, sim::ChipFamily family, const std::string& previous, bool ready,
          int tries, int failures, const std::vector<Chip>& answers) {
  ProviderInput input;
  input.Integer(0, 1, family == sim::ChipFamily::DE7 ? 1 : 0);
  input.Integer(1, kMaxTries, static_cast<uint64_t>(tries));
  input.Integer(0, kPreviousNames.size() - 1, PreviousIndex(previous));
  input.Integer(0, 1, ready ? 1 : 0);
  for (int i = 0; i < failures; ++i) input.Integer(0, 1, 0);
  for (const Chip& c : answers) {
    input.Integer(0, 1, 1);
    input.Bytes(IdBlock(c));
  }
  return {name, input.Build()};
}

}  // namespace

TargetSeeds ChipIdentifySeeds() {
  using sim::ChipFamily;
  const Chip ru9{ChipFamily::RU9, "9111", 0x1060};
  const Chip ru9Short{ChipFamily::RU9, "911", 0x0005};
  const Chip de7{ChipFamily::DE7, "7388", 0x010A};
  const Chip unlisted{ChipFamily::RU9, "6108", 0x2001};

  TargetSeeds t{"fuzz_chip_identify", {}};
  const ChipFamily RU9 = ChipFamily::RU9;
  const ChipFamily DE7 = ChipFamily::DE7;
  t.seeds.push_back(Make("ru9_listed_after_placeholder", RU9, "RO9XXX", true, 5, 0, {ru9}));
  t.seeds.push_back(Make("ru9_three_characters", RU9, "RO9110V", true, 5, 0, {ru9Short}));
  t.seeds.push_back(Make("de7_listed_after_failures", DE7, "", true, 5, 2, {de7}));
  t.seeds.push_back(Make("de7_same_chip_again", DE7, "RO7387Z", true, 1, 0, {de7}));
  t.seeds.push_back(Make("unlisted_then_listed", RU9, "RO9110V", false, 5, 0, {unlisted, ru9}));
  t.seeds.push_back(Make("no_answer", RU9, "RO7XXX", true, 3, 3, {}));
  return t;
}

}  // namespace fuzzseeds
