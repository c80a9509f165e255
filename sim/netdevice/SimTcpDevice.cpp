#include "sim/netdevice/SimTcpDevice.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <chrono>
#include <thread>

#include "platform/ByteOrder.h"
#include "sim/SimChip.h"

namespace sim {

namespace {

constexpr uint32_t kMagic = 0x5A6B7C8D;
constexpr size_t kHeaderSize = 8;
constexpr size_t kReplySkip = 8;
constexpr uint8_t kCmdFrameRead = 13;
constexpr uint8_t kCmdAsyncWrite = 10;

}  // namespace

SimTcpDevice::SimTcpDevice(SimChip& chip) : chip_(chip) {}

SimTcpDevice::~SimTcpDevice() { Stop(); }

void SimTcpDevice::SetFault(TcpDeviceFault fault) {
  std::lock_guard lock(mutex_);
  fault_ = fault;
}

void SimTcpDevice::ReleaseHeldReplies() {
  std::lock_guard lock(mutex_);
  if (fault_ == TcpDeviceFault::HoldReplies) fault_ = TcpDeviceFault::None;
  // Under the lock: Serve holds every later answer until this is done, so
  // the order of answers stays the order of requests.
  for (const std::vector<uint8_t>& reply : held_) {
    if (serving_ == nullptr || !serving_->Write(reply.data(), reply.size())) break;
    ++replies_;
  }
  held_.clear();
  changed_.notify_all();
}

std::vector<std::vector<uint8_t>> SimTcpDevice::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::vector<std::vector<uint8_t>> SimTcpDevice::WritePayloads() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

size_t SimTcpDevice::RepliesSent() const {
  std::lock_guard lock(mutex_);
  return replies_;
}

bool SimTcpDevice::WaitRepliesSent(size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return replies_ >= count; });
}

bool SimTcpDevice::WaitFrames(size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return frames_.size() >= count; });
}

bool SimTcpDevice::WaitStrayDelivered(int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return strayDelivered_; });
}

bool SimTcpDevice::SendStray(Connection& connection) {
  if (!connection.Write(kStrayBytes, sizeof kStrayBytes)) return false;
  // No event tells when the peer acknowledged; ask until nothing is left
  // unacknowledged (the peer's kernel has queued the bytes for reading).
  for (;;) {
    int unacknowledged = 0;
    if (::ioctl(connection.Fd(), SIOCOUTQ, &unacknowledged) != 0) return false;
    if (unacknowledged == 0) break;
    if (Stopping()) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  std::lock_guard lock(mutex_);
  strayDelivered_ = true;
  changed_.notify_all();
  return true;
}

std::vector<uint8_t> SimTcpDevice::Answer(uint8_t cmd, uint16_t address, uint16_t length) {
  if (cmd == kCmdFrameRead) {
    const uint16_t flag = chip_.SyncFlagAddress();
    for (int i = 0; i < kFlagPolls; ++i) {
      if (chip_.Read(flag, 1, cmd).at(0) != 0) break;
    }
  }
  std::vector<uint8_t> reply(kReplySkip, 0);
  const std::vector<uint8_t> data = chip_.Read(address, length, cmd);
  reply.insert(reply.end(), data.begin(), data.end());
  if (cmd == kCmdFrameRead) {
    const uint8_t zero = 0;
    chip_.Write(chip_.SyncFlagAddress(), &zero, 1, kCmdAsyncWrite);
  }
  return reply;
}

void SimTcpDevice::Serve(Connection& connection) {
  TcpDeviceFault fault;
  {
    std::lock_guard lock(mutex_);
    serving_ = &connection;
    strayDelivered_ = false;
    fault = fault_;
  }
  // Held answers belong to this connection alone.
  struct Ended {
    SimTcpDevice& device;
    ~Ended() {
      std::lock_guard lock(device.mutex_);
      device.serving_ = nullptr;
      device.held_.clear();
    }
  } ended{*this};
  if (fault == TcpDeviceFault::StrayOnConnect && !SendStray(connection)) return;

  for (;;) {
    std::vector<uint8_t> frame(kHeaderSize);
    if (!connection.ReadExact(frame.data(), kHeaderSize) ||
        platform::ReadLe32(frame.data()) != kMagic)
      return;
    const size_t n = platform::ReadLe16(frame.data() + 4);
    frame.resize(kHeaderSize + n);
    if (n != 0 && !connection.ReadExact(frame.data() + kHeaderSize, n)) return;
    const uint8_t* payload = frame.data() + kHeaderSize;
    const bool isRead = n == 6 && payload[0] == 0;
    {
      std::lock_guard lock(mutex_);
      frames_.push_back(frame);
      if (!isRead) writes_.emplace_back(payload, payload + n);
      fault = fault_;
      changed_.notify_all();
    }
    if (!isRead || fault == TcpDeviceFault::Silent) continue;

    const auto address = static_cast<uint16_t>(payload[2] << 8 | payload[3]);
    const auto length = static_cast<uint16_t>(payload[4] << 8 | payload[5]);
    std::vector<uint8_t> reply = Answer(payload[1], address, length);
    if (fault == TcpDeviceFault::LongAnswers) reply.insert(reply.end(), kExtraBytes, 0xA5);
    if (fault == TcpDeviceFault::CloseDuringReply) {
      connection.Write(reply.data(), reply.size() / 2);
      return;
    }
    {
      std::lock_guard lock(mutex_);
      if (fault_ == TcpDeviceFault::HoldReplies || !held_.empty()) {
        held_.push_back(std::move(reply));
        continue;
      }
    }
    if (!connection.Write(reply.data(), reply.size(), fault == TcpDeviceFault::OneByteSegments)) {
      return;
    }
    std::lock_guard lock(mutex_);
    ++replies_;
    changed_.notify_all();
  }
}

}  // namespace sim
