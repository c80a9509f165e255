#pragma once
// One exchange with the touch chip: what to do (operation, bridge command,
// register address, length), where the bytes live, and how its completion is
// signalled (callback, then event). Requests are shared-owned so that
// asynchronous ones can be released by the dispatcher after their callback.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/sync/Event.h"

// The request's operation; also byte 1 of the output report for reads and
// writes. Other values complete with result 0 and no traffic.
enum HidRequestOp : uint32_t {
  HidOpRead = 0,
  HidOpWrite = 1,
  HidOpOpen = 2,
  HidOpClose = 3,
};

// Byte 2 of the output report: what the bridge does with the request.
enum BridgeCmd : uint32_t {
  BridgeCmdVersion = 3,        // the bridge's version text (32 bytes)
  BridgeCmdResetChip = 4,      // the bridge resets the touch chip
  BridgeCmdStreamStart = 6,    // write to the command register: start streaming
  BridgeCmdStreamStop = 7,     // write to the command register: stop streaming
  BridgeCmdAsyncWrite = 10,    // asynchronous write (clear the ready flag)
  BridgeCmdAsyncRead = 11,     // asynchronous read
  BridgeCmdFrameRead = 13,     // asynchronous frame read after polling the ready flag
  BridgeCmdUpgradeMode = 14,   // the bridge's microcontroller restarts into its loader
  BridgeCmdRegister = 15,      // plain register access
  BridgeCmdDigitizerOn = 17,   // the bridge passes touch reports to the host again
  BridgeCmdDigitizerOff = 18,  // the bridge stops passing touch reports to the host
};

// The largest transfer the 16-bit length field can describe.
inline constexpr uint32_t kMaxRequestLength = 0xFFFF;

class CHidRequest {
 public:
  using Callback = std::function<void(CHidRequest&)>;

  // Bytes a request can carry without a caller buffer.
  static constexpr uint32_t kInlineSize = 8;

  // buffer may be null when length <= kInlineSize: the request then uses its
  // own inline storage (a one-byte read lands in inlineData[0]; one- and
  // two-byte writes put their value bytes there). A null callback means
  // DefaultRequestDone.
  CHidRequest(uint32_t op, uint16_t address, uint8_t* buffer, uint32_t length, uint32_t command,
              uint32_t timeout, Callback callback = nullptr);

  // The buffer may point into the request itself.
  CHidRequest(const CHidRequest&) = delete;
  CHidRequest& operator=(const CHidRequest&) = delete;

  static std::shared_ptr<CHidRequest> Make(uint32_t op, uint16_t address, uint8_t* buffer,
                                           uint32_t length, uint32_t command, uint32_t timeout,
                                           Callback callback = nullptr);

  // false when the request cannot be carried at all: a length beyond the
  // 16-bit field, or a missing buffer for more bytes than the inline area.
  // Such requests complete with result 0 and no traffic.
  bool IsTransferable() const;

  uint16_t Address() const { return static_cast<uint16_t>(header[2] << 8 | header[3]); }

  // Sets the result (1 or 0), runs the callback (an exception from it is
  // dropped), then signals the event. Called once per push by the executor.
  void Complete(uint32_t transferResult);

  // The synchronous caller's side: waits for the event without limit, resets
  // it, and tells whether the request succeeded.
  bool WaitDone();

  uint32_t operation;
  std::array<uint8_t, 6> header{};  // op, cmd, address hi/lo, length hi/lo
  std::array<uint8_t, kInlineSize> inlineData{};
  uint8_t* buffer;
  uint32_t length;
  uint32_t timeout;  // ms for each wait of the transfer; platform::kInfinite: no limit
  Callback callback;
  platform::Event event{true, false};
  uint32_t bridgeCmd;
  uint32_t result = 0;
  uint16_t flagAddress = 0;  // frame reads: the ready-flag register
  uint32_t tag = 0;          // the caller's own; never read by the executor
};

// The completion every request gets unless the caller gives one: a failed
// read leaves 0xEE in every byte of its buffer, which is how a failed read
// looks to every reader.
void DefaultRequestDone(CHidRequest& request);
