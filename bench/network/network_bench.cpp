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
//   tcp_reg_read_us_apart,     the same two round trips, each timed in a run
//   tcp_pingpong_us_apart,     of its own (2000 back to back; medians), so that
//   tcp_reg_read_ratio_apart   the dispatcher waiting for the next read does
//                              not share the machine with the bare exchange
//   tcp_reg_read_cpu_us        process CPU time (every thread: caller,
//                              dispatcher, simulated device) per read, reads
//                              back to back
//   tcp_pingpong_cpu_us        the same for the bare exchange
//   tcp_reg_read_cpu_us_paced  the same for reads 1 ms apart (a program that
//                              polls a register): what the short spins of the
//                              waits cost when the next request is far off
//
// The two round trips are timed in turn within one loop, so a busy machine
// weighs on both alike.
//
// Run as `kestrana_network_bench --metrics` for "name value unit" lines, or
// with the usual Google Benchmark flags.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
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

double ProcessCpuUs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

const std::vector<uint8_t> kReadHeader = {0x00, 0x0F, kAddress >> 8, kAddress & 0xFF, 0x00, 0x01};

// Two simulated devices on one chip: one behind the TCP link (selected on
// the one dispatcher), one on a bare socket.
class Rig {
 public:
  Rig() : linkPeer_(chip_), barePeer_(chip_) {
    if (!linkPeer_.Start() || !barePeer_.Start()) return;
    g_pBridgeDevice = &bridge_;
    bare_ = platform::ConnectTcp4("127.0.0.1", barePeer_.Port(), 3000);
    ok_ = ConnectNetworkDevice(link_, &bridge_, "127.0.0.1", linkPeer_.Port()) == 1 &&
          bare_.IsValid();
    expected_ = chip_.Peek(kAddress);
  }
  ~Rig() {
    DisconnectNetworkDevice(link_, &bridge_);
    g_pBridgeDevice = nullptr;
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  bool Ok() const { return ok_; }
  bool LinkRead() { return ReadChipReg8(kAddress) == expected_; }
  bool BareExchange() {
    return platform::SendAll(bare_.Get(), frame_.data(), frame_.size()) == platform::SocketIo::Ok &&
           platform::RecvExact(bare_.Get(), answer_, sizeof answer_, 3000) ==
               platform::SocketIo::Ok &&
           answer_[8] == expected_;
  }

 private:
  sim::SimChip chip_;
  sim::SimTcpDevice linkPeer_;
  sim::SimTcpDevice barePeer_;
  // A bridge device with no bridge behind it: it owns the dispatcher.
  CHidDevice bridge_{CHidDevice::kModeCommand, std::make_shared<sim::SimHidBackend>()};
  CTcpLink link_;
  platform::SocketFd bare_;
  const std::vector<uint8_t> frame_ = CTcpLink::BuildFrame(kReadHeader.data(), 6);
  uint8_t answer_[9] = {};
  uint8_t expected_ = 0;
  bool ok_ = false;
};

void BM_TcpRoundTrips(benchmark::State& state) {
  Rig rig;
  if (!rig.Ok()) {
    state.SkipWithError("no loopback peer");
    return;
  }
  std::vector<double> linkUs;
  std::vector<double> bareUs;
  linkUs.reserve(kIterations);
  bareUs.reserve(kIterations);
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    const bool read = rig.LinkRead();
    linkUs.push_back(Us(std::chrono::steady_clock::now() - start));

    start = std::chrono::steady_clock::now();
    const bool exchanged = rig.BareExchange();
    bareUs.push_back(Us(std::chrono::steady_clock::now() - start));
    if (!read || !exchanged) {
      state.SkipWithError("wrong answer");
      break;
    }
  }
  state.counters["reg_read_us"] = Median(linkUs);
  state.counters["pingpong_us"] = Median(bareUs);
}
BENCHMARK(BM_TcpRoundTrips)->Iterations(kIterations)->Unit(benchmark::kMicrosecond);

// CPU time per round trip, the process as a whole.
void BM_TcpCpu(benchmark::State& state) {
  constexpr int kBackToBack = 2000;
  constexpr int kPaced = 300;
  Rig rig;
  if (!rig.Ok()) {
    state.SkipWithError("no loopback peer");
    return;
  }
  for (auto _ : state) {
    bool ok = true;
    std::vector<double> linkUs;
    std::vector<double> bareUs;
    double start = ProcessCpuUs();
    for (int i = 0; i < kBackToBack; ++i) {
      const auto t = std::chrono::steady_clock::now();
      ok = rig.LinkRead() && ok;
      linkUs.push_back(Us(std::chrono::steady_clock::now() - t));
    }
    state.counters["reg_read_cpu_us"] = (ProcessCpuUs() - start) / kBackToBack;

    start = ProcessCpuUs();
    for (int i = 0; i < kBackToBack; ++i) {
      const auto t = std::chrono::steady_clock::now();
      ok = rig.BareExchange() && ok;
      bareUs.push_back(Us(std::chrono::steady_clock::now() - t));
    }
    state.counters["pingpong_cpu_us"] = (ProcessCpuUs() - start) / kBackToBack;
    state.counters["reg_read_us_apart"] = Median(linkUs);
    state.counters["pingpong_us_apart"] = Median(bareUs);

    start = ProcessCpuUs();
    for (int i = 0; i < kPaced; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      ok = rig.LinkRead() && ok;
    }
    state.counters["reg_read_cpu_us_paced"] = (ProcessCpuUs() - start) / kPaced;
    if (!ok) state.SkipWithError("wrong answer");
  }
}
BENCHMARK(BM_TcpCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

class NetworkMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    const std::string name = run.run_name.function_name;
    auto counter = [&](const char* key) { return Counter(run, key); };
    // The read, the bare exchange and the one over the other.
    struct Pair {
      const char* readKey;
      const char* bareKey;
      const char* readName;
      const char* bareName;
      const char* ratioName;
    };
    auto print = [&](const Pair& p) {
      const double link = counter(p.readKey);
      const double bare = counter(p.bareKey);
      std::printf("%s %.1f us\n", p.readName, link);
      std::printf("%s %.1f us\n", p.bareName, bare);
      if (bare > 0) std::printf("%s %.2f x\n", p.ratioName, link / bare);
    };
    if (name == "BM_TcpRoundTrips") {
      print({"reg_read_us", "pingpong_us", "tcp_reg_read_us_loopback", "tcp_pingpong_us_loopback",
             "tcp_reg_read_ratio"});
    }
    if (name == "BM_TcpCpu") {
      print({"reg_read_us_apart", "pingpong_us_apart", "tcp_reg_read_us_apart",
             "tcp_pingpong_us_apart", "tcp_reg_read_ratio_apart"});
      std::printf("tcp_reg_read_cpu_us %.1f us\n", counter("reg_read_cpu_us"));
      std::printf("tcp_pingpong_cpu_us %.1f us\n", counter("pingpong_cpu_us"));
      std::printf("tcp_reg_read_cpu_us_paced %.1f us\n", counter("reg_read_cpu_us_paced"));
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  NetworkMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
