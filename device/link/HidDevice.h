#pragma once
// The link to the USB-to-I2C bridge box: finds and opens the bridge's command
// interface, turns requests into 64-byte output reports (report id 3) and
// collects the answers from input reports. The command-interface object
// (mode 1) owns the request dispatcher; the digitizer-interface object
// (mode 0) is never opened and runs nothing.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/link/Link.h"
#include "device/link/OwedAnswers.h"
#include "platform/hid/HidPort.h"

class CHidRequest;

// Vendors whose interface 1 Open accepts: the bridge vendors plus the
// vendor of the bridge microcontroller's programmer.
bool IsOpenableBridgeVendor(uint16_t vendorId);

class CHidDevice : public ILink {
 public:
  static constexpr uint32_t kModeDigitizer = 0;
  static constexpr uint32_t kModeCommand = 1;
  static constexpr uint32_t kConnectionHid = 1;
  static constexpr uint32_t kConnectionTcp = 2;

  // Data bytes a write report carries after its 7 header bytes.
  static constexpr uint32_t kWriteChunk = 57;
  // Limit of each report write of a register write.
  static constexpr uint32_t kWriteTimeoutMs = 200;
  // Frame reads: flag polls and the limit of each of their waits.
  static constexpr int kFlagPollCycles = 40;
  static constexpr uint32_t kFlagPollTimeoutMs = 50;
  // A read gives up after this many input reports in a row without data.
  static constexpr int kMaxEmptyReports = 64;

  struct Attributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
  };

  // mode 1 starts the process's request dispatcher (when none runs yet).
  CHidDevice(uint32_t mode, std::shared_ptr<platform::IHidBackend> backend);
  // Stops the dispatcher this object started (queued requests run first),
  // then closes the port.
  ~CHidDevice() override;
  CHidDevice(const CHidDevice&) = delete;
  CHidDevice& operator=(const CHidDevice&) = delete;

  uint32_t ExecuteOnLink(CHidRequest& request) override;

  // The transfer primitives below run on the dispatcher thread (or in a test
  // or fuzz harness while nothing else uses the object).

  // Opens the first command interface of a bridge in enumeration order;
  // 1 when open. Whatever was open before is closed first.
  uint32_t Open();
  // Closes the port; always 1.
  uint32_t Close();
  // Sends data as max(1, ceil(length/57)) write reports, each waited for up
  // to 200 ms; 1 when every report went out.
  uint32_t WriteReports(const std::array<uint8_t, 6>& header, const uint8_t* data, uint32_t length);
  // Sends the request report and gathers length answer bytes from the input
  // reports (each waited for up to timeout ms); drain discards stale input
  // first. Answers still owed by earlier reads that ended early are waited
  // for and thrown away before the request goes out. 1 when length bytes of
  // this request's own answer were delivered.
  uint32_t ReadReports(const std::array<uint8_t, 6>& header, uint8_t* out, uint32_t length,
                       uint32_t timeout, bool drain);
  // Polls the ready flag at request.flagAddress, then reads the frame that
  // request describes into its buffer.
  uint32_t ReadFrame(CHidRequest& request);

  // Chip family behind the bridge, from the bridge model table: the model
  // code when set, else the product id.
  bool IsDe7Family() const;

  uint32_t Mode() const { return mode_; }
  bool IsConnected() const { return connected_.load(); }
  // true when the route to the chip is the HID bridge and it is closed or
  // was unplugged: further reads cannot succeed.
  bool IsGone() const;
  std::string Description() const;
  Attributes GetAttributes() const;
  // Model code of a bridge that shares its product id with others (0: none);
  // set by the connection status logic, cleared by Open and Close.
  uint16_t ModelCode() const;
  void SetModelCode(uint16_t code);
  // The id the bridge model table is keyed by: the model code when set, else
  // the product id.
  uint16_t ModelKey() const;

  uint32_t StreamMode() const { return streamMode_.load(); }
  void SetStreamMode(uint32_t mode) { streamMode_.store(mode); }
  uint32_t ConnectionKind() const { return connectionKind_.load(); }
  void SetConnectionKind(uint32_t kind) { connectionKind_.store(kind); }

 private:
  bool PortUsable() const;
  // Notes an unplug so that poll loops can stop early.
  platform::HidIoResult Track(platform::HidIoResult result);
  // Reads and throws away the answer bytes still owed, each report waited
  // for up to the time-out of the read that left it owed; false when the
  // bridge went away meanwhile.
  bool SettleOwedAnswers();
  // After an answer was gathered while an earlier answer may still have been
  // on its way: true when more reports follow, that is, the earlier answer
  // came first and the bytes gathered are shifted.
  bool AnswerWasShifted(uint32_t timeout);

  const uint32_t mode_;
  std::shared_ptr<platform::IHidBackend> backend_;
  std::unique_ptr<platform::IHidPort> port_;
  OwedAnswers owed_;
  bool ownsDispatcher_ = false;

  std::atomic<bool> connected_{false};
  std::atomic<bool> unplugged_{false};
  std::atomic<uint32_t> streamMode_{0};
  std::atomic<uint32_t> connectionKind_;

  mutable std::mutex infoMutex_;  // description, attributes, model code
  std::string description_;
  Attributes attributes_;
  uint16_t modelCode_ = 0;
};

// Keeps the desktop from taking the bridge's touch reports as its own input:
// best effort, failures ignored.
void RemoveDigitizerInterface();
