#include "programming/bridgefw/Ch55xProtocol.h"

#include <algorithm>
#include <string_view>

namespace ch55x {

namespace {

constexpr std::string_view kIdentifyText = "MCU ISP & WCH.CN";
constexpr size_t kSeedBytes = 0x1E;
constexpr size_t kAnswerHeaderBytes = 4;
// Read-config answer: mask echo (2), configuration words (12), version (4),
// unique id (8).
constexpr uint16_t kConfigMask = 0x1F;
constexpr size_t kConfigVersionAt = 2 + 12;
constexpr size_t kConfigIdAt = kConfigVersionAt + 4;
constexpr size_t kConfigAnswerBytes = kConfigIdAt + 8;

std::vector<uint8_t> Request(uint8_t command, std::span<const uint8_t> payload) {
  std::vector<uint8_t> request(3 + payload.size());
  request[0] = command;
  request[1] = static_cast<uint8_t>(payload.size());
  request[2] = static_cast<uint8_t>(payload.size() >> 8);
  std::copy(payload.begin(), payload.end(), request.begin() + 3);
  return request;
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::optional<size_t> UserFlashBytes(uint8_t family, uint8_t chipType) {
  if (family != kFamily) return std::nullopt;
  switch (chipType) {
    case 0x51:
      return 10 * 1024;
    case 0x52:
    case 0x54:
      return 14 * 1024;
    case 0x58:
      return 32 * 1024;  // sources say 32 or 60 KiB: the smaller never overwrites
    case 0x55:
    case 0x56:
    case 0x57:
    case 0x59:
      return 60 * 1024;
    default:
      return std::nullopt;
  }
}

std::vector<uint8_t> IdentifyRequest() {
  // Chip type and family 0: the bootloader names its own.
  std::vector<uint8_t> payload = {0x00, 0x00};
  payload.insert(payload.end(), kIdentifyText.begin(), kIdentifyText.end());
  return Request(kIdentify, payload);
}

std::vector<uint8_t> ReadConfigRequest() {
  const uint8_t mask[2] = {static_cast<uint8_t>(kConfigMask), static_cast<uint8_t>(kConfigMask >> 8)};
  return Request(kReadConfig, mask);
}

std::vector<uint8_t> SetKeyRequest() {
  return Request(kSetKey, std::vector<uint8_t>(kSeedBytes, 0x00));
}

std::vector<uint8_t> EraseRequest(size_t imageBytes) {
  const size_t sectors = std::max(kMinEraseSectors, (imageBytes + kSectorBytes - 1) / kSectorBytes);
  std::vector<uint8_t> payload;
  PutU32(payload, static_cast<uint32_t>(sectors));
  return Request(kErase, payload);
}

std::vector<uint8_t> ChunkRequest(uint8_t command, uint32_t address,
                                  std::span<const uint8_t> data, const Key& key) {
  std::vector<uint8_t> payload;
  payload.reserve(5 + data.size());
  PutU32(payload, address);
  payload.push_back(0x00);  // filler
  for (size_t i = 0; i < data.size(); ++i) {
    payload.push_back(static_cast<uint8_t>(data[i] ^ key[i % key.size()]));
  }
  return Request(command, payload);
}

std::vector<uint8_t> EndRequest() {
  const uint8_t run[1] = {0x01};
  return Request(kEnd, run);
}

Key DeriveKey(std::span<const uint8_t, 4> uniqueId, uint8_t chipType) {
  uint8_t sum = 0;
  for (uint8_t b : uniqueId) sum = static_cast<uint8_t>(sum + b);
  Key key;
  key.fill(sum);
  key[7] = static_cast<uint8_t>(sum + chipType);
  return key;
}

uint8_t KeySum(const Key& key) {
  uint8_t sum = 0;
  for (uint8_t b : key) sum = static_cast<uint8_t>(sum + b);
  return sum;
}

std::optional<std::vector<uint8_t>> AnswerPayload(uint8_t command,
                                                  std::span<const uint8_t> answer) {
  if (answer.size() < kAnswerHeaderBytes || answer[0] != command) return std::nullopt;
  const size_t length = size_t{answer[2]} | size_t{answer[3]} << 8;
  if (length > answer.size() - kAnswerHeaderBytes) return std::nullopt;
  const auto payload = answer.subspan(kAnswerHeaderBytes, length);
  return std::vector<uint8_t>(payload.begin(), payload.end());
}

std::optional<LoaderConfig> ParseConfig(std::span<const uint8_t> payload) {
  if (payload.size() < kConfigAnswerBytes) return std::nullopt;
  LoaderConfig config;
  std::copy_n(payload.begin() + kConfigVersionAt, 4, config.version.begin());
  std::copy_n(payload.begin() + kConfigIdAt, 4, config.uniqueId.begin());
  return config;
}

}  // namespace ch55x
