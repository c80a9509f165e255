#pragma once
// The ZE73da firmware file (0x2E900 bytes) and the loader's chunk header.
//
//   0x00000  0x100    header: name characters after "RO" at 0x13..0x16,
//                     version major/minor at 0x19/0x1A
//   0x00100  0x1000   ISP loader        -> chip SRAM 0x8000
//   0x01100  0x800    Bootcode          -> flash 0x3D000
//   0x01900  0x1F000  Gm11 code         -> flash 0x00000
//   0x20900  0x2000   block for flash 0x28000 (sent inside the G1 run)
//   0x22900  0xC000   G1 code           -> flash 0x20000..0x27FFF, 0x2A000..0x2DFFF

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace ze73 {

struct Region {
  uint32_t offset;
  uint32_t length;
};

inline constexpr uint32_t kFileBytes = 0x2E900;
inline constexpr uint32_t kNameOffset = 0x13;
inline constexpr uint32_t kNameBytes = 4;
inline constexpr uint32_t kVersionOffset = 0x19;
inline constexpr Region kIsp{0x100, 0x1000};
inline constexpr Region kBootcode{0x1100, 0x800};
inline constexpr Region kGm11{0x1900, 0x1F000};
inline constexpr Region kBlock28000{0x20900, 0x2000};
inline constexpr Region kG1{0x22900, 0xC000};
inline constexpr uint32_t kBootcodeFlash = 0x3D000;
inline constexpr uint32_t kGm11Flash = 0x00000;
inline constexpr uint32_t kG1Flash = 0x20000;
// The flash address whose chunk comes from kBlock28000.
inline constexpr uint32_t kBlockFlash = 0x28000;
// The loader's receive window.
inline constexpr uint32_t kChunkBytes = 0x2000;

inline constexpr const char* kLengthErrorText = "[FW update]固件文件长度错误";
inline constexpr const char* kNameErrorText = "[FW update]固件文件芯片名错误";

// Whether an image has the ZE73da layout; otherwise `why` is the refusal
// line. Every chunk length the layout gives is a multiple of 4.
bool CheckLayout(std::span<const uint8_t> image, std::string& why);

// The 12-byte chunk header: length, flash address and the wrap-around sum of
// the data as little-endian 32-bit words (a last partial word padded with 0),
// each little-endian.
std::array<uint8_t, 12> ChunkHeader(std::span<const uint8_t> data, uint32_t flashAddress);

}  // namespace ze73
