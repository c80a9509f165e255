#include "sim/ch55x/SimCh55xBootloader.h"

#include <algorithm>
#include <utility>

#include "sim/SimBridge.h"

namespace sim {

using platform::UsbIoResult;

namespace {

constexpr size_t kHeaderBytes = 3;       // command, length (u16 LE)
constexpr size_t kChunkAddressBytes = 5;  // address (u32 LE), filler
constexpr size_t kMaxChunkData = 56;
constexpr size_t kSectorBytes = 1024;
// The second byte of an answer; hosts must not read anything into it.
constexpr uint8_t kUnreliableByte = 0x5A;

uint32_t U32At(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

}  // namespace

SimCh55xBootloader::SimCh55xBootloader(Ch55xConfig config)
    : config_(config), flash_(config.userFlashBytes) {
  // A previous application fills the flash, so a burn that erases too little
  // fails its verify.
  for (size_t i = 0; i < flash_.size(); ++i) flash_[i] = static_cast<uint8_t>(i * 37 + 11);
}

Ch55xConfig SimCh55xBootloader::Config() const {
  std::lock_guard lock(mutex_);
  return config_;
}

void SimCh55xBootloader::PowerUp() {
  std::lock_guard lock(mutex_);
  present_ = true;
  ++generation_;
  keySet_ = false;
  verifyLatched_ = false;
  replies_.clear();
}

void SimCh55xBootloader::Remove() {
  std::lock_guard lock(mutex_);
  present_ = false;
  replies_.clear();
}

bool SimCh55xBootloader::IsPresent() const {
  std::lock_guard lock(mutex_);
  return present_;
}

uint64_t SimCh55xBootloader::Generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

void SimCh55xBootloader::SetOnEnd(std::function<void(uint16_t)> onEnd) {
  std::lock_guard lock(mutex_);
  onEnd_ = std::move(onEnd);
}

UsbIoResult SimCh55xBootloader::HostWrite(uint64_t generation, std::span<const uint8_t> data,
                                          uint32_t timeoutMs) {
  std::function<void(uint16_t)> onEnd;
  uint16_t release = 0;
  UsbIoResult result = UsbIoResult::Ok;
  {
    std::lock_guard lock(mutex_);
    if (!present_ || generation != generation_) {
      result = UsbIoResult::Removed;
    } else if (ProcessLocked(data)) {
      onEnd = onEnd_;
      release = config_.applicationRelease;
    }
    if (traceEnabled_) {
      transfers_.push_back(UsbTransfer{true, {data.begin(), data.end()}, timeoutMs, result});
    }
  }
  // The bridge is brought back outside our lock: it takes its own.
  if (onEnd) onEnd(release);
  return result;
}

UsbIoResult SimCh55xBootloader::HostRead(uint64_t generation, std::span<uint8_t> buf,
                                         size_t* transferred, uint32_t timeoutMs) {
  std::lock_guard lock(mutex_);
  *transferred = 0;
  UsbIoResult result = UsbIoResult::Ok;
  std::vector<uint8_t> reply;
  if (!present_ || generation != generation_) {
    result = UsbIoResult::Removed;
  } else if (replies_.empty()) {
    result = UsbIoResult::Timeout;
  } else {
    reply = std::move(replies_.front());
    replies_.pop_front();
    if (reply.size() > buf.size()) {
      result = UsbIoResult::Error;  // libusb's overflow
    } else {
      std::copy(reply.begin(), reply.end(), buf.begin());
      *transferred = reply.size();
    }
  }
  if (traceEnabled_) transfers_.push_back(UsbTransfer{false, std::move(reply), timeoutMs, result});
  return result;
}

void SimCh55xBootloader::ReplyLocked(uint8_t command, std::vector<uint8_t> payload) {
  if (activeFault_ == Ch55xFault::Garbled) command = static_cast<uint8_t>(command ^ 0xFF);
  std::vector<uint8_t> reply = {command, kUnreliableByte, static_cast<uint8_t>(payload.size()),
                                static_cast<uint8_t>(payload.size() >> 8)};
  reply.insert(reply.end(), payload.begin(), payload.end());
  replies_.push_back(std::move(reply));
}

std::array<uint8_t, 8> SimCh55xBootloader::KeyLocked() const {
  uint8_t sum = 0;
  for (size_t i = 0; i < 4; ++i) sum = static_cast<uint8_t>(sum + config_.uniqueId[i]);
  std::array<uint8_t, 8> key;
  key.fill(sum);
  key[7] = static_cast<uint8_t>(sum + config_.chipType);
  return key;
}

bool SimCh55xBootloader::ChunkLocked(std::span<const uint8_t> payload, bool write) {
  if (!keySet_ || payload.size() < kChunkAddressBytes) return false;
  const size_t address = U32At(payload, 0);
  const std::span<const uint8_t> data = payload.subspan(kChunkAddressBytes);
  if (data.size() > kMaxChunkData || address > flash_.size() ||
      data.size() > flash_.size() - address) {
    return false;
  }
  const std::array<uint8_t, 8> key = KeyLocked();
  bool same = true;
  for (size_t i = 0; i < data.size(); ++i) {
    const uint8_t plain = static_cast<uint8_t>(data[i] ^ key[i % 8]);
    uint8_t& cell = flash_[address + i];
    if (write) {
      cell &= plain;  // flash bits only go from 1 to 0 until erased
      if (auto stuck = stuck_.find(address + i); stuck != stuck_.end()) cell = stuck->second;
    } else if (cell != plain) {
      same = false;
    }
  }
  return same;
}

bool SimCh55xBootloader::ProcessLocked(std::span<const uint8_t> request) {
  if (request.size() < kHeaderBytes) return false;
  const uint8_t command = request[0];
  const size_t length = size_t{request[1]} | size_t{request[2]} << 8;
  if (request.size() != kHeaderBytes + length) return false;
  const std::span<const uint8_t> payload = request.subspan(kHeaderBytes);
  ++requests_[command];

  activeFault_.reset();
  if (auto fault = faults_.find(command); fault != faults_.end() && fault->second.times > 0) {
    if (fault->second.times != kEveryTime) --fault->second.times;
    activeFault_ = fault->second.kind;
  }
  if (activeFault_ == Ch55xFault::Unplug) {
    present_ = false;
    replies_.clear();
    return false;
  }
  if (activeFault_ == Ch55xFault::Silent) return false;
  const bool refuse = activeFault_ == Ch55xFault::Refuse;

  switch (command) {
    case kCh55xIdentify:
      if (config_.olderGeneration) {
        replies_.push_back({config_.chipType, 0x00});
      } else {
        ReplyLocked(command, {config_.chipType, refuse ? uint8_t{0x99} : config_.family});
      }
      return false;
    case kCh55xReadConfig: {
      if (payload.size() < 2) break;
      const uint8_t mask = payload[0];
      std::vector<uint8_t> answer = {payload[0], payload[1]};
      if (refuse) {
        ReplyLocked(command, std::move(answer));  // the fields asked for are missing
        return false;
      }
      if (mask & 0x07) answer.insert(answer.end(), 12, 0x00);
      if (mask & 0x08) answer.insert(answer.end(), config_.version.begin(), config_.version.end());
      if (mask & 0x10) answer.insert(answer.end(), config_.uniqueId.begin(), config_.uniqueId.end());
      ReplyLocked(command, std::move(answer));
      return false;
    }
    case kCh55xSetKey: {
      uint8_t sum = 0;
      for (uint8_t b : KeyLocked()) sum = static_cast<uint8_t>(sum + b);
      keySet_ = !refuse;
      ReplyLocked(command, {static_cast<uint8_t>(refuse ? sum + 1 : sum)});
      return false;
    }
    case kCh55xErase: {
      if (payload.size() < 4 || refuse) break;
      const size_t bytes = std::min<size_t>(size_t{U32At(payload, 0)} * kSectorBytes, flash_.size());
      std::fill(flash_.begin(), flash_.begin() + static_cast<ptrdiff_t>(bytes), uint8_t{0xFF});
      ReplyLocked(command, {StatusOf(true)});
      return false;
    }
    case kCh55xProgram:
      ReplyLocked(command, {StatusOf(!refuse && ChunkLocked(payload, true))});
      return false;
    case kCh55xVerify: {
      // A failed verify never passes again before the next power-up.
      const bool same = !verifyLatched_ && ChunkLocked(payload, false) && !refuse;
      if (!same) verifyLatched_ = true;
      ReplyLocked(command, {StatusOf(same)});
      return false;
    }
    case kCh55xEnd:
      if (payload.size() != 1 || payload[0] != 0x01 || refuse) break;
      ++ends_;
      if (config_.replyToEnd) ReplyLocked(command, {StatusOf(true)});
      present_ = false;
      replies_.clear();
      return true;
    default:
      break;
  }
  ReplyLocked(command, {StatusOf(false)});
  return false;
}

void SimCh55xBootloader::InjectFault(uint8_t command, Ch55xFault fault, unsigned times) {
  std::lock_guard lock(mutex_);
  faults_[command] = Fault{fault, times};
}

void SimCh55xBootloader::StickFlashByte(size_t address, uint8_t value) {
  std::lock_guard lock(mutex_);
  stuck_[address] = value;
}

void SimCh55xBootloader::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
  stuck_.clear();
}

std::vector<uint8_t> SimCh55xBootloader::Flash() const {
  std::lock_guard lock(mutex_);
  return flash_;
}

std::vector<UsbTransfer> SimCh55xBootloader::Transfers() const {
  std::lock_guard lock(mutex_);
  return transfers_;
}

void SimCh55xBootloader::SetTraceEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  traceEnabled_ = enabled;
  if (!enabled) transfers_.clear();
}

void SimCh55xBootloader::ClearTransfers() {
  std::lock_guard lock(mutex_);
  transfers_.clear();
}

unsigned SimCh55xBootloader::Requests(uint8_t command) const {
  std::lock_guard lock(mutex_);
  const auto it = requests_.find(command);
  return it == requests_.end() ? 0 : it->second;
}

unsigned SimCh55xBootloader::Ends() const {
  std::lock_guard lock(mutex_);
  return ends_;
}

void ConnectBootloader(const std::shared_ptr<SimBridge>& bridge,
                       const std::shared_ptr<SimCh55xBootloader>& loader) {
  std::weak_ptr<SimCh55xBootloader> weakLoader = loader;
  std::weak_ptr<SimBridge> weakBridge = bridge;
  bridge->SetLoaderHook([weakLoader] {
    if (auto l = weakLoader.lock()) l->PowerUp();
  });
  loader->SetOnEnd([weakBridge](uint16_t release) {
    if (auto b = weakBridge.lock()) b->ReturnFromLoader(release);
  });
}

}  // namespace sim
