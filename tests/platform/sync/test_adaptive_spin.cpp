#include "platform/sync/AdaptiveSpin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

namespace platform {
namespace {

using std::chrono::microseconds;

// Time moves only when a look or a blocking wait says so.
class FakeTime {
 public:
  AdaptiveSpin::Clock::time_point Now() const { return now_; }
  void Advance(microseconds d) { now_ += d; }

 private:
  AdaptiveSpin::Clock::time_point now_{};
};

// One wait: the condition holds at the look with this index (none: never
// while spinning); each look takes lookCost, the blocking wait takes
// blocked.
struct WaitStep {
  std::optional<int> readyAtLook;
  microseconds lookCost;
  microseconds blocked;
  bool expectSpin;  // ready() is looked at before block()
};

struct Outcome {
  int looks = 0;
  int blocks = 0;
};

Outcome RunStep(AdaptiveSpin& spin, FakeTime& time, const WaitStep& step) {
  Outcome out;
  spin.Wait(
      [&] {
        const bool ready = step.readyAtLook && out.looks >= *step.readyAtLook;
        ++out.looks;
        time.Advance(step.lookCost);
        return ready;
      },
      [&] {
        ++out.blocks;
        time.Advance(step.blocked);
      });
  return out;
}

// Sequences of waits at one place: whether each spins first, and that the
// blocking wait always follows (a spin that ran out must still sleep, or the
// caller would go on with the condition false).
TEST(AdaptiveSpin, SpinsOnlyWhileTheLastWaitWasShort) {
  const microseconds us1{1};
  const microseconds none{0};
  const microseconds shortSleep = AdaptiveSpin::kShortWait;
  const microseconds longSleep = AdaptiveSpin::kShortWait + us1;
  // After a spin that ran out (kSpinLimit gone), a sleep that ends the wait
  // just within kShortWait, or just past it.
  const microseconds nearMiss = AdaptiveSpin::kShortWait - AdaptiveSpin::kSpinLimit;
  const microseconds farMiss = nearMiss + us1;
  struct Case {
    const char* name;
    std::vector<WaitStep> steps;
  } cases[] = {
      {"the first wait sleeps without spinning", {{0, us1, longSleep, false}}},
      {"a long sleep keeps the next wait from spinning",
       {{0, us1, longSleep, false}, {0, us1, longSleep, false}}},
      {"a short sleep lets the next wait spin",
       {{0, us1, shortSleep, false}, {3, us1, none, true}}},
      {"a spin that sees the condition keeps spinning on",
       {{0, us1, shortSleep, false}, {5, us1, none, true}, {0, us1, none, true}}},
      {"a spin that runs out just before the condition keeps spinning on",
       {{0, us1, shortSleep, false}, {std::nullopt, us1, nearMiss, true}, {0, us1, none, true}}},
      {"a spin that runs out long before the condition stops the spinning",
       {{0, us1, shortSleep, false}, {std::nullopt, us1, farMiss, true},
        {0, us1, longSleep, false}}},
      {"after spinning stopped, a short sleep turns it on again",
       {{0, us1, shortSleep, false}, {std::nullopt, us1, farMiss, true}, {0, us1, none, false},
        {0, us1, none, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTime time;
    AdaptiveSpin spin([&] { return time.Now(); });
    for (size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "wait " << i);
      const Outcome out = RunStep(spin, time, c.steps[i]);
      EXPECT_EQ(1, out.blocks);
      EXPECT_EQ(c.steps[i].expectSpin, out.looks > 0);
    }
  }
}

// A condition that never comes ends the spin once kSpinLimit has passed, at
// whatever pace the looks go.
TEST(AdaptiveSpin, ASpinEndsAtItsLimit) {
  for (const microseconds lookCost : {microseconds{1}, microseconds{7}, AdaptiveSpin::kSpinLimit}) {
    SCOPED_TRACE(testing::Message() << "look " << lookCost.count() << " us");
    FakeTime time;
    AdaptiveSpin spin([&] { return time.Now(); });
    RunStep(spin, time, {0, lookCost, microseconds{0}, false});
    ASSERT_TRUE(spin.Spinning());
    const Outcome out = RunStep(spin, time, {std::nullopt, lookCost, microseconds{0}, true});
    EXPECT_EQ(1, out.blocks);
    EXPECT_LE(out.looks, AdaptiveSpin::kSpinLimit / lookCost + 1);
  }
}

}  // namespace
}  // namespace platform
