#pragma once
// Messages of the remote server link, both directions: u32 message id, u32
// payload length, payload (little-endian). Every message carries the link id.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Payload values of the client's messages and the server's image type.
inline constexpr uint32_t kLinkRequestImage = 5;
inline constexpr uint32_t kLinkBurnDone = 6;
inline constexpr uint32_t kLinkImageType = 7;
// The largest payload taken in; a longer one closes the link (the length
// comes from the network).
inline constexpr size_t kMaxLinkPayload = 99999;

struct LinkMessage {
  uint32_t id = 0;
  std::vector<uint8_t> payload;
};

// A client message with a 4-byte payload, ready to go out in one send.
std::array<uint8_t, 12> EncodeLinkMessage(uint32_t id, uint32_t value);

// Receives one whole message (each field read exactly, however the stream is
// cut). false on failure with the console text in *failure: "recv failed
// with error 0: <code>/n" (id), "... 1: ..." (length), "... 2: ..." (first
// payload bytes, also for an empty payload), "recv failed with error:
// <code>/n" (the rest), "recv failed: message too long" (over
// kMaxLinkPayload). Waits without limit: shutting the socket down ends it.
bool RecvLinkMessage(int fd, LinkMessage* out, std::string* failure);
