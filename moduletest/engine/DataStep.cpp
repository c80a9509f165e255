#include "moduletest/engine/DataStep.h"

#include <cstddef>
#include <mutex>

#include "device/chip/PanelGeometry.h"
#include "moduletest/engine/DataTests.h"
#include "moduletest/engine/FrameCapture.h"
#include "views/DataFormatStore.h"

namespace {

constexpr int kJudgingBarPosition = 80;

struct DataTest {
  TestItemIndex item;
  TestBar bar;
  const char* passLine;
  const char* failLine;
  int (*share)(const RawFrameStack&, int32_t, int32_t, NodeArrays&);
};

constexpr DataTest kMaxMin{kItemMaxMin, kBarMaxMin, "最大值，最小值测试通过",
                           "最大值，最小值测试失败", &MaxMinShare};
constexpr DataTest kAdjacent{kItemAdjacent, kBarAdjacent, "相邻偏差测试通过", "相邻偏差测试失败",
                             &AdjacentShare};

void Judge(RunContext& ctx, const DataTest& test, const DataFormat& raw) {
  ctx.Bar(test.bar, kJudgingBarPosition);
  int share = 0;
  {
    std::lock_guard lock(NodeArraysMutex());
    share = test.share(GetRawFrameStack(), raw.rows, raw.cols, GetNodeArrays());
  }
  const TestItemState state = JudgeShare(share);
  ctx.SetItem(test.item, state);
  if (state == TEST_UNDECIDED) return;
  const bool passed = state == TEST_PASS;
  ctx.Log(passed ? test.passLine : test.failLine, passed ? LOG_OK : LOG_ERROR);
  ctx.Bar(test.bar, 100);
  ctx.sink.BarColours(test.bar, kBarWhite, passed ? kBarGreen : kBarRed);
}

}  // namespace

void FailDataTests(RunContext& ctx) {
  for (TestItemIndex item : {kItemMaxMin, kItemJitter, kItemAdjacent, kItemOffset}) {
    if (ctx.Item(item) != TEST_OFF) ctx.SetItem(item, TEST_FAIL);
  }
}

void RunDataTests(RunContext& ctx, const DataFormat& raw, RunResult& result) {
  ctx.Log("获取16帧原始值", LOG_BUSY);
  const auto stepBars = [&ctx] {
    for (size_t i = 0; i <= kItemOffset; ++i) {
      if (IsDue(ctx.items[i])) ctx.sink.BarStep(kItemBars[i]);
    }
  };
  const CaptureOutcome capture = CaptureRawFrames(raw, ctx.clock, stepBars);
  if (capture.status == CaptureStatus::BadFormat) {
    ctx.Log(capture.formatError, LOG_ERROR);
    FailDataTests(ctx);
  } else if (capture.status == CaptureStatus::TimedOut) {
    ctx.Log(kCaptureTimeoutLine, LOG_ERROR);
    FailDataTests(ctx);
  } else {
    result.captured = true;
    result.measurements.rows = raw.rows;
    result.measurements.cols = raw.cols;
    result.measurements.frames = capture.stats;
  }
  ctx.Log("开始检测", LOG_BUSY);
  if (IsDue(ctx.Item(kItemMaxMin))) Judge(ctx, kMaxMin, raw);
  if (IsDue(ctx.Item(kItemAdjacent))) Judge(ctx, kAdjacent, raw);
}

void TakeMeasurements(RunResult& result) {
  TestMeasurements& m = result.measurements;
  if (!result.captured) {
    const PanelGeometry panel = GetPanelGeometry();
    const DataFormat raw = GetDataFormatStore().Format(DataKind::Raw);
    m = TestMeasurements{};
    m.rows = panel.rawRows != 0 ? static_cast<int32_t>(panel.rawRows) : raw.rows;
    m.cols = panel.rawColumns != 0 ? static_cast<int32_t>(panel.rawColumns) : raw.cols;
    return;
  }
  const auto n =
      static_cast<std::ptrdiff_t>(static_cast<size_t>(m.rows) * static_cast<size_t>(m.cols));
  std::lock_guard lock(NodeArraysMutex());
  const NodeArrays& nodes = GetNodeArrays();
  m.nodeMax.assign(nodes.NodeMax.begin(), nodes.NodeMax.begin() + n);
  m.nodeMin.assign(nodes.NodeMin.begin(), nodes.NodeMin.begin() + n);
  m.nodeJitter.assign(nodes.NodeJitter.begin(), nodes.NodeJitter.begin() + n);
  m.nodeAdjDev.assign(nodes.NodeAdjDev.begin(), nodes.NodeAdjDev.begin() + n);
  for (size_t f = 0; f < kReportFrames; ++f) {
    const RawFrameStack::Frame& frame = GetRawFrameStack().At(f);
    m.rawFrames[f].assign(frame.begin(), frame.begin() + n);
  }
}
