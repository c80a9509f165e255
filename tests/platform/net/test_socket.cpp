// The socket calls of the network links on the loopback address: how a
// connect fails (refused, no answer within the limit, cancelled, bad
// endpoint) and how an exact receive ends.

#include "platform/net/Socket.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "tests/platform/FullListener.h"

namespace {

using platform::SocketFd;
using platform::SocketIo;

TEST(Socket, ConnectFailuresSayWhy) {
  uint16_t closed = 0;
  platform::ListenLoopback(0, &closed);  // closes again at once
  struct Case {
    const char* name;
    const char* ip;
    int port;
    int error;
  } cases[] = {
      {"nothing listens", "127.0.0.1", closed, ECONNREFUSED},
      {"port 0", "127.0.0.1", 0, EINVAL},
      {"port 65536", "127.0.0.1", 65536, EINVAL},
      {"not an address", "localhost", 80, EINVAL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int error = 0;
    EXPECT_FALSE(platform::ConnectTcp4(c.ip, c.port, 1000, &error).IsValid());
    EXPECT_EQ(c.error, error);
  }
}

TEST(Socket, AConnectWithoutAnswerEndsAtItsLimitOrWhenCancelled) {
  FullListener full;
  ASSERT_TRUE(full.listener.IsValid());
  int error = 0;
  EXPECT_FALSE(platform::ConnectTcp4("127.0.0.1", full.port, 50, &error).IsValid());
  EXPECT_EQ(ETIMEDOUT, error);

  SocketFd cancel(::eventfd(1, EFD_CLOEXEC));  // already signalled
  EXPECT_FALSE(platform::ConnectTcp4("127.0.0.1", full.port, 60000, &error, cancel.Get()).IsValid());
  EXPECT_EQ(ECANCELED, error);
}

TEST(Socket, ExactReceiveEndsOnTimeOutOrEndOfStream) {
  int ends[2];
  ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends));
  SocketFd a(ends[0]);
  SocketFd b(ends[1]);
  const uint8_t bytes[3] = {1, 2, 3};
  ASSERT_EQ(SocketIo::Ok, platform::SendAll(b.Get(), bytes, 3));
  std::vector<uint8_t> out(5);
  size_t got = 0;
  EXPECT_EQ(SocketIo::Timeout, platform::RecvExact(a.Get(), out.data(), 5, 10, &got));
  EXPECT_EQ(3u, got);
  b.Reset();
  EXPECT_EQ(SocketIo::Closed, platform::RecvExact(a.Get(), out.data(), 1, 1000, &got));
  EXPECT_EQ(0u, got);
  // A send to a closed peer fails instead of raising SIGPIPE.
  EXPECT_EQ(SocketIo::Error, platform::SendAll(a.Get(), bytes, 3));
}

}  // namespace
