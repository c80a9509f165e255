// fuzz_node_thresholds takes the panel's rows and columns and the three
// global limits from the back (FuzzedDataProvider) and the rest as test.ini.
// The files are what the sampling dialog saves from sample files of a
// simulated panel, read for a panel of their size, of another size and one
// beyond the arrays, and lists as a hand edit leaves them.

#include <string>

#include "fuzz/NodeThresholdsInput.h"
#include "fuzz/seeds/ProviderInput.h"
#include "fuzz/seeds/Seeds.h"
#include "fuzz/seeds/SimSamples.h"

namespace fuzzseeds {

namespace {

using namespace node_thresholds_input;

struct Fallbacks {
  int32_t max, min, adjacentDeviation;
};

Seed Make(const char* name, int32_t rows, int32_t cols, const Fallbacks& f,
          const std::string& text) {
  ProviderInput input;
  input.Integer(0, kMaxSide, static_cast<uint64_t>(rows));
  input.Integer(0, kMaxSide, static_cast<uint64_t>(cols));
  for (int32_t v : {f.max, f.min, f.adjacentDeviation}) input.Int32(v);
  input.Bytes({text.begin(), text.end()});
  return {name, input.Build()};
}

}  // namespace

TargetSeeds NodeThresholdSeeds() {
  const DataFormat ru9 = DefaultFormat(DataKind::Raw);  // 30 x 42, 16 bit
  const std::string ru9Limits = NodeLimitsIni(
      {RecordSampleFile(ru9, 0, 4), RecordSampleFile(ru9, 4, 4), RecordSampleFile(ru9, 8, 2)}, ru9,
      {});
  DataFormat small = DefaultFormat(DataKind::Raw);
  small.rows = 6;
  small.cols = 8;
  small.isSigned = 1;
  small.littleEndian = 0;
  const std::string smallLimits =
      NodeLimitsIni({RecordSampleFile(small, 0, 3)}, small, WidestRatios());
  const Fallbacks globals{3000, 1000, 30};

  TargetSeeds t{"fuzz_node_thresholds", {}};
  t.seeds.push_back(Make("ru9_saved_limits", 30, 42, globals, ru9Limits));
  t.seeds.push_back(Make("limits_of_another_panel", 20, 40, globals, ru9Limits));
  t.seeds.push_back(Make("panel_beyond_arrays", 100, 100, globals, ru9Limits));
  t.seeds.push_back(Make("small_panel_wide_ratios", 6, 8, {INT32_MAX, INT32_MIN, 0}, smallLimits));
  t.seeds.push_back(Make("hand_edited_lists", 1, 3, globals,
                         "[Node threshold]\r\nMax= 1, +2 ,3abc,\r\nMin=-5,,x\r\n"
                         "Adjacent Deviation=99999999999,-99999999999,7\r\n"));
  return t;
}

}  // namespace fuzzseeds
