// Benchmark of one whole module test run.
//
//   module_test_ms_wire    one run of a good module with every test item on
//                          (test-only mode: no upgrade), RU9 family, 30 x 42
//                          panel, on the wire-timed simulator (1 ms per
//                          64-byte report each way), real waits
//   module_test_limit_ms   the time the same run cannot beat: its reports at
//                          one per millisecond plus the waits the run
//                          prescribes (settling, the open/short program's
//                          start, ...)
//
// Run as `kestrana_moduletest_bench --metrics` for "name value unit" lines.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"
#include "bench/ScratchDir.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "moduletest/engine/ModuleTestEngine.h"
#include "moduletest/engine/ShortFirmware.h"
#include "platform/files/AppPaths.h"
#include "sim/SimHidBackend.h"
#include "sim/module/SimModule.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"

namespace {

// Counts what the run spends in its own prescribed waits.
class CountingClock : public IRunClock {
 public:
  int64_t NowMs() override { return SteadyRunClock().NowMs(); }
  void SleepMs(uint32_t ms) override {
    waitedMs += ms;
    SteadyRunClock().SleepMs(ms);
  }
  int64_t waitedMs = 0;
};

class QuietSink : public ITestSink {
 public:
  void ClearLog() override {}
  void Log(const std::string& text, LogLevel level) override {
    if (level == LOG_ERROR || level == LOG_FAIL) failures.push_back(text);
  }
  void BarPosition(TestBar, int) override {}
  void BarColours(TestBar, BarColour, BarColour) override {}
  void BarStep(TestBar) override {}
  void ItemState(TestItemIndex, TestItemState) override {}
  void Verdict(bool) override {}
  void RefreshChipInfo() override {}
  void Done(const RunResult&, bool) override {}
  std::vector<std::string> failures;
};

// Writes what a run reads into the scratch runtime tree; the error, or empty.
std::string StageRuntime(const std::filesystem::path& root) {
  const std::pair<const char*, std::string> files[] = {
      {"System/AppConfigInit.ini", "[CHIP LIST]\r\nchip list=RO9110V\r\n"},
      {"System/ChipIni/RO9110V.ini",
       "[Cfg]\r\nCFGAddr=0x8047\r\nCfgLength=186\r\n[BasicData]\r\nRawDataAddr=0x8B98\r\n"},
      {"System/ShortFw.bin", std::string(kShortFirmwareBytes, '\x5A')},
  };
  std::error_code ec;
  std::filesystem::create_directories(root / "System/ChipIni", ec);
  for (const auto& [name, bytes] : files) {
    std::ofstream out(root / name, std::ios::binary);
    out << bytes;
    if (ec || !out.flush()) return "cannot write " + (root / name).string();
  }
  return {};
}

struct RunFigures {
  std::string error;  // empty when the good module passed
  double ms = 0;
  double limitMs = 0;
};

RunFigures RunOnce(const std::filesystem::path& root) {
  RunFigures figures;
  figures.error = StageRuntime(root);
  if (!figures.error.empty()) return figures;
  platform::AppPaths::SetBaseDir(root);
  SetChipIniPath(platform::AppPaths::BaseDir() / "System/ChipIni/RO9110V.ini");
  SetChipName("RO9110V");
  BridgeModelTable models;
  models.de7Pids = {sim::kSimDe7BridgePid};
  SetBridgeModels(models);

  sim::ModuleProfile profile;
  profile.rows = 30;
  profile.cols = 42;
  sim::SimChipConfig chip = sim::SimChipConfig::For(profile.family);
  chip.sensorId = profile.faults.sensorId;
  auto bridge = std::make_shared<sim::SimBridge>(sim::DefaultBridgeConfig(profile.family), chip,
                                                 sim::SimClock::MakeReal());
  sim::AddSimModule(bridge, profile);
  bridge->SetReportWireUs(1000);
  bridge->Chip().SetAccessLogEnabled(false);
  auto backend = std::make_shared<sim::SimHidBackend>();
  backend->AddBridge(bridge);
  CHidDevice device(CHidDevice::kModeCommand, backend);
  g_pBridgeDevice = &device;
  g_wSyncFlagAddr = bridge->Chip().SyncFlagAddress();
  if (OpenDevice() != 1) {
    g_pBridgeDevice = nullptr;
    figures.error = "the simulated device did not open";
    return figures;
  }
  DataFormatSet formats = DefaultDataFormats();
  formats.Of(DataKind::Raw).address = sim::kRawFrameAddress;
  GetDataFormatStore().Replace(formats);
  {
    std::lock_guard lock(NodeArraysMutex());
    GetNodeArrays().NodeMaxLimit.fill(3500);
    GetNodeArrays().NodeMinLimit.fill(1000);
    GetNodeArrays().NodeAdjDevLimit.fill(40);
  }

  RunSettings settings;
  settings.maxMinTest = settings.adjacentTest = settings.openShortTest = true;
  settings.intTest = settings.sensorIdTest = true;
  QuietSink sink;
  CountingClock clock;
  ModuleTestEngine engine(sink, clock);
  bridge->Trace().Clear();
  const auto start = std::chrono::steady_clock::now();
  const RunResult result = engine.RunModuleTest(settings);
  figures.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  figures.limitMs =
      static_cast<double>(bridge->Trace().Size()) + static_cast<double>(clock.waitedMs);
  if (!result.passed) figures.error = "the good module did not pass";
  for (const std::string& line : sink.failures) std::fprintf(stderr, "run: %s\n", line.c_str());
  g_pBridgeDevice = nullptr;
  return figures;
}

void BM_ModuleTestWire(benchmark::State& state) {
  for (auto _ : state) {
    RunFigures run;
    {
      const bench::ScratchDir scratch;
      if (scratch.Made()) {
        run = RunOnce(scratch.Path());
      } else {
        run.error = "cannot make a scratch folder";
      }
      platform::AppPaths::SetBaseDir(platform::AppPaths::ExecutableBaseDir());
    }
    if (!run.error.empty()) {
      state.SkipWithError(run.error.c_str());
      break;
    }
    state.SetIterationTime(run.ms / 1000);
    state.counters["run_ms"] = run.ms;
    state.counters["limit_ms"] = run.limitMs;
  }
}
BENCHMARK(BM_ModuleTestWire)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

class ModuleTestMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    auto counter = [&](const char* key) {
      auto it = run.counters.find(key);
      return it == run.counters.end() ? 0.0 : it->second.value;
    };
    std::printf("module_test_ms_wire %.0f ms\n", counter("run_ms"));
    std::printf("module_test_limit_ms %.0f ms\n", counter("limit_ms"));
  }
};

}  // namespace

int main(int argc, char** argv) {
  ModuleTestMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
