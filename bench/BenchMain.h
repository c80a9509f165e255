#pragma once
// The shared entry of the benchmark programs: `--metrics` prints one
// "name value unit" line per metric through a MetricsReporter; without it
// Google Benchmark reports as usual.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

// A counter of a run, 0 when the run has none.
inline double Counter(const benchmark::BenchmarkReporter::Run& run, const char* key) {
  auto it = run.counters.find(key);
  return it == run.counters.end() ? 0.0 : it->second.value;
}

// The p-quantile (0..1) of the values, nearest rank.
inline double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

class MetricsReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (!Wanted(run)) continue;
      if (run.error_occurred) {
        std::printf("%s error %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
        failed = true;
        continue;
      }
      Print(run);
    }
  }
  bool failed = false;

 protected:
  // Which runs carry the figures (e.g. only the median of repetitions).
  virtual bool Wanted(const Run&) const { return true; }
  virtual void Print(const Run& run) = 0;
};

inline int RunBenchmarkMain(int argc, char** argv, MetricsReporter& reporter) {
  bool metrics = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::string(argv[i]) == "--metrics") {
      metrics = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (metrics) {
    benchmark::RunSpecifiedBenchmarks(&reporter);
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  return metrics && reporter.failed ? 1 : 0;
}

}  // namespace bench
