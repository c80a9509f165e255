#pragma once
// The TCP client of the remote server link: one socket and the thread pool
// its receive loop runs on. Subclasses handle the messages (OnReceive, on a
// pool thread), the start of a connection (OnConnected) and its loss
// (OnDisconnected, on the pool thread).
//
// The socket belongs to the owner: the receive loop, on a failure, only shuts
// it down; Disconnect closes it once the loop has ended, so a descriptor
// number is never reused under a thread that still sends on it. Subclass
// destructors must call Disconnect while their own members still live.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/net/LinkMessage.h"
#include "device/net/ThreadPool.h"
#include "platform/net/Socket.h"

class SuperSocket {
 public:
  // An unreachable server fails the connect after this long.
  static constexpr int kConnectTimeoutMs = 5000;
  // A server that stops reading fails a send after this long.
  static constexpr int kSendTimeoutMs = 1000;

  SuperSocket();
  virtual ~SuperSocket();
  SuperSocket(const SuperSocket&) = delete;
  SuperSocket& operator=(const SuperSocket&) = delete;

  // Ends what was connected before (its pool too), makes a new pool and
  // connects; then OnConnected. false (with a console line) on failure.
  bool Connect(const std::string& ip, int port);
  // Shuts the socket down (the receive loop ends), destroys the pool, closes
  // the socket. Not from a pool thread.
  void Disconnect();
  // For good: a connect in progress fails at once and later ones fail; the
  // owner calls it before it goes away.
  void Abort();

  // Sends the bytes as one unit under the send lock, so messages from
  // several threads never interleave. false when the socket is gone or
  // failed.
  bool Send(const uint8_t* data, size_t length);

  // The pool task: reads messages until the socket fails or is shut down.
  void ReceiveLoop();

 protected:
  virtual void OnReceive(const LinkMessage& message);
  virtual void OnDisconnected();
  virtual void OnConnected();
  // The console lines ("Connect Error::111", "recv failed ..."); stdout.
  virtual void OnConsoleLine(const std::string& text);

  CThreadPool* Pool();

 private:
  std::mutex sendMutex_;           // one sender at a time; held while closing
  mutable std::mutex stateMutex_;  // socket_, pool_
  platform::SocketFd socket_;
  std::unique_ptr<CThreadPool> pool_;
  platform::SocketFd cancel_;  // readable once Abort was called
  std::atomic<bool> aborted_{false};
};
