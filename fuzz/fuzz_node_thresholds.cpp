// The per-node limits of the module test are comma-separated lists in
// test.ini, written by the sampling tools and edited by hand. Whatever the
// file holds: a list is taken only when it has exactly one value per node,
// otherwise the node's global limit applies (with a line when the list was
// not empty); nothing beyond the panel's nodes is touched; a panel beyond the
// arrays is refused; and any list read, written out again, reads back the
// same.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "device/LogSink.h"
#include "fuzz/NodeThresholdsInput.h"
#include "fuzz/ScratchFolder.h"
#include "moduletest/samples/NodeLimits.h"
#include "moduletest/settings/NodeThresholds.h"
#include "platform/files/IniFile.h"
#include "views/RawStatistics.h"

namespace {

using namespace node_thresholds_input;

void Require(bool condition) {
  if (!condition) std::abort();
}

class CountingLog final : public ILogSink {
 public:
  int errors = 0;
  void AddLog(const std::string&, LogLevel level) override { errors += level == LOG_ERROR ? 1 : 0; }
};

constexpr int32_t kUntouched = 0x5A5A5A5A;

struct Key {
  const char* name;
  std::array<int32_t, NodeArrays::kNodes> NodeArrays::*limits;
  int32_t NodeLimitFallbacks::*fallback;
};
constexpr Key kKeys[] = {
    {"Adjacent Deviation", &NodeArrays::NodeAdjDevLimit, &NodeLimitFallbacks::adjacentDeviation},
    {"Max", &NodeArrays::NodeMaxLimit, &NodeLimitFallbacks::max},
    {"Min", &NodeArrays::NodeMinLimit, &NodeLimitFallbacks::min},
};

// The sampling tools' writer and the reader agree on every list.
void CheckRoundTrip(const NodeList& list) {
  const NodeList again = ParseNodeList(NodeListText(list.values));
  Require(again.count == list.values.size() && again.values == list.values);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFolder scratch;
  const std::filesystem::path ini = scratch.Path() / "test.ini";
  FuzzedDataProvider fdp(data, size);
  const int32_t rows = fdp.ConsumeIntegralInRange<int32_t>(0, kMaxSide);
  const int32_t cols = fdp.ConsumeIntegralInRange<int32_t>(0, kMaxSide);
  NodeLimitFallbacks fallbacks;
  fallbacks.max = fdp.ConsumeIntegral<int32_t>();
  fallbacks.min = fdp.ConsumeIntegral<int32_t>();
  fallbacks.adjacentDeviation = fdp.ConsumeIntegral<int32_t>();
  const std::vector<uint8_t> text = fdp.ConsumeRemainingBytes<uint8_t>();
  fuzz::WriteWhole(ini, text.data(), text.size());

  // Kept for the whole run, as the program's are (they are large).
  static auto* const nodes = new NodeArrays;
  for (const Key& k : kKeys) ((*nodes).*k.limits).fill(kUntouched);
  CountingLog log;
  const bool loaded = LoadNodeThresholds(ini, rows, cols, fallbacks, *nodes, &log);
  const size_t used = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  if (rows == 0 || cols == 0 || used > kMaxRawNodes) {
    Require(!loaded && log.errors == 1);
    for (const Key& k : kKeys) {
      for (int32_t v : (*nodes).*k.limits) Require(v == kUntouched);
    }
    return 0;
  }
  Require(loaded);
  int mismatched = 0;
  for (const Key& k : kKeys) {
    const NodeList list = ParseNodeList(platform::IniGetString("Node threshold", k.name, "", ini));
    CheckRoundTrip(list);
    Require(list.values.size() == std::min<size_t>(list.count, kMaxRawNodes));
    const auto& limits = (*nodes).*k.limits;
    for (size_t n = 0; n < used; ++n) {
      Require(limits[n] == (list.count == used ? list.values[n] : fallbacks.*k.fallback));
    }
    for (size_t n = used; n < limits.size(); ++n) Require(limits[n] == kUntouched);
    mismatched += list.count != used && list.count != 0 ? 1 : 0;
  }
  Require(log.errors == mismatched);
  return 0;
}
