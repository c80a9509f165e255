// The HID bridge transport end to end: CHidDevice on the simulated bridge.

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "tests/device/SimDevice.h"
#include "device/link/HidRequest.h"

namespace {

using platform::HidDeviceInfo;
using sim::ChipFamily;

// Answers Enumerate with a fixed list and notes which nodes were opened;
// "sim:" nodes open on the simulated backend.
class ListedBackend : public platform::IHidBackend {
 public:
  ListedBackend(std::vector<HidDeviceInfo> list, std::shared_ptr<sim::SimHidBackend> sim)
      : list_(std::move(list)), sim_(std::move(sim)) {}
  std::vector<HidDeviceInfo> Enumerate() override { return list_; }
  std::unique_ptr<platform::IHidPort> Open(const HidDeviceInfo& info) override {
    opened.push_back(info.devNode);
    return sim_->Open(info);
  }
  std::vector<std::string> opened;

 private:
  std::vector<HidDeviceInfo> list_;
  std::shared_ptr<sim::SimHidBackend> sim_;
};

HidDeviceInfo Info(uint16_t vid, uint16_t pid, int interfaceNumber, uint16_t version,
                   std::string node) {
  HidDeviceInfo info;
  info.vendorId = vid;
  info.productId = pid;
  info.interfaceNumber = interfaceNumber;
  info.version = version;
  info.devNode = std::move(node);
  return info;
}

using HidDeviceOpen = SimDeviceTest;

TEST_F(HidDeviceOpen, MatchesListedVendorsOnTheCommandInterfaceBeforeOpening) {
  Plug(ChipFamily::RU9);  // its command interface is "sim:hidraw1"
  const HidDeviceInfo simCommand = backend_->Enumerate().at(1);
  struct Case {
    const char* name;
    std::vector<HidDeviceInfo> list;
    std::vector<uint16_t> allowed;
    uint32_t result;
    std::vector<std::string> opened;
    std::string description;
  } cases[] = {
      {"no devices", {}, {}, 0, {}, ""},
      {"listed vendor on interface 0 only",
       {Info(0x27C0, 0x0101, 0, 0x0110, "sim:hidraw0")},
       {},
       0,
       {},
       ""},
      {"foreign vendor on interface 1",
       {Info(0x1234, 0x0101, 1, 0x0110, "sim:hidraw1")},
       {},
       0,
       {},
       ""},
      {"command interface",
       {simCommand},
       {},
       1,
       {"sim:hidraw1"},
       "VID:0x27c0, PID:0x0101, Rev: 110"},
      {"first candidate cannot be opened",
       {Info(0x4348, 0x5512, 1, 0x0108, "gone"), simCommand},
       {},
       1,
       {"gone", "sim:hidraw1"},
       "VID:0x27c0, PID:0x0101, Rev: 110"},
      {"product id not in the allow list", {simCommand}, {0x0201}, 0, {}, ""},
      {"product id in the allow list",
       {simCommand},
       {0x0201, 0x0101},
       1,
       {"sim:hidraw1"},
       "VID:0x27c0, PID:0x0101, Rev: 110"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BridgeModelTable models;
    models.allowedPids = c.allowed;
    SetBridgeModels(models);
    auto backend = std::make_shared<ListedBackend>(c.list, backend_);
    CHidDevice device(CHidDevice::kModeCommand, backend);
    EXPECT_EQ(c.result, device.Open());
    EXPECT_EQ(c.opened, backend->opened);
    EXPECT_EQ(c.description, device.Description());
    EXPECT_EQ(c.result == 1, device.IsConnected());
  }
}

TEST_F(HidDeviceOpen, TakesTheFirstBridgeAndCloseForgetsIt) {
  sim::BridgeConfig second = sim::DefaultBridgeConfig(ChipFamily::DE7);
  second.bcdDevice = 0x0201;
  Plug(ChipFamily::RU9);
  Plug(second, ChipFamily::DE7);
  CHidDevice device(CHidDevice::kModeCommand, backend_);
  ASSERT_EQ(1u, device.Open());
  EXPECT_EQ("VID:0x27c0, PID:0x0101, Rev: 110", device.Description());
  device.SetModelCode(0x0201);

  EXPECT_EQ(1u, device.Close());
  EXPECT_FALSE(device.IsConnected());
  EXPECT_EQ("", device.Description());
  EXPECT_EQ(0, device.ModelCode());
  uint8_t byte = 0;
  EXPECT_EQ(0u, device.ReadReports({0, 15, 0x81, 0x40, 0, 1}, &byte, 1, 100, true));
  EXPECT_EQ(0u, device.WriteReports({1, 15, 0x81, 0x40, 0, 1}, &byte, 1));
  EXPECT_TRUE(Bridge(0).Trace().OutputReports().empty());
}

TEST_F(HidDeviceOpen, TheDigitizerInterfaceObjectNeverOpens) {
  Plug(ChipFamily::RU9);
  CHidDevice digitizer(CHidDevice::kModeDigitizer, backend_);
  EXPECT_EQ(0u, digitizer.Open());
  EXPECT_FALSE(digitizer.IsConnected());
  EXPECT_FALSE(GetRequestQueue().HasDispatcher());
}

using HidDeviceRequests = SimDeviceTest;

// What each operation does when its transfer fails or cannot exist.
TEST_F(HidDeviceRequests, OperationTable) {
  Connect();
  struct Case {
    const char* name;
    uint32_t op;
    uint32_t cmd;
    std::function<void(sim::SimBridge&)> fault;
    uint32_t result;
    uint8_t bufferAfter;  // buffer held 0x11 before
    bool traffic;
  } cases[] = {
      {"failing read", HidOpRead, BridgeCmdRegister,
       [](sim::SimBridge& b) { b.SilenceNextReads(1); }, 0, 0xEE, true},
      {"failing write", HidOpWrite, BridgeCmdRegister,
       [](sim::SimBridge& b) { b.FailNextWrites(1); }, 0, 0x11, true},
      {"open", HidOpOpen, BridgeCmdRegister, nullptr, 1, 0x11, false},
      {"close", HidOpClose, BridgeCmdRegister, nullptr, 1, 0x11, false},
      {"operation 7", 7, BridgeCmdRegister, nullptr, 0, 0x11, false},
      {"operation 99", 99, BridgeCmdRegister, nullptr, 0, 0x11, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(1u, OpenDevice());
    Bridge().Trace().Clear();
    if (c.fault) c.fault(Bridge());
    std::array<uint8_t, 4> buf;
    buf.fill(0x11);
    int calls = 0;
    auto r =
        CHidRequest::Make(c.op, 0x1000, buf.data(), buf.size(), c.cmd, 100, [&](CHidRequest& req) {
          ++calls;
          DefaultRequestDone(req);
        });
    GetRequestQueue().PushBack(r);
    ASSERT_TRUE(r->event.Wait(platform::kInfinite));
    EXPECT_EQ(c.result, r->result);
    EXPECT_EQ(1, calls);
    EXPECT_EQ((std::array<uint8_t, 4>{c.bufferAfter, c.bufferAfter, c.bufferAfter, c.bufferAfter}),
              buf);
    EXPECT_EQ(c.traffic, Bridge().Trace().Size() > 0);
  }
}

TEST_F(HidDeviceRequests, WritesAreCutInto57ByteReports) {
  Connect();
  constexpr uint16_t kBase = 0x1000;
  for (uint32_t n : {0u, 1u, 57u, 58u, 114u, 115u, 8192u}) {
    SCOPED_TRACE(n);
    Bridge().Trace().Clear();
    std::vector<uint8_t> data(n);
    for (uint32_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(i * 7 + n);
    ASSERT_EQ(1u, WriteChipRegs(kBase, data.data(), n));

    const std::vector<Report> sent = Sent();
    ASSERT_EQ(std::max<size_t>(1, (n + 56) / 57), sent.size());
    for (size_t k = 0; k < sent.size(); ++k) {
      const uint32_t address = kBase + 57 * k;
      const uint32_t chunk = std::min<uint32_t>(57, n - 57 * k);
      Report expected = ReportOf({3, 1, 15, static_cast<uint8_t>(address >> 8),
                                  static_cast<uint8_t>(address), 0, static_cast<uint8_t>(chunk)});
      std::copy_n(data.begin() + 57 * k, chunk, expected.begin() + 7);
      ASSERT_EQ(expected, sent[k]) << "report " << k;
    }
    EXPECT_EQ(data, Bridge().Chip().PeekRange(kBase, n));
  }
}

TEST_F(HidDeviceRequests, ReadsGatherTheAnswerFromEveryInputReport) {
  Connect();
  constexpr uint16_t kBase = 0x2000;
  std::vector<uint8_t> image(7040);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + 5);
  Bridge().Chip().PokeRange(kBase, image);
  struct Shape {
    const char* name;
    sim::AnswerShape shape;
  } shapes[] = {
      {"full reports", {}},
      {"short reports", {20, 0}},
      {"one byte per report", {1, 0}},
      {"empty reports in between", {63, 2}},
  };
  for (const Shape& s : shapes) {
    for (uint32_t n : {1u, 63u, 64u, 200u, 7040u}) {
      SCOPED_TRACE(testing::Message() << s.name << ", " << n << " bytes");
      Bridge().ShapeNextAnswers(s.shape, 1);
      std::vector<uint8_t> out(n + 1, 0x77);
      ASSERT_EQ(1u, ReadChipRegs(device_.get(), kBase, out.data(), n, 100));
      EXPECT_TRUE(std::equal(image.begin(), image.begin() + n, out.begin()));
      EXPECT_EQ(0x77, out[n]);  // nothing beyond the wanted length
      EXPECT_EQ(0u, Bridge().PendingInputReports());
    }
  }
}

TEST_F(HidDeviceRequests, ARunOfEmptyReportsEndsTheRead) {
  Connect();
  Bridge().Chip().Poke(0x2000, 0x5C);
  struct Case {
    size_t empties;
    uint8_t value;
  } cases[] = {{63, 0x5C}, {64, 0xEE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.empties);
    Bridge().ShapeNextAnswers({63, c.empties}, 1);
    EXPECT_EQ(c.value, ReadChipReg8(0x2000));
  }
}

TEST_F(HidDeviceRequests, ATimedOutReadFailsAndTheNextOneDrainsTheLateAnswer) {
  Connect();
  Bridge().Chip().Poke(0x2000, 0xA1);
  Bridge().Chip().Poke(0x2001, 0xB2);

  Bridge().DelayNextAnswer(150);
  const int64_t start = NowMs();
  EXPECT_EQ(0xEE, ReadChipReg8(0x2000));
  EXPECT_GE(NowMs() - start, 100);
  // The late answer arrives while the program does something else.
  clock_->Advance(100);
  ASSERT_EQ(1u, Bridge().PendingInputReports());

  EXPECT_EQ(0xB2, ReadChipReg8(0x2001));
  EXPECT_EQ(0u, Bridge().PendingInputReports());
}

TEST_F(HidDeviceRequests, TransfersFailAtOnceOnceTheBridgeIsUnplugged) {
  Connect();
  Bridge().Unplug();
  const int64_t start = NowMs();
  uint8_t data[3] = {1, 2, 3};
  EXPECT_EQ(0xEE, ReadChipReg8(0x2000));
  EXPECT_EQ(0u, WriteChipRegs(0x2000, data, 3));
  EXPECT_EQ(start, NowMs());
  EXPECT_TRUE(device_->IsGone());
  // A new open finds nothing; once replugged it works again.
  EXPECT_EQ(0u, OpenDevice());
  Bridge().Replug();
  EXPECT_EQ(1u, OpenDevice());
  EXPECT_FALSE(device_->IsGone());
  EXPECT_EQ(1u, WriteChipRegs(0x2000, data, 3));
}

class FrameReadTest : public SimDeviceTest {
 protected:
  // Pushes a frame request and waits for it.
  std::shared_ptr<CHidRequest> ReadFrame(uint16_t address, uint8_t* buffer, uint32_t length) {
    auto r = CHidRequest::Make(HidOpRead, address, buffer, length, BridgeCmdFrameRead, 100);
    r->flagAddress = g_wSyncFlagAddr.load();
    PushAndWait(r);
    return r;
  }
  static Report PollReport(uint16_t flag) {
    return ReportOf({3, 0, 15, static_cast<uint8_t>(flag >> 8), static_cast<uint8_t>(flag), 0, 1});
  }
  static Report FrameReport(uint16_t address, uint16_t length) {
    return ReportOf({3, 0, 13, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                     static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
  }
  // The expected traffic: `polls` flag polls, then the frame request.
  static std::vector<Report> Polls(size_t polls, uint16_t flag, std::optional<Report> frame) {
    std::vector<Report> out(polls, PollReport(flag));
    if (frame) out.push_back(*frame);
    return out;
  }
};

TEST_F(FrameReadTest, PollsUntilTheFlagRisesThenReadsTheFrame) {
  Connect(ChipFamily::RU9);
  ASSERT_EQ(1u, StartDataStream(1));
  constexpr uint16_t kFrame = sim::kRawFrameAddress;
  for (unsigned readsUntilReady : {1u, 5u, 40u}) {
    SCOPED_TRACE(readsUntilReady);
    ASSERT_EQ(1u, WriteChipReg8(device_.get(), 0x814E, 0));
    Bridge().Chip().SetFlagReadsUntilReady(readsUntilReady);
    Bridge().Trace().Clear();
    std::vector<uint8_t> frame(2520);
    auto r = ReadFrame(kFrame, frame.data(), frame.size());
    EXPECT_EQ(1u, r->result);
    EXPECT_EQ(Polls(readsUntilReady, 0x814E, FrameReport(kFrame, 2520)), Sent());
    const uint64_t n = Bridge().Chip().FrameCounter();
    for (size_t i = 0; i < frame.size(); ++i) {
      ASSERT_EQ(sim::SimChip::DefaultFrameByte(kFrame, n, i), frame[i]) << "byte " << i;
    }
  }
}

TEST_F(FrameReadTest, AFlagThatStaysClearEndsPollingAfter40Cycles) {
  Connect(ChipFamily::RU9);
  Bridge().Chip().SetFlagNeverReady(true);
  ASSERT_EQ(1u, StartDataStream(1));
  Bridge().Trace().Clear();
  std::vector<uint8_t> frame(100);
  EXPECT_EQ(1u, ReadFrame(sim::kRawFrameAddress, frame.data(), 100)->result);
  EXPECT_EQ(Polls(40, 0x814E, FrameReport(sim::kRawFrameAddress, 100)), Sent());
}

// The status register read: a fresh 0x80 is the answer itself; a value from
// before a poll time-out is not trusted.
TEST_F(FrameReadTest, StatusFlagShortcutOnlyOnAFreshReadyFlag) {
  Connect(ChipFamily::DE7);
  ASSERT_EQ(0x824E, g_wSyncFlagAddr.load());
  ASSERT_EQ(1u, StartDataStream(1));
  Bridge().Chip().SetFlagReadsUntilReady(1);
  Bridge().Trace().Clear();
  uint8_t status[4] = {};
  auto r = ReadFrame(0x824E, status, sizeof status);
  EXPECT_EQ(1u, r->result);
  EXPECT_EQ(0x80, status[0]);
  EXPECT_EQ(Polls(1, 0x824E, std::nullopt), Sent());

  // Next round: the poll times out, so the status is read in full.
  Bridge().Trace().Clear();
  Bridge().SilenceNextReads(1);
  status[0] = 0;
  r = ReadFrame(0x824E, status, sizeof status);
  EXPECT_EQ(Polls(1, 0x824E, FrameReport(0x824E, 4)), Sent());
  EXPECT_EQ(1u, r->result);
}

TEST_F(FrameReadTest, AnUnpluggedBridgeEndsTheFrameReadAtOnce) {
  Connect(ChipFamily::RU9);
  Bridge().Unplug();
  uint8_t frame[8] = {};
  const int64_t start = NowMs();
  EXPECT_EQ(0u, ReadFrame(sim::kRawFrameAddress, frame, sizeof frame)->result);
  EXPECT_EQ(start, NowMs());
}

}  // namespace
