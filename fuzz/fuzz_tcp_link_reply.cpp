// Feeds arbitrary answers from a networked device to the TCP link: a peer on
// the loopback address sends the input's bytes (then ends the stream), and
// the link runs a few requests against them. A request may only succeed with
// its whole length delivered, nothing may be written past a read buffer, and
// no request may wait once the stream has ended.

#include <fuzzer/FuzzedDataProvider.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <vector>

#include "device/HidRequest.h"
#include "device/net/TcpLink.h"
#include "fuzz/TcpLinkReplyInput.h"
#include "platform/net/Socket.h"

namespace {

using namespace tcp_link_reply_input;

constexpr size_t kCanary = 16;
constexpr uint8_t kCanaryByte = 0xC5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint16_t port = 0;
  static platform::SocketFd listener = platform::ListenLoopback(0, &port, 64);
  if (!listener.IsValid()) __builtin_trap();

  FuzzedDataProvider fdp(data, size);
  const std::vector<uint8_t> reply =
      fdp.ConsumeBytes<uint8_t>(fdp.ConsumeIntegralInRange<size_t>(0, kMaxReply));

  CTcpLink link;
  // Many short connections in a row can run the machine out of ports for a
  // while; that says nothing about the link.
  if (link.Connect("127.0.0.1", port) != 1) return 0;
  {
    platform::SocketFd peer(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!peer.IsValid()) __builtin_trap();
    if (!reply.empty() &&
        platform::SendAll(peer.Get(), reply.data(), reply.size()) != platform::SocketIo::Ok) {
      return 0;
    }
  }  // the peer's end closes: every later wait ends at once

  size_t consumed = 0;
  const int requests = fdp.ConsumeIntegralInRange<int>(1, kMaxRequests);
  for (int i = 0; i < requests; ++i) {
    const uint32_t op = fdp.ConsumeIntegralInRange<uint32_t>(0, kMaxOp);
    const uint32_t length = fdp.ConsumeIntegralInRange<uint32_t>(0, kMaxLength);
    std::vector<uint8_t> buffer(length + kCanary, kCanaryByte);
    CHidRequest request(op, fdp.ConsumeIntegral<uint16_t>(), buffer.data(), length,
                        BridgeCmdRegister, 1000);
    const uint32_t result = link.ExecuteOnLink(request);
    if (result > 1) __builtin_trap();
    if (op > HidOpWrite && result != 0) __builtin_trap();
    if (op == HidOpRead && result == 1) {
      consumed += CTcpLink::kReplySkip + length;
      if (consumed > reply.size()) __builtin_trap();
      const size_t at = consumed - length;
      for (size_t k = 0; k < length; ++k) {
        if (buffer[k] != reply[at + k]) __builtin_trap();
      }
    }
    for (size_t k = length; k < buffer.size(); ++k) {
      if (buffer[k] != kCanaryByte) __builtin_trap();
    }
  }
  link.Close();
  return 0;
}
