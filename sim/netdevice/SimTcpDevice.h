#pragma once
// A networked device on the loopback address that speaks the TCP link's
// frames, backed by a simulated chip.
//
// Frames: magic 0x5A6B7C8D, u16 payload length, u16 0, payload (little-
// endian). A 6-byte payload whose first byte is 0 (the read operation) is a
// read header {op, cmd, address hi, lo, length hi, lo}: the answer is 8 zero
// bytes, then the register bytes. Every other payload is write data; it
// carries no address, so it is recorded and not applied. A frame read
// (command 13) waits for the chip's own ready flag first, since the host does
// not poll it over TCP, and clears the flag afterwards, since the host's
// clear cannot reach the chip either. A frame with a wrong magic ends the
// connection.
//
// Late and chatty devices are driven by the test, not by time: held answers
// go out when the test releases them (frames are still read meanwhile), and
// unasked bytes are known to have reached the host's socket before the test
// goes on.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/net/LoopbackServer.h"

namespace sim {

class SimChip;

enum class TcpDeviceFault {
  None,
  CloseDuringReply,  // half of the answer, then the connection ends
  Silent,            // requests are read and never answered
  OneByteSegments,   // the answer goes out one byte per segment
  HoldReplies,       // answers wait, in order, for ReleaseHeldReplies
  StrayOnConnect,    // kStrayBytes unasked as soon as a connection is accepted
  LongAnswers,       // every answer kExtraBytes longer than asked
};

class SimTcpDevice : public LoopbackServer {
 public:
  // Ready-flag polls of a frame read before the frame is sent anyway.
  static constexpr int kFlagPolls = 40;
  // What a chatty device sends unasked, and what it adds to each answer.
  static constexpr uint8_t kStrayBytes[5] = {0x5A, 0x04, 0x00, 0x00, 0x01};
  static constexpr size_t kExtraBytes = 3;

  explicit SimTcpDevice(SimChip& chip);
  ~SimTcpDevice() override;

  void SetFault(TcpDeviceFault fault);
  // Sends the held answers in order and ends the hold; answers that were
  // held on a connection that has ended are gone.
  void ReleaseHeldReplies();

  // Every frame as received, header included.
  std::vector<std::vector<uint8_t>> Frames() const;
  std::vector<std::vector<uint8_t>> WritePayloads() const;
  size_t RepliesSent() const;
  // Waits (bounded) until at least count answers went out; false on time-out.
  bool WaitRepliesSent(size_t count, int timeoutMs = 5000) const;
  // Waits (bounded) until at least count frames arrived.
  bool WaitFrames(size_t count, int timeoutMs = 5000) const;
  // Waits (bounded) until the unasked bytes of a connection have been taken
  // in by the host's end (acknowledged), so they lie in front of anything it
  // asks next.
  bool WaitStrayDelivered(int timeoutMs = 5000) const;

 protected:
  void Serve(Connection& connection) override;

 private:
  std::vector<uint8_t> Answer(uint8_t cmd, uint16_t address, uint16_t length);
  // Sends the unasked bytes and waits until the host's end acknowledged them.
  bool SendStray(Connection& connection);

  SimChip& chip_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  TcpDeviceFault fault_ = TcpDeviceFault::None;
  Connection* serving_ = nullptr;             // the connection held answers go to
  std::vector<std::vector<uint8_t>> held_;  // answers waiting for release
  bool strayDelivered_ = false;
  std::vector<std::vector<uint8_t>> frames_;
  std::vector<std::vector<uint8_t>> writes_;
  size_t replies_ = 0;
};

}  // namespace sim
