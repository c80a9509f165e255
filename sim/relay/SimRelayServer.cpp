#include "sim/relay/SimRelayServer.h"

#include <algorithm>
#include <chrono>

#include "platform/ByteOrder.h"
#include "platform/files/CodePage.h"

namespace sim {

namespace {

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t v) { platform::PutLe32(&out[at], v); }

constexpr size_t kHeader = 28;
constexpr uint32_t kRequestImage = 5;
constexpr uint32_t kBurnDone = 6;

}  // namespace

SimRelayServer::SimRelayServer(uint32_t linkId, RelayImage image)
    : linkId_(linkId), image_(std::move(image)) {}

SimRelayServer::~SimRelayServer() { Stop(); }

void SimRelayServer::SetFault(RelayFault fault) {
  std::lock_guard lock(mutex_);
  fault_ = fault;
}

void SimRelayServer::SetImage(RelayImage image) {
  std::lock_guard lock(mutex_);
  image_ = std::move(image);
}

size_t SimRelayServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

size_t SimRelayServer::BurnsDone() const {
  std::lock_guard lock(mutex_);
  return burnsDone_;
}

size_t SimRelayServer::Malformed() const {
  std::lock_guard lock(mutex_);
  return malformed_;
}

bool SimRelayServer::WaitRequests(size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return requests_ >= count; });
}

bool SimRelayServer::WaitBurnsDone(size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return burnsDone_ >= count; });
}

void SimRelayServer::MaskLinkBytes(uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    data[i] = static_cast<uint8_t>(~static_cast<uint8_t>(data[i] + 5 * i));
  }
}

std::vector<uint8_t> SimRelayServer::BuildImageMessage(uint32_t linkId, const RelayImage& image,
                                                       RelayFault fault) {
  std::string name;
  platform::Utf8ToUtf16Le(image.fileName, &name);
  if (fault == RelayFault::BadName) name = std::string("\x00\xDC", 2) + name;
  if (fault != RelayFault::UnterminatedName) name.append(2, '\0');

  std::vector<uint8_t> data = image.clearData;
  MaskLinkBytes(data.data(), data.size());
  uint16_t sum = 0;
  for (uint8_t b : data) sum = static_cast<uint16_t>(sum + b);

  // Data first, the name last, so that an unterminated name runs to the end.
  const size_t dataOffset = kHeader;
  const size_t nameOffset = dataOffset + data.size();
  std::vector<uint8_t> payload(nameOffset + name.size(), 0);
  PutLe32(payload, 0, fault == RelayFault::WrongType ? 6 : 7);
  PutLe32(payload, 4,
          static_cast<uint32_t>(fault == RelayFault::NameOutOfRange ? payload.size() : nameOffset));
  PutLe32(payload, 12,
          static_cast<uint32_t>(
              fault == RelayFault::DataOutOfRange ? payload.size() - data.size() + 1 : dataOffset));
  PutLe32(payload, 16, fault == RelayFault::TooLong ? 204801 : static_cast<uint32_t>(data.size()));
  const uint16_t sumField = fault == RelayFault::WrongSum ? static_cast<uint16_t>(sum + 1) : sum;
  platform::PutLe16(&payload[20], sumField);
  PutLe32(payload, 24, image.remaining);
  std::copy(data.begin(), data.end(), payload.begin() + static_cast<std::ptrdiff_t>(dataOffset));
  std::copy(name.begin(), name.end(), payload.begin() + static_cast<std::ptrdiff_t>(nameOffset));

  if (fault == RelayFault::EmptyPayload) payload.clear();
  std::vector<uint8_t> message(8 + payload.size());
  PutLe32(message, 0, fault == RelayFault::WrongId ? linkId + 1 : linkId);
  PutLe32(message, 4,
          fault == RelayFault::HugeLength ? 0x7FFFFFFFu : static_cast<uint32_t>(payload.size()));
  std::copy(payload.begin(), payload.end(), message.begin() + 8);
  return message;
}

bool SimRelayServer::Answer(Connection& connection, const RelayImage& image, RelayFault fault) {
  const std::vector<uint8_t> message = BuildImageMessage(linkId_, image, fault);
  if (fault == RelayFault::CloseMidMessage) {
    connection.Write(message.data(), message.size() / 2);
    return false;
  }
  return connection.Write(message.data(), message.size(), fault == RelayFault::Fragmented);
}

void SimRelayServer::Serve(Connection& connection) {
  for (;;) {
    uint8_t header[8];
    if (!connection.ReadExact(header, sizeof header)) return;
    const uint32_t id = platform::ReadLe32(header);
    const uint32_t length = platform::ReadLe32(header + 4);
    if (length != 4) {
      // Not a message of this link's client: the stream cannot be followed.
      std::lock_guard lock(mutex_);
      ++malformed_;
      return;
    }
    uint8_t value[4];
    if (!connection.ReadExact(value, sizeof value)) return;
    const uint32_t v = platform::ReadLe32(value);
    bool request = false;
    RelayImage image;
    RelayFault fault = RelayFault::None;
    {
      std::lock_guard lock(mutex_);
      if (id != linkId_ || (v != kRequestImage && v != kBurnDone)) {
        ++malformed_;
      } else if (v == kRequestImage) {
        ++requests_;
        request = true;
        // The answer is the one set when the request was counted.
        image = image_;
        fault = fault_;
      } else {
        ++burnsDone_;
      }
      changed_.notify_all();
    }
    if (request && !Answer(connection, image, fault)) return;
  }
}

}  // namespace sim
