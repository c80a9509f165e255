// Feeds arbitrary input-report sequences (and write outcomes) to the bridge
// transport's read paths: the plain read and the flag-polled frame read.
// Nothing may be written outside the caller's buffer, and a read may only
// succeed with the whole length delivered.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "device/link/HidDevice.h"
#include "device/link/HidRequest.h"
#include "platform/hid/HidPort.h"

namespace {

using platform::HidIoResult;

HidIoResult PickResult(FuzzedDataProvider& fdp) {
  // Mostly Ok, so that long answers are reached.
  switch (fdp.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return HidIoResult::Timeout;
    case 1:
      return HidIoResult::Removed;
    case 2:
      return HidIoResult::Error;
    default:
      return HidIoResult::Ok;
  }
}

// A port whose every answer comes from the fuzz input; once the input is
// used up it only times out.
class ScriptedPort : public platform::IHidPort {
 public:
  explicit ScriptedPort(FuzzedDataProvider& fdp) : fdp_(fdp) {}
  bool IsOpen() const override { return open_; }
  void Close() override { open_ = false; }
  const platform::HidDeviceInfo& Info() const override { return info_; }
  HidIoResult Write(const uint8_t* report, size_t length, uint32_t) override {
    if (report == nullptr || length != platform::kHidReportSize || report[0] != 3) __builtin_trap();
    if (fdp_.remaining_bytes() == 0) return HidIoResult::Timeout;
    return PickResult(fdp_);
  }
  HidIoResult Read(uint8_t* buf, size_t capacity, size_t* transferred, uint32_t) override {
    *transferred = 0;
    if (fdp_.remaining_bytes() == 0) return HidIoResult::Timeout;
    const HidIoResult r = PickResult(fdp_);
    if (r != HidIoResult::Ok) return r;
    // A length past the capacity models a misbehaving port.
    const size_t n = fdp_.ConsumeIntegralInRange<size_t>(0, capacity + 8);
    const std::vector<uint8_t> bytes = fdp_.ConsumeBytes<uint8_t>(std::min(n, capacity));
    if (!bytes.empty()) std::memcpy(buf, bytes.data(), bytes.size());
    *transferred = n;
    return HidIoResult::Ok;
  }
  void DiscardInput() override {
    // Stale reports that the drain throws away.
    const int n = fdp_.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < n; ++i) fdp_.ConsumeIntegral<uint8_t>();
  }

 private:
  FuzzedDataProvider& fdp_;
  platform::HidDeviceInfo info_;
  bool open_ = true;
};

class ScriptedBackend : public platform::IHidBackend {
 public:
  FuzzedDataProvider* fdp = nullptr;
  std::vector<platform::HidDeviceInfo> Enumerate() override {
    platform::HidDeviceInfo info;
    info.vendorId = 0x27C0;
    info.productId = 0x0101;
    info.interfaceNumber = 1;
    return {info};
  }
  std::unique_ptr<platform::IHidPort> Open(const platform::HidDeviceInfo&) override {
    return std::make_unique<ScriptedPort>(*fdp);
  }
};

constexpr size_t kCanary = 16;
constexpr uint8_t kCanaryByte = 0xC5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto backend = std::make_shared<ScriptedBackend>();
  static CHidDevice device(CHidDevice::kModeCommand, backend);
  FuzzedDataProvider fdp(data, size);
  backend->fdp = &fdp;
  if (device.Open() != 1) __builtin_trap();

  const bool frame = fdp.ConsumeBool();
  const uint32_t length = fdp.ConsumeIntegralInRange<uint32_t>(0, 7040);
  const uint16_t address = fdp.ConsumeBool() ? 0x824E : fdp.ConsumeIntegral<uint16_t>();
  std::vector<uint8_t> buffer(length + kCanary, kCanaryByte);
  uint32_t result;
  if (frame) {
    CHidRequest request(HidOpRead, address, buffer.data(), length, BridgeCmdFrameRead, 100);
    request.flagAddress = fdp.ConsumeIntegral<uint16_t>();
    result = device.ReadFrame(request);
  } else {
    CHidRequest request(HidOpRead, address, buffer.data(), length, BridgeCmdRegister, 100);
    result = device.ReadReports(request.header, request.buffer, length, 100, fdp.ConsumeBool());
  }
  if (result > 1) __builtin_trap();
  for (size_t i = length; i < buffer.size(); ++i) {
    if (buffer[i] != kCanaryByte) __builtin_trap();
  }
  device.Close();
  backend->fdp = nullptr;
  return 0;
}
