#include "device/net/LinkMessage.h"

#include <cerrno>

#include "platform/ByteOrder.h"
#include "platform/sync/Event.h"
#include "platform/net/Socket.h"

namespace {

using platform::PutLe32;
using platform::ReadLe32;

// The code printed with a failed receive: the socket's error, 0 for an
// ended stream.
int FailureCode(platform::SocketIo status) {
  return status == platform::SocketIo::Closed ? 0 : errno;
}

std::string RecvFailure(const char* step, platform::SocketIo status) {
  return std::string("recv failed with error") + step + ": " + std::to_string(FailureCode(status)) +
         "/n";
}

}  // namespace

std::array<uint8_t, 12> EncodeLinkMessage(uint32_t id, uint32_t value) {
  std::array<uint8_t, 12> bytes{};
  PutLe32(&bytes[0], id);
  PutLe32(&bytes[4], 4);
  PutLe32(&bytes[8], value);
  return bytes;
}

bool RecvLinkMessage(int fd, LinkMessage* out, std::string* failure) {
  uint8_t field[4];
  platform::SocketIo status = platform::RecvExact(fd, field, 4, platform::kInfinite);
  if (status != platform::SocketIo::Ok) {
    *failure = RecvFailure(" 0", status);
    return false;
  }
  out->id = ReadLe32(field);
  status = platform::RecvExact(fd, field, 4, platform::kInfinite);
  if (status != platform::SocketIo::Ok) {
    *failure = RecvFailure(" 1", status);
    return false;
  }
  const uint32_t length = ReadLe32(field);
  if (length > kMaxLinkPayload) {
    *failure = "recv failed: message too long";
    return false;
  }
  if (length == 0) {
    // A read of nothing counts as a failed read.
    *failure = RecvFailure(" 2", platform::SocketIo::Closed);
    return false;
  }
  out->payload.assign(length, 0);
  size_t got = 0;
  status = platform::RecvExact(fd, out->payload.data(), length, platform::kInfinite, &got);
  if (status != platform::SocketIo::Ok) {
    *failure = RecvFailure(got == 0 ? " 2" : "", status);
    return false;
  }
  return true;
}
