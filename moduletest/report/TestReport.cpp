#include "moduletest/report/TestReport.h"

#include <cstdio>
#include <system_error>

#include "platform/files/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

void AppendF(std::string& text, const char* format, long long value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, value);
  text += buf;
}

// Per item with a line: its state decides "Failed" or "PASS".
struct ItemLine {
  int item;
  const char* name;
};
constexpr ItemLine kItemLines[] = {
    {kItemMaxMin, "UniformityTest"},          {kItemJitter, "JitterTest"},
    {kItemAdjacent, "AdjacentDeviationTest"}, {kItemOffset, "OffsetTest"},
    {kItemOpenShort, "OpenShortTest"},
};

constexpr const char* kThresholdLabels[kNumericFieldCount] = {
    "\n\tMax: ",
    "\n\tMin: ",
    "\n\tUniformityTest: ",
    "\n\tJitterTest: ",
    "\n\tAdjacentDeviationTest: ",
    "\n\tOffsetTest: ",
    "\n\tShort Test Ch2Ch Threhold: ",
    "\n\tShort Test Ch2GND2AVDD Threhold: ",
    "\n\tShort Test Wait times for satble : ",
};

template <typename Field>
void AppendFrameRow(std::string& text, const char* label, const TestMeasurements& m, Field field) {
  text += label;
  for (const FrameStat& f : m.frames) AppendF(text, ",%lld", field(f));
  text += "\n";
}

}  // namespace

void AppendNodeGridCsv(std::string& text, const std::vector<int32_t>& values, int32_t rows,
                       int32_t cols) {
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < cols; ++j) {
      const size_t index =
          static_cast<size_t>(i) + static_cast<size_t>(j) * static_cast<size_t>(rows);
      AppendF(text, "%lld,", index < values.size() ? values[index] : 0);
    }
    text += "\n";
  }
}

std::string BuildTestReport(const TestReportData& data) {
  std::string text = "Chip Config:";
  for (uint8_t byte : data.chipConfig) AppendF(text, "0x%2llx,", byte);
  text += "\n\nThreshold:";
  for (int f = 0; f < kNumericFieldCount; ++f) text += kThresholdLabels[f] + data.thresholds[f];
  text += "\n\n\n\nTest Result:\n";
  const uint32_t update = data.items[kItemUpdate];
  if (update != TEST_OFF && !data.testOnly) {
    text += update == TEST_FAIL ? "\tVersionCheck: FAILED \n" : "\tVersionCheck: PASS \n";
  }
  for (const ItemLine& line : kItemLines) {
    const uint32_t state = data.items[line.item];
    if (state == TEST_OFF) continue;
    text += std::string("\t") + line.name + (state == TEST_FAIL ? ": Failed \n" : ": PASS \n");
  }
  const TestMeasurements& m = data.measurements;
  text += "\n\n\nFrame Index:";
  for (size_t i = 0; i < kReportFrames; ++i) AppendF(text, ",%lld", static_cast<long long>(i));
  text += "\n";
  AppendFrameRow(text, "Max:", m, [](const FrameStat& f) { return f.max; });
  AppendFrameRow(text, "Min:", m, [](const FrameStat& f) { return f.min; });
  AppendFrameRow(text, "Avg:", m, [](const FrameStat& f) { return f.avg; });
  text += "Uniformity:";
  for (const FrameStat& f : m.frames) {
    // 64-bit so that a large minimum cannot overflow the product.
    const long long uniformity =
        f.max == 0 ? 100 : 100 - static_cast<long long>(f.min) * 100 / f.max;
    AppendF(text, ",%lld", uniformity);
  }
  text += "\n\n\n";
  const std::pair<const char*, const std::vector<int32_t>*> grids[] = {
      {"MaxArray:\n", &m.nodeMax},
      {"MinArray:\n", &m.nodeMin},
      {"Jitter:\n", &m.nodeJitter},
      {"AdjacentDeviationTest:\n", &m.nodeAdjDev},
  };
  for (const auto& [label, values] : grids) {
    text += label;
    AppendNodeGridCsv(text, *values, m.rows, m.cols);
    text += "\n";
  }
  for (size_t i = 0; i < kReportFrames; ++i) {
    AppendF(text, "Rawdata[%lld]:\n", static_cast<long long>(i));
    AppendNodeGridCsv(text, m.rawFrames[i], m.rows, m.cols);
    text += "\n";
  }
  return text;
}

std::string ReportFileName(int64_t testId, bool passed, int32_t* nextIndex) {
  const char* verdict = passed ? "OK" : "NG";
  if (testId != 0) return std::to_string(testId) + "_" + verdict + ".csv";
  const int32_t index = *nextIndex;
  *nextIndex = index + 1;
  return std::string("Result_") + verdict + "_" + std::to_string(index) + ".csv";
}

bool WriteTestReport(const fs::path& folder, const std::string& name, const std::string& text,
                     std::string* error) {
  const fs::path target = folder / name;
  std::error_code ec;
  if (fs::exists(fs::symlink_status(target, ec))) {
    const std::string stem = fs::path(name).stem().string();
    for (int k = 1;; ++k) {
      const fs::path kept = folder / (stem + "_old" + std::to_string(k) + ".csv");
      if (fs::exists(fs::symlink_status(kept, ec))) continue;
      fs::rename(target, kept, ec);
      if (ec) {
        if (error != nullptr) *error = target.string() + ": " + ec.message();
        return false;
      }
      break;
    }
  }
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return platform::WriteFileAtomic(target, bytes, error);
}
