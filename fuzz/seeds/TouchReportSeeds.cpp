// fuzz_touch_report takes, as FuzzedDataProvider reads them, the drawing
// area, resolution, grid and stylus format from the back and a run of
// coordinate reports, each followed by the pen's stylus report or not, from
// the front. The reports and stylus reports are what the simulated panels
// send: fingers moving, lifting and pressing keys, more fingers than the
// report holds, and the stylus profiles of both families.

#include <algorithm>

#include "fuzz/TouchReportInput.h"
#include "fuzz/seeds/ProviderInput.h"
#include "fuzz/seeds/Seeds.h"
#include "sim/DataPlane.h"
#include "views/DataFormatStore.h"
#include "views/StylusValues.h"

namespace fuzzseeds {

namespace {

using namespace touch_report_input;

struct Area {
  int32_t left, top, width, height;
};

struct Run {
  sim::ChipFamily family;
  Area area;
  uint64_t firstFrame;
  int reports;
  bool pen;
  const sim::TouchState* script = nullptr;  // instead of the moving fingers
};

size_t ChipIndex(sim::ChipFamily family) {
  const char* name = family == sim::ChipFamily::DE7 ? "RO7387Z" : "RO9110V";
  const auto* it = std::find_if(kChipNames.begin(), kChipNames.end(),
                                [&](const char* n) { return std::string(n) == name; });
  return static_cast<size_t>(it - kChipNames.begin());
}

Seed Make(const char* name, const Run& run) {
  const sim::DataPlaneConfig config = sim::DataPlaneConfig::For(run.family);
  sim::DataPlane plane(config);
  if (run.script != nullptr) plane.ScriptTouches(*run.script);

  ProviderInput input;
  input.Integer(0, kMaxAreaSide, static_cast<uint64_t>(run.area.left));
  input.Integer(0, kMaxAreaSide, static_cast<uint64_t>(run.area.top));
  input.Integer(0, kMaxAreaSide, static_cast<uint64_t>(run.area.width));
  input.Integer(0, kMaxAreaSide, static_cast<uint64_t>(run.area.height));
  input.Integer(0, kMaxResolution, config.resolutionX);
  input.Integer(0, kMaxResolution, config.resolutionY);
  input.Integer(1, kMaxGridSide, static_cast<uint64_t>(config.raw.rows));
  input.Integer(1, kMaxGridSide, static_cast<uint64_t>(config.raw.cols));
  // The stylus values are unit x 2 bytes wide.
  input.Integer(0, kMaxStylusUnit, config.stylusValueBytes / 2);
  input.Integer(0, 1, config.stylusLittleEndian ? 1 : 0);
  input.Integer(0, kStylusSlotBytes, config.stylusLength);
  input.Integer(0, kChipNames.size() - 1, ChipIndex(run.family));
  input.Integer(1, kMaxReports, static_cast<uint64_t>(run.reports));
  for (int n = 0; n < run.reports; ++n) {
    const uint64_t frame = run.firstFrame + static_cast<uint64_t>(n);
    const sim::CoordinateReport report = plane.Report(frame);
    input.Bytes({report.begin(), report.end()});
    input.Integer(0, 1, run.pen ? 1 : 0);
    if (run.pen) input.Bytes(plane.StylusReport(frame));
  }
  return {name, input.Build()};
}

}  // namespace

TargetSeeds TouchReportSeeds() {
  const Area window{10, 10, 1004, 700};
  const Area fullScreen{0, 0, 1920, 1080};
  // Twelve fingers, more than the report's ten records, and a key.
  sim::TouchState crowd;
  for (uint8_t i = 0; i < 12; ++i) {
    crowd.contacts.push_back({static_cast<uint8_t>(i + 1), static_cast<uint16_t>(80 * i + 40),
                              static_cast<uint16_t>(150 * i + 60), static_cast<uint16_t>(30 + i)});
  }
  crowd.keys = 0x5;
  // A finger beyond the panel's resolution.
  const sim::TouchState outside{{{9, 0xFFFF, 0x7FFF, 40}}, 0};

  TargetSeeds t{"fuzz_touch_report", {}};
  t.seeds.push_back(Make("ru9_fingers_moving", {sim::ChipFamily::RU9, window, 0, 8, false}));
  // Contact 6 lifts off at frame 200 of every 300; a key goes down at 340 of 400.
  t.seeds.push_back(Make("ru9_finger_lifting", {sim::ChipFamily::RU9, fullScreen, 196, 8, false}));
  t.seeds.push_back(Make("ru9_key_pressed", {sim::ChipFamily::RU9, window, 338, 4, false}));
  t.seeds.push_back(Make("ru9_pen", {sim::ChipFamily::RU9, window, 3, 3, true}));
  t.seeds.push_back(Make("de7_pen", {sim::ChipFamily::DE7, fullScreen, 7, 3, true}));
  t.seeds.push_back(
      Make("twelve_fingers_and_keys", {sim::ChipFamily::RU9, window, 0, 2, false, &crowd}));
  t.seeds.push_back(
      Make("beyond_resolution", {sim::ChipFamily::DE7, window, 0, 1, false, &outside}));
  return t;
}

}  // namespace fuzzseeds
