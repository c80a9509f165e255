#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/DeviceBackend.h"
#include "platform/hid/HidrawBackend.h"
#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"
#include "sim/SimBridge.h"
#include "sim/SimHidBackend.h"
#include "sim/module/ModuleProfile.h"

namespace {

// The program's simulated bridge streams for hours: nothing it does may be
// kept for inspection, or memory grows with every frame.
TEST(DeviceBackend, SimulatedBridgeKeepsNoTraceAndNoAccessLog) {
  const std::shared_ptr<platform::IHidBackend> backend = MakeDeviceBackend("sim");
  auto* simulated = dynamic_cast<sim::SimHidBackend*>(backend.get());
  ASSERT_NE(simulated, nullptr);
  ASSERT_EQ(simulated->BridgeCount(), 1u);
  const std::shared_ptr<sim::SimBridge> bridge = simulated->Bridge(0);

  EXPECT_EQ(bridge->Chip().Read(0x8140, 4, 0).size(), 4u);
  const uint8_t report[] = {0x01, 0x02};
  bridge->Trace().Record(sim::TraceDir::Out, report, sizeof report, 0);
  EXPECT_TRUE(bridge->Chip().AccessLog().empty());
  EXPECT_EQ(bridge->Trace().Size(), 0u);

  EXPECT_NE(MakeDeviceEventSource(backend), nullptr) << "the bridge's own arrivals and removals";
}

// Without a wire time the simulated bridge answers at once and the pages
// stream thousands of frames a second; a real bridge moves one report per
// millisecond each way.
TEST(DeviceBackend, SimulatedBridgeKeepsTheBridgesPace) {
  const std::shared_ptr<platform::IHidBackend> backend = MakeDeviceBackend("sim");
  auto* simulated = dynamic_cast<sim::SimHidBackend*>(backend.get());
  ASSERT_NE(simulated, nullptr);
  EXPECT_EQ(simulated->Bridge(0)->Config().reportWireUs, 1000);
}

// Command 14 on the simulated bridge brings up a bootloader the programmer
// finds; the burn brings the bridge back with a new release number.
TEST(DeviceBackend, SimulatedBridgeHasABootloaderBehindIt) {
  const std::shared_ptr<platform::IHidBackend> backend = MakeDeviceBackend("sim");
  const std::unique_ptr<platform::IUsbBackend> usb = MakeUsbBackend(backend);
  ASSERT_NE(usb, nullptr);
  Ch55xUsbBackend programmer(*usb);
  CMcuIsp isp(programmer);
  EXPECT_FALSE(isp.EnumDevices()) << "the bridge still runs its application";

  auto port = backend->Open(backend->Enumerate()[1]);
  ASSERT_NE(port, nullptr);
  const uint8_t enterLoader[7] = {3, 1, 14, 0, 0, 0, 0};
  ASSERT_EQ(port->Write(enterLoader, sizeof enterLoader, 200), platform::HidIoResult::Ok);
  ASSERT_TRUE(isp.EnumDevices());
  isp.SetImage(std::vector<uint8_t>(4096, 0x5A));
  ASSERT_TRUE(isp.Program());

  const auto bridges = backend->Enumerate();
  ASSERT_EQ(bridges.size(), 2u);
  EXPECT_EQ(bridges[1].version, sim::kSimBridgeBcd + 1);
}

TEST(DeviceBackend, AnythingButSimMeansTheRealDevices) {
  for (const char* env : {static_cast<const char*>(nullptr), "", "hidraw", "SIM"}) {
    const std::shared_ptr<platform::IHidBackend> backend = MakeDeviceBackend(env);
    EXPECT_NE(dynamic_cast<platform::HidrawBackend*>(backend.get()), nullptr)
        << (env != nullptr ? env : "(unset)");
  }
}

}  // namespace

namespace {

TEST(DeviceBackend, SimulatedModuleTakesItsFaultProfileByName) {
  EXPECT_TRUE(SimulatedModule("int-open").faults.intOpen);
  EXPECT_TRUE(SimulatedModule("dead-node").faults.deadNode.has_value());
  for (const char* env : {static_cast<const char*>(nullptr), "", "no-such-profile"}) {
    const sim::ModuleProfile good = SimulatedModule(env);
    EXPECT_FALSE(good.faults.intOpen);
    EXPECT_FALSE(good.faults.deadNode.has_value());
    EXPECT_TRUE(good.faults.shortsA.empty());
    EXPECT_EQ(30, good.rows);
    EXPECT_EQ(42, good.cols);
  }
}

}  // namespace
