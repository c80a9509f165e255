#include "moduletest/engine/RunClock.h"

#include <chrono>
#include <thread>

namespace {

class SteadyClock : public IRunClock {
 public:
  int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace

IRunClock& SteadyRunClock() {
  static SteadyClock clock;
  return clock;
}
