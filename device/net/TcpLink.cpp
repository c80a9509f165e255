#include "device/net/TcpLink.h"

#include <cstring>

#include "device/HidRequest.h"
#include "device/RequestQueue.h"
#include "platform/ByteOrder.h"

CTcpLink::CTcpLink() = default;

CTcpLink::~CTcpLink() { Close(); }

namespace {

void WriteFrameHeader(uint8_t* out, uint16_t length) {
  platform::PutLe32(out, CTcpLink::kMagic);
  platform::PutLe16(out + 4, length);
  platform::PutLe16(out + 6, 0);
}

}  // namespace

uint32_t CTcpLink::Connect(const std::string& ip, int port) {
  std::lock_guard owner(ownerMutex_);
  if (!platform::IsValidPort(port)) return 0;
  CloseOwned();
  platform::SocketFd fd = platform::ConnectTcp4(ip, port, kConnectTimeoutMs);
  if (!fd.IsValid() || !platform::SetSendTimeout(fd.Get(), kSendTimeoutMs)) return 0;
  std::lock_guard lock(mutex_);
  socket_ = std::move(fd);
  dirty_ = false;
  return 1;
}

void CTcpLink::Close() {
  std::lock_guard owner(ownerMutex_);
  CloseOwned();
}

void CTcpLink::CloseOwned() {
  // The following requests go to the HID link; the one running here may
  // finish within the grace, after that its wait is cut short.
  if (!GetRequestQueue().DeselectLink(this, kCloseGrace)) {
    std::lock_guard lock(mutex_);
    platform::ShutdownSocket(socket_.Get());
  }
  std::unique_lock lock(mutex_);
  // Whoever still holds the socket (a request cut short) lets go first.
  idle_.wait(lock, [&] { return !busy_; });
  socket_.Reset();
  dirty_ = false;
}

bool CTcpLink::IsConnected() const {
  std::lock_guard lock(mutex_);
  return socket_.IsValid();
}

std::vector<uint8_t> CTcpLink::BuildFrame(const uint8_t* payload, uint16_t length) {
  std::vector<uint8_t> frame(kFrameHeaderSize + length);
  WriteFrameHeader(frame.data(), length);
  if (length != 0) std::memcpy(frame.data() + kFrameHeaderSize, payload, length);
  return frame;
}

uint32_t CTcpLink::Send(int fd, const uint8_t* data, uint32_t length) {
  if (length > kMaxRequestLength) return 0;
  const auto n = static_cast<uint16_t>(length);
  sendBuffer_.resize(kFrameHeaderSize + n);
  WriteFrameHeader(sendBuffer_.data(), n);
  if (n != 0) std::memcpy(sendBuffer_.data() + kFrameHeaderSize, data, n);
  return platform::SendAll(fd, sendBuffer_.data(), sendBuffer_.size()) == platform::SocketIo::Ok
             ? 1
             : 0;
}

uint32_t CTcpLink::Read(int fd, CHidRequest& request, bool* broken) {
  if (Send(fd, request.header.data(), static_cast<uint32_t>(request.header.size())) == 0) {
    *broken = true;
    return 0;
  }
  // The whole answer in one go: the bytes in front of the data are dropped
  // on the copy.
  replyBuffer_.resize(kReplySkip + request.length);
  const platform::SocketIo status =
      platform::RecvExact(fd, replyBuffer_.data(), replyBuffer_.size(), request.timeout);
  if (status == platform::SocketIo::Ok && request.length != 0) {
    std::memcpy(request.buffer, replyBuffer_.data() + kReplySkip, request.length);
  }
  if (status == platform::SocketIo::Ok) return 1;
  if (status == platform::SocketIo::Timeout) {
    // A silent device fails this read only; what it sends late is dropped
    // before the next request so that it is never taken as that answer.
    std::lock_guard lock(mutex_);
    dirty_ = true;
  } else {
    *broken = true;
  }
  return 0;
}

uint32_t CTcpLink::ExecuteOnLink(CHidRequest& request) {
  if (!request.IsTransferable()) return 0;
  if (request.operation != HidOpRead && request.operation != HidOpWrite) return 0;
  int fd = -1;
  bool drain = false;
  {
    std::lock_guard lock(mutex_);
    if (!socket_.IsValid()) return 0;
    busy_ = true;
    fd = socket_.Get();
    drain = dirty_;
    dirty_ = false;
  }
  if (drain) platform::DrainSocket(fd, kDrainQuietMs, kDrainMaxMs);

  bool broken = false;
  uint32_t result = 0;
  if (request.operation == HidOpRead) {
    result = Read(fd, request, &broken);
  } else {
    result = Send(fd, request.buffer, request.length);
    // A frame cut short leaves the stream out of step: the link is done.
    broken = result == 0;
  }

  std::lock_guard lock(mutex_);
  busy_ = false;
  if (broken) {
    // The connection is gone or out of step; later requests fail at once
    // until the owner connects again.
    platform::ShutdownSocket(fd);
    socket_.Reset();
    dirty_ = false;
  }
  idle_.notify_all();
  return result;
}
