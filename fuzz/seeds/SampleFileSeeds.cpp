// fuzz_sample_files takes, as FuzzedDataProvider reads them, the number of
// files and each file's length from the back and its bytes from the front,
// then the raw format, the ratios and the browsing steps from the back. The
// files are recorded by the sample store from a simulated panel in each raw
// format (8, 16 and 32 bit, signed or not, either byte order), and as they
// turn up later: a last frame cut by a crash, files read with another
// format than they were recorded with, several files with more frames than
// are summed from each, and a grid the raw arrays cannot hold.

#include "fuzz/SampleFileInput.h"
#include "fuzz/seeds/ProviderInput.h"
#include "fuzz/seeds/Seeds.h"
#include "fuzz/seeds/SimSamples.h"
#include "moduletest/samples/NodeLimits.h"

namespace fuzzseeds {

namespace {

using namespace sample_file_input;

DataFormat Raw(int32_t rows, int32_t cols, uint8_t unit, bool isSigned, bool littleEndian) {
  DataFormat f = DefaultFormat(DataKind::Raw);
  f.rows = rows;
  f.cols = cols;
  f.unit = unit;
  f.isSigned = isSigned ? 1 : 0;
  f.littleEndian = littleEndian ? 1 : 0;
  return f;
}

// Forward to the end and one step further, back twice, on to the next file.
const std::vector<Step> kWalk = {kStepNext, kStepNext, kStepNext,   kStepNext, kStepNext,
                                 kStepBack, kStepBack, kNextSample, kStepNext, kStepBack};

Seed Make(const char* name, const std::vector<std::vector<uint8_t>>& files, const DataFormat& read,
          const AdjustRatios& ratios = {}, const std::vector<Step>& steps = kWalk) {
  ProviderInput input;
  input.Integer(1, kMaxFiles, files.size());
  for (const std::vector<uint8_t>& file : files) {
    input.Integer(0, kMaxFileBytes, file.size());
    input.Bytes(file);
  }
  input.Integer(0, kMaxSide, static_cast<uint64_t>(read.rows));
  input.Integer(0, kMaxSide, static_cast<uint64_t>(read.cols));
  input.Integer(0, kMaxUnit, read.unit);
  input.Integer(0, 1, read.isSigned);
  input.Integer(0, 1, read.littleEndian);
  for (const AdjustRatioField& field : AdjustRatioFields()) {
    input.Integer(static_cast<uint64_t>(field.low), static_cast<uint64_t>(field.high),
                  static_cast<uint64_t>(ratios.*field.member));
  }
  input.Integer(0, kMaxBrowseSteps, steps.size());
  for (Step step : steps) input.Integer(0, kMaxStep, static_cast<uint64_t>(step));
  return {name, input.Build()};
}

}  // namespace

TargetSeeds SampleFileSeeds() {
  const DataFormat ru9 = DefaultFormat(DataKind::Raw);  // 30 x 42, 16 bit
  const DataFormat u16 = Raw(12, 16, 1, false, true);
  const DataFormat u8 = Raw(12, 16, 0, false, true);
  const DataFormat s16be = Raw(12, 16, 1, true, false);
  const DataFormat s32 = Raw(8, 10, 2, true, true);
  const DataFormat u32be = Raw(8, 10, 2, false, false);

  std::vector<uint8_t> cut = RecordSampleFile(u16, 0, 3);
  cut.resize(cut.size() - 100);
  AdjustRatios twoPerFile;
  twoPerFile.sampleTimes = 2;

  TargetSeeds t{"fuzz_sample_files", {}};
  t.seeds.push_back(Make("ru9_u16_three_frames", {RecordSampleFile(ru9, 0, 3)}, ru9));
  t.seeds.push_back(Make("u8_five_frames", {RecordSampleFile(u8, 10, 5)}, u8));
  t.seeds.push_back(Make("s16_big_endian", {RecordSampleFile(s16be, 20, 4)}, s16be));
  t.seeds.push_back(Make("s32_wide_ratios", {RecordSampleFile(s32, 30, 3)}, s32, WidestRatios()));
  t.seeds.push_back(Make("u32_big_endian", {RecordSampleFile(u32be, 40, 3)}, u32be));
  t.seeds.push_back(Make("last_frame_cut", {cut}, u16));
  t.seeds.push_back(
      Make("three_files_two_frames_each",
           {RecordSampleFile(u16, 0, 5), RecordSampleFile(u16, 5, 1), RecordSampleFile(u16, 6, 3)},
           u16, twoPerFile));
  t.seeds.push_back(
      Make("read_with_another_format", {RecordSampleFile(u16, 0, 4)}, Raw(10, 10, 0, true, true)));
  t.seeds.push_back(
      Make("grid_beyond_arrays", {RecordSampleFile(u16, 0, 2)}, Raw(80, 80, 1, false, true)));
  return t;
}

}  // namespace fuzzseeds
