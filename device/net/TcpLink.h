#pragma once
// The route to a touch chip inside a networked device: the same requests as
// the HID bridge, carried over TCP in small framed messages. It is a second
// ILink behind the one request dispatcher and has no thread of its own;
// "mode 2" means that this link is the queue's selected link.
//
// Frame (little-endian): magic 0x5A6B7C8D, u16 payload length, u16 0,
// payload. A read sends the request's 6 header bytes and gets back length + 8
// bytes, of which the first 8 are skipped. A write sends the data bytes alone.
// Other operations send nothing and fail.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "device/Link.h"
#include "platform/net/Socket.h"

class CTcpLink : public ILink {
 public:
  static constexpr uint32_t kMagic = 0x5A6B7C8D;
  static constexpr size_t kFrameHeaderSize = 8;
  // Bytes in front of the data of a read answer, skipped unread.
  static constexpr size_t kReplySkip = 8;
  // A device that does not accept the connection within this is not there.
  static constexpr int kConnectTimeoutMs = 3000;
  // Limit of each send: a device that stops reading fails the request.
  static constexpr int kSendTimeoutMs = 100;
  // After a failed receive, the late rest of that answer is dropped before
  // the next request: until this long passes quietly, at most kDrainMaxMs.
  static constexpr int kDrainQuietMs = 2;
  static constexpr int kDrainMaxMs = 100;
  // How long Close lets a request in flight finish (a silent device with a
  // long time-out must not hold up a disconnect or the program's close).
  static constexpr std::chrono::milliseconds kCloseGrace{500};

  CTcpLink();
  ~CTcpLink() override;
  CTcpLink(const CTcpLink&) = delete;
  CTcpLink& operator=(const CTcpLink&) = delete;

  // Connects to a dotted IPv4 address; 1 when connected, else 0. A port
  // outside 1..65535 fails without touching the network. Whatever was
  // connected before is closed first.
  uint32_t Connect(const std::string& ip, int port);
  // Ends the connection: the queue goes back to the HID link when this link
  // was selected, a request in flight gets kCloseGrace to finish before its
  // wait is cut short, and the socket is closed. Later requests on this link fail at once until a
  // new Connect.
  void Close();
  bool IsConnected() const;

  // Dispatcher thread: one request at a time.
  uint32_t ExecuteOnLink(CHidRequest& request) override;

  // The frame that carries payload (at most 0xFFFF bytes).
  static std::vector<uint8_t> BuildFrame(const uint8_t* payload, uint16_t length);

 private:
  // Close with ownerMutex_ held.
  void CloseOwned();
  // Sends one frame; 1 when every byte went out.
  uint32_t Send(int fd, const uint8_t* data, uint32_t length);
  uint32_t Read(int fd, CHidRequest& request, bool* broken);

  std::mutex ownerMutex_;  // one Connect or Close at a time

  mutable std::mutex mutex_;  // the socket's state
  std::condition_variable idle_;
  platform::SocketFd socket_;
  bool busy_ = false;                // a request is using the socket
  bool dirty_ = false;               // an answer may still be on its way
  std::vector<uint8_t> sendBuffer_;   // dispatcher thread only
  std::vector<uint8_t> replyBuffer_;  // dispatcher thread only
};
