// The real CH55x backend driven through CMcuIsp against the simulated
// bootloader: the bytes on the wire, a full burn, and faults at every step.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "device/UserMessageError.h"
#include "platform/hid/BridgeVendors.h"
#include "programming/bridgefw/IntelHex.h"
#include "programming/bridgefw/McuImageFile.h"
#include "sim/SimDeviceEventSource.h"
#include "sim/SimHidBackend.h"
#include "sim/ch55x/IntelHexWriter.h"
#include "tests/platform/ScratchDir.h"
#include "tests/programming/Ch55xRig.h"

namespace {

using platform::UsbIoResult;
using sim::Ch55xFault;

std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> out;
  std::istringstream in(hex);
  std::string token;
  while (in >> token) out.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
  return out;
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 8));
  return bytes;
}

std::vector<uint8_t> Head(const std::vector<uint8_t>& bytes, size_t n) {
  return {bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(std::min(n, bytes.size()))};
}

const std::string kIdentify =
    "A1 12 00 00 00 4D 43 55 20 49 53 50 20 26 20 57 43 48 2E 43 4E";
const std::string kReadConfig = "A7 02 00 1F 00";
const std::string kSetKey =
    "A3 1E 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 00";

TEST(Ch55xUsb, GoldenTransfers) {
  Ch55xRig rig;  // CH552, unique id 3C 91 07 E2: key B6 x 7, 08 (sum 02)
  std::vector<uint8_t> image(60);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(rig.isp.EnumDevices());
  rig.isp.SetImage(image);
  ASSERT_TRUE(rig.isp.Program());

  const auto requests = rig.Requests();
  ASSERT_EQ(requests.size(), 13u);
  EXPECT_EQ(requests[0], Bytes(kIdentify)) << "looking for 0x51";
  EXPECT_EQ(requests[1], Bytes(kIdentify)) << "looking for 0x52";
  EXPECT_EQ(requests[2], Bytes(kIdentify));
  EXPECT_EQ(requests[3], Bytes(kReadConfig));
  EXPECT_EQ(requests[4], Bytes(kSetKey));
  EXPECT_EQ(requests[5], Bytes("A4 04 00 08 00 00 00")) << "at least 8 sectors";
  EXPECT_EQ(requests[6].size(), 64u);
  EXPECT_EQ(Head(requests[6], 16), Bytes("A5 3D 00 00 00 00 00 00 B6 B7 B4 B5 B2 B3 B0 0F"));
  EXPECT_EQ(requests[7], Bytes("A5 0D 00 38 00 00 00 00 8E 8F 8C 8D 49 49 49 F7"))
      << "the last chunk is padded with 0xFF";
  EXPECT_EQ(requests[8], Bytes(kReadConfig));
  EXPECT_EQ(requests[9], Bytes(kSetKey));
  EXPECT_EQ(Head(requests[10], 16), Bytes("A6 3D 00 00 00 00 00 00 B6 B7 B4 B5 B2 B3 B0 0F"));
  EXPECT_EQ(requests[11], Bytes("A6 0D 00 38 00 00 00 00 8E 8F 8C 8D 49 49 49 F7"));
  EXPECT_EQ(requests[12], Bytes("A2 01 00 01"));

  std::vector<std::vector<uint8_t>> answers;
  for (const auto& t : rig.loader->Transfers()) {
    if (!t.out) answers.push_back(t.bytes);
  }
  ASSERT_EQ(answers.size(), 12u) << "nothing is read after end";
  EXPECT_EQ(answers[0], Bytes("A1 5A 02 00 52 11"));
  EXPECT_EQ(answers[4], Bytes("A3 5A 01 00 02"));
  EXPECT_EQ(answers[6], Bytes("A5 5A 01 00 00"));
  for (const auto& t : rig.loader->Transfers()) {
    EXPECT_EQ(t.timeoutMs, t.bytes.size() > 0 && t.bytes[0] == 0xA4 ? 5000u : 1000u);
  }
}

TEST(Ch55xUsb, ProgramsAndVerifiesAndTheBridgeReturns) {
  sim::Ch55xConfig config;
  config.applicationRelease = 0x0123;
  Ch55xRig rig(config, false);
  sim::SimHidBackend hid;
  auto bridge = hid.AddBridge(sim::MakeDefaultBridge(sim::ChipFamily::RU9));
  sim::ConnectBootloader(bridge, rig.loader);
  sim::SimDeviceEventSource events(bridge);

  // Command 14 on the bridge's command interface.
  auto port = hid.Open(hid.Enumerate()[1]);
  ASSERT_NE(port, nullptr);
  const uint8_t enterLoader[7] = {3, 1, 14, 0, 0, 0, 0};
  ASSERT_EQ(port->Write(enterLoader, sizeof enterLoader, 200), platform::HidIoResult::Ok);
  ASSERT_TRUE(rig.loader->IsPresent());

  std::vector<platform::HotplugEvent> seen;
  while (auto e = events.ReadEvent()) seen.push_back(*e);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2].kind, platform::HotplugKind::ProgrammingDevice);
  EXPECT_EQ(seen[2].action, platform::HotplugAction::Added);

  const std::vector<uint8_t> image = Pattern(14 * 1024, 7);
  ASSERT_TRUE(rig.isp.EnumDevices());
  EXPECT_EQ(rig.isp.DeviceType(), 0x52);
  rig.isp.SetImage(image);
  ASSERT_TRUE(rig.isp.Program());
  EXPECT_EQ(rig.loader->Flash(), image);
  EXPECT_EQ(rig.loader->Ends(), 1u);
  EXPECT_FALSE(rig.loader->IsPresent());

  seen.clear();
  while (auto e = events.ReadEvent()) seen.push_back(*e);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].kind, platform::HotplugKind::ProgrammingDevice);
  EXPECT_EQ(seen[0].action, platform::HotplugAction::Removed);
  EXPECT_EQ(seen[2].kind, platform::HotplugKind::BridgeCommand);
  EXPECT_EQ(seen[2].action, platform::HotplugAction::Added);
  EXPECT_EQ(seen[2].info.version, 0x0123);
  ASSERT_TRUE(bridge->IsPlugged());
  EXPECT_EQ(hid.Enumerate()[1].version, 0x0123);
}

// Every step of a burn meeting each kind of lasting fault: never success,
// never "end", every transfer bounded.
TEST(Ch55xUsb, PersistentFaultsNeverSucceed) {
  const uint8_t steps[] = {ch55x::kIdentify, ch55x::kReadConfig, ch55x::kSetKey,
                           ch55x::kErase,    ch55x::kProgram,    ch55x::kVerify};
  const Ch55xFault faults[] = {Ch55xFault::Silent, Ch55xFault::Garbled, Ch55xFault::Refuse,
                               Ch55xFault::Unplug};
  for (uint8_t step : steps) {
    for (Ch55xFault fault : faults) {
      SCOPED_TRACE(testing::Message() << std::hex << int{step} << " fault " << int(fault));
      Ch55xRig rig;
      ASSERT_TRUE(rig.isp.EnumDevices());
      rig.isp.SetImage(Pattern(1000, 3));
      rig.loader->InjectFault(step, fault);
      EXPECT_FALSE(rig.isp.Program());
      EXPECT_EQ(rig.loader->Ends(), 0u);
      EXPECT_EQ(rig.isp.RotationIndex(), 0) << "four failures: the rotation came round";
      for (const auto& t : rig.loader->Transfers()) {
        EXPECT_GT(t.timeoutMs, 0u);
        EXPECT_LE(t.timeoutMs, 5000u);
      }
      if (fault == Ch55xFault::Unplug) {
        // Nothing more is sent to a device that left.
        const auto transfers = rig.loader->Transfers();
        EXPECT_NE(transfers.back().result, UsbIoResult::Ok);
      }
    }
  }
}

TEST(Ch55xUsb, EnumerationFaultsFindNothing) {
  for (Ch55xFault fault : {Ch55xFault::Silent, Ch55xFault::Garbled, Ch55xFault::Refuse,
                           Ch55xFault::Unplug}) {
    Ch55xRig rig;
    rig.loader->InjectFault(ch55x::kIdentify, fault);
    EXPECT_FALSE(rig.isp.EnumDevices()) << int(fault);
  }
}

TEST(Ch55xUsb, OnlyKnownPartsOfTheSoughtTypeAreFound) {
  const struct {
    uint8_t type, family;
    bool older;
    bool found;
  } cases[] = {
      {0x51, 0x11, false, true},  {0x54, 0x11, false, true}, {0x55, 0x11, false, false},
      {0x52, 0x12, false, false}, {0x79, 0x11, false, false}, {0x52, 0x11, true, false},
  };
  for (const auto& c : cases) {
    sim::Ch55xConfig config;
    config.chipType = c.type;
    config.family = c.family;
    config.olderGeneration = c.older;
    Ch55xRig rig(config);
    EXPECT_EQ(rig.isp.EnumDevices(), c.found) << std::hex << int{c.type} << " " << int{c.family};
  }
}

TEST(Ch55xUsb, VerifyMismatchLatchesWithoutErasingAgain) {
  Ch55xRig rig;
  ASSERT_TRUE(rig.isp.EnumDevices());
  rig.isp.SetImage(Pattern(3000, 1));
  rig.loader->StickFlashByte(1234, 0x00);
  EXPECT_FALSE(rig.isp.Program());
  EXPECT_EQ(rig.loader->Requests(ch55x::kErase), 1u);
  EXPECT_EQ(rig.loader->Requests(ch55x::kVerify), 23u) << "one pass, up to the bad chunk";
  EXPECT_EQ(rig.loader->Ends(), 0u);
  EXPECT_TRUE(rig.loader->IsPresent()) << "a failed burn stays in the bootloader";

  // A new session (after a power cycle) can burn again.
  rig.loader->ClearFaults();
  rig.loader->PowerUp();
  ASSERT_TRUE(rig.isp.EnumDevices());
  EXPECT_TRUE(rig.isp.Program());
}

TEST(Ch55xUsb, OneShotFaultsAreRecoveredByTheNextAttempt) {
  for (uint8_t step : {ch55x::kIdentify, ch55x::kSetKey, ch55x::kErase, ch55x::kProgram}) {
    for (Ch55xFault fault : {Ch55xFault::Silent, Ch55xFault::Garbled, Ch55xFault::Refuse}) {
      SCOPED_TRACE(testing::Message() << std::hex << int{step} << " fault " << int(fault));
      Ch55xRig rig;
      ASSERT_TRUE(rig.isp.EnumDevices());
      const std::vector<uint8_t> image = Pattern(5000, 9);
      rig.isp.SetImage(image);
      rig.loader->InjectFault(step, fault, 1);
      EXPECT_TRUE(rig.isp.Program());
      EXPECT_EQ(Head(rig.loader->Flash(), image.size()), image);
      EXPECT_EQ(rig.isp.RotationIndex(), 1);
    }
  }
}

TEST(Ch55xUsb, OversizeImageRefusedBeforeErasing) {
  sim::Ch55xConfig config;
  config.chipType = 0x51;  // 10 KiB of code flash
  config.userFlashBytes = 10 * 1024;
  Ch55xRig rig(config);
  ASSERT_TRUE(rig.isp.EnumDevices());
  rig.loader->ClearTransfers();
  const std::vector<uint8_t> before = rig.loader->Flash();
  rig.isp.SetImage(Pattern(10 * 1024 + 1, 2));
  EXPECT_FALSE(rig.isp.Program());
  EXPECT_TRUE(rig.Requests().empty());
  EXPECT_EQ(rig.loader->Flash(), before);

  rig.isp.SetImage(Pattern(10 * 1024, 2));
  EXPECT_TRUE(rig.isp.Program());
}

// The update sequence splits a burnt HEX image into "<stem>_<bcd>_<sum>.ect"
// (bytes 0-111) and ".bin" (the rest); burning that pair must put exactly the
// HEX image's bytes into the flash.
TEST(Ch55xUsb, BinEctPairSplitFromHexBurnsTheSameBytes) {
  platform::testing_support::ScratchDir dir;
  std::vector<uint8_t> image = Pattern(9000, 5);
  std::fill(image.begin() + 300, image.begin() + 700, uint8_t{0});  // a gap in the HEX
  std::string hex = sim::ImageToIntelHex(image);
  platform::testing_support::WriteBytes(dir / "bridge.hex", hex);

  Ch55xRig fromHex;
  ASSERT_TRUE(fromHex.isp.EnumDevices());
  ASSERT_TRUE(fromHex.isp.LoadHexFile(dir / "bridge.hex"));
  const auto burnt = fromHex.isp.Image();
  ASSERT_TRUE(fromHex.isp.Program());
  platform::testing_support::WriteBytes(
      dir / "bridge_0111_3A5C.ect", std::string(burnt.begin(), burnt.begin() + kMcuHeaderSize));
  platform::testing_support::WriteBytes(dir / "bridge_0111_3A5C.bin",
                                        std::string(burnt.begin() + kMcuHeaderSize, burnt.end()));

  Ch55xRig fromPair;
  ASSERT_TRUE(fromPair.isp.EnumDevices());
  ASSERT_TRUE(fromPair.isp.LoadAndProgram(dir / "bridge_0111_3A5C.bin"));
  EXPECT_EQ(Head(fromPair.loader->Flash(), image.size()), image);
  EXPECT_EQ(fromPair.loader->Flash(), fromHex.loader->Flash());
}

// As the kernel does, the simulated bus refuses a second claim of a claimed
// interface until its port is gone; a new power-up is a new device.
TEST(Ch55xUsb, SimulatedBusRefusesASecondClaim) {
  Ch55xRig rig;
  const auto found = rig.usb.Enumerate(ch55x::kLoaderIds);
  ASSERT_EQ(found.size(), 1u);
  auto first = rig.usb.Open(found[0], ch55x::kPipe);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(rig.usb.IsClaimed(0));
  EXPECT_EQ(rig.usb.Open(found[0], ch55x::kPipe), nullptr);
  first.reset();
  EXPECT_FALSE(rig.usb.IsClaimed(0));
  first = rig.usb.Open(found[0], ch55x::kPipe);
  ASSERT_NE(first, nullptr);
  rig.loader->PowerUp();
  const auto again = rig.usb.Enumerate(ch55x::kLoaderIds);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_NE(rig.usb.Open(again[0], ch55x::kPipe), nullptr);
}

// The main window's and the module test's programmers share the bootloader:
// however a burn of one ends, the device is let go without its end request,
// and the other finds it and burns it.
TEST(Ch55xUsb, AnEndedBurnLeavesTheDeviceToTheOtherProgrammer) {
  platform::testing_support::ScratchDir dir;
  const std::vector<uint8_t> image = Pattern(3000, 4);
  struct Case {
    const char* what;
    std::function<void(Ch55xRig&)> burn;
  };
  const Case cases[] = {
      {"every attempt refused",
       [&](Ch55xRig& rig) {
         rig.loader->InjectFault(ch55x::kErase, Ch55xFault::Refuse, CMcuIsp::kProgramAttempts);
         rig.isp.SetImage(image);
         EXPECT_FALSE(rig.isp.Program());
       }},
      {"a verify that failed",
       [&](Ch55xRig& rig) {
         rig.loader->InjectFault(ch55x::kVerify, Ch55xFault::Garbled, 1);
         rig.isp.SetImage(image);
         EXPECT_FALSE(rig.isp.Program());
       }},
      {"a load that throws",
       [&](Ch55xRig& rig) {
         EXPECT_THROW(rig.isp.LoadAndProgram(dir / "missing.hex"), UserMessageError);
       }},
      {"found and never programmed", [](Ch55xRig&) {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Ch55xRig rig;
    Ch55xUsbBackend otherBackend(rig.usb);
    CMcuIsp other(otherBackend);
    ASSERT_TRUE(rig.isp.EnumDevices());
    c.burn(rig);
    EXPECT_EQ(rig.loader->Ends(), 0u);
    EXPECT_TRUE(rig.loader->IsPresent());
    EXPECT_FALSE(rig.usb.IsClaimed(0));
    ASSERT_TRUE(other.EnumDevices());
    other.SetImage(image);
    EXPECT_TRUE(other.Program());
    EXPECT_EQ(Head(rig.loader->Flash(), image.size()), image);
    EXPECT_EQ(rig.loader->Ends(), 1u);
  }
}

}  // namespace
