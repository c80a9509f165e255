// Benchmarks of the touch-chip firmware updates on the wire-timed simulator
// (1 ms per 64-byte report each way, a real clock), through the real device
// link: register operations, request queue, dispatcher, report codec.
//
//   burn_de9_ms_wire     a full DE9vur update of a 0xE00E-byte file
//   burn_de9_limit_ms    the reports that update put on the wire (1 ms each,
//                        both directions, strictly one after the other)
//                        plus the pauses the sequence prescribes (264 ms)
//   burn_ze73_ms_wire    a full ZE73da update of a 0x2E900-byte file
//   burn_ze73_limit_ms   likewise, with its pauses (850 ms)
//
// Run as `kestrana_firmware_bench --metrics` for "name value unit" lines.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "programming/touchfw/FwUpdate.h"
#include "sim/SimHidBackend.h"
#include "sim/flash/FirmwareImages.h"
#include "sim/flash/SimChipDe7.h"
#include "sim/flash/SimChipDe9.h"

namespace {

struct BurnRun {
  bool ok = false;
  double ms = 0;
  double limitMs = 0;
};

// Loads the file through a temporary file, as the program does.
bool LoadImage(CFwUpdate& engine, const std::vector<uint8_t>& image) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("kestrana-fw-bench-" + std::to_string(::getpid()) + ".bin");
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
  }
  const bool ok = engine.LoadFirmwareFile(path);
  std::filesystem::remove(path);
  return ok;
}

BurnRun RunBurn(FwFamily family) {
  BurnRun run;
  const bool de7 = family == FwFamily::ZE73da;
  const sim::ChipFamily chipFamily = de7 ? sim::ChipFamily::DE7 : sim::ChipFamily::RU9;
  BridgeModelTable models;
  models.de7Pids = {sim::kSimDe7BridgePid};
  SetBridgeModels(models);
  auto bridge = sim::MakeDefaultBridge(chipFamily, sim::SimClock::MakeReal());
  bridge->SetReportWireUs(1000);
  bridge->Chip().SetAccessLogEnabled(false);
  if (de7) {
    sim::AddDe7Personality(bridge->Chip());
  } else {
    sim::AddDe9Personality(bridge->Chip());
  }
  auto backend = std::make_shared<sim::SimHidBackend>();
  backend->AddBridge(bridge);
  CHidDevice device(CHidDevice::kModeCommand, backend);
  g_pBridgeDevice = &device;
  if (OpenDevice() != 1) {
    g_pBridgeDevice = nullptr;
    return run;
  }
  auto engine = CreateFwUpdate(family, nullptr);
  const auto image =
      de7 ? sim::MakeZe73Firmware({"7388", 0x0102, "7388", 0x0102})
          : sim::MakeDe9Firmware(sim::kDe9LengthFull, {"9110V", 0x1060, "9111", 0x1060});
  if (!LoadImage(*engine, image)) {
    g_pBridgeDevice = nullptr;
    return run;
  }
  bridge->Trace().Clear();
  const auto start = std::chrono::steady_clock::now();
  run.ok = engine->Update();
  run.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  size_t reports = 0;
  for (const sim::TraceEntry& entry : bridge->Trace().Entries()) {
    if (entry.dir == sim::TraceDir::Out || entry.dir == sim::TraceDir::In) ++reports;
  }
  // The pauses of the two sequences: DE9vur 4 x 10 ms (SS51) + 2 x 10 ms
  // (link) + 4 x 1 ms (erase, DSP, bootloader, boot_isp) + 200 ms after the
  // reset; ZE73da 50 ms after the ISP start + 800 ms before the restart.
  const double pausesMs = de7 ? 850 : 264;
  run.limitMs = static_cast<double>(reports) + pausesMs;
  g_pBridgeDevice = nullptr;
  return run;
}

void Burn(benchmark::State& state, FwFamily family) {
  for (auto _ : state) {
    const BurnRun run = RunBurn(family);
    if (!run.ok) {
      state.SkipWithError("burn failed");
      break;
    }
    state.SetIterationTime(run.ms / 1000);
    state.counters["ms"] = run.ms;
    state.counters["limit_ms"] = run.limitMs;
  }
}

void BM_BurnDe9Wire(benchmark::State& state) { Burn(state, FwFamily::DE9vur); }
void BM_BurnZe73Wire(benchmark::State& state) { Burn(state, FwFamily::ZE73da); }
BENCHMARK(BM_BurnDe9Wire)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BurnZe73Wire)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

class FirmwareMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    const std::string name = run.run_name.function_name;
    auto counter = [&](const char* key) {
      auto it = run.counters.find(key);
      return it == run.counters.end() ? 0.0 : it->second.value;
    };
    const char* prefix = name == "BM_BurnDe9Wire" ? "burn_de9" : "burn_ze73";
    std::printf("%s_ms_wire %.0f ms\n", prefix, counter("ms"));
    std::printf("%s_limit_ms %.0f ms\n", prefix, counter("limit_ms"));
  }
};

}  // namespace

int main(int argc, char** argv) {
  FirmwareMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
