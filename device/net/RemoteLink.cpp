#include "device/net/RemoteLink.h"

#include <algorithm>
#include <optional>

#include "device/LogSink.h"
#include "device/net/LinkKey.h"

CRemoteLink::CRemoteLink(ILogSink& log) : log_(log) {}

CRemoteLink::~CRemoteLink() {
  Abort();
  Disconnect();
}

bool CRemoteLink::AcceptKey(const std::string& key) {
  const std::optional<uint32_t> id = ParseLinkKey(key);
  if (!id) {
    log_.AddLog("链接密钥无效", LOG_ERROR);
    return false;
  }
  std::lock_guard lock(mutex_);
  linkId_ = *id;
  return true;
}

bool CRemoteLink::ConnectToServer(const std::string& ip, int port) {
  // No address configured: there is nothing to reach.
  if (ip.empty() || !Connect(ip, port)) {
    log_.AddLog("服务器链接失败", LOG_INFO);
    return false;
  }
  log_.AddLog("服务器链接成功", LOG_INFO);
  std::lock_guard lock(mutex_);
  connected_ = true;
  return true;
}

void CRemoteLink::DisconnectFromServer() {
  CloseLink();
  log_.AddLog("服务器链接已断开", LOG_INFO);
}

void CRemoteLink::CloseLink() {
  {
    std::lock_guard lock(mutex_);
    connected_ = false;
    imageValid_ = false;
  }
  Disconnect();
}

uint32_t CRemoteLink::SendValue(uint32_t value) {
  const auto bytes = EncodeLinkMessage(LinkId(), value);
  if (Send(bytes.data(), bytes.size())) return 1;
  CloseLink();
  return 0;
}

uint32_t CRemoteLink::SendRequest() { return SendValue(kLinkRequestImage); }
uint32_t CRemoteLink::SendBurnDone() { return SendValue(kLinkBurnDone); }

bool CRemoteLink::IsConnected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

uint32_t CRemoteLink::LinkId() const {
  std::lock_guard lock(mutex_);
  return linkId_;
}

std::shared_ptr<const RemoteImage> CRemoteLink::TakeImage() const {
  std::lock_guard lock(mutex_);
  return imageValid_ ? image_ : nullptr;
}

bool CRemoteLink::ImageValid() const {
  std::lock_guard lock(mutex_);
  return imageValid_;
}

int CRemoteLink::Remaining() const {
  std::lock_guard lock(mutex_);
  return remaining_;
}

int CRemoteLink::DecrementRemaining() {
  std::lock_guard lock(mutex_);
  return --remaining_;
}

void CRemoteLink::SetImageListener(std::function<void(const std::string&)> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

void CRemoteLink::OnConnected() {
  if (CThreadPool* pool = Pool()) pool->AddTask([this] { ReceiveLoop(); });
}

void CRemoteLink::OnReceive(const LinkMessage& message) {
  if (message.id != LinkId()) return;
  auto image = std::make_shared<RemoteImage>();
  const ImageCheck check =
      ParseImageMessage(message.payload.data(), message.payload.size(), image.get());
  if (check == ImageCheck::WrongType) return;
  std::function<void(const std::string&)> listener;
  {
    std::lock_guard lock(mutex_);
    if (check != ImageCheck::Ok) {
      // The image held before stays, but is no longer offered.
      imageValid_ = false;
    } else {
      remaining_ = static_cast<int>(std::min<uint32_t>(image->remaining, 0x7FFFFFFF));
      image_ = image;
      imageValid_ = true;
      listener = listener_;
    }
  }
  if (check != ImageCheck::Ok) {
    log_.AddLog("服务器镜像无效", LOG_ERROR);
    OnConsoleLine(std::string("image message rejected: ") + ImageCheckText(check) + "\n");
    return;
  }
  if (listener) listener(image->fileName);
}
