#pragma once
// The firmware engines on a simulated chip without the bridge in between: a
// register access that drives a sim::SimChip directly on a virtual clock
// (each access costs its reports at 1 ms each, as on the wire), counts the
// requests and injects faults by request number; a log that remembers at
// which request each line was written.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/LogSink.h"
#include "platform/files/AppPaths.h"
#include "programming/touchfw/FwUpdate.h"
#include "programming/touchfw/RegisterAccess.h"
#include "sim/SimChip.h"
#include "sim/flash/FirmwareImages.h"
#include "sim/flash/SimChipDe7.h"
#include "sim/flash/SimChipDe9.h"
#include "tests/platform/ScratchDir.h"

namespace fw_test {

class VirtualClock : public IClock {
 public:
  void SleepMs(uint32_t ms) override {
    nowMs_ += ms;
    sleptMs_ += ms;
  }
  int64_t NowMs() override { return nowMs_; }
  void Advance(int64_t ms) { nowMs_ += ms; }
  int64_t SleptMs() const { return sleptMs_; }

 private:
  int64_t nowMs_ = 0;
  int64_t sleptMs_ = 0;
};

enum class Op { Read, Write, Reset, Stream };

struct Access {
  Op op;
  uint16_t address;
  size_t length;
  std::vector<uint8_t> bytes;  // written, or read as the host saw them
  bool ok;
};

enum class Fault {
  None,
  Unplug,       // from request k on every access fails at once; the device is gone
  Silence,      // from request k on reads time out and writes reach nothing
  Drop,         // request k alone fails (a read times out, a write is lost)
  Corrupt,      // request k, a read, comes back with one byte flipped
  CorruptFrom,  // from request k on every read of more than one byte comes back corrupt
};

class SimChipAccess : public IRegisterAccess {
 public:
  SimChipAccess(sim::SimChip& chip, VirtualClock& clock) : chip_(chip), clock_(clock) {}

  void Inject(Fault fault, size_t request) {
    fault_ = fault;
    at_ = request;
  }
  // The device is back (after an unplug or silence); the chip keeps its state.
  void Replug() { fault_ = Fault::None; }

  bool ReadRegs(uint16_t address, std::span<uint8_t> out, uint32_t timeoutMs) override {
    const size_t n = Begin();
    Cost(1 + (out.size() + 62) / 63);
    if (Gone(n)) return Record(Op::Read, address, {}, false, out.size());
    if (Silent(n) || Dropped(n)) {
      clock_.Advance(timeoutMs);
      std::fill(out.begin(), out.end(), kFailedRead);
      return Record(Op::Read, address, {}, false, out.size());
    }
    std::vector<uint8_t> bytes = chip_.Read(address, out.size(), 15);
    const bool corrupt = (fault_ == Fault::Corrupt && n == at_) ||
                         (fault_ == Fault::CorruptFrom && n >= at_ && bytes.size() > 1);
    if (corrupt && !bytes.empty()) bytes[bytes.size() / 2] ^= 0x10;
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return Record(Op::Read, address, bytes, true, out.size());
  }
  bool WriteRegs(uint16_t address, std::span<const uint8_t> data) override {
    return Write(address, data, 15);
  }
  bool TryRead8(uint16_t address, uint8_t& value) override {
    uint8_t byte = 0;
    if (!ReadRegs(address, std::span(&byte, 1), kByteTimeoutMs)) return false;
    value = byte;
    return true;
  }
  bool Write8(uint16_t address, uint8_t value) override { return Write(address, {&value, 1}, 15); }
  bool Write16(uint16_t address, uint16_t value) override {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return Write(address, bytes, 15);
  }
  bool ResetChip() override {
    const size_t n = Begin();
    Cost(1);
    // The bridge resets the chip itself: only an unplugged bridge cannot.
    if (Gone(n) || Dropped(n)) return Record(Op::Reset, 0x8040, {}, false, 0);
    chip_.Reset();
    return Record(Op::Reset, 0x8040, {}, true, 0);
  }
  bool StartStream(uint32_t mode) override {
    // As StartDataStream: the family's stream parameter first (result not
    // used), then the command register with the stream command.
    if (chip_.Family() == sim::ChipFamily::DE7) {
      Write16(0x8041, mode == 1 ? 0x00FF : 0);
    } else {
      Write8(0x8046, mode == 1 ? 1 : 0);
    }
    const uint8_t value = mode == 1 ? 1 : 0;
    return Write(0x8040, {&value, 1}, 6, Op::Stream);
  }
  bool IsGone() override { return fault_ == Fault::Unplug && requests_ >= at_; }
  IClock& Clock() override { return clock_; }

  size_t Requests() const { return requests_; }
  const std::vector<Access>& Trace() const { return trace_; }
  void ClearTrace() { trace_.clear(); }
  // Reads of one address so far.
  size_t ReadsOf(uint16_t address) const {
    return static_cast<size_t>(std::count_if(trace_.begin(), trace_.end(), [&](const Access& a) {
      return a.op == Op::Read && a.address == address;
    }));
  }
  bool WroteTo(uint16_t address) const {
    return std::any_of(trace_.begin(), trace_.end(),
                       [&](const Access& a) { return a.op == Op::Write && a.address == address; });
  }

 private:
  size_t Begin() { return ++requests_; }
  void Cost(size_t reports) { clock_.Advance(static_cast<int64_t>(reports)); }
  bool Gone(size_t n) const { return fault_ == Fault::Unplug && n >= at_; }
  bool Silent(size_t n) const { return fault_ == Fault::Silence && n >= at_; }
  bool Dropped(size_t n) const { return fault_ == Fault::Drop && n == at_; }
  bool Record(Op op, uint16_t address, std::vector<uint8_t> bytes, bool ok, size_t length) {
    trace_.push_back(Access{op, address, length, std::move(bytes), ok});
    return ok;
  }
  bool Write(uint16_t address, std::span<const uint8_t> data, uint8_t cmd, Op op = Op::Write) {
    const size_t n = Begin();
    Cost(std::max<size_t>(1, (data.size() + 56) / 57));
    std::vector<uint8_t> bytes(data.begin(), data.end());
    if (Gone(n) || Dropped(n)) return Record(op, address, bytes, false, data.size());
    // A silent bridge takes the reports but nothing reaches the chip.
    if (!Silent(n)) chip_.Write(address, data.data(), data.size(), cmd);
    return Record(op, address, bytes, true, data.size());
  }

  sim::SimChip& chip_;
  VirtualClock& clock_;
  Fault fault_ = Fault::None;
  size_t at_ = 0;
  size_t requests_ = 0;
  std::vector<Access> trace_;
};

// The request number (from 1) of the n-th access of this kind to address in
// a trace; 0 when there is none.
inline size_t NthRequest(const std::vector<Access>& trace, Op op, uint16_t address, int n) {
  for (size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].op == op && trace[i].address == address && --n == 0) return i + 1;
  }
  return 0;
}

struct LogLine {
  std::string text;
  LogLevel level;
  size_t request;  // requests made before the line
};

class RecordingLog : public ILogSink {
 public:
  explicit RecordingLog(const SimChipAccess* access = nullptr) : access_(access) {}
  void AddLog(const std::string& text, LogLevel level) override {
    std::lock_guard lock(mutex_);
    lines_.push_back(LogLine{text, level, access_ != nullptr ? access_->Requests() : 0});
  }
  std::vector<LogLine> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const LogLine& l : Lines()) out.push_back(l.text);
    return out;
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> out;
    for (const LogLine& l : Lines()) {
      if (l.level == LOG_ERROR) out.push_back(l.text);
    }
    return out;
  }
  bool Has(const std::string& text, LogLevel level) const {
    for (const LogLine& l : Lines()) {
      if (l.text == text && l.level == level) return true;
    }
    return false;
  }

 private:
  const SimChipAccess* access_;
  mutable std::mutex mutex_;
  std::vector<LogLine> lines_;
};

// Writes bytes as a file in dir and returns its path.
inline std::filesystem::path WriteFile(const platform::testing_support::ScratchDir& dir,
                                       const std::string& name, const std::vector<uint8_t>& bytes) {
  const auto path = dir / name;
  platform::testing_support::WriteBytes(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return path;
}

// A chip of one family with its burn personality behind a direct access, an
// engine of that family, a log and a scratch folder holding the settings
// file with the chip list.
template <typename Personality>
struct Rig {
  explicit Rig(sim::ChipFamily family)
      : chip(sim::SimChipConfig::For(family)), access(chip, clock), log(&access) {
    if constexpr (std::is_same_v<Personality, sim::SimChipDe9>) {
      personality = &sim::AddDe9Personality(chip);
      engine = CreateFwUpdate(FwFamily::DE9vur, &log, access);
    } else {
      personality = &sim::AddDe7Personality(chip);
      engine = CreateFwUpdate(FwFamily::ZE73da, &log, access);
    }
    platform::AppPaths::SetBaseDir(dir.path());
    SetChipList("RO9110V, RO9110R, RO6108D, VE6572, RO7387Z, RO911");
    SetChipName("");
    SetChipNameVersion("");
  }
  ~Rig() {
    SetChipName("");
    SetChipNameVersion("");
    platform::AppPaths::SetBaseDir(platform::AppPaths::ExecutableBaseDir());
  }
  void SetChipList(const std::string& list) {
    platform::testing_support::WriteBytes(dir / "System/AppConfigInit.ini",
                                          "[CHIP LIST]\r\nchip list=" + list + "\r\n");
  }
  bool Load(const std::vector<uint8_t>& file, const std::string& name = "fw.bin") {
    return engine->LoadFirmwareFile(WriteFile(dir, name, file));
  }

  platform::testing_support::ScratchDir dir;
  VirtualClock clock;
  sim::SimChip chip;
  SimChipAccess access;
  RecordingLog log;
  Personality* personality = nullptr;
  std::unique_ptr<CFwUpdate> engine;
};

using De9Rig = Rig<sim::SimChipDe9>;
using De7Rig = Rig<sim::SimChipDe7>;

inline sim::FirmwareIdentity De9Identity(uint16_t version = 0x1060) {
  return {"9110V", version, "9111", version};
}
inline sim::FirmwareIdentity De7Identity(uint16_t version = 0x0102) {
  return {"7388", version, "7388", version};
}

inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t offset, size_t length) {
  return {v.begin() + static_cast<std::ptrdiff_t>(offset),
          v.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

}  // namespace fw_test
