// Benchmark of the configuration editor's grid (needs Qt; runs offscreen).
//
//   config_grid_paint_ms_p95   one paint of the editor's grid (tab band, group
//                              frames, every cell of the page) at 1280 x 800
//                              for the largest item file staged for the
//                              simulated chips, its pages in turn; the 95th
//                              percentile over the iterations
//   config_grid_paint_ms_p95_256  the same for 256 made-up items (4 pages of 8
//                              groups of 8, every kind of cell), the size of a
//                              full chip's description
//
// Run as `kestrana_config_editor_bench --metrics` for "name value unit" lines,
// or with the usual Google Benchmark flags.

#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"
#include "bench/ScratchDir.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/config/Config.h"
#include "programming/configeditor/ConfigEditorModel.h"
#include "programming/widgets/ConfigGridPainter.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 1280;
constexpr int kHeight = 800;

// The item files staged with the program.
fs::path StagedItemFolder() { return fs::path(KESTRANA_RUNTIME_DIR) / "System" / "CfgItem"; }

fs::path LargestItemFile() {
  fs::path largest;
  std::uintmax_t size = 0;
  std::error_code error;
  for (const fs::directory_entry& e : fs::directory_iterator(StagedItemFolder(), error)) {
    const std::string ext = e.path().extension().string();
    if ((ext == ".sc" || ext == ".ui") && e.file_size() > size) {
      size = e.file_size();
      largest = e.path();
    }
  }
  return largest;
}

// Paints the items' pages in turn; p95 of the paint times in the counters.
void PaintPages(benchmark::State& state, std::vector<CfgItem>& items) {
  ConfigGridPainter painter;
  configeditor::ConfigEditorModel model(items);
  model.BuildLayout(kWidth, [&](const std::string& t) { return painter.MeasureTab(t); });
  model.Search("ch");  // some names drawn as search matches
  QImage picture(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  std::vector<double> ms;
  size_t page = 0;
  for (auto _ : state) {
    model.SetCurrentPage(page++ % model.Pages().size());
    const auto start = std::chrono::steady_clock::now();
    QPainter p(&picture);
    painter.Paint(p, picture.rect(), model, items, 0);
    p.end();
    benchmark::DoNotOptimize(picture.constBits());
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  state.counters["p95_ms"] = bench::Percentile(ms, 0.95);
  state.counters["items"] = static_cast<double>(items.size());
}

void BM_ConfigGridPaint(benchmark::State& state) {
  const fs::path itemFile = LargestItemFile();
  if (itemFile.empty()) {
    state.SkipWithError(("no item file in " + StagedItemFolder().string()).c_str());
    return;
  }
  // The load notes the item file in the chip profile: a scratch one.
  const bench::ScratchDir scratch;
  if (!scratch.Made()) {
    state.SkipWithError("cannot make a scratch folder");
    return;
  }
  SetChipIniPath(scratch.Path() / "kestrana_config_editor_bench.ini");
  CConfig config;
  config.LoadScFile(itemFile);
  for (size_t i = 0; i < CConfig::kBlockBytes; ++i) config.Block()[i] = static_cast<uint8_t>(i * 7);
  config.RefreshItemValues();
  PaintPages(state, config.Items());
  SetChipIniPath({});
}

void BM_ConfigGridPaint256(benchmark::State& state) {
  std::vector<CfgItem> items;
  for (int k = 0; k < 256; ++k) {
    CfgItem item;
    item.name = "Item_" + std::to_string(k) + (k % 5 == 0 ? "_CH" : "");
    item.page = "Page" + std::to_string(k / 64);
    item.group = "Group" + std::to_string(k / 8);
    item.controlKind = k % 3;
    item.options = {"Off", "On"};
    item.value = k % 3 == kCfgComboBox ? "On" : std::to_string(k % 2);
    item.initialValue = k % 7 == 0 ? "x" : item.value;
    items.push_back(item);
  }
  PaintPages(state, items);
}
BENCHMARK(BM_ConfigGridPaint256)->Unit(benchmark::kMillisecond)->Iterations(200);

BENCHMARK(BM_ConfigGridPaint)->Unit(benchmark::kMillisecond)->Iterations(200);

class ConfigEditorMetrics : public bench::MetricsReporter {
 protected:
  void Print(const Run& run) override {
    auto it = run.counters.find("p95_ms");
    if (it == run.counters.end()) return;
    const bool made = run.run_name.function_name == "BM_ConfigGridPaint256";
    std::printf("config_grid_paint_ms_p95%s %.2f ms\n", made ? "_256" : "", it->second.value);
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ConfigEditorMetrics reporter;
  return bench::RunBenchmarkMain(argc, argv, reporter);
}
