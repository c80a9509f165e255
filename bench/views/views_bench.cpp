// Benchmarks of the data views' drawing (needs Qt; runs offscreen).
//
//   render_ms_p95_3520   one raw frame of 3520 nodes (80 x 44, 16 bit) taken
//                        by the raw view's renderer: decode, statistics over
//                        the stacked frames, the grid copy, every value and
//                        the statistics box, at 1280 x 800 and zoom 1; the
//                        95th percentile over the iterations
//
//   frames_per_s_sim0_2520          the raw view's frame chain (30 x 42, 16 bit =
//                                   2520 bytes) on the zero-latency simulated
//                                   bridge, frames handed to a sink that drops them
//   frame_period_ms_wire_2520       the same chain on the wire-timed simulator
//                                   (1 ms per report each way): mean frame period
//   frame_period_wire_limit_ms_2520 the time the same reports need on the wire
//
// Run as `kestrana_views_bench --metrics` for "name value unit" lines, or
// with the usual Google Benchmark flags.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "platform/sync/Event.h"
#include "sim/DataPlane.h"
#include "sim/SimHidBackend.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"
#include "views/widgets/FrameChain.h"
#include "views/widgets/FramePayload.h"
#include "views/widgets/RawGridRenderer.h"

namespace {

using bench::Percentile;

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

void BM_RenderRaw3520(benchmark::State& state) {
  const DataFormat format = RawFormat();
  const std::vector<FramePayload> frames = NoisyFrames(format);
  RawFrameStack stack;
  auto nodes = std::make_unique<NodeArrays>();
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
  state.counters["p95_ms"] = bench::Percentile(ms, 0.95);
  state.counters["median_ms"] = bench::Percentile(ms, 0.5);
}
BENCHMARK(BM_RenderRaw3520)->Unit(benchmark::kMillisecond)->Iterations(200);

// Runs the raw frame chain for `frames` frames on a simulated RU9 bridge with
// the given wire time per report; returns seconds, and the reports per frame.
struct ChainRun {
  double seconds = 0;
  double reportsPerFrame = 0;
  bool ok = false;
};

ChainRun RunRawChain(int64_t reportWireUs, int frames) {
  ChainRun run;
  auto bridge = sim::MakeDefaultBridge(sim::ChipFamily::RU9, sim::SimClock::MakeReal());
  bridge->SetReportWireUs(reportWireUs);
  bridge->Chip().SetAccessLogEnabled(false);
  sim::AddDataPlane(bridge->Chip(), sim::DataPlaneConfig::For(sim::ChipFamily::RU9));
  auto backend = std::make_shared<sim::SimHidBackend>();
  backend->AddBridge(bridge);
  CHidDevice device(CHidDevice::kModeCommand, backend);
  g_pBridgeDevice = &device;
  g_wSyncFlagAddr = bridge->Chip().SyncFlagAddress();
  if (OpenDevice() != 1 || StartDataStream(1) != 1) {
    g_pBridgeDevice = nullptr;
    return run;
  }
  DataFormatStore store;
  std::atomic<int> seen{0};
  platform::Event done(true, false);
  auto chain = FrameChain::Create(DataKind::Raw, store, nullptr, [&](FramePayload&& frame) {
    benchmark::DoNotOptimize(frame.bytes.data());
    if (seen.fetch_add(1) + 1 == frames) done.Set();
  });
  bridge->Trace().Clear();
  const auto start = std::chrono::steady_clock::now();
  chain->SetStopped(false);
  chain->RequestFrame();
  run.ok = done.Wait(60000);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.reportsPerFrame = static_cast<double>(bridge->Trace().Size()) / frames;
  chain->SetStopped(true);
  StopDataStream();
  g_pBridgeDevice = nullptr;
  return run;
}

void BM_RawChainSim0(benchmark::State& state) {
  for (auto _ : state) {
    const ChainRun run = RunRawChain(0, 2000);
    if (!run.ok) {
      state.SkipWithError("frame chain stalled");
      break;
    }
    state.SetIterationTime(run.seconds);
    state.counters["frames_per_s"] = 2000 / run.seconds;
  }
}
BENCHMARK(BM_RawChainSim0)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_RawChainWire(benchmark::State& state) {
  constexpr int kWireFrames = 40;
  for (auto _ : state) {
    const ChainRun run = RunRawChain(1000, kWireFrames);
    if (!run.ok) {
      state.SkipWithError("frame chain stalled");
      break;
    }
    state.SetIterationTime(run.seconds);
    state.counters["period_ms"] = run.seconds * 1000 / kWireFrames;
    // Every report takes 1 ms on the wire.
    state.counters["wire_limit_ms"] = run.reportsPerFrame;
  }
}
BENCHMARK(BM_RawChainWire)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

class ViewsMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    const std::string name = run.run_name.function_name;
    auto counter = [&](const char* key) { return Counter(run, key); };
    if (name == "BM_RenderRaw3520") {
      std::printf("render_ms_p95_3520 %.2f ms\n", counter("p95_ms"));
    } else if (name == "BM_RawChainSim0") {
      std::printf("frames_per_s_sim0_2520 %.0f frames/s\n", counter("frames_per_s"));
    } else if (name == "BM_RawChainWire") {
      std::printf("frame_period_ms_wire_2520 %.2f ms\n", counter("period_ms"));
      std::printf("frame_period_wire_limit_ms_2520 %.2f ms\n", counter("wire_limit_ms"));
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ViewsMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
