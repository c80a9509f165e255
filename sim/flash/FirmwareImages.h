#pragma once
// Firmware files for tests, in the two layouts the chips' loaders take. Every
// section is filled with its own pattern (a hash of the section and the
// offset), so a section burnt from a wrong offset shows in a byte compare.
//
// The file header never reaches the chip, so the id and version a chip
// reports after a burn are written into the firmware itself at a fixed place
// (the simulator convention): DE9vur at kDe9IdOffsetInSs51 of the SS51 code
// (4 id characters, version low, version high), ZE73da at flash
// kDe7IdFlashAddress (4 id characters, 2 unused bytes, version major, minor).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// DE9vur: 14-byte header, SS51 4 x 8 KiB, DSP 4 KiB, bootloader 2 KiB, then
// optionally boot_isp 2 KiB and link 8 + 4 KiB, then the 4 KiB dsp_isp.
inline constexpr size_t kDe9HeaderBytes = 14;
inline constexpr size_t kDe9DspIspBytes = 0x1000;
inline constexpr size_t kDe9LengthMinimal = 0x980E + kDe9DspIspBytes;  // no boot_isp, no link
inline constexpr size_t kDe9LengthBootIsp = 0xA00E + kDe9DspIspBytes;  // boot_isp, no link
inline constexpr size_t kDe9LengthFull = 0xD00E + kDe9DspIspBytes;     // everything
inline constexpr size_t kDe9IdOffsetInSs51 = 0x0100;

// ZE73da: 0x100 header, 4 KiB ISP, Bootcode, Gm11, the 0x28000 block, G1.
inline constexpr size_t kZe73Length = 0x2E900;
inline constexpr uint32_t kDe7IdFlashAddress = 0x0100;

struct FirmwareIdentity {
  std::string headerName;  // characters after "RO" in the file header ("9110V", "7388")
  uint16_t headerVersion = 0;
  std::string chipId;  // what the chip reports once running it ("9111", "7388")
  uint16_t chipVersion = 0;
};

// length: any length from 14 on; the sections the length holds are filled,
// the dsp_isp is the last 4 KiB when the file has room for it.
std::vector<uint8_t> MakeDe9Firmware(size_t length, const FirmwareIdentity& identity);
// The generated pattern of section `section` at `offset` (tests compare with it).
uint8_t FirmwarePattern(unsigned section, size_t offset);

std::vector<uint8_t> MakeZe73Firmware(const FirmwareIdentity& identity,
                                      size_t length = kZe73Length);

}  // namespace sim
