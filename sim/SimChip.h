#pragma once
// A simulated touch chip: a 64 KiB register file (16-bit addresses) with the
// identification block of its family, the streaming command register, the
// ready flag and frame generators behind the frame addresses.
//
// Later personalities attach through ChipBehaviour objects and per-address
// read/write hooks. Every access is logged. All public members are safe to
// call from any thread (one recursive lock; hooks run under it and may call
// back into the chip).

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/ChipBehaviour.h"
#include "sim/ChipFamily.h"

namespace sim {

class StreamBehaviour;

struct SimChipConfig {
  ChipFamily family = ChipFamily::RU9;
  // Up to 4 id characters ("9111", "7388"); shorter ids are NUL-padded.
  std::string productId = "9111";
  // RU9: byte 4 = low, byte 5 = high. DE7: byte 6 = high (major), byte 7 = low (minor).
  uint16_t firmwareVersion = 0x1060;
  uint8_t sensorId = 0;
  uint16_t syncFlagAddress = 0x814E;
  // While streaming, the flag read that makes this many reads since the last
  // clear sees the ready value (1: the first read already does).
  unsigned flagReadsUntilReady = 2;
  size_t frameBytes = 2520;  // raw and difference frame regions
  size_t observeBytes = 64;  // observe region

  // Defaults of a family: RU9 "9111" v0x1060, flag 0x814E; DE7 "7388" v0x010A, flag 0x824E.
  static SimChipConfig For(ChipFamily family);
};

enum class AccessOp { Read, Write };

// One host access as the chip saw it; bytes are what was read or written.
struct ChipAccess {
  AccessOp op;
  uint8_t cmd;
  uint16_t address;
  std::vector<uint8_t> bytes;
};

// One byte of an access, as given to a hook. For reads `value` is the stored
// byte; for writes it is the byte the host wrote.
struct ByteAccess {
  uint8_t cmd;
  uint16_t address;
  uint8_t value;
};

// Memory behind an address range (a loader's SRAM window): while mapped, its
// accesses bypass the register file, the byte hooks and the frame sources.
// Called under the chip's lock.
class MappedMemory {
 public:
  virtual ~MappedMemory() = default;
  virtual void ReadMemory(size_t offset, uint8_t* out, size_t count) = 0;
  virtual void WriteMemory(size_t offset, const uint8_t* data, size_t count) = 0;
};

class SimChip {
 public:
  // Returns the byte the host sees.
  using ReadHook = std::function<uint8_t(SimChip&, const ByteAccess&)>;
  // Replaces the store: call Poke() to keep the value.
  using WriteHook = std::function<void(SimChip&, const ByteAccess&)>;
  // Fills count bytes starting at `offset` within its region.
  using FrameSource = std::function<void(size_t offset, uint8_t* out, size_t count)>;

  static constexpr size_t kRegisterCount = 0x10000;

  explicit SimChip(SimChipConfig config = {});
  ~SimChip();
  SimChip(const SimChip&) = delete;
  SimChip& operator=(const SimChip&) = delete;

  ChipFamily Family() const { return family_; }
  const FamilyLayout& Layout() const { return LayoutOf(family_); }

  // --- Host accesses (the bridge). Addresses wrap at 0xFFFF. ---
  std::vector<uint8_t> Read(uint16_t address, size_t length, uint8_t cmd);
  void Write(uint16_t address, const uint8_t* data, size_t length, uint8_t cmd);
  // Power-on reset: every byte not marked persistent returns to the power-on
  // image, streaming stops, the flag clears; behaviours re-initialise.
  void Reset();

  // --- Direct register access: no hooks, no log, no counts. ---
  uint8_t Peek(uint16_t address) const;
  std::vector<uint8_t> PeekRange(uint16_t address, size_t length) const;
  void Poke(uint16_t address, uint8_t value);
  void PokeRange(uint16_t address, const std::vector<uint8_t>& bytes);
  // Changes the power-on image and the current register contents.
  void SetPowerOnBytes(uint16_t address, const std::vector<uint8_t>& bytes);
  // These bytes keep their current value across Reset().
  void MarkPersistent(uint16_t address, size_t length);

  // --- Extension points. Each setter returns the hook it replaced (empty when
  //     none), so a behaviour can wrap an earlier one. An empty hook removes it. ---
  ReadHook SetReadHook(uint16_t address, ReadHook hook);
  WriteHook SetWriteHook(uint16_t address, WriteHook hook);
  // Reads touching [base, base+length) take those bytes from the source.
  // Replaces a source with the same base; an empty source removes it.
  void SetFrameSource(uint16_t base, size_t length, FrameSource source);
  void AddBehaviour(std::unique_ptr<ChipBehaviour> behaviour);
  // Maps [base, base+length) (ending at the top of the address space at the
  // latest) to memory, replacing a mapping with the same base; nullptr
  // unmaps. The memory must outlive its mapping. A host write into the
  // mapping still reaches the write hooks of its addresses.
  void MapMemory(uint16_t base, size_t length, MappedMemory* memory);

  // --- Streaming and ready flag (the built-in stream behaviour). ---
  bool IsStreaming() const;
  uint16_t SyncFlagAddress() const;
  void SetSyncFlagAddress(uint16_t address);
  void SetFlagReadsUntilReady(unsigned reads);
  // The flag stays 0 while streaming: the host's poll never sees data ready.
  void SetFlagNeverReady(bool never);
  // The flag also rises outside streaming and takes the source's value for
  // each new frame (StreamBehaviour::SetReportSource); empty restores the
  // plain ready flag.
  void SetReportSource(std::function<uint8_t(uint64_t frame)> source);
  // Counts frames made ready (the flag rising); the default frame pattern
  // follows it.
  uint64_t FrameCounter() const;
  // Byte `offset` of frame `frame` of the default generator for the region at
  // `base` (tests use it to predict frame contents).
  static uint8_t DefaultFrameByte(uint16_t base, uint64_t frame, size_t offset);

  // --- Inspection. ---
  std::vector<ChipAccess> AccessLog() const;
  void ClearAccessLog();
  // Number of read accesses that started at this address (the polls of it).
  size_t ReadCount(uint16_t address) const;
  void SetAccessLogEnabled(bool enabled);

 private:
  struct FrameRegion {
    size_t length;
    FrameSource source;
  };
  struct Mapping {
    size_t length;
    MappedMemory* memory;
  };
  uint8_t ReadByteLocked(uint16_t address, uint8_t cmd);
  // The mapping that holds address, with the offset in it and the bytes left.
  const Mapping* MappingAt(uint16_t address, size_t& offset) const;
  void ApplyIdentity(const SimChipConfig& config);

  mutable std::recursive_mutex mutex_;
  const ChipFamily family_;
  std::array<uint8_t, kRegisterCount> regs_{};
  std::array<uint8_t, kRegisterCount> powerOn_{};
  std::vector<bool> persistent_;
  std::vector<bool> hasReadHook_;
  std::vector<bool> hasWriteHook_;
  std::map<uint16_t, ReadHook> readHooks_;
  std::map<uint16_t, WriteHook> writeHooks_;
  std::map<uint16_t, FrameRegion> frames_;
  std::map<uint16_t, Mapping> mappings_;
  std::vector<std::unique_ptr<ChipBehaviour>> behaviours_;
  StreamBehaviour* stream_ = nullptr;  // owned by behaviours_
  std::vector<ChipAccess> log_;
  std::map<uint16_t, size_t> readCounts_;
  bool logEnabled_ = true;
};

}  // namespace sim
