#include "sim/SimBridge.h"

#include <algorithm>
#include <cstring>

namespace sim {

using platform::HidIoResult;
using platform::kHidReportSize;

namespace {
constexpr size_t kHeaderBytes = 7;  // report id, op, command, address (2), length (2)
constexpr uint8_t kOpRead = 0;
constexpr uint8_t kOpWrite = 1;
// DiscardInput ends once this long passes without an input report.
constexpr int64_t kDiscardQuietUs = 2000;
}  // namespace

SimBridge::SimBridge(BridgeConfig config, SimChipConfig chipConfig, std::shared_ptr<SimClock> clock)
    : config_(std::move(config)),
      clock_(clock ? std::move(clock) : SimClock::MakeVirtual()),
      chip_(std::move(chipConfig)) {}

SimBridge::~SimBridge() = default;

BridgeConfig SimBridge::Config() const {
  std::lock_guard lock(mutex_);
  return config_;
}

HidIoResult SimBridge::PortStateLocked(uint64_t generation, const std::atomic<bool>* closed) const {
  if (closed != nullptr && closed->load()) return HidIoResult::Error;
  if (!plugged_ || generation != generation_) return HidIoResult::Removed;
  return HidIoResult::Ok;
}

HidIoResult SimBridge::HostWrite(uint64_t generation, const uint8_t* report, size_t length,
                                 uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (HidIoResult state = PortStateLocked(generation, nullptr); state != HidIoResult::Ok) {
    return state;
  }
  if (report == nullptr || length == 0 || length > kHidReportSize) return HidIoResult::Error;

  if (failWrites_ > 0) {
    --failWrites_;
    trace_.Record(TraceDir::OutFailed, report, length, clock_->NowUs());
    if (failResult_ == HidIoResult::Timeout) {
      // A write that times out has taken its whole time-out.
      const int64_t deadline = clock_->DeadlineAfterMs(timeoutMs);
      while (deadline != SimClock::kForever && clock_->NowUs() < deadline &&
             PortStateLocked(generation, nullptr) == HidIoResult::Ok) {
        clock_->WaitUntil(lock, cv_, deadline);
      }
    }
    return failResult_;
  }

  if (config_.reportWireUs > 0) {
    // Back-to-back reports queue on the bus: a report handed over within one
    // report time of the wire coming free starts when it came free, so the
    // host's wake-up lateness does not add up over a long write.
    const int64_t now = clock_->NowUs();
    const bool queued = !clock_->IsVirtual() && now < outputWireFreeUs_ + config_.reportWireUs;
    const int64_t sent =
        (queued ? outputWireFreeUs_ : std::max(now, outputWireFreeUs_)) + config_.reportWireUs;
    outputWireFreeUs_ = sent;
    while (clock_->NowUs() < sent) {
      if (HidIoResult state = PortStateLocked(generation, nullptr); state != HidIoResult::Ok) {
        return state;
      }
      clock_->WaitUntil(lock, cv_, sent);
    }
  }
  trace_.Record(TraceDir::Out, report, length, clock_->NowUs());
  ProcessLocked(report, length);
  cv_.notify_all();
  return HidIoResult::Ok;
}

HidIoResult SimBridge::HostRead(uint64_t generation, uint8_t* buf, size_t capacity,
                                size_t* transferred, uint32_t timeoutMs,
                                const std::atomic<bool>* closed) {
  std::unique_lock lock(mutex_);
  if (transferred != nullptr) *transferred = 0;
  if (buf == nullptr || transferred == nullptr || capacity == 0) return HidIoResult::Error;
  const int64_t deadline = clock_->DeadlineAfterMs(timeoutMs);
  for (;;) {
    if (HidIoResult state = PortStateLocked(generation, closed); state != HidIoResult::Ok) {
      return state;
    }
    const int64_t now = clock_->NowUs();
    if (!input_.empty() && input_.front().dueUs <= now) {
      const PendingReport report = input_.front();
      input_.pop_front();
      const size_t n = std::min(report.length, capacity);
      std::memcpy(buf, report.bytes.data(), n);
      *transferred = n;
      trace_.Record(TraceDir::In, report.bytes.data(), report.length, now);
      return HidIoResult::Ok;
    }
    if (now >= deadline) return HidIoResult::Timeout;
    const int64_t next = input_.empty() ? SimClock::kForever : input_.front().dueUs;
    clock_->WaitUntil(lock, cv_, std::min(next, deadline));
  }
}

void SimBridge::HostDiscardInput(uint64_t generation, const std::atomic<bool>* closed) {
  std::unique_lock lock(mutex_);
  // On a real clock nothing can arrive while nothing is queued (the chip only
  // answers requests), so the quiet window would be dead time.
  if (!clock_->IsVirtual() && input_.empty()) return;
  int64_t quietUntil = clock_->NowUs() + kDiscardQuietUs;
  for (;;) {
    if (PortStateLocked(generation, closed) != HidIoResult::Ok) return;
    const int64_t now = clock_->NowUs();
    if (!input_.empty() && input_.front().dueUs <= now) {
      trace_.Record(TraceDir::InDiscarded, input_.front().bytes.data(), input_.front().length, now);
      input_.pop_front();
      quietUntil = now + kDiscardQuietUs;
      continue;
    }
    if (now >= quietUntil) return;
    const int64_t next = input_.empty() ? SimClock::kForever : input_.front().dueUs;
    clock_->WaitUntil(lock, cv_, std::min(next, quietUntil));
  }
}

void SimBridge::WakeHost() {
  std::lock_guard lock(mutex_);
  cv_.notify_all();
}

void SimBridge::ProcessLocked(const uint8_t* report, size_t length) {
  if (length < kHeaderBytes || report[0] != kOutputReportId) {
    ++malformed_;
    return;
  }
  const uint8_t op = report[1];
  const uint8_t cmd = report[2];
  const auto address = static_cast<uint16_t>(report[3] << 8 | report[4]);
  const size_t count = static_cast<size_t>(report[5] << 8 | report[6]);

  if (op == kOpRead) {
    if (cmd != kCmdVersion && cmd != kCmdAsyncRead && cmd != kCmdFrameRead && cmd != kCmdRegister) {
      ++malformed_;
      return;
    }
    if (silent_ || silenceReads_ > 0) {
      if (!silent_) --silenceReads_;
      return;
    }
    if (count == 0) return;
    std::vector<uint8_t> data;
    if (cmd == kCmdVersion) {
      data.assign(count, 0);
      const size_t textBytes = std::min({config_.versionText.size(), kVersionTextBytes, count});
      std::memcpy(data.data(), config_.versionText.data(), textBytes);
    } else {
      data = chip_.Read(address, count, cmd);
    }
    AnswerLocked(data);
    return;
  }

  if (op != kOpWrite || count > kWriteChunkBytes || kHeaderBytes + count > length) {
    ++malformed_;
    return;
  }
  switch (cmd) {
    case kCmdResetChip:
      chip_.Reset();
      break;
    case kCmdEnterLoader:
      // The bridge restarts into its loader: the HID interface goes away and
      // a programming device turns up instead.
      plugged_ = false;
      input_.clear();
      AddEventLocked(BridgeEventKind::Unplugged);
      if (onEnterLoader_) onEnterLoader_();
      AddEventLocked(BridgeEventKind::ProgrammingDeviceArrived);
      break;
    case kCmdDigitizerOn:
      digitizerEnabled_ = true;
      break;
    case kCmdDigitizerOff:
      digitizerEnabled_ = false;
      break;
    case kCmdStreamStart:
    case kCmdStreamStop:
    case kCmdAsyncWrite:
    case kCmdRegister:
      if (!silent_) chip_.Write(address, report + kHeaderBytes, count, cmd);
      break;
    default:
      ++malformed_;
      break;
  }
}

void SimBridge::AnswerLocked(const std::vector<uint8_t>& data) {
  const int64_t start = clock_->NowUs() + config_.answerLatencyUs + nextAnswerDelayUs_;
  nextAnswerDelayUs_ = 0;
  AnswerShape shape;
  if (shapedAnswers_ > 0) {
    shape = shape_;
    --shapedAnswers_;
  }
  const size_t perReport = std::clamp<size_t>(shape.dataBytesPerReport, 1, kReadChunkBytes);
  const size_t reportLength = 1 + perReport;
  for (size_t offset = 0; offset < data.size(); offset += perReport) {
    for (size_t e = 0; e < shape.emptyReportsBefore; ++e) {
      QueueReportLocked(nullptr, 0, 1, start, true);
    }
    QueueReportLocked(data.data() + offset, std::min(perReport, data.size() - offset), reportLength,
                      start, true);
  }
}

void SimBridge::QueueReportLocked(const uint8_t* data, size_t dataBytes, size_t reportLength,
                                  int64_t earliestUs, bool wireTimed) {
  PendingReport report;
  report.bytes[0] = kInputReportId;
  if (dataBytes > 0) std::memcpy(report.bytes.data() + 1, data, dataBytes);
  report.length = reportLength;
  // The input direction is serial: a report leaves after the one before it.
  report.dueUs = std::max(earliestUs, inputWireFreeUs_) + (wireTimed ? config_.reportWireUs : 0);
  inputWireFreeUs_ = report.dueUs;
  input_.push_back(report);
}

void SimBridge::AddEventLocked(BridgeEventKind kind) {
  events_.push_back(BridgeEvent{kind, clock_->NowUs(), config_.bcdDevice});
}

bool SimBridge::IsPlugged() const {
  std::lock_guard lock(mutex_);
  return plugged_;
}

uint64_t SimBridge::Generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

void SimBridge::Unplug() {
  std::lock_guard lock(mutex_);
  if (!plugged_) return;
  plugged_ = false;
  input_.clear();
  AddEventLocked(BridgeEventKind::Unplugged);
  cv_.notify_all();
}

void SimBridge::Replug() {
  std::lock_guard lock(mutex_);
  if (plugged_) return;
  // A fresh connection: ports opened before stay dead, the chip powers up anew.
  plugged_ = true;
  ++generation_;
  inputWireFreeUs_ = 0;
  outputWireFreeUs_ = 0;
  digitizerEnabled_ = true;
  chip_.Reset();
  AddEventLocked(BridgeEventKind::Replugged);
  cv_.notify_all();
}

void SimBridge::SetLoaderHook(std::function<void()> onEnterLoader) {
  std::lock_guard lock(mutex_);
  onEnterLoader_ = std::move(onEnterLoader);
}

void SimBridge::ReturnFromLoader(uint16_t bcdDevice) {
  {
    std::lock_guard lock(mutex_);
    AddEventLocked(BridgeEventKind::ProgrammingDeviceLeft);
    config_.bcdDevice = bcdDevice;
  }
  Replug();
}

void SimBridge::SetReportWireUs(int64_t us) {
  std::lock_guard lock(mutex_);
  config_.reportWireUs = std::max<int64_t>(us, 0);
}

void SimBridge::SetAnswerLatencyUs(int64_t us) {
  std::lock_guard lock(mutex_);
  config_.answerLatencyUs = std::max<int64_t>(us, 0);
}

void SimBridge::SetSilent(bool silent) {
  std::lock_guard lock(mutex_);
  silent_ = silent;
}

void SimBridge::SilenceNextReads(unsigned n) {
  std::lock_guard lock(mutex_);
  silenceReads_ = n;
}

void SimBridge::DelayNextAnswer(uint32_t ms) {
  std::lock_guard lock(mutex_);
  nextAnswerDelayUs_ = static_cast<int64_t>(ms) * 1000;
}

void SimBridge::InjectStaleReports(unsigned n) {
  std::lock_guard lock(mutex_);
  std::array<uint8_t, kReadChunkBytes> junk;
  junk.fill(kStaleFill);
  for (unsigned i = 0; i < n; ++i) {
    QueueReportLocked(junk.data(), junk.size(), kHidReportSize, clock_->NowUs(), false);
  }
  cv_.notify_all();
}

void SimBridge::ShapeNextAnswers(AnswerShape shape, unsigned answers) {
  std::lock_guard lock(mutex_);
  shape_ = shape;
  shapedAnswers_ = answers;
}

void SimBridge::FailNextWrites(unsigned n, HidIoResult result) {
  std::lock_guard lock(mutex_);
  failWrites_ = n;
  failResult_ = result == HidIoResult::Ok ? HidIoResult::Error : result;
}

void SimBridge::ClearFaults() {
  std::lock_guard lock(mutex_);
  silenceReads_ = 0;
  nextAnswerDelayUs_ = 0;
  shapedAnswers_ = 0;
  failWrites_ = 0;
}

bool SimBridge::DigitizerEnabled() const {
  std::lock_guard lock(mutex_);
  return digitizerEnabled_;
}

unsigned SimBridge::ProgrammingDeviceArrivals() const {
  std::lock_guard lock(mutex_);
  return static_cast<unsigned>(
      std::count_if(events_.begin(), events_.end(), [](const BridgeEvent& event) {
        return event.kind == BridgeEventKind::ProgrammingDeviceArrived;
      }));
}

std::vector<BridgeEvent> SimBridge::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

size_t SimBridge::PendingInputReports() const {
  std::lock_guard lock(mutex_);
  return input_.size();
}

size_t SimBridge::MalformedReports() const {
  std::lock_guard lock(mutex_);
  return malformed_;
}

}  // namespace sim
