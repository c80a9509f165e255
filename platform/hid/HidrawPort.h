#pragma once
// IHidPort over an open Linux hidraw node. hidraw hands out one whole input
// report per read and sends one output report per write, and the kernel
// queues input reports while nobody reads, so a report read is a poll() for
// input followed by one read().

#include <chrono>
#include <functional>

#include "platform/hid/HidPort.h"

namespace platform {

class HidrawPort final : public IHidPort {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Most input reports DiscardInput throws away in one call, so that a device
  // that never stops sending cannot hold the caller.
  static constexpr size_t kMaxDiscardedReports = 4096;
  // Quiet time that ends DiscardInput.
  static constexpr int kDiscardQuietMs = 2;

  // Takes ownership of fd (opened non-blocking). clock measures write
  // durations and read deadlines; the steady clock when empty.
  HidrawPort(int fd, HidDeviceInfo info, Clock clock = {});
  ~HidrawPort() override;
  HidrawPort(const HidrawPort&) = delete;
  HidrawPort& operator=(const HidrawPort&) = delete;

  bool IsOpen() const override { return fd_ >= 0; }
  void Close() override;
  const HidDeviceInfo& Info() const override { return info_; }

  HidIoResult Write(const uint8_t* report, size_t length, uint32_t timeoutMs) override;
  HidIoResult Read(uint8_t* buf, size_t capacity, size_t* transferred, uint32_t timeoutMs) override;
  void DiscardInput() override;

 private:
  std::chrono::steady_clock::time_point Now() const;
  // Milliseconds left until deadline for poll(): -1 without a limit, capped at INT_MAX.
  int PollBudget(bool unlimited, std::chrono::steady_clock::time_point deadline,
                 bool* capped) const;

  int fd_;
  HidDeviceInfo info_;
  Clock clock_;
};

}  // namespace platform
