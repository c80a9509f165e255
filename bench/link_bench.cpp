// Benchmarks of the device link against the simulated bridge.
//
//   reg_read_us_sim0      one ReadChipReg8 round trip, zero-latency bridge
//                         (host overhead: queue, dispatcher, report codec)
//   frame_read_ms_wire    one flag-polled 2520-byte frame read on a bridge whose
//                         reports take 1 ms each way on the wire
//   write_8k_ms_wire      one 8192-byte WriteChipRegs on the same bridge
//   *_wire_limit_ms       the time the same reports need on the wire alone
//
// Run as `kestrana_bench --metrics` for "name value unit" lines (the median of
// the repetitions), or with the usual Google Benchmark flags.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"

#include <chrono>
#include <memory>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/HidRequest.h"
#include "device/link/RegisterOps.h"
#include "device/link/RequestQueue.h"
#include "sim/SimHidBackend.h"

namespace {

constexpr int64_t kWireReportUs = 1000;
constexpr uint16_t kRawAddress = 0x8B98;
constexpr uint32_t kFrameBytes = 2520;

// One simulated RU9 bridge on a real clock, opened through the device link.
class Rig {
 public:
  explicit Rig(int64_t reportWireUs) {
    bridge_ = sim::MakeDefaultBridge(sim::ChipFamily::RU9, sim::SimClock::MakeReal());
    bridge_->SetReportWireUs(reportWireUs);
    bridge_->Chip().SetFlagReadsUntilReady(1);
    bridge_->Chip().SetAccessLogEnabled(false);
    backend_ = std::make_shared<sim::SimHidBackend>();
    backend_->AddBridge(bridge_);
    device_ = std::make_unique<CHidDevice>(CHidDevice::kModeCommand, backend_);
    g_pBridgeDevice = device_.get();
    g_wSyncFlagAddr = bridge_->Chip().SyncFlagAddress();
    ok_ = OpenDevice() == 1;
  }
  ~Rig() {
    g_pBridgeDevice = nullptr;
    device_.reset();
  }
  bool ok() const { return ok_; }
  sim::SimBridge& bridge() { return *bridge_; }

  // Wire time of the reports recorded since the last clear.
  double WireMs() const {
    return static_cast<double>(bridge_->Trace().Size()) * kWireReportUs / 1000.0;
  }

 private:
  std::shared_ptr<sim::SimBridge> bridge_;
  std::shared_ptr<sim::SimHidBackend> backend_;
  std::unique_ptr<CHidDevice> device_;
  bool ok_ = false;
};

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_RegRead(benchmark::State& state) {
  Rig rig(0);
  rig.bridge().Trace().SetEnabled(false);
  if (!rig.ok()) {
    state.SkipWithError("bridge did not open");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadChipReg8(0x8140));
  }
}

void BM_FrameReadWire(benchmark::State& state) {
  Rig rig(kWireReportUs);
  if (!rig.ok() || StartDataStream(1) != 1) {
    state.SkipWithError("bridge did not open or stream");
    return;
  }
  std::vector<uint8_t> frame(kFrameBytes);
  double wireMs = 0;
  for (auto _ : state) {
    rig.bridge().Trace().Clear();
    auto request = CHidRequest::Make(HidOpRead, kRawAddress, frame.data(), kFrameBytes,
                                     BridgeCmdFrameRead, 100);
    request->flagAddress = g_wSyncFlagAddr;
    const auto start = Clock::now();
    const bool read = PushAndWait(request);
    state.SetIterationTime(SecondsSince(start));
    if (!read) {
      state.SkipWithError("frame read failed");
      break;
    }
    wireMs = rig.WireMs();
    if (WriteChipReg8(g_pBridgeDevice, g_wSyncFlagAddr, 0) != 1) {  // next frame
      state.SkipWithError("clearing the ready flag failed");
      break;
    }
  }
  StopDataStream();
  state.counters["wire_limit_ms"] = wireMs;
}

void BM_Write8kWire(benchmark::State& state) {
  Rig rig(kWireReportUs);
  if (!rig.ok()) {
    state.SkipWithError("bridge did not open");
    return;
  }
  std::vector<uint8_t> data(8192);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  double wireMs = 0;
  for (auto _ : state) {
    rig.bridge().Trace().Clear();
    const auto start = Clock::now();
    const uint32_t ok = WriteChipRegs(0x1000, data.data(), static_cast<uint32_t>(data.size()));
    state.SetIterationTime(SecondsSince(start));
    if (ok != 1) {
      state.SkipWithError("write failed");
      break;
    }
    wireMs = rig.WireMs();
  }
  state.counters["wire_limit_ms"] = wireMs;
}

BENCHMARK(BM_RegRead)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_FrameReadWire)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Write8kWire)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Prints the medians as "name value unit".
class LinkMetrics : public bench::MetricsReporter {
 protected:
  bool Wanted(const Run& run) const override { return run.aggregate_name == "median"; }
  void Print(const Run& run) override {
    const std::string name = run.run_name.function_name;
    const double time = run.GetAdjustedRealTime();
    auto limit = run.counters.find("wire_limit_ms");
    if (name == "BM_RegRead") {
      std::printf("reg_read_us_sim0 %.1f us\n", time);
    } else if (name == "BM_FrameReadWire") {
      std::printf("frame_read_ms_wire %.2f ms\n", time);
      if (limit != run.counters.end())
        std::printf("frame_read_wire_limit_ms %.2f ms\n", limit->second.value);
    } else if (name == "BM_Write8kWire") {
      std::printf("write_8k_ms_wire %.2f ms\n", time);
      if (limit != run.counters.end())
        std::printf("write_8k_wire_limit_ms %.2f ms\n", limit->second.value);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  LinkMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
