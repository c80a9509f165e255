#pragma once
// A loopback listener whose queue of finished handshakes is full: a further
// connect gets no answer (its SYN is dropped) until the queue empties. The
// way to test a connect that hangs without leaving the machine.

#include <cstdint>

#include "platform/net/Socket.h"

struct FullListener {
  FullListener() {
    listener = platform::ListenLoopback(0, &port, 1);
    for (auto& c : fillers) c = platform::ConnectTcp4("127.0.0.1", port, 1000);
  }
  platform::SocketFd listener;
  uint16_t port = 0;
  platform::SocketFd fillers[2];
};
