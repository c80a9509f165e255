// The touch demo's render thread: commands and frames share one hand-off,
// so commands posted before a frame must still run before it, a busy thread
// drops frames, and nothing gets through once it has quit.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/sync/Event.h"
#include "views/widgets/DemoWorker.h"

namespace {

using namespace std::chrono_literals;

// Generous: only ever reached when the worker is broken.
constexpr auto kLimit = 5s;
constexpr uint32_t kLimitMs = 5000;

// A coordinate report with one contact.
TouchFrame OneContact() {
  TouchFrame f;
  f.report[0] = 0x81;
  f.report[1] = 3;    // id
  f.report[2] = 100;  // x
  f.report[4] = 120;  // y
  f.report[6] = 30;   // size
  f.formats = DefaultDataFormats();
  return f;
}

void SetUpArea(DemoRenderer& r) {
  r.SetClientSize(QSize(420, 320));
  r.SetGrid(30, 42);
  r.ClearForMode();
}

TEST(DemoWorker, CommandsPostedBeforeAFrameRunBeforeIt) {
  DemoWorker worker({});
  platform::Event release{true, false};
  // Holds the thread inside a command while the rest is queued behind it.
  worker.Post([&](DemoRenderer& r) {
    SetUpArea(r);
    release.Wait(kLimitMs);
  });
  std::atomic<int> pointsSeenBefore{-1};
  worker.Post([&](DemoRenderer& r) { pointsSeenBefore = r.Tracker().ChipPoints()[0].size; });
  ASSERT_TRUE(worker.Offer(OneContact(), 0ms));
  release.Set();

  ASSERT_TRUE(worker.WaitIdle(kLimit));
  EXPECT_EQ(0, pointsSeenBefore);
  EXPECT_EQ(3u, worker.Processed());
  // The frame was drawn after the command, and its picture was published.
  const TouchSlot expected{3, 100, 120, 30};
  std::atomic<bool> drawn{false};
  worker.Post([&](DemoRenderer& r) { drawn = r.Tracker().ChipPoints()[0] == expected; });
  ASSERT_TRUE(worker.WaitIdle(kLimit));
  EXPECT_TRUE(drawn);
  EXPECT_FALSE(worker.Latest().isNull());
}

TEST(DemoWorker, BusyThreadDropsFramesAndAQuitWorkerTakesNothing) {
  platform::Event entered{true, false};
  platform::Event release{true, false};
  DemoWorker::Hooks hooks;
  // The first publication holds the thread busy with its frame.
  hooks.published = [&] {
    entered.Set();
    release.Wait(kLimitMs);
  };
  DemoWorker worker(std::move(hooks));
  ASSERT_TRUE(worker.Offer(OneContact(), 0ms));
  ASSERT_TRUE(entered.Wait(kLimitMs));
  EXPECT_FALSE(worker.Offer(OneContact(), 0ms));
  EXPECT_FALSE(worker.Offer(OneContact(), 20ms));
  release.Set();
  ASSERT_TRUE(worker.WaitIdle(kLimit));
  // Once idle, the next frame goes straight through.
  EXPECT_TRUE(worker.Offer(OneContact(), 0ms));
  ASSERT_TRUE(worker.WaitIdle(kLimit));
  EXPECT_EQ(2u, worker.Processed());

  worker.Quit();
  EXPECT_FALSE(worker.Offer(OneContact(), 0ms));
  bool ran = false;
  worker.Post([&](DemoRenderer&) { ran = true; });
  EXPECT_TRUE(worker.WaitIdle(0ms));
  EXPECT_FALSE(ran);
  EXPECT_EQ(2u, worker.Processed());
}

}  // namespace
