// The update sequence on the wire-timed simulator (1 ms per 64-byte report
// each way, a real clock), through the real device link: the bridge reflash
// (command 14, the simulated bootloader behind the real programmer, the
// bridge coming back and reopened), a full DE9vur touch firmware burn and
// a configuration burn, with the verification of all three.
//
//   update_sequence_ms_wire    the run, start to end
//   update_sequence_limit_ms   the reports the run put on the wire (1 ms
//                              each, strictly one after the other) plus the
//                              pauses the sequence and the engine prescribe
//                              (50 + 50 ms, the engine's 264 ms, and the
//                              configuration check's chip reset, 1600 ms)
//
// Run as `kestrana_update_bench --metrics` for "name value unit" lines.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/chip/ChipIdentify.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "platform/files/AppPaths.h"
#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"
#include "programming/update/ConfigBurn.h"
#include "programming/update/UpdateSequence.h"
#include "device/config/Config.h"
#include "sim/SimHidBackend.h"
#include "sim/ch55x/SimCh55xBootloader.h"
#include "sim/ch55x/SimCh55xUsbBackend.h"
#include "sim/flash/FirmwareImages.h"
#include "sim/flash/SimChipDe9.h"

namespace fs = std::filesystem;

namespace {

class NullLog : public ILogSink {
 public:
  void AddLog(const std::string&, LogLevel) override {}
};

struct SequenceRun {
  bool ok = false;
  double ms = 0;
  double limitMs = 0;
};

// Polls within ms; true once done() holds.
bool PollFor(uint32_t ms, const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

SequenceRun RunSequence(const fs::path& dir) {
  SequenceRun run;
  SetBridgeModels({});
  auto bridge = sim::MakeDefaultBridge(sim::ChipFamily::RU9, sim::SimClock::MakeReal());
  bridge->SetReportWireUs(1000);
  bridge->Chip().SetAccessLogEnabled(false);
  sim::AddDe9Personality(bridge->Chip());
  auto backend = std::make_shared<sim::SimHidBackend>();
  backend->AddBridge(bridge);

  sim::SimCh55xUsbBackend usb;
  sim::Ch55xConfig loaderConfig;
  loaderConfig.applicationRelease = static_cast<uint16_t>(bridge->Config().bcdDevice + 1);
  auto loader = usb.AddLoader(std::make_shared<sim::SimCh55xBootloader>(loaderConfig));
  loader->SetTraceEnabled(false);
  sim::ConnectBootloader(bridge, loader);
  Ch55xUsbBackend ispBackend(usb);
  CMcuIsp isp(ispBackend);

  CHidDevice device(CHidDevice::kModeCommand, backend);
  g_pBridgeDevice = &device;
  if (OpenDevice() != 1) {
    g_pBridgeDevice = nullptr;
    return run;
  }
  const auto firmware = sim::MakeDe9Firmware(sim::kDe9LengthFull, {"9110V", 0x1060, "9111", 0x1060});
  // The configuration file: the chip's own block with a new version byte.
  SetChipIniPath(platform::AppPaths::Resolve("..\\System\\ChipIni\\RO9110V.ini"));
  try {
    CConfig block;
    block.ReadConfig();
    block.Block()[0] = 0x42;
    block.WriteCfgFile(dir / "cfg.cfg");
  } catch (const std::exception&) {
    g_pBridgeDevice = nullptr;
    return run;
  }
  UpdatePlan plan;
  plan.bridge = plan.touch = plan.config = true;
  plan.configPath = dir / "cfg.cfg";
  plan.bridgePath = dir / "bridge.bin";
  plan.touchPath = dir / "fw.bin";
  {
    std::vector<char> image(4000, 0x5A);
    std::ofstream(plan.bridgePath, std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
    std::ofstream(dir / "bridge.ect", std::ios::binary).write(image.data(), 112);
    std::ofstream(plan.touchPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(firmware.data()), static_cast<std::streamsize>(firmware.size()));
  }

  UpdateHooks h;
  h.programmingPresent = [] { return false; };
  h.enterUpgradeMode = [] { return EnterBridgeUpgradeMode() != 0; };
  h.waitProgrammingArrived = [&](uint32_t ms) { return PollFor(ms, [&] { return loader->IsPresent(); }); };
  h.waitBridgeBack = [&](uint32_t ms) {
    return PollFor(ms, [&] { return bridge->IsPlugged() && OpenDevice() == 1; });
  };
  h.bridgeVersion = [] { return GetBridgeVersion(); };
  h.bridgeModelKey = [&] { return device.ModelKey(); };
  h.bridgeRelease = [&] { return device.GetAttributes().version; };
  h.makeEngine = [](ILogSink* log) { return CreateFwUpdate(FwFamily::DE9vur, log); };
  h.identifyChip = [] { return IdentifyChip() == 1; };
  h.chipNameVersion = [] { return GetChipNameVersion(); };
  h.makeConfig = [] { return MakeConfigBurn(); };
  NullLog log;
  CUpdateSequence sequence(isp, std::move(h), log);

  bridge->Trace().Clear();
  const auto start = std::chrono::steady_clock::now();
  run.ok = sequence.Run(plan);
  run.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  size_t reports = 0;
  for (const sim::TraceEntry& entry : bridge->Trace().Entries()) {
    if (entry.dir == sim::TraceDir::Out || entry.dir == sim::TraceDir::In) ++reports;
  }
  // The configuration check resets the chip once: 1000 ms before, 600 ms after.
  run.limitMs = static_cast<double>(reports) + 2 * kUpdatePauseMs + 264 + 1600;
  g_pBridgeDevice = nullptr;
  return run;
}

void BM_UpdateSequenceWire(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / ("kestrana-update-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::copy(KESTRANA_RUNTIME_DIR, dir / "root", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  platform::AppPaths::SetBaseDir(dir / "root");
  for (auto _ : state) {
    const SequenceRun run = RunSequence(dir);
    if (!run.ok) {
      state.SkipWithError("update sequence failed");
      break;
    }
    state.SetIterationTime(run.ms / 1000);
    state.counters["ms"] = run.ms;
    state.counters["limit_ms"] = run.limitMs;
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_UpdateSequenceWire)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

class UpdateMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    std::printf("update_sequence_ms_wire %.0f ms\n", Counter(run, "ms"));
    std::printf("update_sequence_limit_ms %.0f ms\n", Counter(run, "limit_ms"));
  }
};

}  // namespace

int main(int argc, char** argv) {
  UpdateMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
