// The bridge programmer talks to the microcontroller's USB bootloader and
// believes its answers: whatever they are (short, long, another command
// echoed, a length that overruns them, a time-out, an unplug), no request
// may outgrow a packet, nothing may be erased for an image larger than the
// part's code flash, a failed verify must never be followed by another
// erase on that bootloader, and a write is reported done, and the
// bootloader told to run it, only after every chunk was programmed and
// verified with a good status.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "fuzz/BootloaderAnswerInput.h"
#include "platform/usb/UsbBulkPort.h"
#include "programming/bridgefw/Ch55xProtocol.h"
#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"

namespace {

using namespace bootloader_answer_input;
using platform::UsbIoResult;

void Require(bool condition) {
  if (!condition) std::abort();
}

// One request and the first read after it.
struct Exchange {
  std::vector<uint8_t> request;
  bool answered = false;
  bool readOk = false;
  std::vector<uint8_t> answer;
};
using PortLog = std::vector<Exchange>;

class ScriptedPort : public platform::IUsbBulkPort {
 public:
  ScriptedPort(FuzzedDataProvider& fdp, PortLog& log) : fdp_(fdp), log_(log) {}
  UsbIoResult Write(std::span<const uint8_t> data, uint32_t) override {
    Exchange sent;
    sent.request.assign(data.begin(), data.end());
    log_.push_back(std::move(sent));
    return ResultOf(fdp_.ConsumeIntegralInRange<int>(0, kMaxPick));
  }
  UsbIoResult Read(std::span<uint8_t> buf, size_t* transferred, uint32_t) override {
    *transferred = 0;
    const UsbIoResult result = ResultOf(fdp_.ConsumeIntegralInRange<int>(0, kMaxPick));
    std::vector<uint8_t> bytes;
    if (result == UsbIoResult::Ok) {
      bytes = fdp_.ConsumeBytes<uint8_t>(fdp_.ConsumeIntegralInRange<size_t>(0, buf.size()));
      std::copy(bytes.begin(), bytes.end(), buf.begin());
      *transferred = bytes.size();
    }
    if (!log_.empty() && !log_.back().answered) {
      log_.back().answered = true;
      log_.back().readOk = result == UsbIoResult::Ok;
      log_.back().answer = std::move(bytes);
    }
    return result;
  }

 private:
  FuzzedDataProvider& fdp_;
  PortLog& log_;
};

// Every bootloader the input puts on the bus; each opening is a session of
// its own with its own log.
class ScriptedBus : public platform::IUsbBackend {
 public:
  // A new input: its provider, its bootloaders, no sessions yet.
  void Begin(FuzzedDataProvider& fdp, int devices) {
    fdp_ = &fdp;
    devices_ = devices;
    logs.clear();
  }
  std::deque<PortLog> logs;

  std::vector<platform::UsbDeviceInfo> Enumerate(std::span<const platform::UsbId> ids) override {
    std::vector<platform::UsbDeviceInfo> found;
    for (int i = 0; i < devices_ && !ids.empty(); ++i) {
      found.push_back({ids[0], 1, static_cast<uint8_t>(i + 1)});
    }
    return found;
  }
  std::unique_ptr<platform::IUsbBulkPort> Open(const platform::UsbDeviceInfo&,
                                               const platform::UsbBulkPipe&) override {
    logs.emplace_back();
    return std::make_unique<ScriptedPort>(*fdp_, logs.back());
  }

 private:
  FuzzedDataProvider* fdp_ = nullptr;
  int devices_ = 0;
};

// The programmer lives for the whole run, as the program's does: it holds a
// buffer of the largest image. What it keeps between writes (the option
// pair reached) means nothing to this bootloader.
struct Programmer {
  ScriptedBus bus;
  Ch55xUsbBackend backend{bus};
  CMcuIsp isp{backend};
};

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

// The bootloader echoed the command and said status 0.
bool GoodStatus(const Exchange& e) {
  const std::vector<uint8_t>& a = e.answer;
  if (!e.answered || !e.readOk || a.size() < 5 || a[0] != e.request[0]) return false;
  const size_t length = size_t{a[2]} | size_t{a[3]} << 8;
  return length >= 1 && 4 + length <= a.size() && a[4] == 0x00;
}

// Every chunk of a `padded`-byte image went out with `command` and was
// answered well, among exchanges [from, to).
bool EveryChunk(const PortLog& log, size_t from, size_t to, uint8_t command, size_t padded) {
  for (size_t at = 0; at < padded; at += ch55x::kChunkBytes) {
    bool done = false;
    for (size_t i = from; i < to && !done; ++i) {
      const Exchange& e = log[i];
      done = e.request[0] == command && e.request.size() >= 7 && Le32(e.request, 3) == at &&
             GoodStatus(e);
    }
    if (!done) return false;
  }
  return true;
}

// Checks one session; true when it holds a write that verified after its
// last erase.
bool CheckSession(const PortLog& log, size_t imageBytes, uint8_t type) {
  const size_t padded = (imageBytes + 7) / 8 * 8;
  bool erased = false;
  size_t lastErase = 0;
  bool verifyFailed = false;
  auto verifiedWrite = [&](size_t to) {
    return erased && EveryChunk(log, lastErase, to, ch55x::kProgram, padded) &&
           EveryChunk(log, lastErase, to, ch55x::kVerify, padded);
  };
  for (size_t i = 0; i < log.size(); ++i) {
    const std::vector<uint8_t>& r = log[i].request;
    Require(r.size() >= 3 && r.size() <= ch55x::kPacketBytes);
    Require(r.size() == 3 + (size_t{r[1]} | size_t{r[2]} << 8));
    switch (r[0]) {
      case ch55x::kErase: {
        const auto flash = ch55x::UserFlashBytes(ch55x::kFamily, type);
        Require(flash && imageBytes <= *flash);
        Require(r.size() == 7 && !verifyFailed);
        const uint32_t sectors = Le32(r, 3);
        Require(sectors >= ch55x::kMinEraseSectors && sectors * ch55x::kSectorBytes >= padded);
        erased = true;
        lastErase = i;
        break;
      }
      case ch55x::kVerify:
        if (!GoodStatus(log[i])) verifyFailed = true;
        break;
      case ch55x::kEnd:
        Require(verifiedWrite(i));
        break;
      default:
        break;
    }
  }
  return verifiedWrite(log.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* const programmer = new Programmer;
  FuzzedDataProvider fdp(data, size);
  programmer->bus.Begin(fdp, fdp.ConsumeIntegralInRange<int>(0, kMaxDevices));
  const std::vector<uint8_t> image = Image(fdp.ConsumeIntegralInRange<size_t>(0, kMaxImageBytes));

  CMcuIsp& isp = programmer->isp;
  bool programmed = false;
  if (isp.EnumDevices()) {
    isp.SetImage(image);
    programmed = isp.Program();
  }
  bool verified = false;
  for (const PortLog& log : programmer->bus.logs) {
    verified |= CheckSession(log, image.size(), isp.DeviceType());
  }
  Require(!programmed || verified);
  // Sessions end with the input (a verified one was ended by the write).
  programmer->backend.IspEnd();
  return 0;
}
