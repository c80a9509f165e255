#include "sim/SimBridgePort.h"

namespace sim {

using platform::HidIoResult;

SimBridgePort::SimBridgePort(std::shared_ptr<SimBridge> bridge, platform::HidDeviceInfo info)
    : bridge_(std::move(bridge)), info_(std::move(info)), generation_(bridge_->Generation()) {}

SimBridgePort::~SimBridgePort() { Close(); }

bool SimBridgePort::IsOpen() const { return !closed_.load(); }

void SimBridgePort::Close() {
  if (closed_.exchange(true)) return;
  bridge_->WakeHost();  // a Read waiting on a real clock ends now
}

HidIoResult SimBridgePort::Write(const uint8_t* report, size_t length, uint32_t timeoutMs) {
  if (closed_.load()) return HidIoResult::Error;
  return bridge_->HostWrite(generation_, report, length, timeoutMs);
}

HidIoResult SimBridgePort::Read(uint8_t* buf, size_t capacity, size_t* transferred,
                                uint32_t timeoutMs) {
  if (closed_.load()) {
    if (transferred != nullptr) *transferred = 0;
    return HidIoResult::Error;
  }
  return bridge_->HostRead(generation_, buf, capacity, transferred, timeoutMs, &closed_);
}

void SimBridgePort::DiscardInput() {
  if (closed_.load()) return;
  bridge_->HostDiscardInput(generation_, &closed_);
}

}  // namespace sim
