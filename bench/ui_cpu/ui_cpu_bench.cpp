// CPU the program spends while a page streams from the program's own
// simulated bridge (wire-timed: one 64-byte report per millisecond each way),
// with the main window on the offscreen platform.
//
//   ui_cpu_pct_demo_wire   the window as it opens, on the touch demo, for 5 s
//   ui_cpu_pct_raw_wire    the raw view streaming for 5 s
//
// Each figure is the process's CPU time (every thread: UI, dispatcher, render
// threads, the simulated bridge) over the wall time, in percent of one core.
//
// Run as `kestrana_ui_cpu_bench --metrics` for "name value unit" lines, or
// with the usual Google Benchmark flags.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"
#include "bench/ScratchDir.h"

#include <time.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/DeviceBackend.h"
#include "app/KestranaDlg.h"
#include "app/PageSwitcher.h"
#include "device/StreamControl.h"
#include "platform/files/AppPaths.h"
#include "ui/Prompts.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSettleMs = 1000;
constexpr int kMeasureMs = 5000;

// The shipped runtime tree (named by the build: __FILE__ may be relative).
const fs::path kShippedRuntime = KESTRANA_RUNTIME_DIR;

// No one answers: a message box would stop the measurement.
class SilentPrompts : public IPrompts {
 public:
  void info(const QString&) override {}
  void warn(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
  bool askYesNo(const QString&) override { return false; }
  std::optional<QString> openFileName(const QString&, const QString&) override {
    return std::nullopt;
  }
  std::optional<QString> saveFileName(const QString&, const QString&, const QString&,
                                      const QString&) override {
    return std::nullopt;
  }
};

// A scratch copy of the runtime tree, as the program's staged tree.
class ScratchRoot {
 public:
  ScratchRoot() {
    if (!dir_.Made()) std::abort();
    fs::copy(kShippedRuntime, dir_.Path(), fs::copy_options::recursive);
  }
  const fs::path& Path() const { return dir_.Path(); }

 private:
  bench::ScratchDir dir_;
};

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The program's own event loop, as it runs between the user's actions (a
// loop of processEvents calls would spin and measure itself).
void RunEvents(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Opens the window on the program's simulated bridge, shows `page` and
// returns the CPU share while it streams; negative when the window failed.
double StreamingCpuPercent(int page) {
  ScratchRoot root;
  platform::AppPaths::SetBaseDir(root.Path());
  SilentPrompts prompts;
  double percent = -1;
  {
    CKestranaDlg window(prompts, MakeDeviceBackend("sim"));
    if (!window.Initialize()) return percent;
    window.resize(1280, 760);
    window.show();
    if (page != PAGE_DEMO) window.Pages().OnPageButton(page);
    RunEvents(kSettleMs);

    const double cpuStart = ProcessCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    RunEvents(kMeasureMs);
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    percent = 100.0 * cpu / wall;
    window.close();
  }
  return percent;
}

void Measure(benchmark::State& state, int page) {
  for (auto _ : state) {
    const double percent = StreamingCpuPercent(page);
    if (percent < 0) {
      state.SkipWithError("the window did not open");
      break;
    }
    state.SetIterationTime(kMeasureMs / 1000.0);
    state.counters["cpu_pct"] = percent;
  }
}

void BM_DemoWire(benchmark::State& state) { Measure(state, PAGE_DEMO); }
void BM_RawWire(benchmark::State& state) { Measure(state, PAGE_RAW); }
BENCHMARK(BM_DemoWire)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWire)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

class UiCpuMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    const std::string name = run.run_name.function_name;
    auto it = run.counters.find("cpu_pct");
    const double value = it == run.counters.end() ? 0.0 : it->second.value;
    if (name == "BM_DemoWire") std::printf("ui_cpu_pct_demo_wire %.1f %%\n", value);
    if (name == "BM_RawWire") std::printf("ui_cpu_pct_raw_wire %.1f %%\n", value);
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  UiCpuMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
