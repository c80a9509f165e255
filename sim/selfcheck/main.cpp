// Bridge self-check: opens the bridge through the device link and walks the
// main road once — bridge version, chip identification bytes, a register
// write with read-back, one flag-polled data frame. Uses the simulated bridge
// unless KESTRANA_DEVICE=hidraw asks for the real one.
// Exit status 0 when every step passed.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/HidRequest.h"
#include "device/link/RegisterOps.h"
#include "device/link/RequestQueue.h"
#include "platform/hid/HidrawBackend.h"
#include "sim/SimHidBackend.h"

namespace {

bool Step(const char* what, bool ok, const std::string& detail = {}) {
  std::printf("%-28s %s%s%s\n", what, ok ? "ok" : "FAILED", detail.empty() ? "" : "  ",
              detail.c_str());
  return ok;
}

std::string Hex(const uint8_t* bytes, size_t n) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X ", bytes[i]);
    s += b;
  }
  if (!s.empty()) s.pop_back();
  return s;
}

}  // namespace

int main() {
  const char* env = std::getenv("KESTRANA_DEVICE");
  const bool useHidraw = env && std::strcmp(env, "hidraw") == 0;
  std::shared_ptr<platform::IHidBackend> backend;
  if (useHidraw) {
    backend = std::make_shared<platform::HidrawBackend>();
  } else {
    auto simBackend = std::make_shared<sim::SimHidBackend>();
    simBackend->AddBridge(sim::MakeDefaultBridge(sim::ChipFamily::RU9, sim::SimClock::MakeReal()));
    backend = simBackend;
  }
  std::printf("Kestrana bridge self-check on the %s bridge\n", useHidraw ? "hidraw" : "simulated");

  CHidDevice device(CHidDevice::kModeCommand, backend);
  g_pBridgeDevice = &device;
  bool ok = Step("open bridge", OpenDevice() == 1, device.Description());
  if (ok) {
    const std::string version = GetBridgeVersion();
    ok &= Step("bridge version", !version.empty(), version);

    uint8_t id[6] = {};
    const bool idOk = ReadChipRegs(&device, 0x8140, id, sizeof id, 100) == 1;
    ok &= Step("chip id at 0x8140", idOk, Hex(id, sizeof id));

    // The scratch register holds live configuration on a real chip: without
    // its true value there is nothing to restore, so the write is skipped.
    const uint16_t scratch = 0x8047;
    uint8_t before = 0;
    if (ReadChipRegs(&device, scratch, &before, 1, 100) != 1) {
      ok &= Step("register write/read-back", false, "0x8047 unreadable, write skipped");
    } else {
      const bool wrote = WriteChipReg8(&device, scratch, 0x5A) == 1;
      const uint8_t after = ReadChipReg8(scratch);
      const bool restored = WriteChipReg8(&device, scratch, before) == 1;
      ok &= Step("register write/read-back", wrote && after == 0x5A && restored,
                 "0x8047 := 5A, read " + Hex(&after, 1) + (restored ? "" : ", restore FAILED"));
    }

    g_wSyncFlagAddr = 0x814E;
    std::vector<uint8_t> frame(2520);
    bool frameOk = StartDataStream(1) == 1;
    if (frameOk) {
      auto request =
          CHidRequest::Make(HidOpRead, 0x8B98, frame.data(), static_cast<uint32_t>(frame.size()),
                            BridgeCmdFrameRead, 100);
      request->flagAddress = g_wSyncFlagAddr;
      frameOk = PushAndWait(request);
    }
    StopDataStream();
    ok &= Step("flag-polled frame (2520 B)", frameOk, Hex(frame.data(), 8) + " ...");
  }
  CloseDevice();
  g_pBridgeDevice = nullptr;
  std::printf("%s\n", ok ? "self-check passed" : "self-check FAILED");
  return ok ? 0 : 1;
}
