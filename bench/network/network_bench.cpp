// Benchmarks of the TCP link to a networked device, against the simulated
// device on the loopback address.
//
//   tcp_reg_read_us_loopback   one ReadChipReg8 over the TCP link: the
//                              request through the queue and the dispatcher,
//                              the 14-byte frame out, the 9-byte answer back;
//                              median over the iterations
//   tcp_pingpong_us_loopback   the same 14 bytes out and 9 bytes back on a
//                              bare socket to the same simulated device:
//                              what the wire and the peer cost alone; median
//   tcp_reg_read_ratio         the first over the second (goal: below 2.0)
//
// The two are timed in turn within one loop, so a busy machine weighs on
// both alike.
//
// Run as `kestrana_network_bench --metrics` for "name value unit" lines, or
// with the usual Google Benchmark flags.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/HidDevice.h"
#include "device/RegisterOps.h"
#include "device/net/LinkSwitch.h"
#include "device/net/TcpLink.h"
#include "platform/net/Socket.h"
#include "sim/SimChip.h"
#include "sim/SimHidBackend.h"
#include "sim/netdevice/SimTcpDevice.h"

namespace {

constexpr uint16_t kAddress = 0x8140;
constexpr int kIterations = 5000;

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

double Us(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

// Both round trips are timed in turn, each against its own simulated device
// on one chip, so that a busy machine weighs on both alike.
void BM_TcpRoundTrips(benchmark::State& state) {
  sim::SimChip chip;
  sim::SimTcpDevice linkPeer(chip);
  sim::SimTcpDevice barePeer(chip);
  if (!linkPeer.Start() || !barePeer.Start()) {
    state.SkipWithError("no loopback peer");
    return;
  }
  // A bridge device with no bridge behind it: it owns the dispatcher.
  CHidDevice bridge(CHidDevice::kModeCommand, std::make_shared<sim::SimHidBackend>());
  g_pBridgeDevice = &bridge;
  CTcpLink link;
  platform::SocketFd bare = platform::ConnectTcp4("127.0.0.1", barePeer.Port(), 3000);
  if (ConnectNetworkDevice(link, &bridge, "127.0.0.1", linkPeer.Port()) != 1 || !bare.IsValid()) {
    state.SkipWithError("connect failed");
    g_pBridgeDevice = nullptr;
    return;
  }
  const uint8_t expected = chip.Peek(kAddress);
  const std::vector<uint8_t> header = {0x00, 0x0F, kAddress >> 8, kAddress & 0xFF, 0x00, 0x01};
  const std::vector<uint8_t> frame = CTcpLink::BuildFrame(header.data(), 6);
  uint8_t answer[9];
  std::vector<double> linkUs;
  std::vector<double> bareUs;
  linkUs.reserve(kIterations);
  bareUs.reserve(kIterations);
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    const uint8_t value = ReadChipReg8(kAddress);
    linkUs.push_back(Us(std::chrono::steady_clock::now() - start));

    start = std::chrono::steady_clock::now();
    const bool exchanged =
        platform::SendAll(bare.Get(), frame.data(), frame.size()) == platform::SocketIo::Ok &&
        platform::RecvExact(bare.Get(), answer, sizeof answer, 3000) == platform::SocketIo::Ok;
    bareUs.push_back(Us(std::chrono::steady_clock::now() - start));
    if (value != expected || !exchanged || answer[8] != expected) {
      state.SkipWithError("wrong answer");
      break;
    }
  }
  DisconnectNetworkDevice(link, &bridge);
  g_pBridgeDevice = nullptr;
  state.counters["reg_read_us"] = Median(linkUs);
  state.counters["pingpong_us"] = Median(bareUs);
}
BENCHMARK(BM_TcpRoundTrips)->Iterations(kIterations)->Unit(benchmark::kMicrosecond);

class NetworkMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    const std::string name = run.run_name.function_name;
    auto counter = [&](const char* key) { return Counter(run, key); };
    if (name != "BM_TcpRoundTrips") return;
    const double link = counter("reg_read_us");
    const double bare = counter("pingpong_us");
    std::printf("tcp_reg_read_us_loopback %.1f us\n", link);
    std::printf("tcp_pingpong_us_loopback %.1f us\n", bare);
    if (bare > 0) std::printf("tcp_reg_read_ratio %.2f x\n", link / bare);
  }
};

}  // namespace

int main(int argc, char** argv) {
  NetworkMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
