// fuzz_firmware reads a selector byte and a 16-bit length pick, then repeats
// the rest of its input to fill an image of the picked length (real files
// are tens of kilobytes). The seeds put a generated file's header first, so
// every accepted length of both layouts is reached with a printable name,
// next to lengths one off and a name the checks refuse.

#include <algorithm>

#include "fuzz/seeds/Seeds.h"
#include "programming/touchfw/DE9vur/De9Layout.h"
#include "programming/touchfw/ZE73da/Ze73Layout.h"
#include "sim/flash/FirmwareImages.h"

namespace fuzzseeds {

namespace {

// The harness's selectors: the input as it is, a DE9vur-sized image, a
// ZE73da-sized one.
enum Selector : uint8_t { kAsIs = 0, kDe9Sized = 1, kZe73Sized = 2 };

// The pick that gives `length` under a selector.
uint16_t De9Pick(size_t length) { return static_cast<uint16_t>(length - 0x9000); }
uint16_t Ze73Pick(size_t length) {
  return static_cast<uint16_t>(length - (ze73::kFileBytes - 0x80));
}

// Selector, pick (high byte first) and the first `head` bytes of an image.
Seed Repeated(const char* name, Selector selector, uint16_t pick, const std::vector<uint8_t>& image,
              size_t head) {
  std::vector<uint8_t> bytes{selector, static_cast<uint8_t>(pick >> 8),
                             static_cast<uint8_t>(pick & 0xFF)};
  bytes.insert(bytes.end(), image.begin(),
               image.begin() + static_cast<std::ptrdiff_t>(std::min(head, image.size())));
  return {name, std::move(bytes)};
}

const sim::FirmwareIdentity kDe9{"9110V", 0x1060, "9111", 0x1060};
const sim::FirmwareIdentity kZe73{"7388", 0x010A, "7388", 0x010A};

// Header and the start of the first section: enough for the name checks.
constexpr size_t kDe9Head = 0x40;
constexpr size_t kZe73Head = 0x100;

}  // namespace

TargetSeeds FirmwareSeeds() {
  const std::vector<uint8_t> de9 = sim::MakeDe9Firmware(sim::kDe9LengthMinimal, kDe9);
  const std::vector<uint8_t> ze73 = sim::MakeZe73Firmware(kZe73);
  std::vector<uint8_t> badName = ze73;
  badName[ze73::kNameOffset] = ' ';

  TargetSeeds t{"fuzz_firmware", {}};
  t.seeds.push_back(
      Repeated("de9_minimal", kDe9Sized, De9Pick(sim::kDe9LengthMinimal), de9, kDe9Head));
  t.seeds.push_back(
      Repeated("de9_boot_isp", kDe9Sized, De9Pick(sim::kDe9LengthBootIsp), de9, kDe9Head));
  t.seeds.push_back(Repeated("de9_full", kDe9Sized, De9Pick(sim::kDe9LengthFull), de9, kDe9Head));
  t.seeds.push_back(
      Repeated("de9_one_byte_long", kDe9Sized, De9Pick(sim::kDe9LengthMinimal + 1), de9, kDe9Head));
  t.seeds.push_back(Repeated("ze73", kZe73Sized, Ze73Pick(ze73::kFileBytes), ze73, kZe73Head));
  t.seeds.push_back(
      Repeated("ze73_name_with_space", kZe73Sized, Ze73Pick(ze73::kFileBytes), badName, kZe73Head));
  // A header on its own, taken as the whole file: too short for either.
  t.seeds.push_back(Repeated("de9_header_only", kAsIs, 0, de9, de9::kHeaderBytes));
  return t;
}

}  // namespace fuzzseeds
