#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "app/DeviceBackend.h"
#include "platform/HidrawBackend.h"
#include "sim/SimBridge.h"
#include "sim/SimHidBackend.h"

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

TEST(DeviceBackend, AnythingButSimMeansTheRealDevices) {
  for (const char* env : {static_cast<const char*>(nullptr), "", "hidraw", "SIM"}) {
    const std::shared_ptr<platform::IHidBackend> backend = MakeDeviceBackend(env);
    EXPECT_NE(dynamic_cast<platform::HidrawBackend*>(backend.get()), nullptr)
        << (env != nullptr ? env : "(unset)");
  }
}

}  // namespace
