#pragma once
// Firmware update of the ZE73da chips (DE7 family, RO7388/RO7387Z): halt the
// MCU, load the 4 KiB ISP loader into SRAM, check it by reading it back and
// start it, then hand the flash regions to the loader in chunks of at most
// 8 KiB, each confirmed by its checksum and handshake, and restart the chip.
// The file layout is in Ze73Layout.h.

#include <array>
#include <cstdint>
#include <string>

#include "programming/touchfw/FwUpdate.h"

class C73xxUpdate : public CFwUpdate {
 public:
  C73xxUpdate(IRegisterAccess& access, ILogSink* log);

  bool IsChipMatch() override;
  bool HoldChip() override;
  bool Update() override;
  // "RO<4 chars>_<major>.<minor>" ("RO7387Z_01.02").
  std::string GetFileChipVersion() const override;

  bool LoadIsp();
  // Hands `length` bytes from file offset `source` to the loader for flash
  // from `flashAddress` on; the chunk for 0x28000 comes from its own block.
  bool DownloadBlocks(uint32_t source, uint32_t flashAddress, int32_t length);

 protected:
  bool ValidateLayout(std::string& why) override;

 private:
  bool Restart();

  std::array<uint8_t, 4096> m_IspReadBack{};
};
