#include "device/link/HidDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/link/HidRequest.h"
#include "device/link/RequestQueue.h"
#include "platform/hid/BridgeVendors.h"

using platform::HidIoResult;
using platform::kHidReportSize;

namespace {

constexpr uint8_t kReportId = 3;
constexpr int kCommandInterface = 1;
constexpr uint16_t kStatusFlagAddr = 0x824E;
constexpr uint8_t kStatusReady = 0x80;

using Report = std::array<uint8_t, kHidReportSize>;

// 03, op, cmd, address, length as in the header; the rest zero.
Report MakeReport(const std::array<uint8_t, 6>& header) {
  Report report{};
  report[0] = kReportId;
  std::copy(header.begin(), header.end(), report.begin() + 1);
  return report;
}

void PutBigEndian16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

}  // namespace

bool IsOpenableBridgeVendor(uint16_t vendorId) {
  return platform::IsBridgeVendor(vendorId) || vendorId == platform::kProgrammerVendorId;
}

CHidDevice::CHidDevice(uint32_t mode, std::shared_ptr<platform::IHidBackend> backend)
    : mode_(mode), backend_(std::move(backend)), connectionKind_(mode) {
  if (mode_ == kModeCommand) ownsDispatcher_ = GetRequestQueue().StartDispatcher(this);
}

CHidDevice::~CHidDevice() {
  if (ownsDispatcher_) GetRequestQueue().StopDispatcher(this);
  if (port_) port_->Close();
}

uint32_t CHidDevice::ExecuteOnLink(CHidRequest& request) {
  if (!request.IsTransferable()) return 0;
  switch (request.operation) {
    case HidOpRead:
      if (request.bridgeCmd == BridgeCmdFrameRead) return ReadFrame(request);
      return ReadReports(request.header, request.buffer, request.length, request.timeout, true);
    case HidOpWrite:
      return WriteReports(request.header, request.buffer, request.length);
    case HidOpOpen:
      return Open();
    case HidOpClose:
      return Close();
    default:
      return 0;
  }
}

uint32_t CHidDevice::Open() {
  Close();
  if (mode_ != kModeCommand || !backend_) return 0;
  const BridgeModelTable models = GetBridgeModels();
  for (const platform::HidDeviceInfo& info : backend_->Enumerate()) {
    if (!IsOpenableBridgeVendor(info.vendorId) || info.interfaceNumber != kCommandInterface ||
        !models.IsAllowedPid(info.productId)) {
      continue;
    }
    std::unique_ptr<platform::IHidPort> port = backend_->Open(info);
    if (!port || !port->IsOpen()) continue;
    char text[64];
    std::snprintf(text, sizeof text, "VID:0x%04x, PID:0x%04x, Rev:%4X", info.vendorId,
                  info.productId, info.version);
    {
      std::lock_guard lock(infoMutex_);
      attributes_ = {info.vendorId, info.productId, info.version};
      description_ = text;
      modelCode_ = 0;
    }
    port_ = std::move(port);
    owed_.Clear();
    unplugged_ = false;
    connected_ = true;
    return 1;
  }
  return 0;
}

uint32_t CHidDevice::Close() {
  if (port_) {
    port_->Close();
    port_.reset();
  }
  owed_.Clear();
  {
    std::lock_guard lock(infoMutex_);
    description_.clear();
    modelCode_ = 0;
  }
  connected_ = false;
  return 1;
}

bool CHidDevice::PortUsable() const { return port_ && port_->IsOpen(); }

HidIoResult CHidDevice::Track(HidIoResult result) {
  if (result == HidIoResult::Removed) unplugged_ = true;
  return result;
}

uint32_t CHidDevice::WriteReports(const std::array<uint8_t, 6>& header, const uint8_t* data,
                                  uint32_t length) {
  if (!PortUsable() || length > kMaxRequestLength || (length > 0 && data == nullptr)) return 0;
  uint32_t address = static_cast<uint32_t>(header[2] << 8 | header[3]);
  uint32_t sent = 0;
  do {
    const uint32_t chunk = std::min(kWriteChunk, length - sent);
    Report report = MakeReport(header);
    PutBigEndian16(&report[3], address & 0xFFFF);
    PutBigEndian16(&report[5], chunk);
    if (chunk > 0) std::memcpy(&report[7], data + sent, chunk);
    if (Track(port_->Write(report.data(), report.size(), kWriteTimeoutMs)) != HidIoResult::Ok) {
      return 0;
    }
    sent += chunk;
    address += chunk;
  } while (sent < length);
  return 1;
}

uint32_t CHidDevice::ReadReports(const std::array<uint8_t, 6>& header, uint8_t* out,
                                 uint32_t length, uint32_t timeout, bool drain) {
  if (!PortUsable() || length > kMaxRequestLength || (length > 0 && out == nullptr)) return 0;
  if (!SettleOwedAnswers()) return 0;
  if (drain) port_->DiscardInput();
  const Report request = MakeReport(header);
  if (const HidIoResult r = Track(port_->Write(request.data(), request.size(), timeout));
      r != HidIoResult::Ok) {
    // A write that ran out of time may still have reached the bridge.
    if (r == HidIoResult::Timeout) owed_.MayCome(length);
    return 0;
  }

  uint32_t received = 0;
  int emptyInARow = 0;
  Report input{};
  while (received < length) {
    size_t transferred = 0;
    const HidIoResult r = Track(port_->Read(input.data(), input.size(), &transferred, timeout));
    if (r == HidIoResult::Removed) return 0;
    if (r != HidIoResult::Ok || transferred > input.size()) {
      owed_.Owe(length - received, timeout);
      return 0;
    }
    if (transferred <= 1) {
      // A report without data bytes adds nothing; a device that only babbles
      // such reports must not keep the read alive.
      if (++emptyInARow >= kMaxEmptyReports) {
        owed_.Owe(length - received, timeout);
        return 0;
      }
      continue;
    }
    emptyInARow = 0;
    const uint32_t take =
        std::min<uint32_t>(static_cast<uint32_t>(transferred - 1), length - received);
    std::memcpy(out + received, &input[1], take);
    received += take;
  }
  if (owed_.AnyDoubtful() && AnswerWasShifted(timeout)) return 0;
  return 1;
}

bool CHidDevice::SettleOwedAnswers() {
  int emptyInARow = 0;
  Report input{};
  while (owed_.Owing()) {
    size_t transferred = 0;
    const HidIoResult r =
        Track(port_->Read(input.data(), input.size(), &transferred, owed_.WaitMs()));
    if (r == HidIoResult::Removed) {
      owed_.Clear();
      return false;
    }
    if (r != HidIoResult::Ok || transferred > input.size() ||
        (transferred <= 1 && ++emptyInARow >= kMaxEmptyReports)) {
      owed_.GiveUp();
      break;
    }
    if (transferred > 1) {
      emptyInARow = 0;
      owed_.Paid(static_cast<uint32_t>(transferred - 1));
    }
  }
  return true;
}

bool CHidDevice::AnswerWasShifted(uint32_t timeout) {
  // The bridge answers in order: a doubtful answer that did come arrived
  // ahead of this one, so as many reports of this answer still follow.
  bool shifted = false;
  int emptyInARow = 0;
  Report input{};
  while (owed_.AnyDoubtful()) {
    size_t transferred = 0;
    if (Track(port_->Read(input.data(), input.size(), &transferred, timeout)) != HidIoResult::Ok ||
        transferred > input.size() || (transferred <= 1 && ++emptyInARow >= kMaxEmptyReports)) {
      break;
    }
    if (transferred > 1) {
      emptyInARow = 0;
      shifted = true;
      owed_.DoubtfulCame(static_cast<uint32_t>(transferred - 1));
    }
  }
  // Whatever did not come now never will: the answer just taken was last.
  owed_.ForgetDoubtful();
  return shifted;
}

uint32_t CHidDevice::ReadFrame(CHidRequest& request) {
  if (!PortUsable() || !request.IsTransferable()) return 0;
  const std::array<uint8_t, 6> poll = {HidOpRead,
                                       BridgeCmdRegister,
                                       static_cast<uint8_t>(request.flagAddress >> 8),
                                       static_cast<uint8_t>(request.flagAddress),
                                       0,
                                       1};
  // The flag read in the last cycle, or -1 when no fresh value exists: a
  // value left over from before a time-out says nothing about the chip now.
  // Each poll is a read of its own, so an answer owed by an earlier request
  // is thrown away before the poll goes out and never read as the flag.
  int flag = -1;
  for (int cycle = 0; cycle < kFlagPollCycles; ++cycle) {
    uint8_t value = 0;
    if (ReadReports(poll, &value, 1, kFlagPollTimeoutMs, false) != 1) {
      if (unplugged_.load()) return 0;
      flag = -1;
      break;
    }
    flag = value;
    if (flag != 0) break;
  }
  if (request.Address() == kStatusFlagAddr && flag == kStatusReady) {
    if (request.length > 0) request.buffer[0] = kStatusReady;
    return 1;
  }
  return ReadReports(request.header, request.buffer, request.length, request.timeout, false);
}

uint16_t CHidDevice::ModelKey() const {
  std::lock_guard lock(infoMutex_);
  return modelCode_ != 0 ? modelCode_ : attributes_.productId;
}

bool CHidDevice::IsDe7Family() const {
  const uint16_t id = ModelKey();
  const BridgeModelTable models = GetBridgeModels();
  if (models.IsDe7Pid(id)) return true;
  if (models.IsSharedPid(id)) {
    const std::string chip = GetChipName();
    return chip.find("XXX") != std::string::npos || chip.find("RO7") != std::string::npos;
  }
  return false;
}

bool CHidDevice::IsGone() const {
  return connectionKind_.load() != kConnectionTcp && (!connected_.load() || unplugged_.load());
}

std::string CHidDevice::Description() const {
  std::lock_guard lock(infoMutex_);
  return description_;
}

CHidDevice::Attributes CHidDevice::GetAttributes() const {
  std::lock_guard lock(infoMutex_);
  return attributes_;
}

uint16_t CHidDevice::ModelCode() const {
  std::lock_guard lock(infoMutex_);
  return modelCode_;
}

void CHidDevice::SetModelCode(uint16_t code) {
  std::lock_guard lock(infoMutex_);
  modelCode_ = code;
}
