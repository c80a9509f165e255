#pragma once
// The ZE73da (DE7 family) chip as its firmware burn sees it: the MCU hold,
// the 4 KiB ISP loader in SRAM, its chunk protocol and the flash.
//
// - Running after a reset (the firmware in flash: the id block at 0x8240
//   comes from flash unless it is blank). 0x0C written to 0x4180 holds the
//   MCU once K such writes came since the last reset (with "hold needs a
//   reset", never before the first reset); 0x4180 then reads 0x0C.
// - Held: 0x8000..0x8FFF is the ISP SRAM. 0x4180 := 0 starts the ISP when
//   both start words are in place (0xF7CC: D4 C2 61 3A, 0xF7EC: 5F B0 29 7E),
//   0x50C0 and 0x50C4 are 0 and the whole ISP was written; 0x4195 then reads
//   0xFF (after D reads). Otherwise the chip stays held.
// - ISP running: 0x8000..0x9FFF is the chunk buffer. 0x4196 := 0x55 opens a
//   chunk with the 12-byte header at 0xFFF0 (length, flash address, sum of
//   LE words) and clears 0x4197; once the length has arrived 0x4195 reads
//   0xAA; 0x4196 := 0xAA makes it 0xFF, and a chunk whose sum and range
//   are right is programmed and 0x4197 reads 0xDD (each after D reads).
//   0x4180 := 1 asks for the restart.
// - Restart asked: 0x8041/0x8042 = 00 56 and 0x8040 := 0xAA boot the
//   firmware in flash.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sim/ChipBehaviour.h"
#include "sim/SimChip.h"

namespace sim {

inline constexpr size_t kDe7FlashBytes = 0x40000;

// One chunk the loader programmed.
struct De7Chunk {
  uint32_t length;
  uint32_t address;
  uint32_t checksum;
};

class SimChipDe7 : public ChipBehaviour {
 public:
  enum class State { Running, Held, IspRunning, RestartPending };

  void Attach(SimChip& chip) override;
  void OnReset(SimChip& chip) override;

  // --- Set-up and faults (any thread). ---
  void SetHoldDifficulty(unsigned writes);
  void SetHoldNeedsReset(bool needs);
  // Reads of 0x4195 / 0x4197 before a new value shows (default 0).
  void SetAnswerDelay(unsigned reads);
  // This status register (0x4195 or 0x4197) never takes a new value.
  void SetNeverAnswers(uint16_t address);
  // One byte of chunk `index` (counted from 0 since attach) arrives flipped.
  void CorruptChunk(unsigned index);
  void InstallFirmware(const std::vector<uint8_t>& file);

  // --- Inspection. ---
  State CurrentState() const;
  std::vector<uint8_t> Flash() const;
  std::vector<uint8_t> IspSram() const;
  std::vector<De7Chunk> Chunks() const;
  unsigned Restarts() const;

 private:
  class Memory;
  struct Delayed {
    bool active = false;
    uint8_t value = 0;
    unsigned reads = 0;
  };
  void OnHoldWrite(SimChip& chip, uint8_t value);
  void OnHostFlagWrite(SimChip& chip, uint8_t value);
  void OnCommandWrite(SimChip& chip, const ByteAccess& access);
  uint8_t OnStatusRead(SimChip& chip, uint16_t address);
  void SetLater(uint16_t address, uint8_t value);
  void EnterLocked(SimChip& chip, State state);
  void ReadMem(size_t offset, uint8_t* out, size_t count);
  void WriteMem(size_t offset, const uint8_t* data, size_t count);

  SimChip* chip_ = nullptr;
  std::unique_ptr<Memory> memory_;
  SimChip::WriteHook earlierCommandWrite_;

  // Guarded by the chip's lock: every access arrives through it.
  mutable std::recursive_mutex mutex_;
  State state_ = State::Running;
  unsigned holdDifficulty_ = 1;
  bool holdNeedsReset_ = false;
  bool resetSeen_ = false;
  unsigned holdWrites_ = 0;
  unsigned delay_ = 0;
  uint16_t neverAnswers_ = 0;
  int corruptChunk_ = -1;
  std::vector<uint8_t> flash_ = std::vector<uint8_t>(kDe7FlashBytes, 0xFF);
  std::vector<uint8_t> isp_ = std::vector<uint8_t>(0x1000, 0);
  std::bitset<0x1000> ispWritten_;
  std::vector<uint8_t> chunk_ = std::vector<uint8_t>(0x2000, 0);
  bool chunkOpen_ = false;
  De7Chunk header_{};
  size_t received_ = 0;
  unsigned chunkIndex_ = 0;
  Delayed status_;  // 0x4195
  Delayed done_;    // 0x4197
  std::vector<De7Chunk> chunks_;
  unsigned restarts_ = 0;
};

SimChipDe7& AddDe7Personality(SimChip& chip);

}  // namespace sim
