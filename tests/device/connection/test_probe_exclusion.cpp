// A holder off the UI thread: the hold waits, blocking, for a probe in
// progress, and keeps new probes out until it is released.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "device/connection/ProbeExclusion.h"

namespace {

using std::chrono::milliseconds;

TEST(ProbeExclusion, AWorkersHoldTakesTheDeviceAtOnceOrWhenNoProbeRunsWithinTheBound) {
  // Deterministic rows: the bound only decides while a probe never ends.
  struct Case {
    const char* name;
    bool probing;
    bool expectFree;
  } cases[] = {{"no probe in progress", false, true},
               {"a probe that never ends", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeExclusion exclusion;
    if (c.probing) {
      ASSERT_TRUE(exclusion.TryBeginProbe());
    }
    EXPECT_EQ(exclusion.HoldAndWaitForProbe(milliseconds(0)), c.expectFree);
    // Held either way: the run goes ahead and no new probe starts.
    EXPECT_TRUE(exclusion.Held());
    EXPECT_FALSE(exclusion.Released().IsSet());
    if (c.probing) exclusion.EndProbe();
    EXPECT_FALSE(exclusion.TryBeginProbe());
    EXPECT_EQ(exclusion.Release(), 0);
    EXPECT_TRUE(exclusion.Released().IsSet());
    EXPECT_TRUE(exclusion.TryBeginProbe());
  }
}

TEST(ProbeExclusion, AWorkersHoldReturnsOnceTheProbeInProgressHasEnded) {
  ProbeExclusion exclusion;
  ASSERT_TRUE(exclusion.TryBeginProbe());
  std::atomic<bool> probingAtReturn{true};
  std::atomic<bool> free{false};
  // The bound is far beyond any test run: only the probe's end lets it go.
  std::thread holder([&] {
    free = exclusion.HoldAndWaitForProbe(milliseconds(600000));
    probingAtReturn = exclusion.ProbeRunning();
  });
  while (!exclusion.Held()) std::this_thread::yield();
  exclusion.EndProbe();
  holder.join();
  EXPECT_TRUE(free);
  EXPECT_FALSE(probingAtReturn);
  EXPECT_FALSE(exclusion.TryBeginProbe());
  EXPECT_EQ(exclusion.Release(), 0);
}

}  // namespace
