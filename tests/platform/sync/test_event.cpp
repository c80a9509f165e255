#include "platform/sync/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {
namespace {

// Waits (bounded, generously) for a condition that another thread makes true.
template <typename Pred>
bool Eventually(Pred pred) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(Event, ManualAndAutoResetSemantics) {
  struct Case {
    bool manual;
    bool initially;
    bool secondWaitSucceeds;  // after one successful wait
  };
  for (const Case c : {Case{true, false, true}, Case{false, false, false}, Case{true, true, true},
                       Case{false, true, false}}) {
    SCOPED_TRACE(::testing::Message() << "manual=" << c.manual << " initially=" << c.initially);
    Event ev(c.manual, c.initially);
    EXPECT_EQ(ev.IsSet(), c.initially);
    if (!c.initially) {
      EXPECT_FALSE(ev.Wait(0));
      ev.Set();
    }
    EXPECT_TRUE(ev.Wait(0));
    EXPECT_EQ(ev.Wait(0), c.secondWaitSucceeds);
    EXPECT_EQ(ev.IsSet(), c.manual);

    ev.Set();
    ev.Set();  // setting twice is still one signal
    ev.Reset();
    EXPECT_FALSE(ev.IsSet());
    EXPECT_FALSE(ev.Wait(0));
  }
}

TEST(Event, TimedWaitTimesOutWithoutSignal) {
  Event ev;
  EXPECT_FALSE(ev.Wait(20));
  EXPECT_FALSE(ev.IsSet());
}

TEST(Event, InfiniteWaitIsReleasedByAnotherThread) {
  for (bool manual : {true, false}) {
    Event ev(manual);
    std::atomic<bool> released{false};
    std::thread waiter([&] {
      EXPECT_TRUE(ev.Wait(kInfinite));
      released = true;
    });
    ev.Set();
    waiter.join();
    EXPECT_TRUE(released);
    EXPECT_EQ(ev.IsSet(), manual) << "an auto-reset event is consumed by the waiter";
  }
}

TEST(Event, AutoResetSetReleasesExactlyOneWaiter) {
  Event ev(/*manualReset=*/false);
  std::atomic<int> released{0};
  std::thread a([&] {
    ev.Wait(kInfinite);
    ++released;
  });
  std::thread b([&] {
    EXPECT_EQ(Event::WaitAny({&ev}, kInfinite), 0);
    ++released;
  });
  ev.Set();
  ASSERT_TRUE(Eventually([&] { return released.load() == 1; }));
  // The one signal has been consumed, so the other waiter cannot have passed.
  EXPECT_FALSE(ev.IsSet());
  EXPECT_EQ(released.load(), 1);
  ev.Set();
  a.join();
  b.join();
  EXPECT_EQ(released.load(), 2);
  EXPECT_FALSE(ev.IsSet());
}

TEST(Event, WaitAnyPrefersLowestIndexAndConsumesOnlyWhatItReports) {
  Event manual(true);
  Event autoA(false);
  Event autoB(false);
  autoA.Set();
  autoB.Set();
  EXPECT_EQ(Event::WaitAny({&manual, &autoA, &autoB}, 0), 1);
  EXPECT_FALSE(autoA.IsSet());
  EXPECT_TRUE(autoB.IsSet()) << "an event that was not reported keeps its signal";
  EXPECT_EQ(Event::WaitAny({&manual, &autoA, &autoB}, 0), 2);
  EXPECT_EQ(Event::WaitAny({&manual, &autoA, &autoB}, 0), kWaitTimeout);

  manual.Set();
  autoB.Set();
  EXPECT_EQ(Event::WaitAny({&manual, &autoA, &autoB}, 0), 0);
  EXPECT_EQ(Event::WaitAny({&manual, &autoA, &autoB}, 0), 0) << "manual reset stays signalled";
  EXPECT_TRUE(autoB.IsSet());
}

TEST(Event, WaitAnyTimesOut) {
  Event a;
  Event b(false);
  EXPECT_EQ(Event::WaitAny({&a, &b}, 20), kWaitTimeout);
  EXPECT_EQ(Event::WaitAny({}, 20), kWaitTimeout);
}

TEST(Event, WaitAnyIsWokenBySetFromAnotherThread) {
  Event stop(true);
  Event work(false);
  std::atomic<int> result{-2};
  std::thread waiter([&] { result = Event::WaitAny({&stop, &work}, kInfinite); });
  work.Set();
  waiter.join();
  EXPECT_EQ(result.load(), 1);
  EXPECT_FALSE(work.IsSet());

  // With a time-out as well: the Set must wake it, not the time-out.
  std::thread timed([&] { result = Event::WaitAny({&stop, &work}, 60'000); });
  stop.Set();
  timed.join();
  EXPECT_EQ(result.load(), 0);
}

}  // namespace
}  // namespace platform
