#include "device/net/SuperSocket.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

SuperSocket::SuperSocket() : cancel_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SuperSocket::~SuperSocket() { Disconnect(); }

CThreadPool* SuperSocket::Pool() {
  std::lock_guard lock(stateMutex_);
  return pool_.get();
}

bool SuperSocket::Connect(const std::string& ip, int port) {
  Disconnect();
  {
    std::lock_guard lock(stateMutex_);
    pool_ = std::make_unique<CThreadPool>();
  }
  int error = ECANCELED;
  platform::SocketFd fd;
  if (!aborted_.load()) {
    fd = platform::ConnectTcp4(ip, port, kConnectTimeoutMs, &error, cancel_.Get());
  }
  if (!fd.IsValid()) {
    OnConsoleLine("Connect Error::" + std::to_string(error) + "\n");
    return false;
  }
  platform::SetSendTimeout(fd.Get(), kSendTimeoutMs);
  {
    std::lock_guard lock(stateMutex_);
    socket_ = std::move(fd);
  }
  OnConnected();
  return true;
}

void SuperSocket::Disconnect() {
  std::unique_ptr<CThreadPool> pool;
  {
    std::lock_guard lock(stateMutex_);
    platform::ShutdownSocket(socket_.Get());
    pool = std::move(pool_);
  }
  // The receive loop sees the shutdown and ends; the pool waits for it.
  pool.reset();
  std::scoped_lock lock(sendMutex_, stateMutex_);
  socket_.Reset();
}

void SuperSocket::Abort() {
  aborted_.store(true);
  const uint64_t one = 1;
  if (cancel_.IsValid()) (void)!::write(cancel_.Get(), &one, sizeof one);
}

bool SuperSocket::Send(const uint8_t* data, size_t length) {
  std::lock_guard send(sendMutex_);
  int fd = -1;
  {
    std::lock_guard lock(stateMutex_);
    fd = socket_.Get();
  }
  return fd >= 0 && platform::SendAll(fd, data, length) == platform::SocketIo::Ok;
}

void SuperSocket::ReceiveLoop() {
  int fd = -1;
  {
    std::lock_guard lock(stateMutex_);
    fd = socket_.Get();
  }
  if (fd < 0) return;
  LinkMessage message;
  std::string failure;
  while (RecvLinkMessage(fd, &message, &failure)) OnReceive(message);
  {
    // The owner closes the descriptor; here it is only made useless, so
    // that senders fail at once.
    std::lock_guard lock(stateMutex_);
    if (socket_.Get() == fd) platform::ShutdownSocket(fd);
  }
  OnConsoleLine(failure);
  OnDisconnected();
}

void SuperSocket::OnReceive(const LinkMessage&) {}
void SuperSocket::OnDisconnected() {}
void SuperSocket::OnConnected() {}

void SuperSocket::OnConsoleLine(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}
