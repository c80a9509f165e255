#pragma once
// The report file written after every module: the chip configuration, the
// thresholds as typed, the verdict per item and every measured value of the
// 16 captured frames, as comma-separated text with CR LF line ends that a
// spreadsheet opens. Line tools read these files, so the layout (labels with
// their spelling, blanks and empty lines) is kept exactly.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "moduletest/TestItem.h"
#include "moduletest/settings/TestSettings.h"

inline constexpr size_t kReportFrames = 16;

struct FrameStat {
  int32_t max = 0;
  int32_t min = 0;
  int32_t avg = 0;
};

// What a run measured, laid out rows x cols with the node of row i and column
// j at index i + j x rows. Arrays shorter than rows x cols are written with 0
// for the missing nodes.
struct TestMeasurements {
  int32_t rows = 0;
  int32_t cols = 0;
  std::array<FrameStat, kReportFrames> frames{};
  std::vector<int32_t> nodeMax;
  std::vector<int32_t> nodeMin;
  std::vector<int32_t> nodeJitter;
  std::vector<int32_t> nodeAdjDev;
  std::array<std::vector<int32_t>, kReportFrames> rawFrames;
};

struct TestReportData {
  // The production configuration's block when one is loaded, else the chip's
  // own backed-up block when valid, else empty.
  std::vector<uint8_t> chipConfig;
  // The nine numeric texts, as typed.
  std::array<std::string, kNumericFieldCount> thresholds;
  TestItemStates items = AllItemsOff();
  bool testOnly = true;
  TestMeasurements measurements;
};

// One row per grid row: "%d," per column, then "\n".
void AppendNodeGridCsv(std::string& text, const std::vector<int32_t>& values, int32_t rows,
                       int32_t cols);

// The report with "\n" line ends (WriteTestReport turns them into CR LF).
std::string BuildTestReport(const TestReportData& data);

// "Result_OK_<index>.csv" / "Result_NG_<index>.csv" without a Test ID (the
// index then grows by one), else "<id>_OK.csv" / "<id>_NG.csv".
std::string ReportFileName(int64_t testId, bool passed, int32_t* nextIndex);

// Writes text (LF turned into CR LF) as folder/name, atomically. An existing
// report of that name is kept: it is first renamed stem + "_old" + k + ".csv"
// with the first free k from 1, so the canonical name always holds the latest
// result. false with the reason in *error when either step fails.
bool WriteTestReport(const std::filesystem::path& folder, const std::string& name,
                     const std::string& text, std::string* error);

// The log lines around a report.
inline constexpr const char* kReportWrittenText = "测试报告：";
inline constexpr const char* kReportFailedText = "测试报告写入失败：";
