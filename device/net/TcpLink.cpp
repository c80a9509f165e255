#include "device/net/TcpLink.h"

#include <algorithm>
#include <cstring>

#include "device/link/HidRequest.h"
#include "device/link/RequestQueue.h"
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
  // What the old connection owed never comes on a new one.
  owed_.Clear();
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

platform::SocketIo CTcpLink::DiscardDue(int fd, uint32_t waitMs) {
  uint8_t scrap[4096];
  while (owed_.Due() > 0) {
    const auto want = static_cast<size_t>(std::min<uint64_t>(owed_.Due(), sizeof scrap));
    size_t got = 0;
    const platform::SocketIo status = platform::RecvExact(fd, scrap, want, waitMs, &got);
    owed_.PaidFromStream(got);
    if (status != platform::SocketIo::Ok) return status;
  }
  return platform::SocketIo::Ok;
}

bool CTcpLink::Settle(int fd) {
  if (owed_.Owing()) {
    const platform::SocketIo status = DiscardDue(fd, owed_.WaitMs());
    // Not in within the wait: still thrown away when it comes, just not
    // waited for any more.
    if (status == platform::SocketIo::Timeout) owed_.GiveUp();
    if (status != platform::SocketIo::Ok && status != platform::SocketIo::Timeout) return false;
  }
  // Nothing still to be asked can be answered yet: what is readable now is a
  // late answer, the excess of a long one, or bytes sent unasked.
  owed_.PaidFromStream(platform::DrainSocket(fd, 0, 0));
  return true;
}

uint32_t CTcpLink::Read(int fd, CHidRequest& request, bool* broken) {
  if (Send(fd, request.header.data(), static_cast<uint32_t>(request.header.size())) == 0) {
    *broken = true;
    return 0;
  }
  // Late answers that have not come yet arrive ahead of this one.
  platform::SocketIo status = DiscardDue(fd, request.timeout);
  // The whole answer in one go: the bytes in front of the data are dropped
  // on the copy.
  const size_t answer = kReplySkip + request.length;
  size_t received = 0;
  if (status == platform::SocketIo::Ok) {
    replyBuffer_.resize(answer);
    status = platform::RecvExact(fd, replyBuffer_.data(), answer, request.timeout, &received);
  }
  if (status == platform::SocketIo::Ok) {
    if (request.length != 0) {
      std::memcpy(request.buffer, replyBuffer_.data() + kReplySkip, request.length);
    }
    return 1;
  }
  if (status == platform::SocketIo::Timeout) {
    // A silent device fails this read only; the rest of its answer is owed.
    owed_.Owe(static_cast<uint32_t>(answer - received), request.timeout);
  } else {
    *broken = true;
  }
  return 0;
}

uint32_t CTcpLink::ExecuteOnLink(CHidRequest& request) {
  if (!request.IsTransferable()) return 0;
  if (request.operation != HidOpRead && request.operation != HidOpWrite) return 0;
  int fd = -1;
  {
    std::lock_guard lock(mutex_);
    if (!socket_.IsValid()) return 0;
    busy_ = true;
    fd = socket_.Get();
  }

  bool broken = false;
  uint32_t result = 0;
  if (!Settle(fd)) {
    broken = true;
  } else if (request.operation == HidOpRead) {
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
    owed_.Clear();
  }
  idle_.notify_all();
  return result;
}
