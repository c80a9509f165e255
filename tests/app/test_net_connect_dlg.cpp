// The "网络链接" dialog against the simulated relay server on the loopback
// address: the button's texts and log lines through a connect, the image's
// name handed to the window, a disconnect, and an invalid key.

#include "app/NetConnectDlg.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <mutex>
#include <string>
#include <vector>

#include "device/LogSink.h"
#include "sim/relay/SimRelayServer.h"
#include "tests/ui/QtTestUtil.h"
#include "ui/ControlIds.h"

namespace {

class RecordingLog : public ILogSink {
 public:
  void AddLog(const std::string& text, LogLevel level) override {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(text, level);
  }
  bool Has(const std::string& text, LogLevel level) {
    std::lock_guard lock(mutex_);
    for (const auto& line : lines_) {
      if (line.first == text && line.second == level) return true;
    }
    return false;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<std::string, LogLevel>> lines_;
};

constexpr uint32_t kLinkId = 0x14;  // key "00000000D7"

class NetConnectDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    sim::RelayImage image;
    image.fileName = "..\\remote\\bridge_v3.hex";
    image.clearData = {0x02, 0x00, 0x00, 0x01};
    image.remaining = 1;
    server_ = std::make_unique<sim::SimRelayServer>(kLinkId, image);
    ASSERT_TRUE(server_->Start());
  }

  QPushButton* Button(CNetConnect& dlg) {
    return dlg.findChild<QPushButton*>(CONTROL_NAME(IDC_LINK_CONNECT));
  }
  QLineEdit* Key(CNetConnect& dlg) { return dlg.findChild<QLineEdit*>(CONTROL_NAME(IDC_LINK_KEY)); }

  RecordingLog log_;
  std::unique_ptr<sim::SimRelayServer> server_;
};

TEST_F(NetConnectDlgTest, ConnectReceiveAndDisconnect) {
  CNetConnect dlg(log_, "127.0.0.1", server_->Port());
  EXPECT_EQ(QStringLiteral("网络链接"), dlg.windowTitle());
  EXPECT_EQ(QStringLiteral("链    接"), Button(dlg)->text());
  QSignalSpy images(&dlg, &CNetConnect::imageReceived);

  Key(dlg)->setText(QStringLiteral("00000000d7"));
  Button(dlg)->click();
  EXPECT_TRUE(log_.Has("正在连接服务器", LOG_BUSY));
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return images.count() == 1; }));
  EXPECT_EQ(QStringLiteral("bridge_v3.hex"), images.at(0).at(0).toString());
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return Button(dlg)->isEnabled(); }));
  EXPECT_EQ(QStringLiteral("断开服务器链接"), Button(dlg)->text());
  EXPECT_TRUE(log_.Has("服务器链接成功", LOG_INFO));
  ASSERT_NE(nullptr, dlg.Link().TakeImage());

  // A connected link disconnects whatever the key edit holds.
  Key(dlg)->setText(QStringLiteral("not a key"));
  Button(dlg)->click();
  EXPECT_EQ(QStringLiteral("链接服务器"), Button(dlg)->text());
  EXPECT_TRUE(log_.Has("服务器链接已断开", LOG_INFO));
  EXPECT_FALSE(dlg.Link().IsConnected());
  EXPECT_EQ(nullptr, dlg.Link().TakeImage());
}

TEST_F(NetConnectDlgTest, InvalidKeyOrNoServerConnectsNowhere) {
  {
    CNetConnect dlg(log_, "127.0.0.1", server_->Port());
    Key(dlg)->setText(QStringLiteral("00000000D"));
    Button(dlg)->click();
    EXPECT_TRUE(log_.Has("链接密钥无效", LOG_ERROR));
    EXPECT_FALSE(dlg.IsConnecting());
  }
  {
    CNetConnect dlg(log_, "", server_->Port());
    Key(dlg)->setText(QStringLiteral("00000000D7"));
    Button(dlg)->click();
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !dlg.IsConnecting(); }));
    EXPECT_TRUE(log_.Has("服务器链接失败", LOG_INFO));
    EXPECT_EQ(QStringLiteral("链接服务器"), Button(dlg)->text());
  }
  EXPECT_EQ(0u, server_->Connections());
}

TEST_F(NetConnectDlgTest, ClosingWhileConnectedEndsPromptly) {
  auto dlg = std::make_unique<CNetConnect>(log_, "127.0.0.1", server_->Port());
  Key(*dlg)->setText(QStringLiteral("00000000D7"));
  Button(*dlg)->click();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return dlg->Link().IsConnected(); }));
  dlg.reset();  // the receive loop blocked on its socket ends with it
  SUCCEED();
}

}  // namespace
