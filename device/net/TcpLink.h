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
//
// Answers carry no request id, so the link keeps count of the bytes still
// owed by reads that timed out (the device answers in order, and an answer's
// length is known from its request) and throws exactly those away, whenever
// they come, ahead of a later answer. Bytes that are readable when a request
// is about to go out answer nothing still to be asked and are dropped, so an
// answer longer than asked or bytes sent unasked never shift a later answer.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "device/link/Link.h"
#include "device/link/OwedAnswers.h"
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
  // Before a request goes out: the bytes still owed by the last read that
  // timed out are waited for (each wait up to its time-out) and thrown away,
  // then whatever is readable is dropped without waiting. false when the
  // connection failed.
  bool Settle(int fd);
  // Receives and throws away every byte still due, each wait up to waitMs.
  platform::SocketIo DiscardDue(int fd, uint32_t waitMs);

  std::mutex ownerMutex_;  // one Connect or Close at a time

  mutable std::mutex mutex_;  // the socket's state
  std::condition_variable idle_;
  platform::SocketFd socket_;
  bool busy_ = false;  // a request is using the socket
  // Used by the request that holds busy_; reset with the socket.
  OwedAnswers owed_{OwedAnswers::Framing::Stream};
  std::vector<uint8_t> sendBuffer_;   // dispatcher thread only
  std::vector<uint8_t> replyBuffer_;  // dispatcher thread only
};
