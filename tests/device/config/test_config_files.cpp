// The configuration's files as CConfig reads and writes them: ".cfg" export,
// write and load, the backup of the chip's block and its restore, and the
// item descriptions taking their place in the configuration.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/device/ConfigTestUtil.h"
#include "device/config/CfgPathChooser.h"
#include "device/config/CfgText.h"
#include "device/config/ScFile.h"
#include "platform/files/IniFile.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::WriteBytes;
using sim::ChipFamily;
using testing::ElementsAre;

class ScriptedChooser : public ICfgPathChooser {
 public:
  explicit ScriptedChooser(std::optional<std::filesystem::path> answer)
      : answer_(std::move(answer)) {}
  std::optional<std::filesystem::path> ChooseSavePath(const std::string& proposedName,
                                                      const std::string& filter) override {
    proposed = proposedName;
    this->filter = filter;
    return answer_;
  }
  std::string proposed;
  std::string filter;

 private:
  std::optional<std::filesystem::path> answer_;
};

// A ".sc" description with one byte item at block byte 5 (address 0x804C).
std::string OneItemSc() {
  return EncodeScBytes(
      "addr,0x8047\nNO.1\naddr,0x804C\nname,Gain\ndataBitL,0\ndataBitH,7\nparaBitL,0\n"
      "paraBitH,7\npage,1\ngrp,g\nctrlType,0\ncomb\n");
}

class ConfigFilesTest : public ConfigTest {};

TEST_F(ConfigFilesTest, WrittenAndExportedFilesLoadBackTheSameBlock) {
  ConnectChip(ChipFamily::RU9, PatternBlock(186));
  CConfig cfg;
  cfg.ReadConfig();
  const std::filesystem::path written = Root() / "written.cfg";
  const std::filesystem::path exported = Root() / "exported.cfg";
  cfg.WriteCfgFile(written);
  ScriptedChooser chooser(exported);
  ASSERT_TRUE(cfg.ExportCfgFile(chooser));

  EXPECT_EQ(931u, ReadBytes(written).size());
  EXPECT_EQ(ReadBytes(written).substr(0, 930), ReadBytes(exported));
  EXPECT_EQ('\0', ReadBytes(written).back());
  EXPECT_EQ("config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||", chooser.filter);

  for (const auto& file : {written, exported}) {
    CConfig loaded;
    loaded.LoadCfgFile(file);
    EXPECT_TRUE(std::equal(cfg.Block().begin(), cfg.Block().begin() + 186, loaded.Block().begin()))
        << file;
    EXPECT_EQ(file, loaded.LoadedFile());
    EXPECT_TRUE(loaded.LoadedFileTime().has_value());
  }
}

TEST_F(ConfigFilesTest, ExportProposesChipAndTimeAndKeepsCancelAndFailuresApart) {
  std::tm t{};
  t.tm_year = 121;
  t.tm_mon = 2;
  t.tm_mday = 3;
  t.tm_hour = 14;
  t.tm_min = 5;
  t.tm_sec = 9;
  t.tm_isdst = -1;
  EXPECT_EQ("RO911_20210303140509.cfg", ProposedCfgFileName("RO911", std::mktime(&t)));

  ConnectChip(ChipFamily::RU9);
  CConfig cfg;
  cfg.ReadConfig();
  ScriptedChooser cancel(std::nullopt);
  EXPECT_FALSE(cfg.ExportCfgFile(cancel));
  EXPECT_EQ(0u, cancel.proposed.find("RO911_"));
  EXPECT_TRUE(std::filesystem::is_empty(Root() / "System/CfgItem"));

  ScriptedChooser noFolder(Root() / "missing/dir/x.cfg");
  try {
    cfg.ExportCfgFile(noFolder);
    ADD_FAILURE() << "no error";
  } catch (const ConfigError& e) {
    EXPECT_EQ(std::string(kCfgCreateFailedText), e.what());
  }
  EXPECT_THROW(cfg.WriteCfgFile(Root() / "missing/dir/x.cfg"), ConfigError);

  ScriptedChooser noExtension(Root() / "plain");
  EXPECT_TRUE(cfg.ExportCfgFile(noExtension));
  EXPECT_TRUE(std::filesystem::exists(Root() / "plain.cfg"));
}

TEST_F(ConfigFilesTest, LoadTakesThePathOrItsFirstMatchAndKeepsBytesItDoesNotCover) {
  WriteBytes(Root() / "RO911_b.cfg", "0x0b,");
  WriteBytes(Root() / "RO911_a.cfg", "0x0a,0x12,\r\n0x34,");
  CConfig cfg;
  cfg.Block()[3] = 0x77;
  cfg.LoadCfgFile(Root() / "RO911_*.cfg");
  EXPECT_EQ(Root() / "RO911_a.cfg", cfg.LoadedFile());
  EXPECT_THAT(std::vector<uint8_t>(cfg.Block().begin(), cfg.Block().begin() + 4),
              ElementsAre(0x0a, 0x12, 0x34, 0x77));

  cfg.LoadCfgFile(Root() / "RO911_b.cfg");
  EXPECT_EQ(0x0b, cfg.Block()[0]);
}

TEST_F(ConfigFilesTest, LoadFailuresLeaveTheBlock) {
  WriteBytes(Root() / "huge.cfg", std::string(kCfgFileMaxBytes + 1, ','));
  for (const char* name : {"absent.cfg", "nothing_*.cfg", "huge.cfg"}) {
    CConfig cfg;
    cfg.Block()[0] = 0x42;
    try {
      cfg.LoadCfgFile(Root() / name);
      ADD_FAILURE() << name;
    } catch (const ConfigError& e) {
      EXPECT_EQ(std::string(kCfgOpenFailedText), e.what()) << name;
    }
    EXPECT_EQ(0x42, cfg.Block()[0]) << name;
    EXPECT_TRUE(cfg.LoadedFile().empty());
  }
}

TEST_F(ConfigFilesTest, LoadRefreshesTheItems) {
  WriteBytes(Root() / "System/CfgItem/RO911_x.sc", OneItemSc());
  WriteBytes(Root() / "c.cfg", "0,1,2,3,4,0x2a,");
  CConfig cfg;
  cfg.LoadScFile(Root() / "System/CfgItem/RO911_x.sc");
  cfg.LoadCfgFile(Root() / "c.cfg");
  ASSERT_FALSE(cfg.Items().empty());
  EXPECT_EQ("Gain", cfg.Items()[0].name);
  EXPECT_EQ("42", cfg.Items()[0].value);
}

TEST_F(ConfigFilesTest, ItemDescriptionsReplaceTheItemsAndSetTheBase) {
  WriteBytes(Root() / "a.sc", OneItemSc());
  WriteBytes(Root() / "b.ui", "BaseAddress,8050\r\n8052,Mode,0,8,EDIT\r\n");
  WriteBytes(Root() / "bad.ui", "no header\r\n");
  CConfig cfg;
  cfg.LoadScFile(Root() / "a.sc");
  EXPECT_EQ(0x8047, cfg.CfgAddr());
  EXPECT_EQ(2u, cfg.Items().size());  // with the appended checksum item
  EXPECT_EQ((Root() / "a.sc").string(),
            platform::IniGetString("ConfigInfo", "UI File Name", "", GetChipIniPath()));

  cfg.LoadUiFile(Root() / "b.ui");
  EXPECT_EQ(0x8050, cfg.CfgAddr());
  ASSERT_EQ(1u, cfg.Items().size());
  EXPECT_EQ("Mode", cfg.Items()[0].name);

  for (const char* missing : {"none.sc", "none.ui"}) {
    try {
      std::string(missing).ends_with(".sc") ? cfg.LoadScFile(Root() / missing)
                                            : cfg.LoadUiFile(Root() / missing);
      ADD_FAILURE() << missing;
    } catch (const ConfigError& e) {
      EXPECT_EQ(std::string(kItemFileOpenFailedText), e.what());
    }
    EXPECT_EQ(1u, cfg.Items().size()) << missing;
  }

  try {
    cfg.LoadUiFile(Root() / "bad.ui");
    ADD_FAILURE() << "bad.ui accepted";
  } catch (const ConfigError& e) {
    EXPECT_EQ((Root() / "bad.ui").string() + "文件不是指定的ui文件", e.what());
  }
  EXPECT_TRUE(cfg.Items().empty());
}

// A file that is burnt as it is must give the whole block: bytes it lacks
// would go out as whatever the block held.
TEST_F(ConfigFilesTest, AWholeBlockLoadTakesOnlyAFileOfTheBlocksLength) {
  const std::vector<uint8_t> block = PatternBlock(186);
  const std::string text = FormatCfgText(block, CfgTextEnding::kComma);
  const std::string first100 =
      FormatCfgText(std::span<const uint8_t>(block.data(), 100), CfgTextEnding::kComma);
  struct Case {
    const char* name;
    std::string text;
    size_t refusedCount;  // 0: taken
  } cases[] = {
      {"exported", text, 0},
      {"written, with its zero byte", FormatCfgText(block, CfgTextEnding::kCommaAndZero), 0},
      {"line break after the last comma", text + "\r\n", 0},
      {"blank tokens after the block", text + " ,\r\n, ", 0},
      {"100 values", first100, 100},
      {"100 values and a line break", first100 + "\r\n", 100},
      {"one value more", text + "0x00,", 187},
      {"a value after blank tokens", text + " , ,7", 189},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path file = Root() / "line.cfg";
    WriteBytes(file, c.text);
    CConfig cfg;
    try {
      cfg.LoadCfgFile(file, CConfig::CfgFileFit::kWholeBlock);
      EXPECT_EQ(0u, c.refusedCount);
      EXPECT_TRUE(std::equal(block.begin(), block.end(), cfg.Block().begin()));
      EXPECT_TRUE(cfg.IsFilled());
    } catch (const ConfigError& e) {
      EXPECT_EQ(CfgFileLengthText(file, c.refusedCount, 186), e.what());
      EXPECT_NE(std::string(e.what()).find("line.cfg"), std::string::npos);
      EXPECT_EQ(0, cfg.Block()[0]);
      EXPECT_FALSE(cfg.IsFilled());
      EXPECT_TRUE(cfg.LoadedFile().empty());
    }
  }
}

TEST_F(ConfigFilesTest, BackupHoldsTheChipsBlockAndRestoreSendsItBack) {
  const std::vector<uint8_t> stored = WithValidSums(ChipFamily::RU9, PatternBlock(186));
  WriteBytes(Root() / "System/CfgItem/RO911_x.sc", OneItemSc());
  ConnectChip(ChipFamily::RU9, stored);

  CConfig backup;
  ASSERT_TRUE(backup.InitAndBackup());
  EXPECT_TRUE(notifier_.Texts().empty());
  const std::filesystem::path file = Root() / "System/Temp/RO911_Back.cfg";
  CConfig fromFile;
  fromFile.LoadCfgFile(file);
  EXPECT_TRUE(std::equal(stored.begin(), stored.end() - 1, fromFile.Block().begin()));

  // The chip's block is changed behind the backup's back, then restored.
  std::vector<uint8_t> other = WithValidSums(ChipFamily::RU9, PatternBlock(186, 3));
  Chip().SetPowerOnBytes(0x8047, other);
  CConfig restore;
  ASSERT_TRUE(restore.RestoreBackup());
  std::vector<uint8_t> expected = stored;
  EXPECT_EQ(expected, Personality().StoredConfig());

  Personality().SetFault(sim::ConfigFault::NeverTakes);
  EXPECT_FALSE(restore.RestoreBackup());
  EXPECT_THAT(notifier_.Texts(), ElementsAre(std::string(kCfgRestoreFailedText)));
}

TEST_F(ConfigFilesTest, BackupWithoutAnScFileTellsTheOperatorAndWritesNothing) {
  ConnectChip(ChipFamily::RU9);
  CConfig cfg;
  EXPECT_FALSE(cfg.InitAndBackup());
  EXPECT_THAT(notifier_.Texts(),
              ElementsAre(std::string(kCfgScMissingText), std::string(kItemFileOpenFailedText)));
  EXPECT_FALSE(std::filesystem::exists(Root() / "System/Temp/RO911_Back.cfg"));
  EXPECT_TRUE(Sent().empty());

  CConfig restore;
  EXPECT_FALSE(restore.RestoreBackup());
  EXPECT_EQ(std::string(kCfgOpenFailedText), notifier_.Texts().back());
}

TEST_F(ConfigFilesTest, BackupOfAnUnreadableChipTellsTheReadFailure) {
  WriteBytes(Root() / "System/CfgItem/RO911_x.sc", OneItemSc());
  ConnectChip(ChipFamily::RU9);
  Bridge().SetSilent(true);
  CConfig cfg;
  EXPECT_FALSE(cfg.InitAndBackup());
  EXPECT_THAT(notifier_.Texts(), ElementsAre(std::string(kCfgReadFailedText)));
  EXPECT_FALSE(std::filesystem::exists(Root() / "System/Temp"));
}

}  // namespace
