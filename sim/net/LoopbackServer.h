#pragma once
// A TCP peer on 127.0.0.1 for the network links' tests, benchmarks and the
// simulated run: it listens on a port of its own (any free one unless told),
// serves one connection at a time on its own thread, and stops promptly
// whatever the connection is doing.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/net/Socket.h"

namespace sim {

class LoopbackServer {
 public:
  // One accepted connection, as the serving code sees it.
  class Connection {
   public:
    Connection(int fd, int stopFd) : fd_(fd), stopFd_(stopFd) {}
    // Exactly length bytes; false when the peer ended the stream, the
    // connection failed or the server is stopping.
    bool ReadExact(uint8_t* out, size_t length);
    // Every byte; oneByteSegments sends them one at a time.
    bool Write(const uint8_t* data, size_t length, bool oneByteSegments = false);
    int Fd() const { return fd_; }

   private:
    bool WaitReadable();
    int fd_;
    int stopFd_;
  };

  LoopbackServer();
  virtual ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Listens on 127.0.0.1 (port 0: any free port) and starts serving. false
  // when the port cannot be had or the server already runs.
  bool Start(uint16_t port = 0);
  // Ends the connection being served and the thread. Subclasses call it in
  // their destructors, before their own members go.
  void Stop();
  uint16_t Port() const { return port_.load(); }
  size_t Connections() const { return connections_.load(); }

 protected:
  // Serves one connection until it returns; the connection is closed then.
  virtual void Serve(Connection& connection) = 0;
  // True once Stop was called: waits in Serve end on it.
  bool Stopping() const { return stopping_.load(); }
  // Called by Stop before it waits for the thread: wake whatever Serve
  // waits on besides the connection.
  virtual void WakeServe() {}

 private:
  void Run();

  platform::SocketFd listener_;
  platform::SocketFd stop_;  // readable once Stop was called
  std::atomic<uint16_t> port_{0};
  std::atomic<size_t> connections_{0};
  std::atomic<bool> stopping_{false};
  std::mutex startMutex_;
  std::thread thread_;
};

}  // namespace sim
