// Sample files (.sd) are raw frames back to back with no header, read with
// whatever raw format is current, which may not be the one they were
// recorded with, and they are imported from anywhere. Whatever their bytes
// and lengths: summing reads exactly the whole frames up to the frames per
// file, the limits computed from the sums are ordered and saved so that the
// module test reads them back unchanged, and browsing moves by whole frames
// inside the file and never reads a cut last frame.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/DecodedRange.h"
#include "fuzz/SampleFileInput.h"
#include "fuzz/ScratchFolder.h"
#include "moduletest/samples/NodeLimits.h"
#include "moduletest/samples/SampleStore.h"
#include "moduletest/settings/NodeThresholds.h"
#include "views/RawStatistics.h"
#include "views/ValueDecode.h"

namespace {

using namespace sample_file_input;
namespace fs = std::filesystem;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The sums lie within what `frames` values of the format can add up to.
void CheckSums(const SampleSums& sums, const DataFormat& f) {
  const fuzz::DecodedRange range = fuzz::DecodedRangeOf(f);
  for (int64_t s : sums.sums) {
    Require(s >= range.low * sums.frames && s <= range.high * sums.frames);
  }
}

void CheckLimits(const SampleSums& sums, const NodeLimitArrays& limits, const AdjustRatios& r) {
  const size_t nodes = sums.sums.size();
  Require(limits.max.size() == nodes && limits.min.size() == nodes &&
          limits.adjacentDeviation.size() == nodes);
  for (size_t n = 0; n < nodes; ++n) {
    const int64_t average = sums.sums[n] / sums.frames;
    // Widening moves the maximum away from zero and the minimum towards it.
    if (average >= 0) {
      Require(limits.min[n] >= 0 && limits.min[n] <= average && limits.max[n] >= average);
    } else {
      Require(limits.min[n] <= 0 && limits.min[n] >= average && limits.max[n] <= average);
    }
    Require(limits.adjacentDeviation[n] >= r.adjacentMin);
  }
}

// What the sampling dialog saves the module test loads back unchanged.
void CheckSavedLimits(const fs::path& ini, const NodeLimitArrays& limits) {
  std::string error;
  Require(SaveNodeLimits(ini, limits, &error));
  // Kept for the whole run, as the program's are (they are large).
  static auto* const nodes = new NodeArrays;
  Require(LoadNodeThresholds(ini, limits.rows, limits.cols, {}, *nodes, nullptr));
  for (size_t n = 0; n < limits.max.size(); ++n) {
    Require(nodes->NodeMaxLimit[n] == limits.max[n]);
    Require(nodes->NodeMinLimit[n] == limits.min[n]);
    Require(nodes->NodeAdjDevLimit[n] == limits.adjacentDeviation[n]);
  }
}

// The sample view's browsing: frames of the raw format one at a time,
// forward and back, and on to the next file.
void Browse(FuzzedDataProvider& fdp, SampleStore& store, const DataFormat& f,
            const std::vector<size_t>& lengths) {
  const int steps = fdp.ConsumeIntegralInRange<int>(0, kMaxBrowseSteps);
  if (!CheckFormat(DataKind::Raw, f).empty()) return;
  const size_t frameBytes = f.NodeCount() * f.UnitBytes();
  std::vector<uint8_t> frame(frameBytes);
  std::vector<int32_t> values(f.NodeCount());
  Require(store.OpenNext());
  for (int i = 0; i < steps; ++i) {
    const int step = fdp.ConsumeIntegralInRange<int>(0, kMaxStep);
    const auto file = static_cast<size_t>(store.CurrentIndex());
    const int64_t before = store.Position();
    if (step == kNextSample) {
      const bool moved = store.OpenNext();
      Require(moved == (file + 1 < lengths.size()));
      Require(store.Position() == (moved ? 0 : before));
      continue;
    }
    bool read = false;
    if (step == kStepNext) {
      read = store.ReadFrame(frame.data(), static_cast<int32_t>(frameBytes));
      Require(read ==
              (before + static_cast<int64_t>(frameBytes) <= static_cast<int64_t>(lengths[file])));
      Require(store.Position() == before + (read ? static_cast<int64_t>(frameBytes) : 0));
    } else {
      const bool sameFrames = store.FrameLength() == static_cast<int32_t>(frameBytes);
      read = sameFrames && store.StepBack(frame.data());
      Require(read == (sameFrames && before >= 2 * static_cast<int64_t>(frameBytes)));
      Require(store.Position() == before - (read ? static_cast<int64_t>(frameBytes) : 0));
    }
    if (read) {
      Require(DecodeFrame(frame.data(), frame.size(), f, values.size(), values.data(),
                          values.size()) == values.size());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFolder scratch;
  const fs::path folder = scratch.Path() / "test_sample";
  FuzzedDataProvider fdp(data, size);

  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  const int files = fdp.ConsumeIntegralInRange<int>(1, kMaxFiles);
  std::vector<fs::path> names;
  std::vector<size_t> lengths;
  for (int i = 0; i < files; ++i) {
    const std::vector<uint8_t> bytes =
        fdp.ConsumeBytes<uint8_t>(fdp.ConsumeIntegralInRange<size_t>(0, kMaxFileBytes));
    names.push_back(folder / ("sample_" + std::to_string(i) + ".sd"));
    fuzz::WriteWhole(names.back(), bytes.data(), bytes.size());
    lengths.push_back(bytes.size());
  }

  DataFormat raw = DefaultFormat(DataKind::Raw);
  raw.rows = fdp.ConsumeIntegralInRange<int32_t>(0, kMaxSide);
  raw.cols = fdp.ConsumeIntegralInRange<int32_t>(0, kMaxSide);
  raw.unit = fdp.ConsumeIntegralInRange<uint8_t>(0, kMaxUnit);
  raw.isSigned = fdp.ConsumeIntegralInRange<uint8_t>(0, 1);
  raw.littleEndian = fdp.ConsumeIntegralInRange<uint8_t>(0, 1);
  AdjustRatios ratios;
  for (const AdjustRatioField& field : AdjustRatioFields()) {
    ratios.*field.member = fdp.ConsumeIntegralInRange<int32_t>(field.low, field.high);
  }

  SampleStore store(folder);
  Require(store.NextNumber() == files);
  store.SetNames(names);

  const SampleSums sums = SumSampleFrames(store, raw, ratios.sampleTimes);
  Require(!store.HasOpenFile());
  if (!CheckFormat(DataKind::Raw, raw).empty()) {
    Require(sums.frames == 0);
  } else {
    const size_t frameBytes = raw.NodeCount() * raw.UnitBytes();
    int64_t whole = 0;
    for (size_t length : lengths) {
      whole += std::min<int64_t>(ratios.sampleTimes, static_cast<int64_t>(length / frameBytes));
    }
    Require(sums.frames == whole && sums.sums.size() == raw.NodeCount());
    CheckSums(sums, raw);
    if (sums.frames > 0) {
      const NodeLimitArrays limits = ComputeNodeLimits(sums, ratios);
      CheckLimits(sums, limits, ratios);
      CheckSavedLimits(scratch.Path() / "test.ini", limits);
    }
  }
  // Browsing starts again from the first file, as after an import.
  store.SetNames(names);
  Browse(fdp, store, raw, lengths);
  return 0;
}
