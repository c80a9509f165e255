#pragma once
// The bytes of the CH55x USB bootloader protocol (the 2.x generation):
// requests are command, payload length (u16 LE), payload; answers are the
// command echoed, one byte of no meaning, payload length (u16 LE), payload.
// Program and verify data travel XORed with a key derived from the chip's
// unique id and type.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/usb/UsbBulkPort.h"

namespace ch55x {

// Vendor/product of the bootloader (some boards show the second vendor).
inline constexpr std::array<platform::UsbId, 2> kLoaderIds = {
    {{0x4348, 0x55E0}, {0x1A86, 0x55E0}}};
inline constexpr platform::UsbBulkPipe kPipe{1, 0, 0x02, 0x82};
// Every answer is read into a full packet: a shorter buffer overflows.
inline constexpr size_t kPacketBytes = 64;
// Data bytes per program/verify request: 3 + 4 + 1 + 56 = one packet.
inline constexpr size_t kChunkBytes = 56;
inline constexpr size_t kSectorBytes = 1024;
// The bootloader wants at least this many sectors erased.
inline constexpr size_t kMinEraseSectors = 8;
inline constexpr uint32_t kCommandTimeoutMs = 1000;
inline constexpr uint32_t kEraseTimeoutMs = 5000;
// The only family byte of the CH55x parts.
inline constexpr uint8_t kFamily = 0x11;

enum Command : uint8_t {
  kIdentify = 0xA1,
  kEnd = 0xA2,
  kSetKey = 0xA3,
  kErase = 0xA4,
  kProgram = 0xA5,
  kVerify = 0xA6,
  kReadConfig = 0xA7,
};

using Key = std::array<uint8_t, 8>;

// Code flash the host may write on a part; nullopt for an unknown part.
std::optional<size_t> UserFlashBytes(uint8_t family, uint8_t chipType);

std::vector<uint8_t> IdentifyRequest();
// Asks for the configuration words, the bootloader version and the unique id.
std::vector<uint8_t> ReadConfigRequest();
// A zero seed: the key then follows from the unique id alone.
std::vector<uint8_t> SetKeyRequest();
std::vector<uint8_t> EraseRequest(size_t imageBytes);
// A program or verify request for data at address (at most kChunkBytes).
std::vector<uint8_t> ChunkRequest(uint8_t command, uint32_t address,
                                  std::span<const uint8_t> data, const Key& key);
// Reset and run the application.
std::vector<uint8_t> EndRequest();

// The key for the first four unique-id bytes and the chip type, and the
// sum the bootloader answers set-key with when it agrees.
Key DeriveKey(std::span<const uint8_t, 4> uniqueId, uint8_t chipType);
uint8_t KeySum(const Key& key);

// The payload of an answer to `command`; nullopt when the bytes are not one
// (another command echoed, short, or a length that overruns them).
std::optional<std::vector<uint8_t>> AnswerPayload(uint8_t command,
                                                  std::span<const uint8_t> answer);

// From the read-config answer (all fields asked for).
struct LoaderConfig {
  std::array<uint8_t, 4> version{};
  std::array<uint8_t, 4> uniqueId{};  // the significant bytes on CH55x
};
std::optional<LoaderConfig> ParseConfig(std::span<const uint8_t> payload);

}  // namespace ch55x
