#include "app/NetConnectDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "device/LogSink.h"
#include "ui/ControlIds.h"
#include "ui/UiBridge.h"

CNetConnect::CNetConnect(ILogSink& log, std::string serverIp, int serverPort, QWidget* parent)
    : QDialog(parent),
      log_(log),
      serverIp_(std::move(serverIp)),
      serverPort_(serverPort),
      link_(log) {
  setObjectName(CONTROL_NAME(IDD_NET_CONNECT));
  setWindowTitle(QStringLiteral("网络链接"));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("链接密钥："), this));
  key_ = new QLineEdit(this);
  key_->setObjectName(CONTROL_NAME(IDC_LINK_KEY));
  key_->setMinimumWidth(160);
  layout->addWidget(key_);
  button_ = new QPushButton(QStringLiteral("链    接"), this);
  button_->setObjectName(CONTROL_NAME(IDC_LINK_CONNECT));
  button_->setAutoDefault(false);
  layout->addWidget(button_);
  connect(button_, &QPushButton::clicked, this, &CNetConnect::OnBnClickedConnect);

  QPointer<CNetConnect> self(this);
  link_.SetImageListener([self](const std::string& fileName) {
    const QString name = QString::fromStdString(fileName);
    UiBridge::post([self, name] {
      if (self) emit self->imageReceived(name);
    });
  });
}

CNetConnect::~CNetConnect() {
  // A connect in progress gives up at once; then the link ends its receive
  // loop and closes before the dialog's members go.
  link_.Abort();
  JoinWorker();
  link_.CloseLink();
}

void CNetConnect::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void CNetConnect::OnBnClickedConnect() {
  if (connecting_) return;
  // A connected link always disconnects, whatever the key edit holds.
  if (link_.IsConnected()) {
    link_.DisconnectFromServer();
    ShowLinkState();
    return;
  }
  if (!link_.AcceptKey(key_->text().toStdString())) return;
  JoinWorker();
  connecting_ = true;
  button_->setEnabled(false);
  log_.AddLog("正在连接服务器", LOG_BUSY);
  QPointer<CNetConnect> self(this);
  worker_ = std::thread([this, self] {
    const bool connected = link_.ConnectToServer(serverIp_, serverPort_);
    UiBridge::post([self, connected] {
      if (self) self->OnConnectDone(connected);
    });
  });
}

void CNetConnect::OnConnectDone(bool connected) {
  JoinWorker();
  connecting_ = false;
  if (!connected) {
    button_->setEnabled(true);
    ShowLinkState();
    return;
  }
  // The server is given a moment before the image is asked for.
  QTimer::singleShot(kRequestDelayMs, this, [this] {
    if (link_.IsConnected()) link_.SendRequest();
    button_->setEnabled(true);
    ShowLinkState();
  });
}

void CNetConnect::ShowLinkState() {
  button_->setText(link_.IsConnected() ? QStringLiteral("断开服务器链接")
                                       : QStringLiteral("链接服务器"));
}
