#include "app/DeviceTeardown.h"

#include <atomic>
#include <utility>

#include "device/ChipGlobals.h"
#include "device/HidDevice.h"
#include "device/RegisterOps.h"

namespace {
std::atomic<bool> g_abandoned{false};
}  // namespace

bool DeviceTeardownAbandoned() { return g_abandoned.load(); }

DeviceTeardown::DeviceTeardown(std::unique_ptr<CHidDevice> bridge,
                               std::unique_ptr<CHidDevice> digitizer)
    : state_(std::make_shared<State>()) {
  state_->bridge = std::move(bridge);
  state_->digitizer = std::move(digitizer);
  thread_ = std::thread([state = state_] { Run(state); });
}

DeviceTeardown::~DeviceTeardown() {
  if (!thread_.joinable()) return;
  if (Finished()) {
    thread_.join();
  } else {
    g_abandoned = true;
    thread_.detach();
  }
}

void DeviceTeardown::Run(const std::shared_ptr<State>& state) {
  // The chip keeps streaming otherwise, and the next start finds it mid-frame.
  if (state->bridge && g_pBridgeDevice.load() == state->bridge.get()) StopDataStream();
  CHidDevice* expected = state->bridge.get();
  g_pBridgeDevice.compare_exchange_strong(expected, nullptr);
  expected = state->digitizer.get();
  g_pTouchHidDevice.compare_exchange_strong(expected, nullptr);
  state->bridge.reset();  // stops the dispatcher once the queue has drained
  state->digitizer.reset();
  {
    std::lock_guard lock(state->mutex);
    state->finished = true;
  }
  state->done.notify_all();
}

bool DeviceTeardown::WaitFor(std::chrono::milliseconds limit) {
  std::unique_lock lock(state_->mutex);
  return state_->done.wait_for(lock, limit, [&] { return state_->finished; });
}

bool DeviceTeardown::Finished() const {
  std::lock_guard lock(state_->mutex);
  return state_->finished;
}
