// The ZE73da engine on the simulated chip: a full burn checked byte for byte
// in the simulated flash and in its chunks, the ISP check, the hold with its
// reset, the loader's handshake faults and interrupted burns.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/programming/FwTestRig.h"
#include "programming/touchfw/ZE73da/C73xxUpdate.h"
#include "programming/touchfw/ZE73da/Ze73Layout.h"

namespace {

using namespace fw_test;

C73xxUpdate& Engine(De7Rig& rig) { return static_cast<C73xxUpdate&>(*rig.engine); }

void ExpectFlashHolds(const sim::SimChipDe7& chip, const std::vector<uint8_t>& file,
                      const std::vector<uint8_t>& before) {
  const std::vector<uint8_t> flash = chip.Flash();
  std::vector<uint8_t> expected = before;
  auto put = [&](size_t offset, size_t address, size_t length) {
    std::copy(file.begin() + static_cast<std::ptrdiff_t>(offset),
              file.begin() + static_cast<std::ptrdiff_t>(offset + length),
              expected.begin() + static_cast<std::ptrdiff_t>(address));
  };
  put(0x1900, 0x00000, 0x1F000);
  put(0x22900, 0x20000, 0x8000);
  put(0x20900, 0x28000, 0x2000);
  put(0x2A900, 0x2A000, 0x4000);
  put(0x1100, 0x3D000, 0x800);
  EXPECT_TRUE(flash == expected) << "flash differs";  // every other byte unchanged
  EXPECT_EQ(chip.IspSram(), Slice(file, 0x100, 0x1000));
}

TEST(Ze73Update, BurnsTheFileByteForByte) {
  De7Rig rig(sim::ChipFamily::DE7);
  const auto file = sim::MakeZe73Firmware(De7Identity(0x0203));
  const auto before = rig.personality->Flash();
  ASSERT_TRUE(rig.Load(file));
  ASSERT_TRUE(rig.engine->Update()) << ::testing::PrintToString(rig.log.Texts());
  ExpectFlashHolds(*rig.personality, file, before);
  EXPECT_EQ((std::vector<std::string>{"下载ISP", "下载Bootcode", "下载 Gm11 code", "下载 G1 code"}),
            rig.log.Texts());
  EXPECT_EQ(850, rig.clock.SleptMs());

  // 24 chunks: Bootcode, Gm11 in 15 x 8 KiB and 4 KiB, G1 in 7 x 8 KiB with
  // the 0x28000 block fifth.
  const std::vector<sim::De7Chunk> chunks = rig.personality->Chunks();
  ASSERT_EQ(24u, chunks.size());
  EXPECT_EQ(0x800u, chunks[0].length);
  EXPECT_EQ(0x3D000u, chunks[0].address);
  for (int i = 1; i <= 15; ++i) {
    EXPECT_EQ(0x2000u, chunks[i].length);
    EXPECT_EQ(static_cast<uint32_t>((i - 1) * 0x2000), chunks[i].address);
  }
  EXPECT_EQ(0x1000u, chunks[16].length);
  EXPECT_EQ(0x1E000u, chunks[16].address);
  for (int i = 17; i < 24; ++i) {
    EXPECT_EQ(0x2000u, chunks[i].length);
    EXPECT_EQ(static_cast<uint32_t>(0x20000 + (i - 17) * 0x2000), chunks[i].address);
  }
  EXPECT_EQ(1u, rig.personality->Restarts());
  EXPECT_EQ(sim::SimChipDe7::State::Running, rig.personality->CurrentState());

  // The restarted chip runs the new firmware.
  EXPECT_TRUE(rig.engine->IsChipMatch());
  EXPECT_EQ("RO7387Z_02.03", GetChipNameVersion());
}

TEST(Ze73Update, ChunkHeaderCarriesLengthAddressAndWordSum) {
  const std::vector<uint8_t> blank(0x800, 0xFF);
  const auto header = ze73::ChunkHeader(blank, 0x3D000);
  EXPECT_EQ(
      (std::array<uint8_t, 12>{0x00, 0x08, 0, 0, 0x00, 0xD0, 0x03, 0, 0x00, 0xFE, 0xFF, 0xFF}),
      header);
  // A last partial word counts as if padded with zeros.
  const std::vector<uint8_t> odd = {1, 0, 0, 0, 2};
  EXPECT_EQ(3, ze73::ChunkHeader(odd, 0)[8]);
}

TEST(Ze73Update, RefusesFilesOfAnotherLayoutWithoutTouchingTheChip) {
  auto file = [](size_t length) { return sim::MakeZe73Firmware(De7Identity(), length); };
  std::vector<uint8_t> unprintable = file(sim::kZe73Length);
  unprintable[0x14] = 0x80;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* line;
  } cases[] = {
      {"header only", file(0x100), "[FW update]固件文件长度错误"},
      {"one byte short", file(sim::kZe73Length - 1), "[FW update]固件文件长度错误"},
      {"one byte long", file(sim::kZe73Length + 1), "[FW update]固件文件长度错误"},
      {"a DE9vur file", sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity()),
       "[FW update]固件文件长度错误"},
      {"name not text", unprintable, "[FW update]固件文件芯片名错误"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    De7Rig rig(sim::ChipFamily::DE7);
    ASSERT_TRUE(rig.Load(c.bytes));
    EXPECT_FALSE(rig.engine->IsChipMatch());
    EXPECT_FALSE(rig.engine->Update());
    EXPECT_EQ(std::vector<std::string>{c.line}, rig.log.Texts());
    EXPECT_EQ(0u, rig.access.Requests());
  }
}

TEST(Ze73Update, IspThatDoesNotReadBackIsNeverStarted) {
  De7Rig rig(sim::ChipFamily::DE7);
  ASSERT_TRUE(rig.Load(sim::MakeZe73Firmware(De7Identity())));
  // The read-back of the ISP comes right after its write.
  size_t ispWrite = 0;
  {
    De7Rig clean(sim::ChipFamily::DE7);
    ASSERT_TRUE(clean.Load(sim::MakeZe73Firmware(De7Identity())));
    ASSERT_TRUE(Engine(clean).HoldChip());
    ispWrite = clean.access.Requests() + 1;
  }
  rig.access.Inject(Fault::Corrupt, ispWrite + 1);
  EXPECT_FALSE(rig.engine->Update());
  EXPECT_EQ(std::vector<std::string>{"ISP下载失败"}, rig.log.Errors());
  EXPECT_FALSE(rig.access.WroteTo(0xF7CC));
  EXPECT_EQ(sim::SimChipDe7::State::Held, rig.personality->CurrentState());
}

TEST(Ze73Update, HoldRetriesAfterOneReset) {
  struct Case {
    const char* what;
    unsigned difficulty;
    bool needsReset;
    bool held;
    size_t holdWrites;
  } cases[] = {
      {"held at once", 1, false, true, 1},
      {"held only after a reset", 1, true, true, 30},
      {"held on the last attempt before the reset", 29, false, true, 29},
      {"held on the last attempt after the reset", 29, true, true, 58},
      {"never held", 30, true, false, 58},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    De7Rig rig(sim::ChipFamily::DE7);
    rig.personality->SetHoldDifficulty(c.difficulty);
    rig.personality->SetHoldNeedsReset(c.needsReset);
    ASSERT_TRUE(rig.Load(sim::MakeZe73Firmware(De7Identity())));
    EXPECT_EQ(c.held, Engine(rig).HoldChip());
    size_t holdWrites = 0;
    size_t resets = 0;
    for (const Access& a : rig.access.Trace()) {
      if (a.op == Op::Write && a.address == 0x4180 && a.bytes[0] == 0x0C) ++holdWrites;
      if (a.op == Op::Reset) ++resets;
    }
    EXPECT_EQ(c.holdWrites, holdWrites);
    EXPECT_EQ(c.holdWrites > 29 ? 1u : 0u, resets);
  }
}

TEST(Ze73Update, FailedHoldGoesOnAndTheLoaderDecides) {
  struct Case {
    const char* what;
    unsigned difficulty;
    size_t droppedRequest;  // 0: none
  } cases[] = {
      {"never held", 30, 0}, {"stream start lost", 1, 2},  // request 1 is the stream parameter
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    De7Rig rig(sim::ChipFamily::DE7);
    rig.personality->SetHoldDifficulty(c.difficulty);
    rig.personality->SetHoldNeedsReset(true);
    if (c.droppedRequest != 0) rig.access.Inject(Fault::Drop, c.droppedRequest);
    ASSERT_TRUE(rig.Load(sim::MakeZe73Firmware(De7Identity())));
    EXPECT_FALSE(rig.engine->Update());
    EXPECT_TRUE(rig.log.Has("芯片暂停失败，继续下载", LOG_INFO));
    EXPECT_TRUE(rig.access.WroteTo(0x8000));
    EXPECT_EQ(std::vector<std::string>{"ISP下载失败"}, rig.log.Errors());
    EXPECT_TRUE(rig.personality->Chunks().empty());
  }
}

TEST(Ze73Update, ChunkCorruptedInTransitFailsOnTheFlashHandshake) {
  De7Rig rig(sim::ChipFamily::DE7);
  rig.personality->CorruptChunk(3);  // a Gm11 chunk
  ASSERT_TRUE(rig.Load(sim::MakeZe73Firmware(De7Identity())));
  EXPECT_FALSE(rig.engine->Update());
  EXPECT_EQ(std::vector<std::string>{"Gm11 code download failed"}, rig.log.Errors());
  EXPECT_GE(rig.access.ReadsOf(0x4197), 3u + 50u);
  EXPECT_EQ(3u, rig.personality->Chunks().size());
}

TEST(Ze73Update, StatusThatNeverComesFailsItsStep) {
  struct Case {
    uint16_t address;
    const char* failure;
    uint32_t reads;
  } cases[] = {
      {0x4195, "ISP下载失败", 500},
      {0x4197, "Bootcode下载失败", 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failure);
    De7Rig rig(sim::ChipFamily::DE7);
    rig.personality->SetNeverAnswers(c.address);
    ASSERT_TRUE(rig.Load(sim::MakeZe73Firmware(De7Identity())));
    EXPECT_FALSE(rig.engine->Update());
    EXPECT_EQ(std::vector<std::string>{c.failure}, rig.log.Errors());
    EXPECT_GE(rig.access.ReadsOf(c.address), c.reads);
    EXPECT_GE(rig.clock.NowMs(), PollFloorMs(c.reads));
  }
}

TEST(Ze73Update, LateAnswersAreWaitedFor) {
  De7Rig rig(sim::ChipFamily::DE7);
  rig.personality->SetAnswerDelay(40);
  const auto file = sim::MakeZe73Firmware(De7Identity());
  const auto before = rig.personality->Flash();
  ASSERT_TRUE(rig.Load(file));
  ASSERT_TRUE(rig.engine->Update());
  ExpectFlashHolds(*rig.personality, file, before);
}

TEST(Ze73Update, InterruptedBurnCompletesOnTheNextRun) {
  De7Rig rig(sim::ChipFamily::DE7);
  const auto file = sim::MakeZe73Firmware(De7Identity());
  const auto before = rig.personality->Flash();
  ASSERT_TRUE(rig.Load(file));
  // Unplugged while the 10th Gm11 chunk goes out.
  size_t at = 0;
  {
    De7Rig clean(sim::ChipFamily::DE7);
    ASSERT_TRUE(clean.Load(file));
    ASSERT_TRUE(clean.engine->Update());
    int headers = 0;
    for (size_t i = 0; i < clean.access.Trace().size() && at == 0; ++i) {
      if (clean.access.Trace()[i].address == 0xFFF0 && ++headers == 11) at = i + 3;
    }
  }
  rig.access.Inject(Fault::Unplug, at);
  EXPECT_FALSE(rig.engine->Update());
  EXPECT_EQ(std::vector<std::string>{"Gm11 code download failed"}, rig.log.Errors());
  EXPECT_EQ(sim::SimChipDe7::State::IspRunning, rig.personality->CurrentState());
  // Plugged back in with the loader still running.
  rig.access.Replug();
  ASSERT_TRUE(rig.engine->Update()) << ::testing::PrintToString(rig.log.Texts());
  ExpectFlashHolds(*rig.personality, file, before);
}

TEST(Ze73UpdateFaults, PersistentFaultsNeverEndAsSuccess) {
  const auto file = sim::MakeZe73Firmware(De7Identity());
  std::vector<LogLine> lines;
  size_t total = 0;
  {
    De7Rig clean(sim::ChipFamily::DE7);
    ASSERT_TRUE(clean.Load(file));
    ASSERT_TRUE(clean.engine->Update());
    lines = clean.log.Lines();
    total = clean.access.Requests();
  }
  // The hold, each logged step (start and middle) and the restart.
  std::vector<size_t> points = {1, 5};
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t next = i + 1 < lines.size() ? lines[i + 1].request : total - 4;
    points.push_back(lines[i].request + 1);
    points.push_back((lines[i].request + 1 + next) / 2);
  }
  points.push_back(total - 3);
  points.push_back(total - 2);
  for (size_t at : points) {
    for (Fault fault : {Fault::Unplug, Fault::Silence}) {
      // Writes have no answer: once the restart's read of 0x8000 has been
      // answered, a silent bridge cannot be told from one that works.
      if (fault == Fault::Silence && at > total - 2) continue;
      SCOPED_TRACE("request " + std::to_string(at) + " fault " +
                   std::to_string(static_cast<int>(fault)));
      De7Rig rig(sim::ChipFamily::DE7);
      ASSERT_TRUE(rig.Load(file));
      rig.access.Inject(fault, at);
      EXPECT_FALSE(rig.engine->Update());
      EXPECT_EQ(1u, rig.log.Errors().size()) << ::testing::PrintToString(rig.log.Texts());
      EXPECT_LT(rig.clock.NowMs(), 20000);
    }
  }
}

TEST(Ze73UpdateFaults, OneShotFaultsAtRetriedStepsStillBurnExactly) {
  const auto file = sim::MakeZe73Firmware(De7Identity());
  std::vector<Access> clean;
  {
    De7Rig rig(sim::ChipFamily::DE7);
    rig.personality->SetHoldDifficulty(3);
    rig.personality->SetAnswerDelay(2);
    ASSERT_TRUE(rig.Load(file));
    ASSERT_TRUE(rig.engine->Update());
    clean = rig.access.Trace();
  }
  auto nth = [&](Op op, uint16_t address, int n) { return NthRequest(clean, op, address, n); };
  struct Case {
    const char* what;
    Fault fault;
    size_t request;
  } cases[] = {
      {"a hold read timed out", Fault::Drop, nth(Op::Read, 0x4180, 1)},
      {"a hold read corrupt", Fault::Corrupt, nth(Op::Read, 0x4180, 2)},
      {"a loader-ready read timed out", Fault::Drop, nth(Op::Read, 0x4195, 1)},
      {"a flash-done read timed out", Fault::Drop, nth(Op::Read, 0x4197, 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NE(0u, c.request);
    De7Rig rig(sim::ChipFamily::DE7);
    rig.personality->SetHoldDifficulty(3);
    rig.personality->SetAnswerDelay(2);
    const auto before = rig.personality->Flash();
    ASSERT_TRUE(rig.Load(file));
    rig.access.Inject(c.fault, c.request);
    ASSERT_TRUE(rig.engine->Update()) << ::testing::PrintToString(rig.log.Texts());
    ExpectFlashHolds(*rig.personality, file, before);
  }
}

TEST(Ze73Update, FailedRestartIsNoSuccess) {
  const auto file = sim::MakeZe73Firmware(De7Identity());
  size_t total = 0;
  {
    De7Rig clean(sim::ChipFamily::DE7);
    ASSERT_TRUE(clean.Load(file));
    ASSERT_TRUE(clean.engine->Update());
    total = clean.access.Requests();
  }
  // The hold write, the read of 0x8000, 0x8041, 0x8040.
  for (size_t at : {total - 3, total - 2, total - 1, total}) {
    SCOPED_TRACE(at);
    De7Rig rig(sim::ChipFamily::DE7);
    ASSERT_TRUE(rig.Load(file));
    rig.access.Inject(Fault::Drop, at);
    EXPECT_FALSE(rig.engine->Update());
    EXPECT_EQ(std::vector<std::string>{"复位失败"}, rig.log.Errors());
  }
  // A bridge that goes silent at the read: the writes after it would still
  // "succeed", and the chip would stay in its loader.
  De7Rig rig(sim::ChipFamily::DE7);
  ASSERT_TRUE(rig.Load(file));
  rig.access.Inject(Fault::Silence, total - 2);
  EXPECT_FALSE(rig.engine->Update());
  EXPECT_EQ(std::vector<std::string>{"复位失败"}, rig.log.Errors());
  EXPECT_EQ(0u, rig.personality->Restarts());
}

}  // namespace
