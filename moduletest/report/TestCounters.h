#pragma once
// The page's pass/fail counters and the yield. They are kept in their own
// file, test/test_result/TestReport.ini, [Test Report], with the key names
// older installations used in test.ini: writing them into test.ini would
// change the test setup after every module (and leak them into packages).

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "moduletest/TestItem.h"

class ILogSink;

enum CounterIndex : int {
  kCountUniformity = 0,  // max/min failures (item 0)
  kCountJitter,          // item 1
  kCountAdjacentDeviation,
  kCountOffset,
  kCountOpenShort,
  kCountVersionCheck,  // item 5
  kCountTotal,
  kCountTotalFailed,
  kCounterCount,
};

// Key names in counter order.
extern const std::array<const char*, kCounterCount> kCounterKeys;

struct TestCounters {
  std::array<uint32_t, kCounterCount> values{};

  // One module: every failed item of 5, 0..4 counts, a failed verdict counts,
  // the total grows.
  void AddRun(const TestItemStates& items, bool passed);
  void Reset() { values.fill(0); }
  // A counter as the file holds it and the page shows it ("%d"): a
  // hand-edited negative count stays negative.
  int32_t Shown(int counter) const { return static_cast<int32_t>(values[counter]); }
  // Total less failed, never below 0 (a hand-edited file may count more
  // failures than tests).
  int64_t Good() const;
  // Percent of good modules, 0 to 100; 0 without tests.
  double YieldPercent() const;
  // Two decimals: 2 good of 3 is "66.67".
  std::string YieldText() const;
  bool operator==(const TestCounters&) const = default;
};

// The counters file when it exists, else the [Test Report] section of an
// older test.ini (legacyIni; read once: the next save creates the file). A
// counters file that exists but cannot be read gives zeros and, once per
// state of the file, a line in log (when given); saves keep refusing it.
TestCounters LoadTestCounters(const std::filesystem::path& countersFile,
                              const std::filesystem::path& legacyIni, ILogSink* log = nullptr);

// All eight keys in one atomic write, each as it is shown.
bool SaveTestCounters(const TestCounters& counters, const std::filesystem::path& countersFile,
                      std::string* error);

inline constexpr const char* kCountersFailedText = "统计信息保存失败：";
