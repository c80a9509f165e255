// Benchmark of the bridge programmer's host side.
//
//   mcu_program_ms_sim0        loading a 14 KiB Intel HEX image, finding the
//                              bootloader, programming and verifying it with
//                              the real CH55x backend on the zero-latency
//                              simulated bootloader: the host's own overhead
//                              (median of the iterations)
//   mcu_program_requests_14k   USB requests of that burn (each answered by
//                              one packet): what a real bootloader's turn-
//                              around multiplies
//
// Run as `kestrana_mcu_isp_bench --metrics` for "name value unit" lines, or
// with the usual Google Benchmark flags.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchMain.h"
#include "bench/ScratchDir.h"
#include "platform/files/AtomicFile.h"
#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"
#include "sim/ch55x/IntelHexWriter.h"
#include "sim/ch55x/SimCh55xBootloader.h"
#include "sim/ch55x/SimCh55xUsbBackend.h"

namespace {

constexpr size_t kImageBytes = 14 * 1024;

// Writes the image as a hex file in the folder; empty when it cannot.
std::filesystem::path WriteImageFile(const std::filesystem::path& folder) {
  if (folder.empty()) return {};
  std::vector<uint8_t> image(kImageBytes);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
  const std::filesystem::path path = folder / "bridge_v0111.hex";
  if (!platform::WriteFileAtomic(path, sim::ImageToIntelHex(image))) return {};
  return path;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void BM_McuProgramSim0(benchmark::State& state) {
  const bench::ScratchDir scratch;
  const std::filesystem::path path = WriteImageFile(scratch.Path());
  if (path.empty()) {
    state.SkipWithError("cannot write the image file");
    return;
  }
  std::vector<double> ms;
  size_t requests = 0;
  for (auto _ : state) {
    sim::SimCh55xUsbBackend usb;
    auto loader = usb.AddLoader(std::make_shared<sim::SimCh55xBootloader>());
    loader->PowerUp();
    Ch55xUsbBackend backend(usb);
    CMcuIsp isp(backend);

    const auto start = std::chrono::steady_clock::now();
    const bool ok = isp.LoadHexFile(path) && isp.EnumDevices() && isp.Program();
    const auto end = std::chrono::steady_clock::now();
    if (!ok) {
      state.SkipWithError("the burn failed");
      break;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    requests = 0;
    for (const auto& t : loader->Transfers()) requests += t.out ? 1 : 0;
  }
  state.counters["median_ms"] = Median(ms);
  state.counters["requests"] = static_cast<double>(requests);
}
BENCHMARK(BM_McuProgramSim0)->Unit(benchmark::kMillisecond)->Iterations(50);

class McuIspMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    auto counter = [&](const char* key) {
      auto it = run.counters.find(key);
      return it == run.counters.end() ? 0.0 : it->second.value;
    };
    if (run.run_name.function_name == "BM_McuProgramSim0") {
      std::printf("mcu_program_ms_sim0 %.2f ms\n", counter("median_ms"));
      std::printf("mcu_program_requests_14k %.0f requests\n", counter("requests"));
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  McuIspMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
