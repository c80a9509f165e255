// Feeds arbitrary bytes to the remote server link's receive side: first as a
// stream of framed messages (however long their length fields claim to be),
// then as one image payload. No read may leave its buffer, a message is
// never longer than the link takes in, and an accepted image always has a
// usable base name and data within its limit.

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "device/net/ImageMessage.h"
#include "device/net/LinkMessage.h"
#include "platform/net/Socket.h"

namespace {

// The stream is written whole before it is read, so it must fit the
// socket's buffer.
constexpr size_t kMaxStream = 64 * 1024;

void CheckFraming(const uint8_t* data, size_t size) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
  platform::SocketFd reader(ends[0]);
  platform::SocketFd writer(ends[1]);
  const int big = static_cast<int>(kMaxStream * 2);
  ::setsockopt(writer.Get(), SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
  ::setsockopt(reader.Get(), SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  if (platform::SendAll(writer.Get(), data, size) != platform::SocketIo::Ok) return;
  writer.Reset();  // end of stream after the input

  LinkMessage message;
  std::string failure;
  size_t messages = 0;
  while (RecvLinkMessage(reader.Get(), &message, &failure)) {
    if (message.payload.empty() || message.payload.size() > kMaxLinkPayload) __builtin_trap();
    if (++messages > size) __builtin_trap();  // every message consumes input
  }
  if (failure.empty()) __builtin_trap();
}

void CheckImage(const uint8_t* data, size_t size) {
  RemoteImage image;
  if (ParseImageMessage(data, size, &image) != ImageCheck::Ok) {
    if (!image.fileName.empty() || !image.data.empty()) __builtin_trap();
    return;
  }
  if (image.data.size() > kMaxImageData || image.data.size() > size) __builtin_trap();
  if (image.fileName.empty() || image.fileName == ".." ||
      image.fileName.find_first_of("\\/:") != std::string::npos) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxStream) return 0;
  CheckFraming(data, size);
  CheckImage(data, size);
  return 0;
}
