#include "app/NetworkConnectButton.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <string>

#include "app/AppSettings.h"
#include "device/ChipGlobals.h"
#include "device/LogSink.h"
#include "device/net/LinkSwitch.h"
#include "device/net/TcpLink.h"
#include "platform/files/IniFile.h"
#include "ui/UiBridge.h"

namespace {
const QString kConnectText = QStringLiteral("网络连接");
const char* const kFailedText = "安卓设备连接失败";
}  // namespace

NetworkConnectButton::NetworkConnectButton(QPushButton* button, QLineEdit* ip, QLineEdit* port,
                                           CTcpLink& link, ILogSink& log,
                                           std::filesystem::path settingsFile,
                                           std::function<bool()> isBusy, QObject* parent)
    : QObject(parent),
      button_(button),
      ip_(ip),
      port_(port),
      link_(link),
      log_(log),
      settingsFile_(std::move(settingsFile)),
      isBusy_(std::move(isBusy)) {
  button_->setText(kConnectText);
  connect(button_, &QPushButton::clicked, this, &NetworkConnectButton::OnClicked);
}

NetworkConnectButton::~NetworkConnectButton() { Wait(); }

void NetworkConnectButton::Wait() {
  if (worker_.joinable()) worker_.join();
}

void NetworkConnectButton::OnClicked() {
  if (connecting_) return;
  if (button_->text() == kConnectText) {
    Connect();
  } else {
    Disconnect();
  }
}

void NetworkConnectButton::Connect() {
  const auto address = ParseIpv4(ip_->text().trimmed().toStdString());
  bool portOk = false;
  const int port = port_->text().trimmed().toInt(&portOk);
  // A port outside the range would wrap to another one.
  if (!address || !portOk || port < 1 || port > 65535) {
    log_.AddLog(kFailedText, LOG_ERROR);
    return;
  }
  const std::string ip = FormatIpv4(*address);
  Wait();
  connecting_ = true;
  button_->setText(QStringLiteral("正在连接"));
  button_->setEnabled(false);
  log_.AddLog("正在连接安卓设备", LOG_BUSY);
  StoreSettings("NET INTERFACE", {{"IP", ip}, {"Port", std::to_string(port)}}, settingsFile_, log_);
  // The result reaches the button through the UI bridge's own queue; a
  // button gone meanwhile takes nothing.
  QPointer<NetworkConnectButton> self(this);
  worker_ = std::jthread([this, self, ip, port] {
    const bool ok = link_.Connect(ip, port) != 0;
    UiBridge::post([self, ok] {
      if (self) self->Finish(ok);
    });
  });
}

void NetworkConnectButton::Finish(bool ok) {
  connecting_ = false;
  const bool busy = isBusy_ && isBusy_();
  if (ok && busy) {
    // A burn or a test took the window while the connect was going: its
    // requests must not move to another device under it.
    link_.Close();
    ok = false;
  }
  if (ok) SelectNetworkDevice(link_, g_pBridgeDevice.load());
  button_->setEnabled(!busy);
  button_->setText(ok ? QStringLiteral("断开连接") : kConnectText);
  log_.AddLog(ok ? "安卓设备已连接" : kFailedText, ok ? LOG_INFO : LOG_ERROR);
  emit Finished(ok);
}

void NetworkConnectButton::Disconnect() {
  button_->setText(kConnectText);
  DisconnectNetworkDevice(link_, g_pBridgeDevice.load());
}
