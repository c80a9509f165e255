#include "fuzz/seeds/SimSamples.h"

#include <filesystem>
#include <stdexcept>

#include "fuzz/ScratchFolder.h"
#include "moduletest/samples/SampleStore.h"
#include "platform/files/AtomicFile.h"
#include "sim/DataPlane.h"
#include "sim/ValueEncoding.h"

namespace fuzzseeds {

namespace {

constexpr size_t kMaxReadBack = 4 << 20;

std::vector<uint8_t> ReadBack(const std::filesystem::path& path) {
  std::string bytes;
  std::string error;
  if (!platform::ReadFileBytes(path, &bytes, kMaxReadBack, &error)) throw std::runtime_error(error);
  return {bytes.begin(), bytes.end()};
}

}  // namespace

sim::FrameFormat SimFormat(const DataFormat& f) {
  return {f.address,          f.rows, f.cols, static_cast<unsigned>(f.UnitBytes()), f.isSigned != 0,
          f.littleEndian != 0};
}

std::vector<uint8_t> RecordSampleFile(const DataFormat& raw, uint64_t firstFrame, int frames) {
  sim::DataPlaneConfig config = sim::DataPlaneConfig::For(sim::ChipFamily::RU9);
  config.raw = SimFormat(raw);
  sim::DataPlane panel(config);
  panel.ScriptTouches({});  // a good panel, left alone while it is sampled

  fuzz::ScratchFolder scratch;
  SampleStore store(scratch.Path());
  std::filesystem::path path;
  std::string error;
  if (!store.BeginRecording(&path, &error)) throw std::runtime_error(path.string() + ": " + error);
  for (int n = 0; n < frames; ++n) {
    const std::vector<uint8_t> frame =
        sim::EncodeFrame(panel.RawFrame(firstFrame + static_cast<uint64_t>(n)), config.raw);
    if (!store.AppendFrame(frame.data(), frame.size())) {
      throw std::runtime_error(path.string() + ": frame not written");
    }
  }
  if (!store.StopRecording(&error)) throw std::runtime_error(path.string() + ": " + error);
  return ReadBack(path);
}

AdjustRatios WidestRatios() {
  AdjustRatios r;
  r.maxRatio = 1000;
  r.minRatio = 100;
  r.adjacentRatio = 1000;
  r.adjacentMin = 0;
  return r;
}

std::string NodeLimitsIni(const std::vector<std::vector<uint8_t>>& files, const DataFormat& raw,
                          const AdjustRatios& ratios) {
  fuzz::ScratchFolder scratch;
  std::vector<std::filesystem::path> names;
  for (const std::vector<uint8_t>& bytes : files) {
    names.push_back(scratch.Path() / ("sample_" + std::to_string(names.size()) + ".sd"));
    fuzz::WriteWhole(names.back(), bytes.data(), bytes.size());
  }
  SampleStore store(scratch.Path());
  store.SetNames(names);
  const SampleSums sums = SumSampleFrames(store, raw, ratios.sampleTimes);
  const NodeLimitArrays limits = ComputeNodeLimits(sums, ratios);
  const std::filesystem::path ini = scratch.Path() / "test.ini";
  std::string error;
  if (limits.max.empty() || !SaveNodeLimits(ini, limits, &error)) {
    throw std::runtime_error("node limits not saved: " + error);
  }
  const std::vector<uint8_t> text = ReadBack(ini);
  return {text.begin(), text.end()};
}

}  // namespace fuzzseeds
