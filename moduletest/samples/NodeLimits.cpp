#include "moduletest/samples/NodeLimits.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "moduletest/TestNeighbours.h"
#include "moduletest/samples/SampleStore.h"
#include "platform/files/IniFile.h"
#include "views/RawStatistics.h"
#include "views/ValueDecode.h"

namespace {

constexpr const char* kRatioSection = "Calculate node threshold";
constexpr const char* kLimitSection = "Node threshold";

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

const std::vector<AdjustRatioField>& AdjustRatioFields() {
  static const std::vector<AdjustRatioField> fields = {
      {"Max ratio", "最大值放大比例%", 0, 1000, &AdjustRatios::maxRatio},
      {"Min ratio", "最大值缩小比例%", 0, 100, &AdjustRatios::minRatio},
      {"Adjacent Deviation ratio", "相邻偏差放大比例%", 0, 1000, &AdjustRatios::adjacentRatio},
      {"Sample Times", "单个样本采样次数", 1, 10000, &AdjustRatios::sampleTimes},
      {"Adjacent Deviation Min", "相邻偏差最小值限制", 0, 1000, &AdjustRatios::adjacentMin},
  };
  return fields;
}

std::string CheckAdjustRatios(const AdjustRatios& ratios) {
  for (const AdjustRatioField& f : AdjustRatioFields()) {
    const int32_t v = ratios.*f.member;
    if (v < f.low || v > f.high) {
      return std::string(f.label) + "应为" + std::to_string(f.low) + "到" + std::to_string(f.high) +
             "之间的整数";
    }
  }
  return {};
}

AdjustRatios LoadAdjustRatios(const std::filesystem::path& ini) {
  AdjustRatios ratios;
  for (const AdjustRatioField& f : AdjustRatioFields()) {
    ratios.*f.member = platform::IniGetInt(kRatioSection, f.key, ratios.*f.member, ini);
  }
  return ratios;
}

bool SaveAdjustRatios(const std::filesystem::path& ini, const AdjustRatios& ratios,
                      std::string* error) {
  std::vector<std::pair<std::string, std::string>> keys;
  for (const AdjustRatioField& f : AdjustRatioFields()) {
    keys.emplace_back(f.key, std::to_string(ratios.*f.member));
  }
  return platform::IniWriteStrings(kRatioSection, keys, ini, error);
}

SampleSums SumSampleFrames(SampleStore& store, const DataFormat& format, int32_t framesPerFile) {
  SampleSums result;
  result.format = format;
  std::lock_guard<std::recursive_mutex> lock(SampleStore::Lock());
  if (!CheckFormat(DataKind::Raw, format).empty()) {
    store.CloseFile();
    return result;
  }
  const size_t nodes = format.NodeCount();
  const size_t length = nodes * format.UnitBytes();
  result.sums.assign(nodes, 0);
  std::vector<uint8_t> buffer(length);
  std::vector<int32_t> values(nodes);
  if (!store.Names().empty()) {
    // An entry that cannot be opened (removed since the import) gives no
    // frames; the entries after it still count.
    store.OpenAt(0);
    for (;;) {
      for (int32_t f = 0; f < framesPerFile; ++f) {
        if (!store.ReadFrame(buffer.data(), static_cast<int32_t>(length))) break;
        DecodeFrame(buffer.data(), length, format, nodes, values.data(), values.size());
        for (size_t n = 0; n < nodes; ++n) result.sums[n] += values[n];
        ++result.frames;
      }
      if (store.IsLast()) break;
      store.OpenNext();
    }
  }
  store.CloseFile();
  return result;
}

NodeLimitArrays ComputeNodeLimits(const SampleSums& sums, const AdjustRatios& ratios) {
  NodeLimitArrays limits;
  const int32_t rows = sums.format.rows;
  const int32_t cols = sums.format.cols;
  const size_t nodes = sums.format.NodeCount();
  if (sums.frames <= 0 || nodes == 0 || sums.sums.size() != nodes) return limits;
  limits.rows = rows;
  limits.cols = cols;
  std::vector<int64_t> average(nodes);
  for (size_t n = 0; n < nodes; ++n) average[n] = sums.sums[n] / sums.frames;
  limits.max.resize(nodes);
  limits.min.resize(nodes);
  limits.adjacentDeviation.resize(nodes);
  for (size_t n = 0; n < nodes; ++n) {
    limits.max[n] = ClampToInt32(average[n] * (100 + int64_t{ratios.maxRatio}) / 100);
    limits.min[n] = ClampToInt32(average[n] * (100 - int64_t{ratios.minRatio}) / 100);
  }
  for (int32_t j = 0; j < cols; ++j) {
    for (int32_t i = 0; i < rows; ++i) {
      const size_t k = NodeIndex(rows, i, j);
      const int64_t a = average[k];
      int64_t d = 0;
      if (a != 0) {
        ForEachTestNeighbour(rows, cols, i, j, [&](size_t neighbour) {
          d = std::max<int64_t>(d, std::llabs(a - average[neighbour]) * 100 / a);
        });
      }
      const int64_t widened = d * (100 + int64_t{ratios.adjacentRatio}) / 100;
      limits.adjacentDeviation[k] = ClampToInt32(std::max<int64_t>(widened, ratios.adjacentMin));
    }
  }
  return limits;
}

NodeLimitArrays HeldNodeLimits(const NodeArrays& nodes, int32_t rows, int32_t cols) {
  NodeLimitArrays limits;
  if (rows <= 0 || cols <= 0 ||
      static_cast<int64_t>(rows) * cols > static_cast<int64_t>(NodeArrays::kNodes)) {
    return limits;
  }
  const auto used = static_cast<std::ptrdiff_t>(static_cast<int64_t>(rows) * cols);
  limits.rows = rows;
  limits.cols = cols;
  limits.max.assign(nodes.NodeMaxLimit.begin(), nodes.NodeMaxLimit.begin() + used);
  limits.min.assign(nodes.NodeMinLimit.begin(), nodes.NodeMinLimit.begin() + used);
  limits.adjacentDeviation.assign(nodes.NodeAdjDevLimit.begin(),
                                  nodes.NodeAdjDevLimit.begin() + used);
  return limits;
}

std::string NodeListText(const std::vector<int32_t>& values) {
  std::string text;
  text.reserve(values.size() * 6);
  for (int32_t v : values) {
    text += std::to_string(v);
    text += ',';
  }
  return text;
}

bool SaveNodeLimits(const std::filesystem::path& ini, const NodeLimitArrays& limits,
                    std::string* error) {
  return platform::IniWriteStrings(kLimitSection,
                                   {{"Adjacent Deviation", NodeListText(limits.adjacentDeviation)},
                                    {"Max", NodeListText(limits.max)},
                                    {"Min", NodeListText(limits.min)}},
                                   ini, error);
}
