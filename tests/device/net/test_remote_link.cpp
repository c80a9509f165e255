// The remote server link against the simulated relay server on the loopback
// address: the key, connecting, the image and what the update sequence reads
// of it, bad messages, and sends from several threads.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/LogSink.h"
#include "device/net/LinkKey.h"
#include "device/net/RemoteLink.h"
#include "platform/net/Socket.h"
#include "tests/platform/FullListener.h"
#include "sim/relay/SimRelayServer.h"

namespace {

using sim::RelayFault;
using sim::RelayImage;
using sim::SimRelayServer;

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kKey = "00000000D7";  // link id 0x14
constexpr uint32_t kLinkId = 0x14;

class RecordingLog : public ILogSink {
 public:
  void AddLog(const std::string& text, LogLevel level) override {
    std::lock_guard lock(mutex_);
    lines_.push_back({text, level});
  }
  std::vector<std::pair<std::string, LogLevel>> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<std::string, LogLevel>> lines_;
};

// The link with its console lines and the names of received images kept
// for the test.
class ObservedLink : public CRemoteLink {
 public:
  explicit ObservedLink(ILogSink& log) : CRemoteLink(log) {
    SetImageListener([this](const std::string& name) {
      std::lock_guard lock(mutex_);
      names_.push_back(name);
      changed_.notify_all();
    });
  }
  ~ObservedLink() override {
    Abort();
    Disconnect();
  }
  bool WaitImages(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return names_.size() >= count; });
  }
  bool WaitConsole(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return console_.size() >= count; });
  }
  std::vector<std::string> Names() {
    std::lock_guard lock(mutex_);
    return names_;
  }
  std::vector<std::string> Console() {
    std::lock_guard lock(mutex_);
    return console_;
  }

 protected:
  void OnConsoleLine(const std::string& text) override {
    std::lock_guard lock(mutex_);
    console_.push_back(text);
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> names_;
  std::vector<std::string> console_;
};

RelayImage Image(std::string name, std::vector<uint8_t> data, uint32_t remaining = 2) {
  RelayImage image;
  image.fileName = std::move(name);
  image.clearData = std::move(data);
  image.remaining = remaining;
  return image;
}

class RemoteLinkTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }

  // Key, connect, and the first image taken in.
  void ConnectAndReceive() {
    ASSERT_TRUE(link_.AcceptKey(kKey));
    ASSERT_TRUE(link_.ConnectToServer(kLoopback, server_.Port()));
    ASSERT_EQ(1u, link_.SendRequest());
    ASSERT_TRUE(link_.WaitImages(1));
  }

  RecordingLog log_;
  SimRelayServer server_{kLinkId, Image("first.hex", {1, 2, 3, 4})};
  ObservedLink link_{log_};
};

TEST_F(RemoteLinkTest, AnImageArrivesUnmaskedWithWhatTheUpdateSequenceReads) {
  ConnectAndReceive();
  EXPECT_TRUE(link_.IsConnected());
  EXPECT_EQ(kLinkId, link_.LinkId());
  const auto image = link_.TakeImage();
  ASSERT_NE(nullptr, image);
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), image->data);
  EXPECT_EQ("first.hex", image->fileName);
  EXPECT_EQ(2, link_.Remaining());
  EXPECT_EQ((std::vector<std::string>{"first.hex"}), link_.Names());
  EXPECT_EQ(log_.Lines().front(), (std::pair<std::string, LogLevel>{"服务器链接成功", LOG_INFO}));

  EXPECT_EQ(1u, link_.SendBurnDone());
  EXPECT_EQ(1, link_.DecrementRemaining());
  EXPECT_TRUE(server_.WaitBurnsDone(1));
  EXPECT_EQ(0u, server_.Malformed());
}

TEST_F(RemoteLinkTest, AnImageInOneByteSegmentsArrivesOnceAndWhole) {
  std::vector<uint8_t> data(3000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13);
  server_.SetImage(Image("big.hex", data));
  server_.SetFault(RelayFault::Fragmented);
  ConnectAndReceive();
  EXPECT_EQ(data, link_.TakeImage()->data);
  EXPECT_EQ(1u, link_.Names().size());
}

// Each bad answer follows a good image. A refused one leaves no valid image
// but the snapshot already taken stays whole; an ignored one changes
// nothing, which the next good image (taken in order) shows.
TEST_F(RemoteLinkTest, BadImageMessagesAreRefusedOrIgnored) {
  struct Case {
    RelayFault fault;
    bool ignored;
  } cases[] = {
      {RelayFault::WrongId, true},         {RelayFault::WrongType, true},
      {RelayFault::TooLong, false},        {RelayFault::WrongSum, false},
      {RelayFault::NameOutOfRange, false}, {RelayFault::UnterminatedName, false},
      {RelayFault::BadName, false},        {RelayFault::DataOutOfRange, false},
  };
  ConnectAndReceive();
  size_t images = 1;
  size_t console = 0;
  size_t requests = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    const auto before = link_.TakeImage();
    ASSERT_NE(nullptr, before);
    server_.SetFault(c.fault);
    ASSERT_EQ(1u, link_.SendRequest());
    ASSERT_TRUE(server_.WaitRequests(++requests));
    server_.SetFault(RelayFault::None);
    ++requests;
    if (c.ignored) {
      ASSERT_EQ(1u, link_.SendRequest());
      ASSERT_TRUE(link_.WaitImages(++images));
      EXPECT_TRUE(link_.ImageValid());
    } else {
      ASSERT_TRUE(link_.WaitConsole(++console));
      EXPECT_EQ(0u, link_.Console().back().find("image message rejected"));
      EXPECT_FALSE(link_.ImageValid());
      EXPECT_EQ(nullptr, link_.TakeImage());
      EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), before->data);
      EXPECT_EQ(std::make_pair(std::string("服务器镜像无效"), LOG_ERROR), log_.Lines().back());
      // A good image makes it valid again.
      ASSERT_EQ(1u, link_.SendRequest());
      ASSERT_TRUE(link_.WaitImages(++images));
      EXPECT_TRUE(link_.ImageValid());
    }
    EXPECT_EQ(images, link_.Names().size());
  }
  EXPECT_TRUE(link_.IsConnected());
}

TEST_F(RemoteLinkTest, BrokenFramingEndsTheReceiveLoop) {
  struct Case {
    RelayFault fault;
    const char* console;
  } cases[] = {
      {RelayFault::EmptyPayload, "recv failed with error 2: 0/n"},
      {RelayFault::HugeLength, "recv failed: message too long"},
      {RelayFault::CloseMidMessage, "recv failed with error: 0/n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.console);
    RecordingLog log;
    ObservedLink link(log);
    server_.SetFault(c.fault);
    ASSERT_TRUE(link.AcceptKey(kKey));
    ASSERT_TRUE(link.ConnectToServer(kLoopback, server_.Port()));
    ASSERT_EQ(1u, link.SendRequest());
    ASSERT_TRUE(link.WaitConsole(1));
    EXPECT_EQ(c.console, link.Console().at(0));
    EXPECT_FALSE(link.ImageValid());
    // The connected flag stays until a send finds the socket gone.
    EXPECT_EQ(0u, link.SendBurnDone());
    EXPECT_FALSE(link.IsConnected());
  }
}

TEST_F(RemoteLinkTest, AnInvalidKeyOrNoServerAddressConnectsNowhere) {
  EXPECT_FALSE(link_.AcceptKey("00000000E"));
  EXPECT_FALSE(link_.ConnectToServer("", server_.Port()));
  uint16_t closed = 0;
  platform::ListenLoopback(0, &closed);
  EXPECT_FALSE(link_.ConnectToServer(kLoopback, closed));
  EXPECT_FALSE(link_.IsConnected());
  EXPECT_EQ(0u, server_.Connections());
  EXPECT_EQ(
      (std::vector<std::pair<std::string, LogLevel>>{
          {"链接密钥无效", LOG_ERROR}, {"服务器链接失败", LOG_INFO}, {"服务器链接失败", LOG_INFO}}),
      log_.Lines());
}

TEST_F(RemoteLinkTest, DisconnectingAndConnectingAgain) {
  ConnectAndReceive();
  link_.DisconnectFromServer();
  EXPECT_FALSE(link_.IsConnected());
  EXPECT_FALSE(link_.ImageValid());
  EXPECT_EQ(std::make_pair(std::string("服务器链接已断开"), LOG_INFO), log_.Lines().back());
  EXPECT_EQ(0u, link_.SendRequest());

  ASSERT_TRUE(link_.ConnectToServer(kLoopback, server_.Port()));
  ASSERT_EQ(1u, link_.SendRequest());
  ASSERT_TRUE(link_.WaitImages(2));
  EXPECT_EQ(2u, server_.Connections());
}

TEST_F(RemoteLinkTest, RequestsAndBurnsFromTwoThreadsNeverInterleave) {
  ConnectAndReceive();
  constexpr int kEach = 200;
  std::thread requests([&] {
    for (int i = 0; i < kEach; ++i) link_.SendRequest();
  });
  std::thread burns([&] {
    for (int i = 0; i < kEach; ++i) link_.SendBurnDone();
  });
  requests.join();
  burns.join();
  ASSERT_TRUE(server_.WaitBurnsDone(kEach));
  ASSERT_TRUE(server_.WaitRequests(kEach + 1));
  EXPECT_EQ(0u, server_.Malformed());
}

TEST_F(RemoteLinkTest, AnAbortedLinkNeverConnects) {
  link_.Abort();
  ASSERT_TRUE(link_.AcceptKey(kKey));
  EXPECT_FALSE(link_.ConnectToServer(kLoopback, server_.Port()));
  EXPECT_EQ(0u, server_.Connections());
}

// The owner going away cuts short a connect that gets no answer.
TEST_F(RemoteLinkTest, AbortEndsAConnectThatGetsNoAnswer) {
  FullListener silent;
  ASSERT_TRUE(silent.listener.IsValid());
  ASSERT_TRUE(link_.AcceptKey(kKey));
  bool connected = true;
  std::thread connecting([&] { connected = link_.ConnectToServer(kLoopback, silent.port); });
  link_.Abort();
  connecting.join();
  EXPECT_FALSE(connected);
  EXPECT_EQ((std::vector<std::string>{"Connect Error::" + std::to_string(ECANCELED) + "\n"}),
            link_.Console());
}

TEST_F(RemoteLinkTest, DestroyingAConnectedLinkEndsItsReceiveLoop) {
  RecordingLog log;
  auto link = std::make_unique<ObservedLink>(log);
  ASSERT_TRUE(link->AcceptKey(kKey));
  ASSERT_TRUE(link->ConnectToServer(kLoopback, server_.Port()));
  link.reset();  // returns: the loop blocked in its receive was woken
  SUCCEED();
}

}  // namespace
