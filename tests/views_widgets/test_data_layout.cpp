// The grid pages as widgets: drawing before the first frame, wheel zoom, the
// frame chain on the simulated bridge, the raw view's menu and double-click.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QWheelEvent>
#include <climits>
#include <memory>

#include "device/ChipGlobals.h"
#include "platform/sync/Event.h"
#include "tests/ui/QtTestUtil.h"
#include "tests/device/SimDevice.h"
#include "tests/views_widgets/ViewTestUtil.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"
#include "views/widgets/DiffDataLayout.h"
#include "views/widgets/ObserveDataLayout.h"
#include "views/widgets/RawDataLayout.h"

namespace {

using viewtest::CellRect;
using viewtest::MakeFrame;
using viewtest::RecordingLog;

// Bounds for waiting on the render thread and the dispatcher (real threads).
constexpr uint32_t kWaitMs = 10000;

void SendWheel(QWidget& w, QPoint at, int delta) {
  QWheelEvent event(QPointF(at), QPointF(w.mapToGlobal(at)), QPoint(), QPoint(0, delta),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &event);
}

class RawViewTest : public testing::Test {
 protected:
  void SetUp() override {
    nodes_ = std::make_unique<NodeArrays>();
    nodes_->NodeMaxLimit.fill(INT32_MAX);
    nodes_->NodeMinLimit.fill(INT32_MIN);
    nodes_->NodeAdjDevLimit.fill(INT32_MAX);
    view_ = std::make_unique<CRawDataLayout>(store_, &log_, stack_, *nodes_, lock_);
    view_->resize(800, 600);
    view_->show();
  }
  void TearDown() override { view_.reset(); }

  // Hands a frame over and waits until it is drawn (redraws of the size
  // may come in between).
  std::shared_ptr<const RenderedPicture> Offer(const std::vector<int32_t>& values) {
    EXPECT_TRUE(view_->OfferFrame(MakeFrame(store_.Format(DataKind::Raw), values),
                                  std::chrono::milliseconds(kWaitMs)));
    const uint64_t expected = ++offered_;
    EXPECT_TRUE(qttest::ProcessEventsUntil([&] {
      auto p = view_->Picture();
      return p && p->framesTaken >= expected;
    }));
    return view_->Picture();
  }

  DataFormatStore store_;
  RecordingLog log_;
  RawFrameStack stack_;
  std::unique_ptr<NodeArrays> nodes_;
  std::mutex lock_;
  std::unique_ptr<CRawDataLayout> view_;
  uint64_t offered_ = 0;
};

TEST_F(RawViewTest, ShowsTheGridWithZerosBeforeTheFirstFrameAndZoomsWithTheWheel) {
  ASSERT_TRUE(view_->WaitForRenderCount(1, kWaitMs));
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    auto p = view_->Picture();
    return p && p->picture.size() == QSize(800, 600);
  }));
  const auto first = view_->Picture();
  EXPECT_EQ(30u * 42u, first->cellsWithText);
  EXPECT_EQ(std::vector<int32_t>(30 * 42, 0), first->values);

  SendWheel(*view_, QPoint(400, 300), 120);
  EXPECT_DOUBLE_EQ(1.12, view_->Zoom());
  ASSERT_TRUE(qttest::ProcessEventsUntil(
      [&] { return view_->Picture()->picture.size() == QSize(896, 672); }));
  EXPECT_EQ(30u * 42u, view_->Picture()->cellsWithText);
  for (int i = 0; i < 30; ++i) SendWheel(*view_, QPoint(400, 300), 120);
  EXPECT_DOUBLE_EQ(3.0, view_->Zoom());
  for (int i = 0; i < 30; ++i) SendWheel(*view_, QPoint(400, 300), -120);
  EXPECT_DOUBLE_EQ(1.0, view_->Zoom());
  EXPECT_EQ(QPoint(0, 0), view_->ScrollOffset());
}

TEST_F(RawViewTest, DoubleClickLogsTheNodesLimitFailures) {
  std::vector<int32_t> values(30 * 42, 1000);
  const size_t node = NodeIndex(30, 5, 3);
  values[node] = 2000;
  nodes_->NodeMaxLimit[node] = 1500;
  nodes_->NodeAdjDevLimit[node] = 10;  // 1000 next to 2000: 50 %
  Offer(values);
  const auto pic = Offer(values);
  ASSERT_EQ(30, pic->rows);

  EXPECT_TRUE(view_->LogNodeFailures(CellRect(*pic, 5, 3).center()));
  const auto lines = log_.Lines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("Drv3,Sen5:\n  最大值超限\n  相邻偏差超限", lines[0].first);
  EXPECT_EQ(LOG_INFO, lines[0].second);

  // A passing node, the label bands and the space beyond the grid say nothing.
  EXPECT_FALSE(view_->LogNodeFailures(CellRect(*pic, 6, 3).center()));
  EXPECT_FALSE(view_->LogNodeFailures(QPoint(2, CellRect(*pic, 5, 3).center().y())));
  EXPECT_FALSE(view_->LogNodeFailures(QPoint(CellRect(*pic, 5, 3).center().x(), 599)));
  EXPECT_EQ(1u, log_.Lines().size());
}

// Without a bridge nothing can stream: the page must not look as if it did.
TEST_F(RawViewTest, WithoutABridgeTheStreamStopsAndSaysSo) {
  ASSERT_EQ(g_pBridgeDevice.load(), nullptr);
  view_->StartStream();
  EXPECT_TRUE(view_->IsStopped());
  const auto lines = log_.Lines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("原始值：未连接设备，数据流已停止", lines[0].first);
  EXPECT_EQ(LOG_ERROR, lines[0].second);
}

// The font shrinks to the widest value of a stream; the next stream's
// values fit it afresh.
TEST_F(RawViewTest, AStreamStartFitsTheValueFontAfresh) {
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    auto p = view_->Picture();
    return p && p->picture.size() == QSize(800, 600);
  }));
  std::vector<int32_t> values(30 * 42, 100);
  const auto narrow = Offer(values);
  values[7] = 65535;
  const auto wide = Offer(values);
  ASSERT_TRUE(narrow->valueFont && wide->valueFont);
  EXPECT_LT(wide->valueFont->pixelSize(), narrow->valueFont->pixelSize());
  values[7] = 100;
  EXPECT_EQ(wide->valueFont, Offer(values)->valueFont);
  view_->StartStream();  // stops at once without a bridge
  EXPECT_EQ(narrow->valueFont, Offer(values)->valueFont);
}

TEST_F(RawViewTest, ContextMenuSwitchesTheColourMode) {
  std::vector<int32_t> values(30 * 42, 1000);
  values[0] = 500;
  values[1] = 1500;
  Offer(values);
  Offer(values);
  std::unique_ptr<QMenu> menu(view_->CreateContextMenu(nullptr));
  auto* scale = menu->findChild<QAction*>(QStringLiteral("ID_RAW_COLOUR_SCALE"));
  ASSERT_NE(nullptr, scale);
  EXPECT_EQ(QStringLiteral("原始值（色阶）"), scale->text());
  const auto before = view_->Picture();
  const QRect cell = CellRect(*before, 0, 0);
  const QPoint corner(cell.left() + 1, cell.top() + 1);
  EXPECT_EQ(0xFFFFFFFFu, before->picture.pixel(corner) | 0xFF000000u);
  scale->trigger();
  // The minimum's cell turns green at the next drawing.
  EXPECT_TRUE(qttest::ProcessEventsUntil([&] {
    return (view_->Picture()->picture.pixel(corner) | 0xFF000000u) == qRgb(32, 212, 32);
  }));

  ASSERT_NE(nullptr, menu->findChild<QAction*>(QStringLiteral("ID_RAW_VALUES")));
  ASSERT_NE(nullptr, menu->findChild<QAction*>(QStringLiteral("ID_MANUAL_DIFFERENCE")));
  EXPECT_FALSE(view_->RunCommand(1));
}

// The views on a simulated bridge (virtual clock) through the real request
// queue.
class StreamingViewTest : public SimDeviceTest {
 protected:
  void TearDown() override {
    GetRequestQueue().SelectLink(nullptr);
    SimDeviceTest::TearDown();
  }

  // The frame reads (command 13) the bridge received: address and length.
  std::vector<std::pair<uint16_t, uint16_t>> FrameReads() {
    std::vector<std::pair<uint16_t, uint16_t>> out;
    for (const Report& r : Sent()) {
      if (r[2] == BridgeCmdFrameRead) {
        out.emplace_back(static_cast<uint16_t>(r[3] << 8 | r[4]),
                         static_cast<uint16_t>(r[5] << 8 | r[6]));
      }
    }
    return out;
  }

  // Raw frames whose node i holds 1000 + i.
  void FeedCountingRawFrames() {
    Bridge().Chip().SetFrameSource(0x8B98, 2520, [](size_t offset, uint8_t* out, size_t count) {
      for (size_t i = 0; i < count; ++i) {
        const size_t at = offset + i;
        const uint16_t v = static_cast<uint16_t>(1000 + at / 2);
        out[i] = static_cast<uint8_t>(at % 2 == 0 ? v & 0xFF : v >> 8);
      }
    });
  }

  DataFormatStore store_;
  RecordingLog log_;
  RawFrameStack stack_;
  NodeArrays nodes_;
  std::mutex lock_;
};

TEST_F(StreamingViewTest, RawViewStreamsStopsOnAFailedReadAndRestarts) {
  Connect();
  FeedCountingRawFrames();
  CRawDataLayout view(store_, &log_, stack_, nodes_, lock_);
  view.resize(800, 600);
  view.show();
  EXPECT_TRUE(view.IsStopped());
  view.StartStream();
  EXPECT_FALSE(view.IsStopped());
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    auto p = view.Picture();
    return p && p->framesTaken >= 3;
  }));
  const auto pic = view.Picture();
  for (size_t i : {size_t{0}, size_t{1}, size_t{1259}}) {
    EXPECT_EQ(static_cast<int32_t>(1000 + i), pic->values[i]) << i;
  }
  const auto reads = FrameReads();
  ASSERT_FALSE(reads.empty());
  EXPECT_EQ(std::make_pair(uint16_t{0x8B98}, uint16_t{2520}), reads.front());

  // The bridge stops answering: the chain ends and says so once.
  Bridge().SetSilent(true);
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return view.IsStopped(); }));
  WaitForQueuedRequests();
  const auto lines = log_.Lines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(LOG_ERROR, lines[0].second);
  EXPECT_EQ("原始值：读取数据帧失败，数据流已停止", lines[0].first);
  const size_t readsWhenStopped = FrameReads().size();
  WaitForQueuedRequests();
  EXPECT_EQ(readsWhenStopped, FrameReads().size());

  // The page button starts it again.
  Bridge().SetSilent(false);
  const uint64_t taken = view.Picture()->framesTaken;
  view.StartStream();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return view.Picture()->framesTaken > taken + 2; }));
  view.StopStream();
  EXPECT_TRUE(view.IsStopped());
  EXPECT_FALSE(view.IsRenderThreadRunning());
  // The last picture stays.
  EXPECT_NE(nullptr, view.Picture());
}

// Counts the paints a widget gets.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Frames come far faster than a screen refreshes (the virtual clock lets
// the chain run flat out): the view still paints at most once a refresh.
TEST_F(StreamingViewTest, AViewRepaintsAtMostOncePerScreenRefresh) {
  Connect();
  FeedCountingRawFrames();
  CRawDataLayout view(store_, &log_, stack_, nodes_, lock_);
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return view.isVisible(); }));
  PaintCounter counter;
  view.installEventFilter(&counter);
  QElapsedTimer elapsed;
  elapsed.start();
  view.StartStream();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    auto p = view.Picture();
    return p && p->framesTaken >= 60 && elapsed.elapsed() >= 300;
  }));
  const qint64 ms = elapsed.elapsed();
  const uint64_t frames = view.Picture()->framesTaken;
  view.StopStream();
  const int periodMs = 1000 / 60;
  EXPECT_GT(counter.paints, 0);
  EXPECT_LE(counter.paints, ms / periodMs + 2) << frames << " frames in " << ms << " ms";
}

TEST_F(StreamingViewTest, StopAndStartWhileAReadIsInFlightLeaveOneChain) {
  Connect();
  ASSERT_EQ(1u, StartDataStream(1));
  ForwardingLink link(*device_);
  struct Seen {
    uint32_t tag;
    size_t queued;
  };
  std::mutex seenMutex;
  std::vector<Seen> seen;
  platform::Event held(true, false);
  platform::Event release(true, false);
  link.before_ = [&](CHidRequest& r) {
    if (r.bridgeCmd != BridgeCmdFrameRead) return;
    bool first = false;
    {
      std::lock_guard lock(seenMutex);
      first = seen.empty();
      seen.push_back({r.tag, GetRequestQueue().Count()});
    }
    if (first) {
      held.Set();
      release.Wait(kWaitMs);
    }
  };
  GetRequestQueue().SelectLink(&link);
  Bridge().Trace().Clear();

  CRawDataLayout view(store_, &log_, stack_, nodes_, lock_);
  view.resize(800, 600);
  view.show();
  view.SetStopped(false);
  view.RequestFrame();
  ASSERT_TRUE(held.Wait(kWaitMs));
  // The page is stopped and started again while its read is in flight.
  view.SetStopped(true);
  view.SetStopped(false);
  view.RequestFrame();
  release.Set();

  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    auto p = view.Picture();
    return p && p->framesTaken >= 6;
  }));
  size_t beforeStop = 0;
  {
    std::lock_guard lock(seenMutex);
    beforeStop = seen.size();
  }
  view.SetStopped(true);
  WaitForQueuedRequests();

  std::lock_guard lock(seenMutex);
  ASSERT_GE(beforeStop, 7u);
  const uint32_t newChain = seen[1].tag;
  EXPECT_NE(seen[0].tag, newChain);
  for (size_t i = 1; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(newChain, seen[i].tag);
    // One chain: no other request waits while its read runs (until the
    // test's own end marker is queued behind the last one).
    if (i < beforeStop) {
      EXPECT_EQ(0u, seen[i].queued);
    }
  }
  // Every frame request reached the bridge.
  EXPECT_EQ(seen.size(), FrameReads().size());
}

TEST_F(StreamingViewTest, DifferenceAndObserveViewsReadTheirKindsFormat) {
  Connect();
  const struct {
    DataKind kind;
    uint16_t address;
    uint16_t length;
  } cases[] = {{DataKind::Diff, 0xBB10, 1260}, {DataKind::Observe, 0x81C0, 2520}};
  for (const auto& c : cases) {
    SCOPED_TRACE(DataKindName(c.kind));
    Bridge().Trace().Clear();
    std::unique_ptr<CDataLayout> view;
    if (c.kind == DataKind::Diff) {
      view = std::make_unique<CDiffDataLayout>(store_, &log_);
    } else {
      view = std::make_unique<CObserveDataLayout>(store_, &log_);
    }
    view->resize(640, 480);
    view->show();
    view->StartStream();
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
      auto p = view->Picture();
      return p && p->framesTaken >= 2;
    }));
    view->StopStream();
    const auto reads = FrameReads();
    ASSERT_FALSE(reads.empty());
    for (const auto& read : reads) {
      EXPECT_EQ(c.address, read.first);
      EXPECT_EQ(c.length, read.second);
    }
  }
}

TEST_F(StreamingViewTest, ARowsChangeWhileStreamingReachesTheNextRequestAndTheGrid) {
  Connect();
  CDiffDataLayout view(store_, &log_);
  view.resize(640, 480);
  view.show();
  view.StartStream();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    auto p = view.Picture();
    return p && p->framesTaken >= 1;
  }));
  std::array<DataFormat, kDataKindCount> formats = store_.Snapshot().set.formats;
  formats[static_cast<size_t>(DataKind::Diff)].rows = 20;
  ASSERT_TRUE(store_.Apply(formats));
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return view.Picture()->rows == 20; }));
  view.StopStream();
  const auto pic = view.Picture();
  EXPECT_EQ(21u, pic->rowLines.size());
  EXPECT_EQ(20u * 42u, pic->cellsWithText);
  const auto reads = FrameReads();
  EXPECT_EQ(20 * 42, reads.back().second);
  EXPECT_EQ(30 * 42, reads.front().second);
}

}  // namespace
