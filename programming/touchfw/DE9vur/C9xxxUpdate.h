#pragma once
// Firmware update of the DE9vur family (two processors, SS51 and DSP): hold
// both, load the dsp_isp loader into SRAM, erase the bootloader, then copy
// each section into an SRAM window and have the loader move it into flash,
// reading every window back. The file layout is in De9Layout.h.

#include <cstdint>
#include <span>
#include <string>

#include "programming/touchfw/DE9vur/De9Layout.h"
#include "programming/touchfw/FwUpdate.h"

class C9xxxUpdate : public CFwUpdate {
 public:
  C9xxxUpdate(IRegisterAccess& access, ILogSink* log);

  bool IsChipMatch() override;
  bool HoldChip() override;
  bool Update() override;

  // The steps of Update, each without log lines.
  bool DownloadIsp();
  bool EraseBootloader();
  bool BurnSs51();
  bool BurnDsp();
  bool BurnLink();
  bool BurnBootloader();
  bool BurnBootIsp();
  bool FinishAndReset();

  // One 8 KiB SS51 section through window 0xC000 or 0xE000; code: bank in
  // the high nibble, burn command in the low one.
  bool BurnFwSection8k(std::span<const uint8_t> source, uint16_t window, uint8_t code);
  // One section through window 0x9000.
  bool BurnFwSection(std::span<const uint8_t> source, uint8_t code);
  // Reads the chip's copy back: true only when it equals source.
  bool RecallCheck(std::span<const uint8_t> source, uint16_t address);

 protected:
  bool ValidateLayout(std::string& why) override;

 private:
  de9::Layout Layout() const;
  std::span<const uint8_t> SectionData(const de9::Section& section) const;
  // The shared shape of the DSP, bootloader and boot_isp burns.
  bool BurnSection9000(const de9::Section& section, uint8_t command);
  bool Sleep(uint32_t ms);
};
