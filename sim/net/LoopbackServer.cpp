#include "sim/net/LoopbackServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace sim {

bool LoopbackServer::Connection::WaitReadable() {
  for (;;) {
    pollfd p[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    const int n = ::poll(p, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || p[1].revents != 0) return false;
    return true;
  }
}

bool LoopbackServer::Connection::ReadExact(uint8_t* out, size_t length) {
  size_t got = 0;
  while (got < length) {
    if (!WaitReadable()) return false;
    const ssize_t n = ::recv(fd_, out + got, length - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      return false;
    }
  }
  return true;
}

bool LoopbackServer::Connection::Write(const uint8_t* data, size_t length, bool oneByteSegments) {
  if (!oneByteSegments) return platform::SendAll(fd_, data, length) == platform::SocketIo::Ok;
  for (size_t i = 0; i < length; ++i) {
    if (platform::SendAll(fd_, data + i, 1) != platform::SocketIo::Ok) return false;
  }
  return true;
}

LoopbackServer::LoopbackServer() : stop_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

LoopbackServer::~LoopbackServer() { Stop(); }

bool LoopbackServer::Start(uint16_t port) {
  std::lock_guard lock(startMutex_);
  if (thread_.joinable() || !stop_.IsValid()) return false;
  uint16_t bound = 0;
  listener_ = platform::ListenLoopback(port, &bound);
  if (!listener_.IsValid()) return false;
  port_.store(bound);
  thread_ = std::thread([this] { Run(); });
  return true;
}

void LoopbackServer::Stop() {
  std::lock_guard lock(startMutex_);
  if (!thread_.joinable()) return;
  stopping_.store(true);
  const uint64_t one = 1;
  (void)!::write(stop_.Get(), &one, sizeof one);
  WakeServe();
  thread_.join();
  listener_.Reset();
}

void LoopbackServer::Run() {
  for (;;) {
    pollfd p[2] = {{listener_.Get(), POLLIN, 0}, {stop_.Get(), POLLIN, 0}};
    const int n = ::poll(p, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || p[1].revents != 0) return;
    platform::SocketFd fd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!fd.IsValid()) continue;
    const int one = 1;
    ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connections_.fetch_add(1);
    Connection connection(fd.Get(), stop_.Get());
    Serve(connection);
    platform::ShutdownSocket(fd.Get());
  }
}

}  // namespace sim
