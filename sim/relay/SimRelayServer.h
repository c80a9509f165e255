#pragma once
// A relay server on the loopback address for the remote server link. It
// takes the client's messages (u32 id, u32 length, payload; little-endian),
// answers an image request (u32 5) with an image message and counts the
// burn-done messages (u32 6). Messages with another id or shape are counted
// as malformed.
//
// Image payload: u32 type 7, u32 name offset (UTF-16LE text, zero-
// terminated), u32 0, u32 data offset, u32 data length, u16 sum of the
// masked bytes, 2 zero bytes, u32 remaining burns, then the name and the
// data. The data is masked: m[i] = NOT((clear[i] + 5 * i) mod 256).

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/net/LoopbackServer.h"

namespace sim {

struct RelayImage {
  std::string fileName = "bridge.hex";  // UTF-8
  std::vector<uint8_t> clearData;
  uint32_t remaining = 1;
};

// How the image answer is spoiled.
enum class RelayFault {
  None,
  Fragmented,  // the answer goes out one byte per segment
  WrongId,     // the message carries another link's id
  WrongType,   // type 6 instead of 7
  TooLong,     // data length field 204801
  WrongSum,
  NameOutOfRange,    // name offset past the payload
  UnterminatedName,  // the name runs to the end without its zero
  BadName,           // an unpaired surrogate in the name
  DataOutOfRange,    // data offset + length past the payload
  EmptyPayload,      // a message with payload length 0
  HugeLength,        // a length field of 0x7FFFFFFF
  CloseMidMessage,   // half the message, then the connection ends
};

class SimRelayServer : public LoopbackServer {
 public:
  static constexpr uint16_t kDefaultPort = 3168;

  SimRelayServer(uint32_t linkId, RelayImage image);
  ~SimRelayServer() override;

  void SetFault(RelayFault fault);
  void SetImage(RelayImage image);

  size_t Requests() const;
  size_t BurnsDone() const;
  size_t Malformed() const;
  // Bounded waits for the counters; false on time-out.
  bool WaitRequests(size_t count, int timeoutMs = 5000) const;
  bool WaitBurnsDone(size_t count, int timeoutMs = 5000) const;

  // The whole image message (header and payload) for a link id.
  static std::vector<uint8_t> BuildImageMessage(uint32_t linkId, const RelayImage& image,
                                                RelayFault fault = RelayFault::None);
  static void MaskLinkBytes(uint8_t* data, size_t length);

 protected:
  void Serve(Connection& connection) override;

 private:
  bool Answer(Connection& connection, const RelayImage& image, RelayFault fault);

  const uint32_t linkId_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  RelayImage image_;
  RelayFault fault_ = RelayFault::None;
  size_t requests_ = 0;
  size_t burnsDone_ = 0;
  size_t malformed_ = 0;
};

}  // namespace sim
