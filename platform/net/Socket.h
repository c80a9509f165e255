#pragma once
// The TCP socket calls both network links share: an owned descriptor, a
// connect with a time limit that tells a refused or failed connect from a
// good one, sends that never raise SIGPIPE, exact receives with a limit per
// wait, and a drain of bytes nobody asked for.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// Owns one socket descriptor; closes it on destruction.
class SocketFd {
 public:
  SocketFd() = default;
  explicit SocketFd(int fd) : fd_(fd) {}
  ~SocketFd() { Reset(); }
  SocketFd(SocketFd&& other) noexcept : fd_(other.Release()) {}
  SocketFd& operator=(SocketFd&& other) noexcept;
  SocketFd(const SocketFd&) = delete;
  SocketFd& operator=(const SocketFd&) = delete;

  int Get() const { return fd_; }
  bool IsValid() const { return fd_ >= 0; }
  int Release();
  // Closes the descriptor (when one is held).
  void Reset();

 private:
  int fd_ = -1;
};

enum class SocketIo {
  Ok,
  Timeout,  // nothing (more) arrived within the limit; the socket is still good
  Closed,   // the peer ended the stream
  Error,    // the socket failed; it cannot be used any more
};

// A TCP port a connect may use: 1 to 65535.
bool IsValidPort(int port);

// Connects to a dotted IPv4 address: a non-blocking connect, a wait of at
// most timeoutMs for it to finish, SO_ERROR checked (a refused connect makes
// the socket writable too), then back to blocking mode. An invalid socket on
// failure, with the errno value in *error (ETIMEDOUT for the time limit,
// EINVAL for a bad address or port). A readable cancelFd ends the wait at
// once (ECANCELED).
SocketFd ConnectTcp4(std::string_view ip, int port, int timeoutMs, int* error = nullptr,
                     int cancelFd = -1);

// Limit of each blocking send (SO_SNDTIMEO).
bool SetSendTimeout(int fd, int ms);

// Sends every byte (MSG_NOSIGNAL: a closed peer is an error, not a signal).
// A send that returns 0 or less fails.
SocketIo SendAll(int fd, const uint8_t* data, size_t length);

// Receives exactly length bytes; each wait for more data lasts at most
// timeoutMs (0xFFFFFFFF: no limit). *received (optional) tells how many
// arrived before a failure.
SocketIo RecvExact(int fd, uint8_t* out, size_t length, uint32_t timeoutMs,
                   size_t* received = nullptr);

// Discards what is readable now, and what follows until quietMs pass with
// nothing new, but for at most maxMs in all. Returns the bytes dropped.
size_t DrainSocket(int fd, int quietMs, int maxMs);

// Wakes every thread blocked on the socket (receives return end of stream)
// without giving up the descriptor number.
void ShutdownSocket(int fd);

// A listening TCP socket on 127.0.0.1 (port 0: any free port); the port
// actually bound in *boundPort. Test peers and the simulator use it.
SocketFd ListenLoopback(uint16_t port, uint16_t* boundPort, int backlog = 4);

}  // namespace platform
