#pragma once
// The DE9vur chip as its firmware burn sees it: processor hold and watchdog,
// SRAM windows, the dsp_isp loader and the burn commands that move a window
// into flash, with the flash itself.
//
// - Held after K writes of 0x0C to 0x4180 since the last reset; 0x4180 then
//   reads 0x0C, and only a held chip takes 0 into the watchdog 0x40B0.
// - While held, 0xC000..0xFFFF shows the SRAM bank selected in 0x4048 (banks
//   0..2, 8 KiB at 0xC000 and 8 KiB at 0xE000), only while 0x4049 is 1 (else
//   the access is a violation: reads give 0xFF, writes are dropped), and
//   0x9000..0xAFFF an 8 KiB window open at all times.
// - 0x4180 := 0x08 runs the code in SRAM (the open/short program): the
//   chip is no longer held and the windows go.
// - 0x4180 := 0x04 releases the DSP; it runs the loader when bank 2 at
//   0xC000 received all 4096 loader bytes after 0x4190 := 2 and 0x4184 := 1.
// - 0x5094 := 1..9 while the loader runs, the DSP is released and 0x4048
//   selects the command's bank (1, 2: 0; 3, 4: 1; 5..9: 3): after D reads
//   of 0x5094 the window goes to flash (1..4 the SS51 quarters, 5 DSP, 6
//   bootloader, 7 boot_isp, 8/9 the two link parts), the window is refilled
//   from flash (so a read-back checks flash) and 0x5094 reads 0. Any other
//   command is never done. 0x99 marks the burn finished.
// - A reset runs the firmware in flash: the id block at 0x8140 comes from
//   the SS51 code (FirmwareImages.h) unless the flash is blank.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/ChipBehaviour.h"
#include "sim/SimChip.h"

namespace sim {

struct De9Flash {
  std::vector<uint8_t> ss51 = std::vector<uint8_t>(0x8000, 0xFF);
  std::vector<uint8_t> dsp = std::vector<uint8_t>(0x1000, 0xFF);
  std::vector<uint8_t> boot = std::vector<uint8_t>(0x800, 0xFF);
  std::vector<uint8_t> bootIsp = std::vector<uint8_t>(0x800, 0xFF);
  std::vector<uint8_t> link = std::vector<uint8_t>(0x3000, 0xFF);
};

// One burn command the loader carried out, with the data it took.
struct De9Burn {
  uint8_t command;
  std::vector<uint8_t> data;
};

class SimChipDe9 : public ChipBehaviour {
 public:
  void Attach(SimChip& chip) override;
  void OnReset(SimChip& chip) override;

  // --- Set-up and faults (any thread). ---
  // 0x0C writes to 0x4180 needed to hold (default 1).
  void SetHoldDifficulty(unsigned writes);
  // Reads of 0x5094 that still see the command before it reads 0 (default 0).
  void SetCompletionDelay(unsigned reads);
  // The watchdog cannot be switched off (0x40B0 keeps reading 1).
  void SetWatchdogStuck(bool stuck);
  // This command is accepted but never done (0: none).
  void SetCommandNeverDone(uint8_t command);
  // The next time this command writes flash, one byte of it comes out wrong.
  void CorruptNextFlashWrite(uint8_t command);
  // Firmware as if burnt earlier (a file in the DE9vur layout).
  void InstallFirmware(const std::vector<uint8_t>& file);

  // --- Inspection. ---
  De9Flash Flash() const;
  std::vector<De9Burn> Burns() const;
  // The loader the DSP ran last (empty when it never ran).
  std::vector<uint8_t> LoaderImage() const;
  bool Finished() const;
  // Window accesses made without code access (0x4049 != 1) or to bank 3+.
  unsigned Violations() const;

 private:
  class Window;
  void OnHoldWrite(SimChip& chip, uint8_t value);
  void OnBurnWrite(SimChip& chip, uint8_t value);
  uint8_t OnBurnRead(SimChip& chip);
  void Execute(SimChip& chip, uint8_t command);
  void SetHeld(SimChip& chip, bool held);
  std::vector<uint8_t>* WindowOf(SimChip& chip, size_t offset, bool& allowed);
  void ReadHigh(SimChip& chip, size_t offset, uint8_t* out, size_t count);
  void WriteHigh(SimChip& chip, size_t offset, const uint8_t* data, size_t count);

  SimChip* chip_ = nullptr;
  std::unique_ptr<Window> high_;  // 0xC000..0xFFFF
  std::unique_ptr<Window> low_;   // 0x9000..0xAFFF

  mutable std::mutex mutex_;
  unsigned holdDifficulty_ = 1;
  unsigned completionDelay_ = 0;
  uint8_t neverDone_ = 0;
  bool watchdogStuck_ = false;
  uint8_t corruptNext_ = 0;
  unsigned holdWrites_ = 0;
  bool held_ = false;
  bool loaderRunning_ = false;
  std::bitset<0x1000> loaderBytes_;
  std::vector<uint8_t> loader_;
  std::vector<std::vector<uint8_t>> sram_ =
      std::vector<std::vector<uint8_t>>(3, std::vector<uint8_t>(0x4000, 0));
  std::vector<uint8_t> window9000_ = std::vector<uint8_t>(0x2000, 0);
  uint8_t pending_ = 0;
  unsigned pendingReads_ = 0;
  bool finished_ = false;
  unsigned violations_ = 0;
  De9Flash flash_;
  std::vector<De9Burn> burns_;
};

// Adds the DE9vur burn personality to the chip (which owns it).
SimChipDe9& AddDe9Personality(SimChip& chip);

}  // namespace sim
