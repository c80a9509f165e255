#include "app/DeviceTeardown.h"

#include <atomic>
#include <utility>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "device/net/LinkSwitch.h"
#include "device/net/TcpLink.h"

namespace {
std::atomic<bool> g_abandoned{false};
}  // namespace

bool DeviceTeardownAbandoned() { return g_abandoned.load(); }

DeviceTeardown::DeviceTeardown(std::unique_ptr<CHidDevice> bridge,
                               std::unique_ptr<CHidDevice> digitizer,
                               std::unique_ptr<CTcpLink> tcpLink)
    : state_(std::make_shared<State>()) {
  state_->bridge = std::move(bridge);
  state_->digitizer = std::move(digitizer);
  state_->tcpLink = std::move(tcpLink);
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
  // First back to the bridge: a request waiting on a silent networked
  // device would hold up everything queued behind it, and the dispatcher
  // must not find the TCP link selected once it is gone.
  if (state->tcpLink) {
    DisconnectNetworkDevice(*state->tcpLink, state->bridge.get());
    state->tcpLink.reset();
  }
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
