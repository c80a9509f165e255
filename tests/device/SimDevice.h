#pragma once
// A command-interface CHidDevice on simulated bridges, all on one virtual
// clock, installed as the bridge device for the register operations. Each
// test gets its own device and therefore its own dispatcher run.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/Link.h"
#include "device/link/RegisterOps.h"
#include "device/link/RequestQueue.h"
#include "sim/SimBridge.h"
#include "sim/SimClock.h"
#include "sim/SimHidBackend.h"

using Report = std::array<uint8_t, platform::kHidReportSize>;

// A report as the device must send it: the given leading bytes, zeros after.
inline Report ReportOf(std::initializer_list<uint8_t> bytes) {
  Report r{};
  size_t i = 0;
  for (uint8_t b : bytes) r[i++] = b;
  return r;
}

// The bridge model table the simulated bridges are listed in.
inline BridgeModelTable SimBridgeModels() {
  BridgeModelTable table;
  table.de7Pids = {sim::kSimDe7BridgePid};
  table.sharedPids = {sim::kSimSharedBridgePid};
  return table;
}

// Counts the requests routed to it and forwards them to the device; a test
// can act just before a given request reaches the device.
class ForwardingLink : public ILink {
 public:
  explicit ForwardingLink(CHidDevice& device) : device_(device) {}
  uint32_t ExecuteOnLink(CHidRequest& request) override {
    ++count_;
    if (before_) before_(request);
    return device_.ExecuteOnLink(request);
  }
  int Count() const { return count_.load(); }
  std::function<void(CHidRequest&)> before_;

 private:
  CHidDevice& device_;
  std::atomic<int> count_{0};
};

class SimDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    SetBridgeModels(SimBridgeModels());
    clock_ = sim::SimClock::MakeVirtual();
    backend_ = std::make_shared<sim::SimHidBackend>();
  }

  void TearDown() override {
    g_pBridgeDevice = nullptr;
    device_.reset();
    SetChipName("");
    SetBridgeModels({});
    g_wSyncFlagAddr = kDefaultSyncFlagAddr;
  }

  std::shared_ptr<sim::SimBridge> Plug(sim::ChipFamily family, bool shared = false) {
    return backend_->AddBridge(sim::MakeDefaultBridge(family, clock_, shared));
  }
  std::shared_ptr<sim::SimBridge> Plug(sim::BridgeConfig config, sim::ChipFamily family) {
    return backend_->AddBridge(std::make_shared<sim::SimBridge>(
        std::move(config), sim::SimChipConfig::For(family), clock_));
  }

  // Creates the device, opens the first bridge through the queue and
  // forgets the trace so far.
  void Connect(sim::ChipFamily family = sim::ChipFamily::RU9, bool shared = false) {
    if (backend_->BridgeCount() == 0) Plug(family, shared);
    device_ = std::make_unique<CHidDevice>(CHidDevice::kModeCommand, backend_);
    g_pBridgeDevice = device_.get();
    g_wSyncFlagAddr = sim::LayoutOf(family).syncFlagAddress;
    ASSERT_EQ(1u, OpenDevice());
    Bridge().Trace().Clear();
    Bridge().Chip().ClearAccessLog();
  }

  sim::SimBridge& Bridge(size_t index = 0) { return *backend_->Bridge(index); }
  std::vector<Report> Sent() { return Bridge().Trace().OutputReports(); }
  int64_t NowMs() const { return clock_->NowMs(); }

  std::shared_ptr<sim::SimClock> clock_;
  std::shared_ptr<sim::SimHidBackend> backend_;
  std::unique_ptr<CHidDevice> device_;
};

// Waits until every request pushed before it has been executed: a request
// with no operation completes in queue order without traffic.
inline void WaitForQueuedRequests() {
  PushAndWait(CHidRequest::Make(0xFF, 0, nullptr, 0, BridgeCmdRegister, 100));
}
