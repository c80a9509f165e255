#pragma once
// The DE9vur firmware file: a 14-byte header (FwFileHeader), the sections in
// a fixed order, and the dsp_isp loader in the file's last 4 KiB.
//
//   0x0000  14      header
//   0x000E  4x8 KiB SS51 sections 1..4  (windows 0xC000/0xE000, banks 0, 0, 1, 1)
//   0x800E  4 KiB   DSP                 (window 0x9000, bank 3, command 5)
//   0x900E  2 KiB   bootloader          (command 6)
//   0x980E  2 KiB   boot_isp, optional  (command 7)
//   0xA00E  8+4 KiB link sections 1, 2, optional together (commands 8, 9)
//   len-0x1000 4 KiB dsp_isp (SRAM bank 2 at 0xC000)
//
// Which optional sections a file holds follows from where the sections end
// (file length - 0x1000): only a length at which no section is cut is a
// DE9vur file.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace de9 {

struct Section {
  uint32_t offset;
  uint32_t length;
};

inline constexpr uint32_t kHeaderBytes = 14;
inline constexpr Section kSs51[4] = {
    {0x000E, 0x2000}, {0x200E, 0x2000}, {0x400E, 0x2000}, {0x600E, 0x2000}};
inline constexpr Section kDsp{0x800E, 0x1000};
inline constexpr Section kBootloader{0x900E, 0x800};
inline constexpr Section kBootIsp{0x980E, 0x800};
inline constexpr Section kLink1{0xA00E, 0x2000};
inline constexpr Section kLink2{0xC00E, 0x1000};
inline constexpr uint32_t kDspIspBytes = 0x1000;

// Where the sections may end: after the bootloader, after boot_isp, after
// the link sections.
inline constexpr uint32_t kBodyMinimal = kBootIsp.offset;
inline constexpr uint32_t kBodyWithBootIsp = kLink1.offset;
inline constexpr uint32_t kBodyFull = kLink2.offset + kLink2.length;

struct Layout {
  bool hasBootIsp = false;
  bool hasLink = false;
  Section dspIsp{};
};

// The sections an image of `size` bytes holds, whether or not the size is
// one CheckLayout accepts.
Layout LayoutFor(size_t size);

// Refusal lines.
inline constexpr const char* kLengthErrorText = "[VAzezu]固件文件长度错误";
inline constexpr const char* kNameErrorText = "[VAzezu]固件文件芯片名错误";

// The layout of a DE9vur image, or nullopt with the refusal line in `why`
// (wrong length, or a header name that is not printable text).
std::optional<Layout> CheckLayout(std::span<const uint8_t> image, std::string& why);

}  // namespace de9
