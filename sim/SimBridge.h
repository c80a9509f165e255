#pragma once
// A simulated USB-to-I2C bridge box with one touch chip behind it.
//
// It speaks the bridge's report protocol: 64-byte output reports
// [0]=3, [1]=op (0 read, 1 write), [2]=command, [3..4] address (big-endian),
// [5..6] length (big-endian; for a write the data bytes of THIS report, <= 57),
// [7..63] write data. A read is answered with ceil(length/63) input reports
// (report id, then 63 data bytes; the last one zero-padded); a write gets no
// answer. Commands: 3 version text, 4 chip reset, 6/7 stream start/stop
// (written to the command register), 10/15 writes, 11/13/15 reads,
// 14 restart into the programming loader (the bridge drops off the bus),
// 17/18 digitizer on/off.
//
// Timing: every output report takes the report wire time to send; input
// reports leave one after another, each one report wire time after the
// previous, starting after the answer latency. Everything runs on a SimClock.
//
// All members are thread-safe: the host's I/O thread drives the Host* calls
// while a test thread injects faults and reads the trace between requests.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/hid/HidPort.h"
#include "sim/SimChip.h"
#include "sim/SimClock.h"
#include "sim/SimTrace.h"

namespace sim {

// Data bytes per write report and per input report.
inline constexpr size_t kWriteChunkBytes = 57;
inline constexpr size_t kReadChunkBytes = 63;
inline constexpr uint8_t kOutputReportId = 3;
inline constexpr uint8_t kInputReportId = 3;
inline constexpr size_t kVersionTextBytes = 32;
// Data byte of injected stale reports.
inline constexpr uint8_t kStaleFill = 0x5A;

// Bridge commands (byte 2 of an output report).
enum BridgeCommand : uint8_t {
  kCmdVersion = 3,
  kCmdResetChip = 4,
  kCmdStreamStart = 6,
  kCmdStreamStop = 7,
  kCmdAsyncWrite = 10,
  kCmdAsyncRead = 11,
  kCmdFrameRead = 13,
  kCmdEnterLoader = 14,
  kCmdRegister = 15,
  kCmdDigitizerOn = 17,
  kCmdDigitizerOff = 18,
};

// Product ids of the simulated bridge models (listed in the shipped settings'
// bridge model table).
inline constexpr uint16_t kSimVendorId = 0x27C0;
inline constexpr uint16_t kSimRu9BridgePid = 0x0101;
inline constexpr uint16_t kSimDe7BridgePid = 0x0201;
inline constexpr uint16_t kSimSharedBridgePid = 0x0301;
inline constexpr uint16_t kSimBridgeBcd = 0x0110;

// Defaults: the RU9 family's own bridge model.
struct BridgeConfig {
  uint16_t vendorId = kSimVendorId;
  uint16_t productId = kSimRu9BridgePid;
  uint16_t bcdDevice = kSimBridgeBcd;
  std::string versionText = "Kestrana SimBridge V1.10";  // cmd 3 answer, NUL-padded
  int64_t reportWireUs = 0;     // time of one 64-byte report on the wire, each way
  int64_t answerLatencyUs = 0;  // from the request's arrival to the answer's start
};

// How the next answers are cut into input reports (fault injection).
struct AnswerShape {
  // Data bytes per input report, 1..63; below 63 the reports are short
  // (transferred = 1 + this).
  size_t dataBytesPerReport = kReadChunkBytes;
  // Id-only reports (transferred == 1) sent ahead of each data report.
  size_t emptyReportsBefore = 0;
};

enum class BridgeEventKind {
  Unplugged,                 // the command interface went away
  Replugged,                 // it came back
  ProgrammingDeviceArrived,  // the bridge's loader appeared (after command 14)
  ProgrammingDeviceLeft      // the loader started the bridge application again
};

struct BridgeEvent {
  BridgeEventKind kind;
  int64_t timeUs;
  uint16_t bcdDevice = 0;  // the bridge's release number at that moment
};

class SimBridge {
 public:
  SimBridge(BridgeConfig config, SimChipConfig chipConfig, std::shared_ptr<SimClock> clock);
  ~SimBridge();
  SimBridge(const SimBridge&) = delete;
  SimBridge& operator=(const SimBridge&) = delete;

  BridgeConfig Config() const;
  SimChip& Chip() { return chip_; }
  SimTrace& Trace() { return trace_; }

  // --- Host side (SimBridgePort). `generation` is the plug generation the
  //     port was opened in; after an unplug the old generation is Removed. ---
  platform::HidIoResult HostWrite(uint64_t generation, const uint8_t* report, size_t length,
                                  uint32_t timeoutMs);
  platform::HidIoResult HostRead(uint64_t generation, uint8_t* buf, size_t capacity,
                                 size_t* transferred, uint32_t timeoutMs,
                                 const std::atomic<bool>* closed);
  void HostDiscardInput(uint64_t generation, const std::atomic<bool>* closed);
  // Wakes waiting host calls (a port was closed).
  void WakeHost();

  // --- Plugging. ---
  bool IsPlugged() const;
  uint64_t Generation() const;
  void Unplug();
  void Replug();
  // Called (under the bridge's lock) when command 14 restarts the bridge
  // into its loader; the loader must not call back into the bridge from it.
  void SetLoaderHook(std::function<void()> onEnterLoader);
  // The loader has written a new application and started it: the loader
  // leaves and the bridge comes back with the new release number.
  void ReturnFromLoader(uint16_t bcdDevice);

  // --- Timing. ---
  void SetReportWireUs(int64_t us);
  void SetAnswerLatencyUs(int64_t us);

  // --- Fault injection (any thread, between requests). ---
  // Nothing answers: every read (the version text too) gets no input report
  // and chip writes are not applied. Bridge-only commands (chip reset, loader,
  // digitizer on/off) still act.
  void SetSilent(bool silent);
  // The next n read requests get no answer.
  void SilenceNextReads(unsigned n);
  // The next answer starts ms later than it normally would.
  void DelayNextAnswer(uint32_t ms);
  // n junk input reports (data bytes kStaleFill), due now.
  void InjectStaleReports(unsigned n);
  // The next `answers` answers are cut as `shape` says.
  void ShapeNextAnswers(AnswerShape shape, unsigned answers = 1);
  // The next n output reports fail with `result` (Error or Timeout; a Timeout
  // takes the write's time-out) and are not applied.
  void FailNextWrites(unsigned n, platform::HidIoResult result = platform::HidIoResult::Error);
  // Cancels every pending injected fault (not silence, not plugging).
  void ClearFaults();

  // --- State the bridge exposes. ---
  bool DigitizerEnabled() const;
  unsigned ProgrammingDeviceArrivals() const;
  std::vector<BridgeEvent> Events() const;
  // Input reports queued and not yet read or discarded.
  size_t PendingInputReports() const;
  // Output reports the bridge could not parse (wrong id, bad length, unknown
  // op or command); they are ignored.
  size_t MalformedReports() const;

 private:
  struct PendingReport {
    std::array<uint8_t, platform::kHidReportSize> bytes{};
    size_t length = 0;
    int64_t dueUs = 0;
  };

  platform::HidIoResult PortStateLocked(uint64_t generation, const std::atomic<bool>* closed) const;
  void ProcessLocked(const uint8_t* report, size_t length);
  void AnswerLocked(const std::vector<uint8_t>& data);
  void QueueReportLocked(const uint8_t* data, size_t dataBytes, size_t reportLength,
                         int64_t earliestUs, bool wireTimed);
  void AddEventLocked(BridgeEventKind kind);

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  BridgeConfig config_;
  std::shared_ptr<SimClock> clock_;
  SimChip chip_;
  SimTrace trace_;

  std::deque<PendingReport> input_;
  int64_t inputWireFreeUs_ = 0;   // when the input direction is next free
  int64_t outputWireFreeUs_ = 0;  // when the output direction is next free

  bool plugged_ = true;
  uint64_t generation_ = 1;
  bool silent_ = false;
  unsigned silenceReads_ = 0;
  int64_t nextAnswerDelayUs_ = 0;
  AnswerShape shape_;
  unsigned shapedAnswers_ = 0;
  unsigned failWrites_ = 0;
  platform::HidIoResult failResult_ = platform::HidIoResult::Error;

  bool digitizerEnabled_ = true;
  std::function<void()> onEnterLoader_;
  std::vector<BridgeEvent> events_;
  size_t malformed_ = 0;
};

}  // namespace sim
