#include "moduletest/report/TestCounters.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

#include "device/SettingsFileCheck.h"
#include "platform/files/IniFile.h"

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

int64_t TestCounters::Good() const {
  return std::max<int64_t>(0, int64_t{Shown(kCountTotal)} - Shown(kCountTotalFailed));
}

double TestCounters::YieldPercent() const {
  const int32_t total = Shown(kCountTotal);
  if (total <= 0) return 0.0;
  const double percent = static_cast<double>(Good()) * 100.0 / total;
  return std::min(percent, 100.0);
}

std::string TestCounters::YieldText() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%2.2f", YieldPercent());
  return buf;
}

TestCounters LoadTestCounters(const std::filesystem::path& countersFile,
                              const std::filesystem::path& legacyIni, ILogSink* log) {
  std::error_code ec;
  // Anything at the counters file's place is that file, even one that cannot
  // be read: the older test.ini's counters are not these.
  const bool exists = std::filesystem::exists(std::filesystem::symlink_status(countersFile, ec));
  const std::filesystem::path& source = exists ? countersFile : legacyIni;
  if (exists && log != nullptr) ReportUnreadableSettingsFile(countersFile, *log);
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
    keys.emplace_back(kCounterKeys[i], std::to_string(counters.Shown(i)));
  }
  return platform::IniWriteStrings(kSection, keys, countersFile, error);
}
