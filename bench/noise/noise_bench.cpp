// Benchmarks of the noise view (needs Qt; runs offscreen).
//
//   noise_draw_ms_p95         one noise frame drawn: 64 points with "Avg" on,
//                             curve layer, markers and the composite, at 1280
//                             x 800; the 95th percentile over the iterations
//   autoadjust_ms_wire        the auto-adjust over the default 51 frequencies
//                             (20..70) on the wire-timed simulator (1 ms per
//                             report each way), restore included
//   autoadjust_wire_limit_ms  the time the same reports need on the wire (one
//                             report per millisecond); the run adds no waits
//                             of its own beyond them (the drawing takes each
//                             frame at once)
//
// Run as `kestrana_noise_bench --metrics` for "name value unit" lines, or
// with the usual Google Benchmark flags.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"
#include "bench/ScratchDir.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/config/ConfigFamily.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "platform/files/AppPaths.h"
#include "sim/SimHidBackend.h"
#include "sim/noise/NoiseArea.h"
#include "views/DataFormat.h"
#include "views/noise/AutoAdjust.h"
#include "views/noise/NoiseTuning.h"
#include "views/noise/SegmentAnalysis.h"
#include "views/widgets/noise/NoiseRenderer.h"

namespace {

using bench::Percentile;

namespace fs = std::filesystem;

void BM_NoiseDraw64(benchmark::State& state) {
  NoiseRenderer renderer;
  renderer.Resize(1280, 800);
  renderer.Configure({NoiseRange{20, 83}, 3000, true});
  std::mt19937 random(1);
  std::uniform_int_distribution<int> level(10, 40);
  std::vector<std::vector<uint8_t>> frames(16, std::vector<uint8_t>(kNoiseFrameBytes));
  for (auto& frame : frames) {
    frame[5] = 35;
    for (size_t i = kNoiseLevelOffset; i < frame.size(); ++i) {
      frame[i] = static_cast<uint8_t>(level(random));
    }
  }
  std::vector<double> ms;
  size_t next = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(renderer.DrawNoise(frames[next++ % frames.size()], true));
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  state.counters["p95_ms"] = Percentile(ms, 0.95);
}
BENCHMARK(BM_NoiseDraw64)->Unit(benchmark::kMillisecond)->Iterations(300);

// The shipped runtime files the simulated RO9110V needs, by their path below
// the runtime tree.
const char* const kRuntimeFiles[] = {"System/ChipIni/RO9110V.ini", "System/CfgItem/RO9110V_demo.sc"};

struct AdjustRun {
  double ms = 0;
  double wireLimitMs = 0;
  std::string error;  // empty when every frequency was measured
};

// Copies the runtime files into the scratch tree; the error, or empty.
std::string StageRuntime(const fs::path& root) {
  for (const char* file : kRuntimeFiles) {
    const fs::path from = fs::path(KESTRANA_RUNTIME_DIR) / file;
    const fs::path to = root / file;
    std::error_code ec;
    fs::create_directories(to.parent_path(), ec);
    if (!ec) fs::copy_file(from, to, ec);
    if (ec) return "cannot copy " + from.string() + ": " + ec.message();
  }
  return {};
}

AdjustRun RunAdjustOnTheWire() {
  AdjustRun run;
  const bench::ScratchDir scratch;
  if (!scratch.Made()) {
    run.error = "cannot make a scratch folder";
    return run;
  }
  const fs::path& root = scratch.Path();
  run.error = StageRuntime(root);
  if (!run.error.empty()) return run;
  platform::AppPaths::SetBaseDir(root);
  SetChipIniPath(root / "System" / "ChipIni" / "RO9110V.ini");
  SetScFilePath(root / "System" / "CfgItem" / "RO9110V_demo.sc");
  SetChipName("RO9110V");
  ForgetConfigFamily();

  auto bridge = sim::MakeDefaultBridge(sim::ChipFamily::RU9, sim::SimClock::MakeReal());
  bridge->SetReportWireUs(1000);
  bridge->Chip().SetAccessLogEnabled(false);
  sim::AddNoiseArea(bridge->Chip(), sim::NoiseAreaConfig::For(sim::ChipFamily::RU9));
  auto backend = std::make_shared<sim::SimHidBackend>();
  backend->AddBridge(bridge);
  {
    CHidDevice device(CHidDevice::kModeCommand, backend);
    g_pBridgeDevice = &device;
    g_wSyncFlagAddr = bridge->Chip().SyncFlagAddress();
    if (OpenDevice() != 1) {
      run.error = "the simulated device did not open";
    } else {
      NoiseTuning tuning("RO9110V");
      tuning.Backup();
      NoiseSettings settings;
      tuning.ReadSettings(&settings);
      AutoAdjustHooks hooks;
      hooks.handOff = [](AdjustFrame&& frame) {
        RawLevels levels;
        benchmark::DoNotOptimize(MeasureRawFrame(frame.bytes, frame.nodes, frame.format, &levels));
        return true;
      };
      bridge->Trace().Clear();
      const auto start = std::chrono::steady_clock::now();
      const AutoAdjustResult result =
          RunAutoAdjust(tuning, settings.range, settings.dual, DefaultFormat(DataKind::Raw), hooks);
      run.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                   .count();
      run.wireLimitMs = static_cast<double>(bridge->Trace().Size());
      if (result.measured != settings.range.Count()) {
        run.error = "auto-adjust did not measure every frequency";
      } else if (!result.restored) {
        run.error = "auto-adjust did not restore the settings";
      }
    }
    g_pBridgeDevice = nullptr;
  }
  platform::AppPaths::SetBaseDir(platform::AppPaths::ExecutableBaseDir());
  return run;
}

void BM_AutoAdjustWire(benchmark::State& state) {
  for (auto _ : state) {
    const AdjustRun run = RunAdjustOnTheWire();
    if (!run.error.empty()) {
      state.SkipWithError(run.error.c_str());
      break;
    }
    state.SetIterationTime(run.ms / 1000);
    state.counters["ms"] = run.ms;
    state.counters["wire_limit_ms"] = run.wireLimitMs;
  }
}
BENCHMARK(BM_AutoAdjustWire)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

class NoiseMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    const std::string name = run.run_name.function_name;
    const auto counter = [&run](const char* key) { return Counter(run, key); };
    if (name == "BM_NoiseDraw64") {
      std::printf("noise_draw_ms_p95 %.2f ms\n", counter("p95_ms"));
    } else if (name == "BM_AutoAdjustWire") {
      std::printf("autoadjust_ms_wire %.0f ms\n", counter("ms"));
      std::printf("autoadjust_wire_limit_ms %.0f ms\n", counter("wire_limit_ms"));
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  NoiseMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
