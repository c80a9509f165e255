#pragma once
// What the firmware engines see of the chip: the register operations they
// use and a clock for their pauses. Production forwards to the register
// operations (device/link/RegisterOps.h), so every access still travels through
// the one request queue; tests put a simulated chip and a virtual clock
// behind the same interface, so the engines' pauses cost no real time.

#include <cstdint>
#include <span>

class IClock {
 public:
  virtual ~IClock() = default;
  virtual void SleepMs(uint32_t ms) = 0;
  // Milliseconds since an arbitrary start; never goes back.
  virtual int64_t NowMs() = 0;
};

// The real clock: steady time, real sleeps.
IClock& SystemClock();

class IRegisterAccess {
 public:
  // Value Read8 gives for a failed read, as the register operations do.
  static constexpr uint8_t kFailedRead = 0xEE;
  // Wait of a one-byte access.
  static constexpr uint32_t kByteTimeoutMs = 100;

  virtual ~IRegisterAccess() = default;

  virtual bool ReadRegs(uint16_t address, std::span<uint8_t> out, uint32_t timeoutMs) = 0;
  virtual bool WriteRegs(uint16_t address, std::span<const uint8_t> data) = 0;
  // One byte; false when the read failed (value then untouched).
  virtual bool TryRead8(uint16_t address, uint8_t& value) = 0;
  virtual bool Write8(uint16_t address, uint8_t value) = 0;
  // High byte first, then the low byte.
  virtual bool Write16(uint16_t address, uint16_t value) = 0;
  // The bridge's touch-chip reset.
  virtual bool ResetChip() = 0;
  // mode 1: data frames; any other mode: touch reports.
  virtual bool StartStream(uint32_t mode) = 0;
  // true once no further access can succeed (the bridge was unplugged).
  virtual bool IsGone() = 0;
  virtual IClock& Clock() = 0;

  // The byte, or kFailedRead.
  uint8_t Read8(uint16_t address);

  // Reads the byte until it equals expected: true at the first match. A
  // chip's flash work is timed in reads on the original bridge (about 4 ms
  // each), so a poll that has not matched goes on after its `tries` reads
  // until tries x 4 ms have passed on Clock() (50 reads: 200 ms, 1000
  // reads: 4 s): a faster link must not cut the chip's time short. It gives
  // up at once when the device is gone, and after 10 read time-outs in a
  // row (a silent device would otherwise cost tries x 100 ms).
  bool Poll8(uint16_t address, uint8_t expected, uint32_t tries);
};

// Time a poll of `tries` reads is given at least.
constexpr int64_t PollFloorMs(uint32_t tries) { return static_cast<int64_t>(tries) * 4; }
// Read time-outs in a row after which a poll gives up.
inline constexpr int kPollMaxTimeoutsInRow = 10;

// The register operations on the bridge device of the moment
// (g_pBridgeDevice), with the given clock.
class CQueueRegisterAccess final : public IRegisterAccess {
 public:
  explicit CQueueRegisterAccess(IClock& clock = SystemClock()) : clock_(clock) {}

  bool ReadRegs(uint16_t address, std::span<uint8_t> out, uint32_t timeoutMs) override;
  bool WriteRegs(uint16_t address, std::span<const uint8_t> data) override;
  bool TryRead8(uint16_t address, uint8_t& value) override;
  bool Write8(uint16_t address, uint8_t value) override;
  bool Write16(uint16_t address, uint16_t value) override;
  bool ResetChip() override;
  bool StartStream(uint32_t mode) override;
  bool IsGone() override;
  IClock& Clock() override { return clock_; }

 private:
  IClock& clock_;
};

// The production access over the register operations and the real clock.
IRegisterAccess& QueueRegisterAccess();
