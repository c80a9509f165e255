#include "moduletest/report/TestCounters.h"

#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/IniFile.h"

namespace {
constexpr const char* kSection = "Test Report";
}

const std::array<const char*, kCounterCount> kCounterKeys = {
    "UniformityTestFaileCnt", "JitterTestFailedCnt",    "AdjacentDeviationTestFailedCnt",
    "OffsetTestFailedCnt",    "OpenShortTestFailedCnt", "VersionCheckFailedCnt",
    "TotalTestCnt",           "TotalFailedCnt",
};

void TestCounters::AddRun(const TestItemStates& items, bool passed) {
  constexpr std::pair<size_t, int> kItemCounters[] = {
      {kItemUpdate, kCountVersionCheck}, {kItemMaxMin, kCountUniformity},
      {kItemJitter, kCountJitter},       {kItemAdjacent, kCountAdjacentDeviation},
      {kItemOffset, kCountOffset},       {kItemOpenShort, kCountOpenShort},
  };
  for (const auto& [item, counter] : kItemCounters) {
    if (items[item] == TEST_FAIL) ++values[counter];
  }
  if (!passed) ++values[kCountTotalFailed];
  ++values[kCountTotal];
}

double TestCounters::YieldPercent() const {
  const uint32_t total = values[kCountTotal];
  if (total == 0) return 0.0;
  return static_cast<double>(Good()) * 100.0 / static_cast<double>(total);
}

std::string TestCounters::YieldText() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%2.2f", YieldPercent());
  return buf;
}

TestCounters LoadTestCounters(const std::filesystem::path& countersFile,
                              const std::filesystem::path& legacyIni) {
  std::error_code ec;
  const std::filesystem::path& source =
      std::filesystem::is_regular_file(countersFile, ec) ? countersFile : legacyIni;
  TestCounters counters;
  if (source.empty()) return counters;
  for (int i = 0; i < kCounterCount; ++i) {
    counters.values[i] =
        static_cast<uint32_t>(platform::IniGetInt(kSection, kCounterKeys[i], 0, source));
  }
  return counters;
}

bool SaveTestCounters(const TestCounters& counters, const std::filesystem::path& countersFile,
                      std::string* error) {
  std::vector<std::pair<std::string, std::string>> keys;
  for (int i = 0; i < kCounterCount; ++i) {
    keys.emplace_back(kCounterKeys[i], std::to_string(counters.values[i]));
  }
  return platform::IniWriteStrings(kSection, keys, countersFile, error);
}
