#pragma once
// The remote server link's logic behind the "网络链接" dialog: the link key,
// connecting to the relay server, the image request, receiving, checking and
// unmasking the image, and what the update sequence reads and sends (the
// image, the remaining burns, "burn done").
//
// The image is kept as a shared, immutable snapshot: a new message replaces
// the pointer under the lock, so a reader of the old image is never left
// with freed memory.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "device/net/ImageMessage.h"
#include "device/net/SuperSocket.h"

class ILogSink;

class CRemoteLink : public SuperSocket {
 public:
  static constexpr int kDefaultServerPort = 3168;

  // log receives the user's lines; it must outlive the link.
  explicit CRemoteLink(ILogSink& log);
  ~CRemoteLink() override;

  // The key of the connect button: its link id is kept when valid; else
  // "链接密钥无效" and false.
  bool AcceptKey(const std::string& key);
  // Connects to the relay server and asks for the image, logging
  // "服务器链接成功" or "服务器链接失败" (also for an empty address). May take
  // up to the connect limit: run it off the UI thread.
  bool ConnectToServer(const std::string& ip, int port);
  // The button while connected: connected and image valid cleared, socket
  // closed, "服务器链接已断开".
  void DisconnectFromServer();
  // Clears connected and image valid and closes the socket, without a log
  // line (a failed send, or the last burn done).
  void CloseLink();

  // The request for the image (u32 5), as one 12-byte send; a failed send
  // closes the link. 1 or 0.
  uint32_t SendRequest();
  // One burn done (u32 6); a failed send closes the link. 1 or 0.
  uint32_t SendBurnDone();

  bool IsConnected() const;
  uint32_t LinkId() const;
  // The last accepted image while it is valid, else null.
  std::shared_ptr<const RemoteImage> TakeImage() const;
  bool ImageValid() const;
  int Remaining() const;
  // The update sequence counts its burns down here; returns the new count.
  int DecrementRemaining();

  // Called on the receiving thread with the file name of each image taken
  // in (the main window shows it in its bridge-firmware path field).
  void SetImageListener(std::function<void(const std::string& fileName)> listener);

 protected:
  void OnReceive(const LinkMessage& message) override;
  void OnConnected() override;

 private:
  uint32_t SendValue(uint32_t value);

  ILogSink& log_;
  mutable std::mutex mutex_;
  bool connected_ = false;
  uint32_t linkId_ = 0;
  std::shared_ptr<const RemoteImage> image_;  // the last accepted one
  bool imageValid_ = false;
  int remaining_ = 0;
  std::function<void(const std::string&)> listener_;
};
