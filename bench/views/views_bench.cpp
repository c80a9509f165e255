// Benchmarks of the data views' drawing (needs Qt; runs offscreen).
//
//   render_ms_p95_3520   one raw frame of 3520 nodes (80 x 44, 16 bit) taken
//                        by the raw view's renderer: decode, statistics over
//                        the stacked frames, the grid copy, every value and
//                        the statistics box, at 1280 x 800 and zoom 1; the
//                        95th percentile over the iterations
//
// Run as `kestrana_views_bench --metrics` for "name value unit" lines, or
// with the usual Google Benchmark flags.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "views/RawStatistics.h"
#include "views/widgets/FramePayload.h"
#include "views/widgets/RawGridRenderer.h"

namespace {

constexpr int kRows = 80;
constexpr int kCols = 44;
constexpr size_t kNodes = kRows * kCols;
constexpr size_t kFrames = 16;

DataFormat RawFormat() {
  DataFormat f = DefaultFormat(DataKind::Raw);
  f.rows = kRows;
  f.cols = kCols;
  return f;
}

// A flat baseline with a little noise, as a quiet panel gives.
std::vector<FramePayload> NoisyFrames(const DataFormat& format) {
  std::mt19937 random(1);
  std::uniform_int_distribution<int> noise(-3, 3);
  std::vector<FramePayload> frames(kFrames);
  for (FramePayload& frame : frames) {
    frame.format = format;
    frame.bytes.resize(kNodes * 2);
    for (size_t i = 0; i < kNodes; ++i) {
      const auto v = static_cast<uint16_t>(2000 + static_cast<int>(i % kRows) * 3 + noise(random));
      frame.bytes[2 * i] = static_cast<uint8_t>(v);
      frame.bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
  }
  return frames;
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

void BM_RenderRaw3520(benchmark::State& state) {
  const DataFormat format = RawFormat();
  const std::vector<FramePayload> frames = NoisyFrames(format);
  RawFrameStack stack;
  auto nodes = std::make_unique<NodeArrays>();
  nodes->NodeMaxLimit.fill(INT32_MAX);
  nodes->NodeMinLimit.fill(INT32_MIN);
  nodes->NodeAdjDevLimit.fill(INT32_MAX);
  std::mutex lock;
  RawGridRenderer renderer(format, stack, *nodes, lock);
  ViewParams params;
  params.client = QSize(1280, 800);
  // The grid is laid out once per size; a stream draws frame after frame.
  renderer.Render(params, nullptr);

  std::vector<double> ms;
  size_t next = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto picture = renderer.Render(params, &frames[next++ % kFrames]);
    benchmark::DoNotOptimize(picture);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  state.counters["p95_ms"] = Percentile(ms, 0.95);
  state.counters["median_ms"] = Percentile(ms, 0.5);
}
BENCHMARK(BM_RenderRaw3520)->Unit(benchmark::kMillisecond)->Iterations(200);

class ViewsMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    if (run.run_name.function_name != "BM_RenderRaw3520") return;
    auto p95 = run.counters.find("p95_ms");
    if (p95 != run.counters.end()) std::printf("render_ms_p95_3520 %.2f ms\n", p95->second.value);
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ViewsMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
