// Enumeration and opening of simulated bridges, and the loader restart.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/SimBridgePort.h"
#include "sim/SimHidBackend.h"
#include "tests/sim/SimTestUtil.h"

namespace sim {
namespace {

using platform::HidDeviceInfo;
using platform::HidIoResult;
using test::MakeReport;
using test::Send;
using ::testing::ElementsAre;

class Backend : public ::testing::Test {
 protected:
  std::shared_ptr<SimClock> clock = SimClock::MakeVirtual();
  SimHidBackend backend;
  std::shared_ptr<SimBridge> ru9 = backend.AddBridge(MakeDefaultBridge(ChipFamily::RU9, clock));
  std::shared_ptr<SimBridge> de7 = backend.AddBridge(MakeDefaultBridge(ChipFamily::DE7, clock));
};

TEST_F(Backend, EnumeratesBothInterfacesOfEveryBridgeByMinor) {
  const auto list = backend.Enumerate();
  ASSERT_EQ(list.size(), 4u);
  struct Expect {
    uint16_t pid;
    int interfaceNumber;
    unsigned minor;
    const char* node;
  };
  const Expect expected[] = {{0x0101, 0, 0, "sim:hidraw0"},
                             {0x0101, 1, 1, "sim:hidraw1"},
                             {0x0201, 0, 2, "sim:hidraw2"},
                             {0x0201, 1, 3, "sim:hidraw3"}};
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].vendorId, 0x27C0) << i;
    EXPECT_EQ(list[i].productId, expected[i].pid) << i;
    EXPECT_EQ(list[i].interfaceNumber, expected[i].interfaceNumber) << i;
    EXPECT_EQ(list[i].version, 0x0110) << i;
    EXPECT_EQ(list[i].minor, expected[i].minor) << i;
    EXPECT_EQ(list[i].devNode, expected[i].node) << i;
  }
  EXPECT_EQ(MakeDefaultBridge(ChipFamily::RU9, nullptr, true)->Config().productId, 0x0301);
}

TEST_F(Backend, OnlyThePluggedCommandInterfaceOpens) {
  const auto list = backend.Enumerate();
  EXPECT_EQ(backend.Open(list[0]), nullptr) << "digitizer interface";
  HidDeviceInfo unknown = list[1];
  unknown.devNode = "sim:hidraw9";
  EXPECT_EQ(backend.Open(unknown), nullptr);

  auto port = backend.Open(list[3]);
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->IsOpen());
  EXPECT_EQ(port->Info().productId, 0x0201);
  EXPECT_EQ(port->Info().devNode, "sim:hidraw3");
  EXPECT_THAT(test::ReadRegs(*port, 0x8240, 4), ElementsAre('7', '3', '8', '8'));

  de7->Unplug();
  EXPECT_EQ(backend.Open(list[3]), nullptr);
  EXPECT_EQ(backend.Enumerate().size(), 2u);
}

TEST_F(Backend, LoaderCommandUnplugsAndAnnouncesTheProgrammingDevice) {
  const auto list = backend.Enumerate();
  auto port = backend.Open(list[1]);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(Send(*port, MakeReport(1, 14, 0, 0)), HidIoResult::Ok);

  EXPECT_FALSE(ru9->IsPlugged());
  EXPECT_EQ(ru9->ProgrammingDeviceArrivals(), 1u);
  const auto events = ru9->Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, BridgeEventKind::Unplugged);
  EXPECT_EQ(events[1].kind, BridgeEventKind::ProgrammingDeviceArrived);
  EXPECT_EQ(Send(*port, MakeReport(0, 15, 0x8140, 1)), HidIoResult::Removed);
  const auto remaining = backend.Enumerate();
  ASSERT_EQ(remaining.size(), 2u);
  EXPECT_EQ(remaining[0].productId, 0x0201);
  EXPECT_TRUE(de7->IsPlugged());
}

TEST_F(Backend, ReplugGivesAFreshConnectionAndLeavesOldPortsDead) {
  auto oldPort = backend.Open(backend.Enumerate()[1]);
  ASSERT_NE(oldPort, nullptr);
  Send(*oldPort, MakeReport(1, 18, 0, 0));
  Send(*oldPort, MakeReport(1, 15, 0x9000, 1, {0x42}));
  ru9->Unplug();
  ru9->Replug();

  EXPECT_EQ(Send(*oldPort, MakeReport(0, 15, 0x8140, 1)), HidIoResult::Removed);
  auto newPort = backend.Open(backend.Enumerate()[1]);
  ASSERT_NE(newPort, nullptr);
  EXPECT_THAT(test::ReadRegs(*newPort, 0x8140, 1), ElementsAre('9'));
  EXPECT_EQ(ru9->Chip().Peek(0x9000), 0) << "the chip powered up anew";
  EXPECT_TRUE(ru9->DigitizerEnabled());
  const auto events = ru9->Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].kind, BridgeEventKind::Replugged);
}

}  // namespace
}  // namespace sim
