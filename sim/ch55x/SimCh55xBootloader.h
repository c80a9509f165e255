#pragma once
// A simulated CH55x USB bootloader (the newer, 3-byte-header generation):
// the bridge box's microcontroller after bridge command 14. It answers
// identify, read config, set key, erase, program, verify and end over a
// bulk pipe pair, keeps the code flash (it starts with a previous
// application; programming only clears bits, as real flash does, so a
// missing or short erase shows up in verify), latches a failed
// verify until the next power-up, and on "end" leaves the bus and hands the
// new application's release number to whoever brings the bridge back.
//
// Faults: per command, no answer, a garbled answer (wrong command echo), a
// refusal (non-zero status, wrong key sum, foreign family) or an unplug; a
// flash cell that never takes its value. Every transfer is recorded with its
// time-out. Nothing waits: a read with no answer queued is a time-out at
// once, so tests and benchmarks run at host speed. Thread-safe.

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "platform/usb/UsbBulkPort.h"

namespace sim {

class SimBridge;

// Bootloader command codes.
enum Ch55xCommand : uint8_t {
  kCh55xIdentify = 0xA1,
  kCh55xEnd = 0xA2,
  kCh55xSetKey = 0xA3,
  kCh55xErase = 0xA4,
  kCh55xProgram = 0xA5,
  kCh55xVerify = 0xA6,
  kCh55xReadConfig = 0xA7,
};

struct Ch55xConfig {
  uint8_t chipType = 0x52;
  uint8_t family = 0x11;
  std::array<uint8_t, 4> version = {0x00, 0x02, 0x04, 0x00};  // 2.4.0
  std::array<uint8_t, 8> uniqueId = {0x3C, 0x91, 0x07, 0xE2, 0x55, 0xAA, 0x01, 0x02};
  // Code flash the bootloader lets the host write (below the bootloader).
  size_t userFlashBytes = 14 * 1024;
  // 1.x bootloaders answer the newer identify with 2 bytes.
  bool olderGeneration = false;
  // Some 2.x versions send nothing back for "end".
  bool replyToEnd = false;
  // The bridge's release number (bcdDevice) once the new application runs.
  uint16_t applicationRelease = 0x0111;
};

enum class Ch55xFault {
  Silent,   // the request is taken, nothing comes back
  Garbled,  // the answer echoes another command
  Refuse,   // status 0xFE; identify names a foreign family; read config leaves
            // out its fields; the key sum is off
  Unplug,   // the device leaves the bus on this request
};

struct UsbTransfer {
  bool out = true;
  std::vector<uint8_t> bytes;  // what went out, or what came back
  uint32_t timeoutMs = 0;
  platform::UsbIoResult result = platform::UsbIoResult::Ok;
};

inline constexpr unsigned kEveryTime = UINT_MAX;

class SimCh55xBootloader {
 public:
  explicit SimCh55xBootloader(Ch55xConfig config = {});

  Ch55xConfig Config() const;

  // --- Presence. ---
  // The microcontroller starts in its bootloader: no key, no verify latch.
  // The flash keeps its contents.
  void PowerUp();
  // The box is pulled off the bus.
  void Remove();
  bool IsPresent() const;
  // Counts power-ups; a port opened before the current one is dead.
  uint64_t Generation() const;
  // Called with the application's release number after "end", outside the
  // bootloader's lock.
  void SetOnEnd(std::function<void(uint16_t)> onEnd);

  // --- Host side (the simulated USB port). ---
  platform::UsbIoResult HostWrite(uint64_t generation, std::span<const uint8_t> data,
                                  uint32_t timeoutMs);
  platform::UsbIoResult HostRead(uint64_t generation, std::span<uint8_t> buf, size_t* transferred,
                                 uint32_t timeoutMs);

  // --- Fault injection. ---
  // The next `times` requests with this command code meet the fault.
  void InjectFault(uint8_t command, Ch55xFault fault, unsigned times = kEveryTime);
  // Programming this address leaves the value there (a worn cell).
  void StickFlashByte(size_t address, uint8_t value);
  void ClearFaults();

  // --- State. ---
  std::vector<uint8_t> Flash() const;
  std::vector<UsbTransfer> Transfers() const;
  void ClearTransfers();
  // The program's simulator keeps no trace (tests read it).
  void SetTraceEnabled(bool enabled);
  // Requests seen with this command code.
  unsigned Requests(uint8_t command) const;
  unsigned Ends() const;

 private:
  struct Fault {
    Ch55xFault kind;
    unsigned times;
  };

  // Handles one request; true when the device ran its application ("end").
  bool ProcessLocked(std::span<const uint8_t> request);
  void ReplyLocked(uint8_t command, std::vector<uint8_t> payload);
  uint8_t StatusOf(bool ok) const { return ok ? 0x00 : 0xFE; }
  std::array<uint8_t, 8> KeyLocked() const;
  bool ChunkLocked(std::span<const uint8_t> payload, bool write);

  mutable std::mutex mutex_;
  Ch55xConfig config_;
  std::vector<uint8_t> flash_;
  std::map<size_t, uint8_t> stuck_;
  std::map<uint8_t, Fault> faults_;
  std::map<uint8_t, unsigned> requests_;
  std::deque<std::vector<uint8_t>> replies_;
  std::vector<UsbTransfer> transfers_;
  std::function<void(uint16_t)> onEnd_;
  bool traceEnabled_ = true;
  bool present_ = false;
  uint64_t generation_ = 0;
  bool keySet_ = false;
  bool verifyLatched_ = false;
  std::optional<Ch55xFault> activeFault_;
  unsigned ends_ = 0;
};

// The bridge restarts into this bootloader on command 14 and comes back with
// the new release number after "end".
void ConnectBootloader(const std::shared_ptr<SimBridge>& bridge,
                       const std::shared_ptr<SimCh55xBootloader>& loader);

}  // namespace sim
