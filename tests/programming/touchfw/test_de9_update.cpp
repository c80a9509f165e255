// The DE9vur engine on the simulated chip: full burns checked byte for byte
// in the simulated flash, the file layouts it refuses, the register
// sequences of the section burners, and what each fault does.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/programming/FwTestRig.h"
#include "programming/touchfw/DE9vur/C9xxxUpdate.h"

namespace {

using namespace fw_test;

const std::vector<std::string> kFullBurnLines = {
    "[VAzezu]烧录初始化",         "[VAzezu]下载ISP",        "[VAzezu]擦除Bootloader",
    "[VAzezu]下载SS51固件",       "[VAzezu]下载DSP固件",    "[VAzezu]下载glink固件",
    "[VAzezu]下载Bootlaoder固件", "[VAzezu]下载Bootisp固件"};

C9xxxUpdate& Engine(De9Rig& rig) { return static_cast<C9xxxUpdate&>(*rig.engine); }

// The flash holds the file's sections; the optional ones only when present.
void ExpectFlashHolds(const sim::SimChipDe9& chip, const std::vector<uint8_t>& file) {
  const sim::De9Flash flash = chip.Flash();
  const size_t body = file.size() - 0x1000;
  EXPECT_EQ(flash.ss51, Slice(file, 0x000E, 0x8000));
  EXPECT_EQ(flash.dsp, Slice(file, 0x800E, 0x1000));
  EXPECT_EQ(flash.boot, Slice(file, 0x900E, 0x800));
  EXPECT_EQ(flash.bootIsp,
            body >= 0xA00E ? Slice(file, 0x980E, 0x800) : std::vector<uint8_t>(0x800, 0xFF));
  EXPECT_EQ(flash.link,
            body >= 0xD00E ? Slice(file, 0xA00E, 0x3000) : std::vector<uint8_t>(0x3000, 0xFF));
  EXPECT_EQ(chip.LoaderImage(), Slice(file, body, 0x1000));
  EXPECT_TRUE(chip.Finished());
  EXPECT_EQ(0u, chip.Violations());
}

TEST(De9Update, BurnsEveryLayoutByteForByte) {
  struct Case {
    size_t length;
    std::vector<uint8_t> commands;
  } cases[] = {
      {sim::kDe9LengthMinimal, {6, 1, 2, 3, 4, 5, 6}},
      {sim::kDe9LengthBootIsp, {6, 1, 2, 3, 4, 5, 6, 7}},
      {sim::kDe9LengthFull, {6, 1, 2, 3, 4, 5, 8, 9, 6, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    De9Rig rig(sim::ChipFamily::RU9);
    const auto file = sim::MakeDe9Firmware(c.length, De9Identity(0x1234));
    ASSERT_TRUE(rig.Load(file));
    ASSERT_TRUE(rig.engine->Update()) << ::testing::PrintToString(rig.log.Texts());
    ExpectFlashHolds(*rig.personality, file);

    std::vector<uint8_t> commands;
    for (const sim::De9Burn& burn : rig.personality->Burns()) commands.push_back(burn.command);
    EXPECT_EQ(c.commands, commands);
    // The bootloader is blanked before anything else is burnt.
    EXPECT_EQ(std::vector<uint8_t>(0x800, 0xFF), rig.personality->Burns().front().data);

    std::vector<std::string> expected = kFullBurnLines;
    EXPECT_EQ(expected, rig.log.Texts());
    EXPECT_TRUE(rig.log.Errors().empty());
    // 264 ms of fixed pauses on the full layout; the optional burns' pauses go with them.
    const int64_t pauses = 4 * 10 + 1 + 1 + 1 + 200 + (c.length >= sim::kDe9LengthBootIsp ? 1 : 0) +
                           (c.length >= sim::kDe9LengthFull ? 2 * 10 : 0);
    EXPECT_EQ(pauses, rig.clock.SleptMs());

    // After the reset the chip runs the new firmware.
    EXPECT_TRUE(rig.engine->IsChipMatch());
    EXPECT_EQ("RO9110V_1234", GetChipNameVersion());
  }
}

TEST(De9Update, RefusesLayoutsItCannotBurnWithoutTouchingTheChip) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    const char* line;
  };
  auto sized = [](size_t length) { return sim::MakeDe9Firmware(length, De9Identity()); };
  std::vector<uint8_t> unprintable = sized(sim::kDe9LengthFull);
  unprintable[5] = 0x07;
  std::vector<uint8_t> nameless = sized(sim::kDe9LengthFull);
  nameless[4] = 0;
  const Case cases[] = {
      {"header only", sized(13), "[VAzezu]固件文件长度错误"},
      {"no room for the loader", sized(0x980E), "[VAzezu]固件文件长度错误"},
      {"sections end inside the bootloader", sized(0xA00E), "[VAzezu]固件文件长度错误"},
      {"sections end inside boot_isp", sized(0xA80E + 0x400), "[VAzezu]固件文件长度错误"},
      {"sections end after link 1", sized(0xC00E + 0x1000), "[VAzezu]固件文件长度错误"},
      {"sections end inside link", sized(0xC00E), "[VAzezu]固件文件长度错误"},
      {"sections end inside link 2", sized(0xD00E), "[VAzezu]固件文件长度错误"},
      {"one byte too long", sized(sim::kDe9LengthFull + 1), "[VAzezu]固件文件长度错误"},
      {"one byte short", sized(sim::kDe9LengthMinimal - 1), "[VAzezu]固件文件长度错误"},
      {"control character in the name", unprintable, "[VAzezu]固件文件芯片名错误"},
      {"empty name", nameless, "[VAzezu]固件文件芯片名错误"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    De9Rig rig(sim::ChipFamily::RU9);
    ASSERT_TRUE(rig.Load(c.file));
    EXPECT_FALSE(rig.engine->IsChipMatch());
    EXPECT_FALSE(rig.engine->Update());
    EXPECT_EQ(std::vector<std::string>{c.line}, rig.log.Texts());
    EXPECT_EQ(0u, rig.access.Requests());
  }
}

// The register writes (address, value) of the one-byte writes in a trace.
std::vector<std::pair<uint16_t, int>> Writes(const std::vector<Access>& trace) {
  std::vector<std::pair<uint16_t, int>> out;
  for (const Access& a : trace) {
    if (a.op == Op::Write && a.length == 1) out.emplace_back(a.address, a.bytes[0]);
    if (a.op == Op::Write && a.length > 1) out.emplace_back(a.address, -static_cast<int>(a.length));
    if (a.op == Op::Read && a.length > 1) out.emplace_back(a.address, -1);
  }
  return out;
}

TEST(De9Update, SectionBurnersWriteTheirBankAndCommand) {
  De9Rig rig(sim::ChipFamily::RU9);
  const auto file = sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity());
  ASSERT_TRUE(rig.Load(file));
  C9xxxUpdate& engine = Engine(rig);
  ASSERT_TRUE(engine.HoldChip());
  ASSERT_TRUE(engine.DownloadIsp());
  ASSERT_TRUE(engine.EraseBootloader());
  rig.access.ClearTrace();

  ASSERT_TRUE(engine.BurnFwSection8k(std::span(file).subspan(0x400E, 0x2000), 0xC000, 0x13));
  // Negative values: a block write of that many bytes (or -1: a read-back).
  const std::vector<std::pair<uint16_t, int>> section8k = {
      {0x4180, 0x0C}, {0x4218, 0}, {0x4048, 1}, {0x4049, 1},  {0xC000, -0x2000}, {0x4180, 0x04},
      {0x5094, 3},    {0x4048, 1}, {0x4049, 1}, {0xC000, -1}, {0x4049, 0}};
  EXPECT_EQ(section8k, Writes(rig.access.Trace()));
  EXPECT_EQ(3u, rig.personality->Burns().back().command);

  rig.access.ClearTrace();
  ASSERT_TRUE(engine.BurnFwSection(std::span(file).subspan(0xA00E, 0x2000), 0x38));
  const std::vector<std::pair<uint16_t, int>> section = {
      {0x4180, 0x0C},    {0x4218, 0}, {0x4180, 0x04}, {0x4048, 3},
      {0x9000, -0x2000}, {0x5094, 8}, {0x9000, -1}};
  EXPECT_EQ(section, Writes(rig.access.Trace()));
  EXPECT_EQ(8u, rig.personality->Burns().back().command);
  EXPECT_EQ(0u, rig.personality->Violations());
}

TEST(De9Update, HoldNeedsThe0x0CToTakeWithin30Writes) {
  for (unsigned difficulty : {1u, 30u, 31u}) {
    SCOPED_TRACE(difficulty);
    De9Rig rig(sim::ChipFamily::RU9);
    rig.personality->SetHoldDifficulty(difficulty);
    ASSERT_TRUE(rig.Load(sim::MakeDe9Firmware(sim::kDe9LengthMinimal, De9Identity())));
    const bool ok = rig.engine->Update();
    EXPECT_EQ(difficulty <= 30, ok);
    if (!ok) {
      EXPECT_EQ((std::vector<std::string>{"[VAzezu]烧录初始化", "[VAzezu]I2C通信失败"}),
                rig.log.Texts());
      EXPECT_FALSE(rig.access.WroteTo(0x4190));  // no step after the hold
    }
  }
}

TEST(De9Update, HoldFailsWhenTheWatchdogStaysOn) {
  De9Rig rig(sim::ChipFamily::RU9);
  rig.personality->SetWatchdogStuck(true);
  ASSERT_TRUE(rig.Load(sim::MakeDe9Firmware(sim::kDe9LengthMinimal, De9Identity())));
  EXPECT_FALSE(rig.engine->Update());
  EXPECT_EQ(std::vector<std::string>{"[VAzezu]I2C通信失败"}, rig.log.Errors());
  EXPECT_FALSE(rig.access.WroteTo(0x4190));
}

TEST(De9Update, CommandNeverDoneFailsItsStepAfterTheWholePoll) {
  struct Case {
    uint8_t command;
    const char* failure;
  } cases[] = {
      {6, "[VAzezu]擦除Bootloader失败"},  {1, "[VAzezu]下载SS51固件失败"},
      {4, "[VAzezu]下载SS51固件失败"},    {5, "[VAzezu]下载DSP固件失败"},
      {8, "[VAzezu]下载glink固件"},       {9, "[VAzezu]下载glink固件"},
      {7, "[VAzezu]下载Bootisp固件失败"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.command));
    De9Rig rig(sim::ChipFamily::RU9);
    rig.personality->SetCommandNeverDone(c.command);
    ASSERT_TRUE(rig.Load(sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity())));
    const int64_t before = rig.clock.NowMs();
    EXPECT_FALSE(rig.engine->Update());
    EXPECT_TRUE(rig.log.Has(c.failure, LOG_ERROR)) << ::testing::PrintToString(rig.log.Texts());
    EXPECT_EQ(1u, rig.log.Errors().size());
    // The poll ran its 1000 reads and at least its 4 s.
    EXPECT_GE(rig.access.ReadsOf(0x5094), 1000u);
    EXPECT_GE(rig.clock.NowMs() - before, 4000);
    EXPECT_FALSE(rig.personality->Finished());
  }
}

TEST(De9Update, FlashWriteErrorIsCaughtByTheReadBack) {
  De9Rig rig(sim::ChipFamily::RU9);
  rig.personality->CorruptNextFlashWrite(3);
  ASSERT_TRUE(rig.Load(sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity())));
  EXPECT_FALSE(rig.engine->Update());
  EXPECT_EQ(std::vector<std::string>{"[VAzezu]下载SS51固件失败"}, rig.log.Errors());
  EXPECT_FALSE(rig.personality->Finished());
}

TEST(De9Update, LateCompletionIsWaitedFor) {
  De9Rig rig(sim::ChipFamily::RU9);
  rig.personality->SetCompletionDelay(700);
  const auto file = sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity());
  ASSERT_TRUE(rig.Load(file));
  ASSERT_TRUE(rig.engine->Update());
  ExpectFlashHolds(*rig.personality, file);
}

TEST(De9Update, FailedFinishIsNoSuccess) {
  // Clean run first, to find the finishing write's request.
  const auto file = sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity());
  size_t total = 0;
  {
    De9Rig clean(sim::ChipFamily::RU9);
    ASSERT_TRUE(clean.Load(file));
    ASSERT_TRUE(clean.engine->Update());
    total = clean.access.Requests();
  }
  for (size_t at : {total - 1, total}) {  // the 0x99 write, the reset
    SCOPED_TRACE(at);
    De9Rig rig(sim::ChipFamily::RU9);
    ASSERT_TRUE(rig.Load(file));
    rig.access.Inject(Fault::Drop, at);
    EXPECT_FALSE(rig.engine->Update());
    EXPECT_EQ(std::vector<std::string>{"[VAzezu]烧录结束复位失败"}, rig.log.Errors());
  }
}

// Where each step of a clean full burn starts and ends, by request number.
struct StepSpan {
  std::string line;  // its start line; "finish" for the finishing write and reset
  size_t first;
  size_t last;
};

std::vector<StepSpan> De9Steps(const std::vector<uint8_t>& file) {
  De9Rig rig(sim::ChipFamily::RU9);
  EXPECT_TRUE(rig.Load(file));
  EXPECT_TRUE(rig.engine->Update());
  const std::vector<LogLine> lines = rig.log.Lines();
  const size_t total = rig.access.Requests();
  std::vector<StepSpan> steps;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t next = i + 1 < lines.size() ? lines[i + 1].request : total - 2;
    steps.push_back({lines[i].text, lines[i].request + 1, next});
  }
  steps.push_back({"finish", total - 1, total});
  return steps;
}

TEST(De9Update, InterruptedBurnCompletesOnTheNextRun) {
  const auto file = sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity());
  size_t ss51 = 0;
  for (const StepSpan& step : De9Steps(file)) {
    if (step.line == "[VAzezu]下载SS51固件") ss51 = (step.first + step.last) / 2;
  }
  De9Rig rig(sim::ChipFamily::RU9);
  ASSERT_TRUE(rig.Load(file));
  rig.access.Inject(Fault::Unplug, ss51);
  EXPECT_FALSE(rig.engine->Update());
  EXPECT_EQ(std::vector<std::string>{"[VAzezu]下载SS51固件失败"}, rig.log.Errors());
  rig.access.Replug();
  ASSERT_TRUE(rig.engine->Update());
  ExpectFlashHolds(*rig.personality, file);
}

TEST(De9UpdateFaults, PersistentFaultsNeverEndAsSuccess) {
  const auto file = sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity());
  for (const StepSpan& step : De9Steps(file)) {
    for (Fault fault : {Fault::Unplug, Fault::Silence, Fault::CorruptFrom}) {
      // A write has no answer on this bridge: once the last read-back has
      // passed, a bridge that goes silent cannot be told from one that works.
      if (step.line == "finish" && fault != Fault::Unplug) continue;
      for (size_t at : {step.first, (step.first + step.last) / 2}) {
        SCOPED_TRACE(step.line + " request " + std::to_string(at) + " fault " +
                     std::to_string(static_cast<int>(fault)));
        De9Rig rig(sim::ChipFamily::RU9);
        ASSERT_TRUE(rig.Load(file));
        rig.access.Inject(fault, at);
        const int64_t before = rig.clock.NowMs();
        const bool ok = rig.engine->Update();
        if (fault == Fault::CorruptFrom && at >= step.last) continue;  // nothing read after it
        EXPECT_FALSE(ok);
        EXPECT_EQ(1u, rig.log.Errors().size()) << ::testing::PrintToString(rig.log.Texts());
        // Gives up within the time of one poll window and a few time-outs.
        EXPECT_LT(rig.clock.NowMs() - before, 20000);
      }
    }
  }
}

TEST(De9UpdateFaults, OneShotFaultsAtRetriedStepsStillBurnExactly) {
  const auto file = sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity());
  std::vector<Access> clean;
  {
    De9Rig rig(sim::ChipFamily::RU9);
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
      {"a lost hold write", Fault::Drop, nth(Op::Write, 0x4180, 5)},
      {"a lost watchdog write in the hold loop", Fault::Drop, nth(Op::Write, 0x40B0, 1)},
      {"the loader's first read-back corrupt", Fault::Corrupt, nth(Op::Read, 0xC000, 1)},
      {"SS51 section 3's first read-back corrupt", Fault::Corrupt, nth(Op::Read, 0xC000, 3)},
      {"the link's first read-back corrupt", Fault::Corrupt, nth(Op::Read, 0x9000, 2)},
      {"one completion read timed out", Fault::Drop, nth(Op::Read, 0x5094, 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NE(0u, c.request);
    De9Rig rig(sim::ChipFamily::RU9);
    ASSERT_TRUE(rig.Load(file));
    rig.access.Inject(c.fault, c.request);
    ASSERT_TRUE(rig.engine->Update()) << ::testing::PrintToString(rig.log.Texts());
    ExpectFlashHolds(*rig.personality, file);
  }
}

}  // namespace
