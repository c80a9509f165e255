// HidrawPort without hardware: a SOCK_SEQPACKET socket pair keeps report
// boundaries like a hidraw node does (one write = one report, one read = one
// report), and a pipe stands in where only a hang-up matters.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/sync/Event.h"
#include "platform/hid/HidrawBackend.h"
#include "platform/hid/HidrawPort.h"

namespace platform {
namespace {

using Report = std::array<uint8_t, kHidReportSize>;

Report MakeReport(uint8_t tag) {
  Report r{};
  r[0] = 3;
  for (size_t i = 1; i < r.size(); ++i) r[i] = static_cast<uint8_t>(tag + i);
  return r;
}

// A port on one end of a socket pair; the test plays the device on the other.
class HidrawPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
    device_ = fds[1];
    info_.devNode = "/dev/hidraw9";
    info_.vendorId = 0x27C0;
    info_.interfaceNumber = 1;
    portFd_ = fds[0];
    port_ = std::make_unique<HidrawPort>(fds[0], info_);
  }
  void TearDown() override {
    port_.reset();
    CloseDevice();
  }

  void DeviceSends(const Report& r) {
    ASSERT_EQ(::send(device_, r.data(), r.size(), MSG_NOSIGNAL), static_cast<ssize_t>(r.size()));
  }
  void CloseDevice() {
    if (device_ >= 0) ::close(device_);
    device_ = -1;
  }

  int device_ = -1;
  HidDeviceInfo info_;
  int portFd_ = -1;  // owned by port_
  std::unique_ptr<HidrawPort> port_;
};

TEST_F(HidrawPortTest, WriteSendsTheWholeReport) {
  const Report out = MakeReport(0x40);
  EXPECT_EQ(port_->Write(out.data(), out.size(), 200), HidIoResult::Ok);
  Report got{};
  ASSERT_EQ(::recv(device_, got.data(), got.size(), 0), static_cast<ssize_t>(got.size()));
  EXPECT_EQ(got, out);
}

TEST_F(HidrawPortTest, WriteIntoAFullQueueTimesOut) {
  const Report out = MakeReport(1);
  while (::send(portFd_, out.data(), out.size(), MSG_DONTWAIT | MSG_NOSIGNAL) > 0) {
  }
  EXPECT_EQ(port_->Write(out.data(), out.size(), 20), HidIoResult::Timeout);
}

TEST_F(HidrawPortTest, WriteToAVanishedDeviceIsRemoval) {
  // The port's write reports EPIPE; the signal that goes with it must not end the test.
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &old);
  CloseDevice();
  const Report out = MakeReport(2);
  EXPECT_EQ(port_->Write(out.data(), out.size(), 200), HidIoResult::Removed);
  ::sigaction(SIGPIPE, &old, nullptr);
}

TEST_F(HidrawPortTest, ReadReturnsOneReportAndTimesOutWhenQuiet) {
  DeviceSends(MakeReport(7));
  Report in{};
  size_t got = 99;
  ASSERT_EQ(port_->Read(in.data(), in.size(), &got, 200), HidIoResult::Ok);
  EXPECT_EQ(got, kHidReportSize);
  EXPECT_EQ(in, MakeReport(7));

  for (uint32_t timeout : {0u, 20u}) {
    got = 99;
    EXPECT_EQ(port_->Read(in.data(), in.size(), &got, timeout), HidIoResult::Timeout) << timeout;
    EXPECT_EQ(got, 0u);
  }
}

TEST_F(HidrawPortTest, ReportsSentBeforeRemovalAreDeliveredThenRemovalAtOnce) {
  DeviceSends(MakeReport(8));
  CloseDevice();
  Report in{};
  size_t got = 0;
  EXPECT_EQ(port_->Read(in.data(), in.size(), &got, 10000), HidIoResult::Ok);
  EXPECT_EQ(in, MakeReport(8));
  // Without the hang-up check this would wait the full ten seconds and say Timeout.
  EXPECT_EQ(port_->Read(in.data(), in.size(), &got, 10000), HidIoResult::Removed);
  EXPECT_EQ(port_->Read(in.data(), in.size(), &got, kInfinite), HidIoResult::Removed);
  EXPECT_TRUE(port_->IsOpen()) << "the descriptor stays until Close";
}

TEST_F(HidrawPortTest, ReadSurvivesSignals) {
  struct sigaction wake {
  }, old{};
  wake.sa_handler = [](int) {};
  ::sigemptyset(&wake.sa_mask);
  ::sigaction(SIGUSR1, &wake, &old);

  std::atomic<HidIoResult> result{HidIoResult::Error};
  Report in{};
  std::atomic<bool> done{false};
  std::thread reader([&] {
    size_t got = 0;
    result = port_->Read(in.data(), in.size(), &got, 10000);
    done = true;
  });
  // Interrupt the waiting reader a few times, then answer.
  for (int i = 0; i < 20 && !done; ++i) {
    ::pthread_kill(reader.native_handle(), SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  DeviceSends(MakeReport(9));
  reader.join();
  ::sigaction(SIGUSR1, &old, nullptr);
  EXPECT_EQ(result.load(), HidIoResult::Ok);
  EXPECT_EQ(in, MakeReport(9));
}

TEST_F(HidrawPortTest, DiscardInputDropsStaleReportsOnly) {
  for (uint8_t i = 0; i < 3; ++i) DeviceSends(MakeReport(i));
  port_->DiscardInput();
  DeviceSends(MakeReport(0x50));
  Report in{};
  size_t got = 0;
  ASSERT_EQ(port_->Read(in.data(), in.size(), &got, 200), HidIoResult::Ok);
  EXPECT_EQ(in, MakeReport(0x50));
}

TEST_F(HidrawPortTest, DiscardInputEndsWhileTheDeviceKeepsSending) {
  std::atomic<bool> stop{false};
  std::thread babbler([&] {
    const Report r = MakeReport(0x11);
    pollfd p{device_, POLLOUT, 0};
    while (!stop) {
      if (::send(device_, r.data(), r.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) ::poll(&p, 1, 1);
    }
  });
  port_->DiscardInput();  // must come back although input never pauses
  stop = true;
  babbler.join();
}

TEST_F(HidrawPortTest, ClosedPortFailsAtOnceAndCloseRepeats) {
  port_->Close();
  port_->Close();
  EXPECT_FALSE(port_->IsOpen());
  const Report out = MakeReport(3);
  Report in{};
  size_t got = 5;
  EXPECT_EQ(port_->Write(out.data(), out.size(), kInfinite), HidIoResult::Error);
  EXPECT_EQ(port_->Read(in.data(), in.size(), &got, kInfinite), HidIoResult::Error);
  EXPECT_EQ(got, 0u);
  port_->DiscardInput();
  EXPECT_EQ(port_->Info().devNode, "/dev/hidraw9");
}

TEST_F(HidrawPortTest, BadArgumentsAreErrors) {
  Report in{};
  size_t got = 0;
  EXPECT_EQ(port_->Write(nullptr, 64, 200), HidIoResult::Error);
  EXPECT_EQ(port_->Write(in.data(), 0, 200), HidIoResult::Error);
  EXPECT_EQ(port_->Read(nullptr, 64, &got, 0), HidIoResult::Error);
  EXPECT_EQ(port_->Read(in.data(), 0, &got, 0), HidIoResult::Error);
}

// A write that the kernel completes, but only after the caller's limit.
TEST(HidrawPortClock, SlowWriteIsATimeout) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
  auto now = std::chrono::steady_clock::time_point{};
  HidrawPort port(fds[0], HidDeviceInfo{}, [&] {
    now += std::chrono::milliseconds(250);  // every look at the clock: 250 ms later
    return now;
  });
  const Report out = MakeReport(4);
  EXPECT_EQ(port.Write(out.data(), out.size(), 200), HidIoResult::Timeout);
  EXPECT_EQ(port.Write(out.data(), out.size(), 300), HidIoResult::Ok);
  EXPECT_EQ(port.Write(out.data(), out.size(), kInfinite), HidIoResult::Ok);
  ::close(fds[1]);
}

TEST(HidrawPortPipe, HangUpWithoutDataIsRemoval) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
  HidrawPort port(fds[0], HidDeviceInfo{});
  ::close(fds[1]);
  Report in{};
  size_t got = 0;
  EXPECT_EQ(port.Read(in.data(), in.size(), &got, 10000), HidIoResult::Removed);
}

TEST(HidrawBackendOpen, OpensTheNodeOrNothing) {
  HidrawBackend backend("/nonexistent-sysfs");
  HidDeviceInfo info;
  EXPECT_EQ(backend.Open(info), nullptr) << "no node";
  info.devNode = "/nonexistent/hidraw0";
  EXPECT_EQ(backend.Open(info), nullptr);

  const auto node =
      std::filesystem::temp_directory_path() / ("kestrana-node-" + std::to_string(::getpid()));
  std::ofstream(node).put('x');
  info.devNode = node.string();
  info.vendorId = 0x27C0;
  auto port = backend.Open(info);
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->IsOpen());
  EXPECT_EQ(port->Info().vendorId, 0x27C0);
  port->Close();
  EXPECT_FALSE(port->IsOpen());
  std::filesystem::remove(node);
}

}  // namespace
}  // namespace platform
