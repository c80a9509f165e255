// Feeds arbitrary answers from a networked device to the TCP link: a peer on
// the loopback address sends bytes unasked before a request goes out and
// answers each frame with bytes of the input, and the link runs a few
// requests against them. Nothing may be written past a read buffer, a request
// result is 0 or 1, and while the peer has sent nothing unasked and never
// more than was asked so far, a read may only succeed with its own answer's
// bytes: the ones at its place in the stream, after every earlier answer in
// full.

#include <fuzzer/FuzzedDataProvider.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "device/link/HidRequest.h"
#include "device/net/TcpLink.h"
#include "fuzz/TcpLinkReplyInput.h"
#include "platform/net/Socket.h"

namespace {

using namespace tcp_link_reply_input;
using Bytes = std::vector<uint8_t>;

constexpr size_t kCanary = 16;
constexpr uint8_t kCanaryByte = 0xC5;
constexpr size_t kFrameHeader = CTcpLink::kFrameHeaderSize;

struct Request {
  uint32_t op = 0;
  uint32_t length = 0;
  uint16_t address = 0;
  Bytes stray;   // sent before the request goes out
  Bytes answer;  // sent once its frame is in (only requests that send one)
};

bool SendsFrame(const Request& r) { return r.op == HidOpRead || r.op == HidOpWrite; }

// The next n bytes of the pool at *at, zeros once it is used up.
Bytes Take(const Bytes& pool, size_t* at, size_t n) {
  const size_t have = std::min(n, pool.size() - *at);
  Bytes out(pool.begin() + static_cast<std::ptrdiff_t>(*at),
            pool.begin() + static_cast<std::ptrdiff_t>(*at + have));
  out.resize(n, 0);
  *at += have;
  return out;
}

// Answer bytes a request asks for.
size_t Asked(uint32_t op, uint32_t length) {
  return op == HidOpRead ? CTcpLink::kReplySkip + length : 0;
}

// Reads one frame of the link; false once the link has gone.
bool ReadFrame(int fd) {
  uint8_t header[kFrameHeader];
  if (platform::RecvExact(fd, header, sizeof header, platform::kInfinite) !=
      platform::SocketIo::Ok) {
    return false;
  }
  Bytes payload(static_cast<size_t>(header[4] | header[5] << 8));
  return payload.empty() || platform::RecvExact(fd, payload.data(), payload.size(),
                                                platform::kInfinite) == platform::SocketIo::Ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint16_t port = 0;
  static platform::SocketFd listener = platform::ListenLoopback(0, &port, 64);
  if (!listener.IsValid()) __builtin_trap();

  FuzzedDataProvider fdp(data, size);
  const Bytes pool = fdp.ConsumeBytes<uint8_t>(fdp.ConsumeIntegralInRange<size_t>(0, kMaxPool));
  std::vector<Request> requests(fdp.ConsumeIntegralInRange<int>(1, kMaxRequests));
  size_t at = 0;
  for (Request& r : requests) {
    r.op = fdp.ConsumeIntegralInRange<uint32_t>(0, kMaxOp);
    r.length = fdp.ConsumeIntegralInRange<uint32_t>(0, kMaxLength);
    r.address = fdp.ConsumeIntegral<uint16_t>();
    r.stray = Take(pool, &at, fdp.ConsumeIntegralInRange<size_t>(0, kMaxStray));
    const size_t asked = Asked(r.op, r.length);
    const size_t cut = std::min(asked, fdp.ConsumeIntegralInRange<size_t>(0, kMaxCut));
    r.answer = Take(pool, &at, asked - cut + fdp.ConsumeIntegralInRange<size_t>(0, kMaxExtra));
  }

  CTcpLink link;
  // Many short connections in a row can run the machine out of ports for a
  // while; that says nothing about the link.
  if (link.Connect("127.0.0.1", port) != 1) return 0;
  platform::SocketFd peer(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
  if (!peer.IsValid()) __builtin_trap();

  // The peer answers each frame in turn; it ends when the link closes.
  std::vector<const Bytes*> answers;
  for (const Request& r : requests) {
    if (SendsFrame(r)) answers.push_back(&r.answer);
  }
  std::thread answering([&] {
    for (const Bytes* answer : answers) {
      if (!ReadFrame(peer.Get())) return;
      if (!answer->empty() && platform::SendAll(peer.Get(), answer->data(), answer->size()) !=
                                  platform::SocketIo::Ok) {
        return;
      }
    }
  });

  Bytes stream;         // every answer sent so far, in order
  size_t place = 0;     // where the next read's answer starts in it
  size_t asked = 0;     // bytes the frames so far asked for
  bool honest = true;   // nothing unasked, never more than asked
  for (const Request& r : requests) {
    if (!r.stray.empty()) {
      honest = false;
      if (platform::SendAll(peer.Get(), r.stray.data(), r.stray.size()) != platform::SocketIo::Ok) {
        break;
      }
    }
    Bytes buffer(r.length + kCanary, kCanaryByte);
    CHidRequest request(r.op, r.address, buffer.data(), r.length, BridgeCmdRegister, kTimeoutMs);
    const uint32_t result = link.ExecuteOnLink(request);
    if (result > 1) __builtin_trap();
    if (!SendsFrame(r) && result != 0) __builtin_trap();
    for (size_t k = r.length; k < buffer.size(); ++k) {
      if (buffer[k] != kCanaryByte) __builtin_trap();
    }
    if (!SendsFrame(r)) continue;

    const size_t own = Asked(r.op, r.length);
    asked += own;
    stream.insert(stream.end(), r.answer.begin(), r.answer.end());
    honest = honest && stream.size() <= asked;
    if (honest && r.op == HidOpRead && result == 1) {
      // Success means every earlier answer came in full and this one is its own.
      if (stream.size() < place + own) __builtin_trap();
      if (!std::equal(buffer.begin(), buffer.begin() + r.length,
                      stream.begin() + static_cast<std::ptrdiff_t>(place + CTcpLink::kReplySkip))) {
        __builtin_trap();
      }
    }
    place += own;
  }
  link.Close();
  answering.join();
  return 0;
}
