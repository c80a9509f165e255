// fuzz_noise reads six little-endian 32-bit fields (range start and end, the
// reference index, the window's width and height, a cursor x) and takes the
// rest as the chip's bytes: a 70-byte noise area, and a raw frame whose unit
// and byte order follow its length (unit = length % 3, little-endian when
// odd). The areas and frames are read from the simulated chips.

#include <memory>

#include "device/link/HidRequest.h"
#include "fuzz/seeds/Seeds.h"
#include "sim/SimChip.h"
#include "sim/noise/NoiseArea.h"

namespace fuzzseeds {

namespace {


struct View {
  int32_t start;
  int32_t end;
  int32_t ref;
  int32_t width;
  int32_t height;
  int32_t cursorX;
};

Seed Make(const char* name, const View& v, const std::vector<uint8_t>& chipBytes) {
  std::vector<uint8_t> bytes;
  for (int32_t field : {v.start, v.end, v.ref, v.width, v.height, v.cursorX}) {
    AppendLe32(bytes, static_cast<uint32_t>(field));
  }
  bytes.insert(bytes.end(), chipBytes.begin(), chipBytes.end());
  return {name, std::move(bytes)};
}

struct NoiseChip {
  explicit NoiseChip(sim::ChipFamily family)
      : chip(sim::SimChipConfig::For(family)),
        area(sim::AddNoiseArea(chip, sim::NoiseAreaConfig::For(family))) {}
  std::vector<uint8_t> Area() {
    return chip.Read(sim::kSimNoiseAddress, sim::kSimNoiseBytes, BridgeCmdRegister);
  }
  // The first `bytes` of a raw frame.
  std::vector<uint8_t> RawFrame(size_t bytes) {
    return chip.Read(area.Config().raw.address, bytes, BridgeCmdRegister);
  }

  sim::SimChip chip;
  sim::NoiseArea& area;
};

}  // namespace

TargetSeeds NoiseSeeds() {
  NoiseChip ru9(sim::ChipFamily::RU9);
  NoiseChip de7(sim::ChipFamily::DE7);
  const sim::NoiseItemLayout& items = ru9.area.Config().items;
  const View chipRange{
      items.hopStart.value, items.hopEnd.value, items.factorA.value, 640, 400, 200};
  const sim::NoiseItemLayout& de7Items = de7.area.Config().items;

  // A raw frame of 16-bit little-endian values: 72 values and one byte more
  // make 145 bytes (145 % 3 == 1, odd).
  std::vector<uint8_t> raw = ru9.RawFrame(144);
  raw.push_back(0);

  TargetSeeds t{"fuzz_noise", {}};
  t.seeds.push_back(Make("ru9_chip_range", chipRange, ru9.Area()));
  t.seeds.push_back(Make("de7_chip_range",
                         {de7Items.hopStart.value, de7Items.hopEnd.value, 41, 1024, 700, 31},
                         de7.Area()));
  // End beyond the 64 points the area holds, in a window too small to draw in.
  t.seeds.push_back(Make("range_held_tiny_window", {0, 200, 63, 12, 6, 5}, ru9.Area()));
  // End below start: the default range.
  t.seeds.push_back(Make("range_falls_back", {70, 20, 35, 640, 400, -40}, de7.Area()));
  t.seeds.push_back(Make("raw_frame_u16_le", chipRange, raw));
  return t;
}

}  // namespace fuzzseeds
