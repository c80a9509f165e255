#pragma once
// The time a module test run sees: its fixed waits and its deadlines. The
// program uses the steady clock; tests pass the simulator's virtual clock so
// that a run with its many waits takes milliseconds.

#include <cstdint>

class IRunClock {
 public:
  virtual ~IRunClock() = default;
  virtual int64_t NowMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
};

// The real clock.
IRunClock& SteadyRunClock();
