// The update base: loading firmware files, the file's name and version, the
// engines' chip check against the chip's id block, the factory and the
// engines' poll.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/programming/FwTestRig.h"
#include "device/chip/ChipHooks.h"
#include "device/chip/ChipIdentify.h"

namespace {

using namespace fw_test;
using platform::testing_support::ScratchDir;

TEST(FwUpdateLoad, FailuresLogOneLineAndLeaveNoImage) {
  ScratchDir dir;
  const auto good =
      WriteFile(dir, "good.bin", sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity()));
  const auto empty = WriteFile(dir, "empty.bin", {});
  const auto huge = dir / "huge.bin";
  WriteFile(dir, "huge.bin", {1});
  std::filesystem::resize_file(huge, kMaxFirmwareFileBytes + 1);
  struct Case {
    const char* what;
    std::filesystem::path path;
    std::string line;
  } cases[] = {
      {"missing", dir / "missing.bin", (dir / "missing.bin").string() + "打开失败"},
      {"a folder", dir.path(), dir.path().string() + "打开失败"},
      {"empty", empty, "[FW update]Read File err"},
      {"larger than any firmware", huge, "[FW update]Read File err"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    De9Rig rig(sim::ChipFamily::RU9);
    ASSERT_TRUE(rig.engine->LoadFirmwareFile(good));
    EXPECT_FALSE(rig.engine->LoadFirmwareFile(c.path));
    EXPECT_EQ((std::vector<std::string>{c.line}), rig.log.Errors());
    // The image of the earlier load is gone too: nothing can be burnt.
    EXPECT_FALSE(rig.engine->IsLoaded());
    EXPECT_FALSE(rig.engine->IsChipMatch());
    EXPECT_FALSE(rig.engine->Update());
    EXPECT_TRUE(rig.log.Has("[FW update]未加载有效的固件文件", LOG_ERROR));
    EXPECT_EQ(0u, rig.access.Requests());
  }
}

TEST(FwUpdateLoad, ReloadReplacesTheImageAndKeepsPathAndTime) {
  ScratchDir dir;
  const auto first =
      WriteFile(dir, "a.bin", sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity(0x1060)));
  const auto second =
      WriteFile(dir, "b.bin", sim::MakeDe9Firmware(sim::kDe9LengthMinimal, De9Identity(0x1061)));
  auto engine = CreateFwUpdate(FwFamily::DE9vur, nullptr);
  ASSERT_TRUE(engine->LoadFirmwareFile(first));
  ASSERT_TRUE(engine->LoadFirmwareFile(second));
  EXPECT_EQ(sim::kDe9LengthMinimal, engine->Image().size());
  EXPECT_EQ("RO9110V_1061", engine->GetFileChipVersion());
  EXPECT_EQ(second, engine->FwPath());
  EXPECT_EQ(std::filesystem::last_write_time(second), engine->LastWriteTime());
  // Without a log sink failures are still results.
  EXPECT_FALSE(engine->LoadFirmwareFile(dir / "missing.bin"));
  EXPECT_FALSE(engine->Update());
}

TEST(FwUpdateFile, NameAndVersionOfTheHeader) {
  auto de9 = [](std::vector<uint8_t> name, uint8_t high, uint8_t low) {
    std::vector<uint8_t> file(sim::kDe9LengthFull, 0);
    std::copy(name.begin(), name.end(), file.begin() + 4);
    file[12] = high;
    file[13] = low;
    return file;
  };
  auto ze73 = [](std::vector<uint8_t> name, uint8_t major, uint8_t minor) {
    std::vector<uint8_t> file(sim::kZe73Length, 0);
    std::copy(name.begin(), name.end(), file.begin() + 0x13);
    file[0x19] = major;
    file[0x1A] = minor;
    return file;
  };
  struct Case {
    FwFamily family;
    std::vector<uint8_t> file;
    std::string expected;
  } cases[] = {
      {FwFamily::DE9vur, de9({'9', '1', '1', '0', 'V'}, 0x01, 0x05), "RO9110V_ 105"},
      {FwFamily::DE9vur, de9({'9', '1', '1', '1', 0}, 0x10, 0x60), "RO9110V_1060"},
      {FwFamily::DE9vur, de9({'6', '5', '7', '2', 0}, 0x10, 0x60), "VE6572_1060"},
      {FwFamily::DE9vur, de9({'9', '1', '1', 0, 0}, 0xAB, 0xCD), "RO911_ABCD"},
      {FwFamily::DE9vur, std::vector<uint8_t>(13, '9'), ""},
      {FwFamily::ZE73da, ze73({'7', '3', '8', '8'}, 0x01, 0x02), "RO7387Z_01.02"},
      {FwFamily::ZE73da, ze73({'7', '3', '8', '5'}, 0x0A, 0xFF), "RO7385_0A.FF"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    auto engine = CreateFwUpdate(c.family, nullptr);
    ASSERT_TRUE(engine->LoadFirmwareFile(WriteFile(dir, "fw.bin", c.file)));
    EXPECT_EQ(c.expected, engine->GetFileChipVersion());
  }
}

TEST(FwUpdateFactory, EngineOfTheFamily) {
  EXPECT_EQ(FwFamily::DE9vur, CreateFwUpdate(FwFamily::DE9vur, nullptr)->Family());
  EXPECT_EQ(FwFamily::ZE73da, CreateFwUpdate(FwFamily::ZE73da, nullptr)->Family());
  // Without a bridge the chip is taken for the DE9vur family.
  EXPECT_EQ(FwFamily::DE9vur, FwFamilyOfConnectedChip());
  EXPECT_EQ(FwFamily::DE9vur, CreateFwUpdateForConnectedChip(nullptr)->Family());
}

class RecordingChipEvents : public IChipEvents {
 public:
  bool IsReady() override { return true; }
  void OnChipChanged() override { ++changes; }
  int changes = 0;
};

// The engines' chip check: the chip's id block names the chip (through the
// one name table, on both sides), the versions are always compared, and the
// window hears of a listed chip only when the name changed.
TEST(FwUpdateChipMatch, De9Table) {
  struct Case {
    const char* what;
    std::string chipId;
    uint16_t chipVersion;
    std::string fileName;
    uint16_t fileVersion;
    std::string previous;
    bool match;
    std::string chipNameVersion;
    int changes;
  } cases[] = {
      {"listed, same version", "9111", 0x1060, "9110V", 0x1060, "RO9110V", true, "RO9110V_1060", 0},
      {"file named by the id", "9111", 0x1060, "9111", 0x1060, "RO9110V", true, "RO9110V_1060", 0},
      {"listed, other version", "9111", 0x1061, "9110V", 0x1060, "RO9110V", false, "RO9110V_1061",
       0},
      {"listed, new chip", "6572", 0x0105, "6572", 0x0105, "RO9110V", true, "VE6572_ 105", 1},
      {"listed, after a placeholder", "9112", 0x1060, "9110R", 0x1060, "RO9XXX", true,
       "RO9110R_1060", 1},
      {"unlisted, same version", "9999", 0x1060, "9999", 0x1060, "RO9110V", true, "RO9999_1060", 0},
      {"unlisted, other version", "9999", 0x1060, "9999", 0x2060, "RO9110V", false, "RO9999_1060",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    De9Rig rig(sim::ChipFamily::RU9);
    std::filesystem::create_directories(rig.dir / "System/ChipIni");
    RecordingChipEvents events;
    SetChipEvents(&events);
    SetChipName(c.previous);
    std::vector<uint8_t> id(c.chipId.begin(), c.chipId.end());
    id.resize(4, 0);
    id.push_back(static_cast<uint8_t>(c.chipVersion));
    id.push_back(static_cast<uint8_t>(c.chipVersion >> 8));
    rig.chip.PokeRange(0x8140, id);
    ASSERT_TRUE(
        rig.Load(sim::MakeDe9Firmware(sim::kDe9LengthFull, {c.fileName, c.fileVersion, "", 0})));
    EXPECT_EQ(c.match, rig.engine->IsChipMatch());
    EXPECT_EQ(c.chipNameVersion, GetChipNameVersion());
    EXPECT_EQ(c.changes, events.changes);
    SetChipEvents(nullptr);
    // A listed chip ends the tries; an unlisted one is read five times.
    EXPECT_EQ(c.chipId == "9999" ? 5u : 1u, rig.access.ReadsOf(0x8140));
    EXPECT_TRUE(rig.log.Texts().empty());
  }
}

TEST(FwUpdateChipMatch, Ze73AlwaysComparesTheVersion) {
  struct Case {
    const char* what;
    std::string chipId;
    uint8_t major;
    uint8_t minor;
    std::string fileName;
    bool match;
    std::string chipNameVersion;
    size_t idReads;
  } cases[] = {
      {"listed, same version", "7388", 0x01, 0x02, "7388", true, "RO7387Z_01.02", 1},
      {"older firmware on a listed chip", "7388", 0x01, 0x01, "7388", false, "RO7387Z_01.01", 1},
      {"unlisted, same version", "7385", 0x01, 0x02, "7385", true, "RO7385_01.02", 5},
      {"unlisted, other chip's file", "7385", 0x01, 0x02, "7388", false, "RO7385_01.02", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    De7Rig rig(sim::ChipFamily::DE7);
    std::vector<uint8_t> id(c.chipId.begin(), c.chipId.end());
    id.insert(id.end(), {0, 0, c.major, c.minor});
    rig.chip.PokeRange(0x8240, id);
    ASSERT_TRUE(rig.Load(sim::MakeZe73Firmware({c.fileName, 0x0102, "", 0})));
    EXPECT_EQ(c.match, rig.engine->IsChipMatch());
    EXPECT_EQ(c.chipNameVersion, GetChipNameVersion());
    EXPECT_EQ(c.idReads, rig.access.ReadsOf(0x8240));
  }
}

TEST(FwUpdateChipMatch, ChipThatNeverAnswersIsComparedAsLastKnown) {
  De9Rig rig(sim::ChipFamily::RU9);
  SetChipName("RO9110V");
  SetChipNameVersion("RO9110V_1060");
  ASSERT_TRUE(rig.Load(sim::MakeDe9Firmware(sim::kDe9LengthFull, De9Identity(0x1060))));
  rig.access.Inject(Fault::Silence, 1);
  EXPECT_TRUE(rig.engine->IsChipMatch());
  EXPECT_EQ(5u, rig.access.ReadsOf(0x8140));
  EXPECT_EQ("RO9110V", GetChipName());
}

// A register access whose byte reads follow a script.
class ScriptedAccess : public IRegisterAccess {
 public:
  bool ReadRegs(uint16_t, std::span<uint8_t>, uint32_t) override { return false; }
  bool WriteRegs(uint16_t, std::span<const uint8_t>) override { return true; }
  bool TryRead8(uint16_t, uint8_t& value) override {
    ++reads;
    clock.Advance(msPerRead);
    if (timeouts > 0) {
      --timeouts;
      clock.Advance(100);
      return false;
    }
    if (goneAfter > 0 && reads >= goneAfter) return false;
    value = reads >= matchAt && matchAt > 0 ? 0xAA : 0x00;
    return true;
  }
  bool Write8(uint16_t, uint8_t) override { return true; }
  bool Write16(uint16_t, uint16_t) override { return true; }
  bool ResetChip() override { return true; }
  bool StartStream(uint32_t) override { return true; }
  bool IsGone() override { return goneAfter > 0 && reads >= goneAfter; }
  IClock& Clock() override { return clock; }

  VirtualClock clock;
  int64_t msPerRead = 1;
  unsigned reads = 0;
  unsigned matchAt = 0;  // 0: never
  unsigned timeouts = 0;
  unsigned goneAfter = 0;
};

TEST(FwUpdatePoll, CountsReadsAndKeepsATimeFloor) {
  struct Case {
    const char* what;
    int64_t msPerRead;
    unsigned matchAt, timeouts, goneAfter;
    bool result;
    unsigned minReads, maxReads;
  } cases[] = {
      {"match at once", 1, 1, 0, 0, true, 1, 1},
      {"late match inside the reads", 1, 40, 0, 0, true, 40, 40},
      {"fast link: reads go on until 200 ms passed", 1, 0, 0, 0, false, 200, 200},
      {"late match within the time floor", 1, 150, 0, 0, true, 150, 150},
      {"slow link: the 50 reads take longer than the floor", 5, 0, 0, 0, false, 50, 50},
      {"nine time-outs do not end it early", 1, 0, 9, 0, false, 50, 50},
      {"silent device: gives up after 10 time-outs", 1, 0, 1000, 0, false, 10, 10},
      {"device gone: stops at once", 1, 0, 0, 3, false, 3, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedAccess access;
    access.msPerRead = c.msPerRead;
    access.matchAt = c.matchAt;
    access.timeouts = c.timeouts;
    access.goneAfter = c.goneAfter;
    EXPECT_EQ(c.result, access.Poll8(0x4195, 0xAA, 50));
    EXPECT_GE(access.reads, c.minReads);
    EXPECT_LE(access.reads, c.maxReads);
  }
}

}  // namespace
