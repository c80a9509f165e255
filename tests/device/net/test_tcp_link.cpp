// The TCP link to a networked device, against the simulated device on the
// loopback address: frames on the wire, answers however they arrive, a device
// that fails, goes quiet, answers late or says more than asked, connecting and
// switching links while requests run.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "../SimDevice.h"
#include "device/link/RegisterOps.h"
#include "device/net/LinkSwitch.h"
#include "device/net/TcpLink.h"
#include "platform/net/Socket.h"
#include "sim/SimChip.h"
#include "sim/netdevice/SimTcpDevice.h"

namespace {

using sim::TcpDeviceFault;
using Bytes = std::vector<uint8_t>;

constexpr const char* kLoopback = "127.0.0.1";
// A read the device is known to leave unanswered for now fails after this.
constexpr uint32_t kShortTimeoutMs = 2;
// A read the device answers: never runs out on a loaded machine.
constexpr uint32_t kLongTimeoutMs = 5000;

// A port on the loopback address that nothing listens on.
uint16_t ClosedPort() {
  uint16_t port = 0;
  platform::ListenLoopback(0, &port);  // the socket closes again at once
  return port;
}

class TcpLinkTest : public SimDeviceTest {
 protected:
  void SetUp() override {
    SimDeviceTest::SetUp();
    Connect();
    // The networked chip holds other bytes than the bridge's chip, so every
    // answer tells which link carried it.
    for (uint32_t a = 0; a < 0x400; ++a) {
      remoteChip_.Poke(static_cast<uint16_t>(0x1000 + a), static_cast<uint8_t>(a * 7 + 1));
      // Unlike 0x1000's bytes at every offset: a shifted answer shows.
      remoteChip_.Poke(static_cast<uint16_t>(0x2000 + a), static_cast<uint8_t>((a * 7 + 1) ^ 0x80));
    }
    ASSERT_TRUE(device_net_.Start());
  }
  void TearDown() override {
    DisconnectNetworkDevice(link_, device_.get());
    device_net_.Stop();
    SimDeviceTest::TearDown();
  }

  uint32_t ConnectLink() {
    return ConnectNetworkDevice(link_, device_.get(), kLoopback, device_net_.Port());
  }

  // A register read through the queue with its own time-out; the bytes, or
  // nothing when it failed.
  static std::optional<Bytes> ReadRegs(uint16_t address, uint32_t length, uint32_t timeoutMs) {
    Bytes buffer(length);
    auto request =
        CHidRequest::Make(HidOpRead, address, buffer.data(), length, BridgeCmdRegister, timeoutMs);
    if (!PushAndWait(request)) return std::nullopt;
    return buffer;
  }

  Bytes Remote(uint16_t address, size_t length) { return remoteChip_.PeekRange(address, length); }

  sim::SimChip remoteChip_;
  sim::SimTcpDevice device_net_{remoteChip_};
  CTcpLink link_;
};

TEST_F(TcpLinkTest, ReadAndWriteFramesAreExactlyTheDocumentedBytes) {
  ASSERT_EQ(1u, ConnectLink());
  EXPECT_EQ(CHidDevice::kConnectionTcp, device_->ConnectionKind());

  EXPECT_EQ(remoteChip_.Peek(0x1012), ReadChipReg8(0x1012));
  const uint8_t data[2] = {0xB0, 0xB1};
  EXPECT_EQ(1u, WriteChipRegs(0x8040, data, 2));
  ASSERT_TRUE(device_net_.WaitFrames(2));

  const auto frames = device_net_.Frames();
  EXPECT_EQ(
      (Bytes{0x8D, 0x7C, 0x6B, 0x5A, 0x06, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x10, 0x12, 0x00, 0x01}),
      frames.at(0));
  EXPECT_EQ((Bytes{0x8D, 0x7C, 0x6B, 0x5A, 0x02, 0x00, 0x00, 0x00, 0xB0, 0xB1}), frames.at(1));
  // The write frame names no register, so the device cannot apply it.
  EXPECT_EQ((std::vector<Bytes>{{0xB0, 0xB1}}), device_net_.WritePayloads());
  // Nothing went to the bridge meanwhile.
  EXPECT_TRUE(Sent().empty());
}

// Over TCP the host polls no ready flag: the frame read is one request, and
// the device waits for its own flag.
TEST_F(TcpLinkTest, FrameReadIsOneRequestWithoutAFlagPoll) {
  ASSERT_EQ(1u, ConnectLink());
  const uint16_t flag = remoteChip_.SyncFlagAddress();
  remoteChip_.Poke(flag, 0x80);
  Bytes frame(16);
  auto request = CHidRequest::Make(HidOpRead, 0x1000, frame.data(), 16, BridgeCmdFrameRead, 2000);
  request->flagAddress = flag;
  ASSERT_TRUE(PushAndWait(request));
  EXPECT_EQ(Remote(0x1000, 16), frame);
  const auto frames = device_net_.Frames();
  ASSERT_EQ(1u, frames.size());
  EXPECT_EQ((Bytes{0x8D, 0x7C, 0x6B, 0x5A, 0x06, 0x00, 0x00, 0x00, 0x00, 0x0D, 0x10, 0x00, 0x00,
                   0x10}),
            frames[0]);
  // The host's flag clear cannot name the register over TCP: the device
  // clears its flag itself.
  EXPECT_EQ(0, remoteChip_.Peek(flag));
}

TEST_F(TcpLinkTest, AnswerInOneByteSegmentsGivesTheWholeRead) {
  ASSERT_EQ(1u, ConnectLink());
  device_net_.SetFault(TcpDeviceFault::OneByteSegments);
  EXPECT_EQ(Remote(0x1000, 300), ReadRegs(0x1000, 300, 2000));
}

TEST_F(TcpLinkTest, DeviceClosingMidAnswerFailsTheReadAndLaterOnesAtOnce) {
  ASSERT_EQ(1u, ConnectLink());
  device_net_.SetFault(TcpDeviceFault::CloseDuringReply);
  EXPECT_EQ(std::nullopt, ReadRegs(0x1000, 64, platform::kInfinite));
  EXPECT_FALSE(link_.IsConnected());

  const size_t framesBefore = device_net_.Frames().size();
  EXPECT_EQ(std::nullopt, ReadRegs(0x1000, 4, platform::kInfinite));
  EXPECT_EQ(0xEE, ReadChipReg8(0x1000));
  EXPECT_EQ(framesBefore, device_net_.Frames().size());
}

TEST_F(TcpLinkTest, SilentDeviceFailsEachReadAndTheLinkStays) {
  ASSERT_EQ(1u, ConnectLink());
  device_net_.SetFault(TcpDeviceFault::Silent);
  EXPECT_EQ(std::nullopt, ReadRegs(0x1000, 4, 20));
  EXPECT_EQ(std::nullopt, ReadRegs(0x1000, 4, 20));
  EXPECT_TRUE(link_.IsConnected());
}

// Reads time out while the device holds their answers; the answers come in
// before the next read goes out or only after it did. That read gets its own
// bytes either way, and so does the one after it.
TEST_F(TcpLinkTest, LateAnswersAreNeverTakenAsALaterReadsAnswer) {
  struct Case {
    const char* name;
    int late;                    // reads that time out first
    bool releaseAfterNextRequest;  // the late answers follow the next request
  } cases[] = {
      {"one late answer, in before the next request", 1, false},
      {"one late answer, in after the next request went out", 1, true},
      {"70 late answers, in before the next request", 70, false},
      {"70 late answers, in after the next request went out", 70, true},
  };
  ASSERT_EQ(1u, ConnectLink());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device_net_.SetFault(TcpDeviceFault::HoldReplies);
    for (int i = 0; i < c.late; ++i) {
      ASSERT_EQ(std::nullopt, ReadRegs(static_cast<uint16_t>(0x1000 + i), 4, kShortTimeoutMs));
    }
    if (c.releaseAfterNextRequest) {
      const size_t frames = device_net_.Frames().size();
      auto next = std::async(std::launch::async, [] { return ReadRegs(0x2000, 4, kLongTimeoutMs); });
      ASSERT_TRUE(device_net_.WaitFrames(frames + 1));
      device_net_.ReleaseHeldReplies();
      EXPECT_EQ(Remote(0x2000, 4), next.get());
    } else {
      device_net_.ReleaseHeldReplies();
      EXPECT_EQ(Remote(0x2000, 4), ReadRegs(0x2000, 4, kLongTimeoutMs));
    }
    EXPECT_EQ(Remote(0x2010, 16), ReadRegs(0x2010, 16, kLongTimeoutMs));
    EXPECT_TRUE(link_.IsConnected());
  }
}

// Register after register with the fixed time-out of ReadChipReg8: the first
// answer comes after the second request went out.
TEST_F(TcpLinkTest, ARunOfByteReadsStaysInStepPastALateAnswer) {
  ASSERT_EQ(1u, ConnectLink());
  device_net_.SetFault(TcpDeviceFault::HoldReplies);
  auto run = std::async(std::launch::async, [] {
    Bytes values;
    for (uint16_t a = 0x1000; a < 0x1008; ++a) values.push_back(ReadChipReg8(a));
    return values;
  });
  ASSERT_TRUE(device_net_.WaitFrames(2));
  device_net_.ReleaseHeldReplies();
  Bytes expected = Remote(0x1000, 8);
  expected[0] = 0xEE;
  EXPECT_EQ(expected, run.get());
}

// A chatty device: bytes nobody asked for before the first request, and
// answers longer than asked. Reads of several lengths in a row, a write
// among them, each get their own bytes.
TEST_F(TcpLinkTest, UnaskedBytesNeverBecomePartOfAnAnswer) {
  const uint8_t data[2] = {0xB0, 0xB1};
  const struct {
    const char* name;
    TcpDeviceFault fault;
  } cases[] = {{"unasked bytes on connect", TcpDeviceFault::StrayOnConnect},
               {"answers longer than asked", TcpDeviceFault::LongAnswers}};
  for (const auto& [name, fault] : cases) {
    SCOPED_TRACE(name);
    device_net_.SetFault(fault);
    ASSERT_EQ(1u, ConnectLink());
    if (fault == TcpDeviceFault::StrayOnConnect) {
      ASSERT_TRUE(device_net_.WaitStrayDelivered());
    }
    EXPECT_EQ(Remote(0x1000, 4), ReadRegs(0x1000, 4, kLongTimeoutMs));
    EXPECT_EQ(remoteChip_.Peek(0x1012), ReadChipReg8(0x1012));
    EXPECT_EQ(Remote(0x1100, 300), ReadRegs(0x1100, 300, kLongTimeoutMs));
    EXPECT_EQ(1u, WriteChipRegs(0x8040, data, 2));
    EXPECT_EQ(Remote(0x2000, 16), ReadRegs(0x2000, 16, kLongTimeoutMs));
    EXPECT_EQ(remoteChip_.Peek(0x2001), ReadChipReg8(0x2001));
    DisconnectNetworkDevice(link_, device_.get());
  }
}

// What the old connection still owed never comes on a new one: the first read
// after a reconnect takes the first bytes that arrive.
TEST_F(TcpLinkTest, AReconnectForgetsWhatTheOldConnectionOwed) {
  ASSERT_EQ(1u, ConnectLink());
  device_net_.SetFault(TcpDeviceFault::HoldReplies);
  EXPECT_EQ(std::nullopt, ReadRegs(0x1000, 64, kShortTimeoutMs));
  DisconnectNetworkDevice(link_, device_.get());
  device_net_.SetFault(TcpDeviceFault::None);
  ASSERT_EQ(1u, ConnectLink());
  EXPECT_EQ(Remote(0x2000, 4), ReadRegs(0x2000, 4, kLongTimeoutMs));
}

TEST_F(TcpLinkTest, ConnectRefusesBadEndpointsAndFailsOnAClosedPort) {
  struct Case {
    const char* name;
    std::string ip;
    int port;
  } cases[] = {
      {"port 0", kLoopback, 0},         {"port above 65535", kLoopback, 65536},
      {"negative port", kLoopback, -1}, {"not an IPv4 address", "300.1.1.1", 5188},
      {"empty address", "", 5188},      {"nothing listens", kLoopback, ClosedPort()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(0u, ConnectNetworkDevice(link_, device_.get(), c.ip, c.port));
    EXPECT_FALSE(link_.IsConnected());
    EXPECT_EQ(CHidDevice::kConnectionHid, device_->ConnectionKind());
    EXPECT_EQ(nullptr, GetRequestQueue().SelectedLink());
  }
  EXPECT_EQ(0u, device_net_.Connections());
}

TEST_F(TcpLinkTest, ReconnectAfterDisconnectCarriesRequestsOnOneLinkOnly) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(1u, ConnectLink());
    EXPECT_EQ(Remote(0x1020, 8), ReadRegs(0x1020, 8, 2000));
    DisconnectNetworkDevice(link_, device_.get());
    EXPECT_EQ(CHidDevice::kConnectionHid, device_->ConnectionKind());
    // Back on the bridge.
    Bridge().Chip().Poke(0x1020, 0x5A);
    EXPECT_EQ(0x5A, ReadChipReg8(0x1020));
  }
  EXPECT_EQ(3u, device_net_.Connections());
  EXPECT_EQ(3u, device_net_.Frames().size());
}

TEST_F(TcpLinkTest, DisconnectCutsShortARequestWaitingOnASilentDevice) {
  ASSERT_EQ(1u, ConnectLink());
  device_net_.SetFault(TcpDeviceFault::Silent);
  Bytes buffer(4);
  auto request = CHidRequest::Make(HidOpRead, 0x1000, buffer.data(), 4, BridgeCmdRegister,
                                   platform::kInfinite);
  GetRequestQueue().PushBack(request);
  ASSERT_TRUE(device_net_.WaitFrames(1));
  DisconnectNetworkDevice(link_, device_.get());
  EXPECT_TRUE(request->WaitDone() == false);
  EXPECT_FALSE(link_.IsConnected());
}

// A frame chain (each completion queues the next read) runs on the bridge,
// moves to the TCP link and back while it runs. Every request runs once, in
// order, on the link selected when it started, and all succeed.
TEST_F(TcpLinkTest, SwitchingLinksUnderAFrameChainKeepsOrder) {
  std::mutex mutex;
  std::condition_variable progress;
  uint32_t done = 0;
  uint32_t failures = 0;
  bool stop = false;
  bool ended = false;
  std::function<void(uint32_t)> push = [&](uint32_t tag) {
    auto request = CHidRequest::Make(HidOpRead, static_cast<uint16_t>(tag), nullptr, 1,
                                     BridgeCmdAsyncRead, 2000, [&](CHidRequest& r) {
                                       bool next = false;
                                       {
                                         std::lock_guard lock(mutex);
                                         ++done;
                                         if (r.result != 1) ++failures;
                                         next = !stop && r.tag + 1 < 0x10000;
                                         ended = !next;
                                         // Under the lock: once ended is seen the test may return.
                                         progress.notify_all();
                                       }
                                       if (next) push(r.tag + 1);
                                     });
    request->tag = tag;
    GetRequestQueue().PushBack(request);
  };
  const auto waitFor = [&](auto condition) {
    std::unique_lock lock(mutex);
    return progress.wait_for(lock, std::chrono::seconds(20), condition);
  };
  const auto doneNow = [&] {
    std::lock_guard lock(mutex);
    return done;
  };

  push(0);
  ASSERT_TRUE(waitFor([&] { return done >= 20; }));
  ASSERT_EQ(1u, ConnectLink());
  const uint32_t atConnect = doneNow();
  ASSERT_LT(atConnect + 1000, 0x10000u) << "the chain ran out before the switch";
  ASSERT_TRUE(waitFor([&] { return done >= atConnect + 50; }));
  DisconnectNetworkDevice(link_, device_.get());
  const uint32_t atDisconnect = doneNow();
  ASSERT_TRUE(waitFor([&] { return done >= atDisconnect + 20 || ended; }));
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  ASSERT_TRUE(waitFor([&] { return ended; }));
  const uint32_t total = doneNow();
  EXPECT_EQ(0u, failures);

  std::vector<uint32_t> hid;
  for (const sim::ChipAccess& a : Bridge().Chip().AccessLog()) hid.push_back(a.address);
  std::vector<uint32_t> tcp;
  for (const Bytes& f : device_net_.Frames()) tcp.push_back(f[10] << 8 | f[11]);
  ASSERT_FALSE(tcp.empty());
  std::vector<uint32_t> expectedHid;
  std::vector<uint32_t> expectedTcp;
  for (uint32_t tag = 0; tag < total; ++tag) {
    (tag >= tcp.front() && tag <= tcp.back() ? expectedTcp : expectedHid).push_back(tag);
  }
  EXPECT_EQ(expectedTcp, tcp);
  EXPECT_EQ(expectedHid, hid);
  EXPECT_LT(0u, tcp.front());
  EXPECT_GT(total - 1, tcp.back());
}

}  // namespace
