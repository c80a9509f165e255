// A late answer of the bridge is never taken as another request's answer:
// the device waits for the answers still owed by reads that ended early and
// throws them away before the next request goes out. Beyond that wait a
// request may fail, but never succeeds with someone else's bytes.

#include <gtest/gtest.h>

#include <vector>

#include "tests/device/SimDevice.h"
#include "device/link/HidRequest.h"

namespace {

using sim::ChipFamily;

constexpr uint16_t kFrame = sim::kRawFrameAddress;
constexpr uint32_t kFrameBytes = 2520;
constexpr uint32_t kReadTimeoutMs = 100;

// Delays of the late answer (ms after its request): on time, late by less
// than the failed request's time-out (it is waited for), and later still.
const std::vector<uint32_t> kDelaysMs = {0,   1,   2,   3,   49,  50,  51,  52,  53,  60,  99,
                                         100, 101, 130, 150, 199, 200, 201, 250, 400, 1000};

class LateAnswers : public SimDeviceTest {
 protected:
  virtual ChipFamily Family() const { return ChipFamily::RU9; }

  void SetUp() override {
    SimDeviceTest::SetUp();
    Connect(Family());
    ASSERT_EQ(1u, StartDataStream(1));
    Bridge().Chip().Poke(0x2000, 0xA1);
    Bridge().Chip().Poke(0x2001, 0xB2);
    Bridge().Chip().Poke(0x2002, 0xC3);
  }

  // A frame request as the data views push it.
  uint32_t ReadFrame(std::vector<uint8_t>& frame) {
    frame.assign(kFrameBytes, 0);
    auto r = CHidRequest::Make(HidOpRead, kFrame, frame.data(), kFrameBytes, BridgeCmdFrameRead,
                               kReadTimeoutMs);
    r->flagAddress = g_wSyncFlagAddr.load();
    PushAndWait(r);
    return r->result;
  }

  // The frame equals the simulated chip's latest frame byte for byte.
  void ExpectChipFrame(const std::vector<uint8_t>& frame) {
    const uint64_t n = Bridge().Chip().FrameCounter();
    for (size_t i = 0; i < frame.size(); ++i) {
      ASSERT_EQ(sim::SimChip::DefaultFrameByte(kFrame, n, i), frame[i]) << "byte " << i;
    }
  }

  // Afterwards the link is in step again: a plain read and a frame read
  // both get their own answers.
  void ExpectInStepAgain() {
    clock_->Advance(2000);
    EXPECT_EQ(0xC3, ReadChipReg8(0x2002));
    ASSERT_EQ(1u, WriteChipReg8(device_.get(), 0x814E, 0));
    std::vector<uint8_t> frame;
    ASSERT_EQ(1u, ReadFrame(frame));
    ExpectChipFrame(frame);
    EXPECT_EQ(0u, Bridge().PendingInputReports());
  }

  // Whether the late answer came within the wait the device allows for it:
  // the failed request's time-out after the request gave up.
  static bool WithinWait(uint32_t delayMs, uint32_t timeoutMs) { return delayMs <= 2 * timeoutMs; }
};

// The ready-flag poll times out and its answer comes after the poll's wait.
TEST_F(LateAnswers, ALateFlagAnswerIsNeverTakenAsTheFrame) {
  for (uint32_t delay : kDelaysMs) {
    SCOPED_TRACE(testing::Message() << "flag answer " << delay << " ms late");
    ASSERT_EQ(1u, WriteChipReg8(device_.get(), 0x814E, 0));
    Bridge().Chip().SetFlagReadsUntilReady(1);
    Bridge().DelayNextAnswer(delay);
    std::vector<uint8_t> frame;
    const uint32_t result = ReadFrame(frame);
    if (WithinWait(delay, CHidDevice::kFlagPollTimeoutMs)) {
      EXPECT_EQ(1u, result);
    }
    if (result == 1) ExpectChipFrame(frame);
    ExpectInStepAgain();
  }
}

// An earlier register read timed out; its answer arrives while the frame
// read polls or reads.
TEST_F(LateAnswers, ALateRegisterAnswerIsNeverTakenAsFlagOrFrame) {
  for (uint32_t delay : kDelaysMs) {
    SCOPED_TRACE(testing::Message() << "186-byte answer " << delay << " ms late");
    ASSERT_EQ(1u, WriteChipReg8(device_.get(), 0x814E, 0));
    Bridge().Chip().SetFlagReadsUntilReady(1);
    Bridge().DelayNextAnswer(delay);
    std::vector<uint8_t> block(186);
    const uint32_t first = ReadChipRegs(device_.get(), 0x2000, block.data(), 186, kReadTimeoutMs);
    EXPECT_EQ(delay <= kReadTimeoutMs, first == 1);
    std::vector<uint8_t> frame;
    const uint32_t result = ReadFrame(frame);
    if (WithinWait(delay, kReadTimeoutMs)) {
      EXPECT_EQ(1u, result);
    }
    if (result == 1) ExpectChipFrame(frame);
    ExpectInStepAgain();
  }
}

// A one-byte read timed out; the next one-byte read must not return it.
TEST_F(LateAnswers, ALateRegisterAnswerIsNeverTheNextReadsValue) {
  for (uint32_t delay : kDelaysMs) {
    SCOPED_TRACE(testing::Message() << "answer " << delay << " ms late");
    Bridge().DelayNextAnswer(delay);
    EXPECT_EQ(delay <= kReadTimeoutMs ? 0xA1 : 0xEE, ReadChipReg8(0x2000));
    const uint8_t second = ReadChipReg8(0x2001);
    if (WithinWait(delay, kReadTimeoutMs)) {
      EXPECT_EQ(0xB2, second);
    }
    EXPECT_TRUE(second == 0xB2 || second == 0xEE) << int{second};
    ExpectInStepAgain();
  }
}

// Nothing owed, nothing waited for: a read costs what the wire costs.
TEST_F(LateAnswers, NoWaitWhenNothingIsOwed) {
  const int64_t start = NowMs();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(0xB2, ReadChipReg8(0x2001));
  std::vector<uint8_t> frame;
  ASSERT_EQ(1u, WriteChipReg8(device_.get(), 0x814E, 0));
  ASSERT_EQ(1u, ReadFrame(frame));
  EXPECT_LT(NowMs() - start, 50);
}

// An answer that never comes costs one wait; the link goes on at once.
TEST_F(LateAnswers, ALostAnswerCostsOneWaitOnly) {
  Bridge().SilenceNextReads(1);
  EXPECT_EQ(0xEE, ReadChipReg8(0x2000));
  EXPECT_EQ(0xB2, ReadChipReg8(0x2001));
  EXPECT_EQ(0xC3, ReadChipReg8(0x2002));
  ExpectInStepAgain();
}

// The DE7 status register read answers 0x80 from the flag poll alone; a late
// answer that happens to be 0x80 must not be taken as that fresh flag.
class LateStatusAnswers : public LateAnswers {
 protected:
  ChipFamily Family() const override { return ChipFamily::DE7; }
};

TEST_F(LateStatusAnswers, ALate0x80IsNeverTakenAsAFreshReadyFlag) {
  ASSERT_EQ(0x824E, g_wSyncFlagAddr.load());
  Bridge().Chip().Poke(0x2000, 0x80);
  Bridge().Chip().SetFlagNeverReady(true);
  for (uint32_t delay : kDelaysMs) {
    SCOPED_TRACE(testing::Message() << "0x80 answered " << delay << " ms late");
    Bridge().DelayNextAnswer(delay);
    ReadChipReg8(0x2000);
    uint8_t status[4] = {0x11, 0x11, 0x11, 0x11};
    auto r = CHidRequest::Make(HidOpRead, 0x824E, status, sizeof status, BridgeCmdFrameRead,
                               kReadTimeoutMs);
    r->flagAddress = 0x824E;
    PushAndWait(r);
    // The flag never rises: whatever the read gives, it is not the late 0x80.
    if (r->result == 1) {
      EXPECT_EQ(Bridge().Chip().Peek(0x824E), status[0]);
    }
    EXPECT_NE(0x80, status[0]);
    clock_->Advance(2000);
    EXPECT_EQ(0xC3, ReadChipReg8(0x2002));
  }
}

}  // namespace
