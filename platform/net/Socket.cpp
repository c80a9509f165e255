#include "platform/net/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kNoLimit = 0xFFFFFFFF;

int MsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for events on fd; 1 ready, 0 time-out, -1 error, -2 cancelFd became
// readable. EINTR restarts the wait with the time that is left.
int PollFor(int fd, short events, int timeoutMs, int cancelFd = -1) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd p[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
    const int n = ::poll(p, cancelFd >= 0 ? 2 : 1, timeoutMs < 0 ? -1 : timeoutMs);
    if (n > 0) return p[1].revents != 0 && cancelFd >= 0 ? -2 : 1;
    if (n == 0) return 0;
    if (errno != EINTR) return -1;
    if (timeoutMs >= 0) timeoutMs = MsLeft(deadline);
  }
}

bool SetBlocking(int fd, bool blocking) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return ::fcntl(fd, F_SETFL, wanted) == 0;
}

}  // namespace

SocketFd& SocketFd::operator=(SocketFd&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = other.Release();
  }
  return *this;
}

int SocketFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void SocketFd::Reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool IsValidPort(int port) { return port >= 1 && port <= 65535; }

SocketFd ConnectTcp4(std::string_view ip, int port, int timeoutMs, int* error, int cancelFd) {
  int unused = 0;
  int& err = error != nullptr ? *error : unused;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  const std::string text(ip);
  if (!IsValidPort(port) || ::inet_pton(AF_INET, text.c_str(), &address.sin_addr) != 1) {
    err = EINVAL;
    return {};
  }
  address.sin_port = htons(static_cast<uint16_t>(port));

  SocketFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.IsValid() || !SetBlocking(fd.Get(), false)) {
    err = errno;
    return {};
  }
  if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    err = errno;
    return {};
  }
  const int ready = PollFor(fd.Get(), POLLOUT, timeoutMs, cancelFd);
  if (ready <= 0) {
    err = ready == 0 ? ETIMEDOUT : ready == -2 ? ECANCELED : errno;
    return {};
  }
  // Writable also means "failed": only SO_ERROR tells.
  int soError = 0;
  socklen_t size = sizeof soError;
  if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &soError, &size) != 0) {
    err = errno;
    return {};
  }
  if (soError != 0) {
    err = soError;
    return {};
  }
  if (!SetBlocking(fd.Get(), true)) {
    err = errno;
    return {};
  }
  // Requests are small and answered one at a time: no batching delay.
  const int one = 1;
  ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  err = 0;
  return fd;
}

bool SetSendTimeout(int fd, int ms) {
  timeval tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  return ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

SocketIo SendAll(int fd, const uint8_t* data, size_t length) {
  size_t sent = 0;
  while (sent < length) {
    const ssize_t n = ::send(fd, data + sent, length - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return SocketIo::Error;
  }
  return SocketIo::Ok;
}

SocketIo RecvExact(int fd, uint8_t* out, size_t length, uint32_t timeoutMs, size_t* received) {
  size_t got = 0;
  SocketIo status = SocketIo::Ok;
  const int waitMs =
      timeoutMs == kNoLimit ? -1 : static_cast<int>(std::min<uint32_t>(timeoutMs, 0x7FFFFFFF));
  while (got < length) {
    const int ready = PollFor(fd, POLLIN, waitMs);
    if (ready == 0) {
      status = SocketIo::Timeout;
      break;
    }
    if (ready < 0) {
      status = SocketIo::Error;
      break;
    }
    const ssize_t n = ::recv(fd, out + got, length - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0) {
      status = SocketIo::Closed;
      break;
    } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      status = SocketIo::Error;
      break;
    }
  }
  if (received != nullptr) *received = got;
  return status;
}

size_t DrainSocket(int fd, int quietMs, int maxMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(maxMs);
  size_t dropped = 0;
  uint8_t scrap[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, scrap, sizeof scrap, MSG_DONTWAIT);
    if (n > 0) {
      dropped += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // End of stream or an error: the next exchange will see it.
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return dropped;
    const int left = MsLeft(deadline);
    if (left == 0 || PollFor(fd, POLLIN, std::min(quietMs, left)) <= 0) return dropped;
  }
}

void ShutdownSocket(int fd) {
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

SocketFd ListenLoopback(uint16_t port, uint16_t* boundPort, int backlog) {
  SocketFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.IsValid()) return {};
  const int one = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd.Get(), backlog) != 0) {
    return {};
  }
  socklen_t size = sizeof address;
  if (::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) return {};
  if (boundPort != nullptr) *boundPort = ntohs(address.sin_port);
  return fd;
}

}  // namespace platform
