#pragma once
// A module test run's time on the simulator's virtual clock: the run's waits
// move the simulated equipment's time instead of sleeping.

#include <memory>

#include "moduletest/engine/RunClock.h"
#include "sim/SimClock.h"

class SimRunClock : public IRunClock {
 public:
  explicit SimRunClock(std::shared_ptr<sim::SimClock> clock) : clock_(std::move(clock)) {}
  int64_t NowMs() override { return clock_->NowMs(); }
  void SleepMs(uint32_t ms) override { clock_->Advance(ms); }

 private:
  std::shared_ptr<sim::SimClock> clock_;
};
