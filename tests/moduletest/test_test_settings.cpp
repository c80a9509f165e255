#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "moduletest/settings/NodeThresholds.h"
#include "moduletest/settings/TestSettings.h"
#include "platform/files/CodePage.h"
#include "platform/files/IniFile.h"
#include "tests/platform/ScratchDir.h"
#include "tests/platform/WriteFault.h"
#include "tests/views/RecordingLog.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;

// Every key of test.ini the page reads, set to values other than the
// defaults, with the spelling the stored files use.
const char* const kFullIni =
    "[Test File]\r\n"
    "VAzezu_CONFIG=..\\test\\test_file\\RO911.cfg\r\n"
    "VAzezu_BIN=..\\test\\test_file\\RO911.bin\r\n"
    "D6oro_BIN=..\\test\\test_file\\K64_v0102.bin\r\n"
    "VAzezu_TEST_CONFIG=..\\test\\test_file\\Test911.cfg\r\n"
    "[Test Threhold]\r\n"
    "Max=4000\r\nMin=900\r\nUniformityTest=41\r\nJitterTest=42\r\n"
    "AdjacentDeviationTest=43\r\nOffsetTest=44\r\nSensor ID=7\r\n"
    "[Short Open Test Threhold]\r\n"
    "Ch2Ch=51\r\nCh2GND2AVDD=129\r\nWait for satble=151\r\n"
    "[Test Enable]\r\n"
    "UniformityTest=0\r\nJitterTest=0\r\nAdjacentDeviationTest=0\r\nOffsetTest=0\r\n"
    "OpenShortTest=0\r\nVersionCheck=0\r\nForceUpdate=1\r\nSensorTest=0\r\n"
    "INT Tets=0\r\nSensor ID Test=1\r\n"
    "VAzezu.cfg=1\r\nVAzezu.bin=1\r\nV64er.bin=1\r\ntest.cfg=1\r\n"
    "DetectedDeviceAutoTest=1\r\n"
    "[Test ID]\r\nMin id=100000\r\n"
    "[Test Package]\r\nNo Motification=1\r\n";

TEST(TestSettingsTable, MissingFileGivesEveryDefault) {
  ScratchDir dir;
  const TestSettings s = LoadTestSettings(dir / "test.ini", nullptr);
  EXPECT_EQ(s, TestSettings::Defaults());
  EXPECT_EQ(s.numbers, (std::array<std::string, kNumericFieldCount>{
                           "3500", "1000", "40", "40", "40", "40", "50", "128", "150"}));
  EXPECT_EQ(s.tests, (std::array<bool, kTestFlagCount>{true, true, true, true, true, true, false}));
  EXPECT_EQ(s.mode, UpdateMode::TestOnly);
  EXPECT_EQ(s.fileEnabled, (std::array<bool, kTestFileKinds>{}));
  EXPECT_EQ(s.sensorId, "2");
  EXPECT_EQ(s.minTestId, 10000000000);
  EXPECT_FALSE(s.noModification);
  EXPECT_FALSE(s.autoTest);
  EXPECT_FALSE(std::filesystem::exists(dir / "test.ini"));
  // An empty file is quiet too: a missing "Min id" is no bad one.
  WriteBytes(dir / "test.ini", "");
  std::vector<std::string> warnings;
  EXPECT_EQ(LoadTestSettings(dir / "test.ini", &warnings), TestSettings::Defaults());
  EXPECT_TRUE(warnings.empty());
}

TEST(TestSettingsTable, EveryKeyIsReadUnderItsStoredName) {
  ScratchDir dir;
  WriteBytes(dir / "test.ini", kFullIni);
  const TestSettings s = LoadTestSettings(dir / "test.ini", nullptr);
  EXPECT_EQ(s.filePaths[kProductionConfigFile], "..\\test\\test_file\\RO911.cfg");
  EXPECT_EQ(s.filePaths[kTouchFirmwareFile], "..\\test\\test_file\\RO911.bin");
  EXPECT_EQ(s.filePaths[kBridgeFirmwareFile], "..\\test\\test_file\\K64_v0102.bin");
  EXPECT_EQ(s.filePaths[kTestConfigFile], "..\\test\\test_file\\Test911.cfg");
  EXPECT_EQ(s.numbers, (std::array<std::string, kNumericFieldCount>{"4000", "900", "41", "42", "43",
                                                                    "44", "51", "129", "151"}));
  EXPECT_EQ(s.tests,
            (std::array<bool, kTestFlagCount>{false, false, false, false, false, false, true}));
  EXPECT_EQ(s.mode, UpdateMode::ForceUpdate);
  EXPECT_EQ(s.fileEnabled, (std::array<bool, kTestFileKinds>{true, true, true, true}));
  EXPECT_EQ(s.sensorId, "7");
  EXPECT_EQ(s.minTestId, 100000);
  EXPECT_TRUE(s.noModification);
  // 1080 is written but never read back.
  EXPECT_FALSE(s.autoTest);
}

TEST(TestSettingsTable, SaveWritesTheEnableFlagsAndThresholdsInTheirOrder) {
  ScratchDir dir;
  TestSettings s = TestSettings::Defaults();
  s.mode = UpdateMode::VersionCheck;
  s.numbers[kFieldMax] = "abc";  // saved as typed
  s.fileEnabled[kTestConfigFile] = true;
  s.autoTest = true;
  ASSERT_TRUE(SaveTestSettings(s, dir / "test.ini", nullptr));
  EXPECT_EQ(ReadBytes(dir / "test.ini"),
            "[Test Enable]\r\n"
            "UniformityTest=1\r\nJitterTest=1\r\nAdjacentDeviationTest=1\r\nOffsetTest=1\r\n"
            "OpenShortTest=1\r\nForceUpdate=0\r\nVersionCheck=1\r\nSensorTest=0\r\n"
            "DetectedDeviceAutoTest=1\r\nINT Tets=1\r\nSensor ID Test=0\r\n"
            "VAzezu.cfg=0\r\nVAzezu.bin=0\r\nV64er.bin=0\r\ntest.cfg=1\r\n"
            "[Test Threhold]\r\n"
            "Max=abc\r\nMin=1000\r\nUniformityTest=40\r\nJitterTest=40\r\n"
            "AdjacentDeviationTest=40\r\nOffsetTest=40\r\n"
            "[Short Open Test Threhold]\r\n"
            "Ch2Ch=50\r\nCh2GND2AVDD=128\r\nWait for satble=150\r\n");
  TestSettings back = LoadTestSettings(dir / "test.ini", nullptr);
  back.autoTest = true;
  EXPECT_EQ(back, s);
}

// A save changing every section, stopped at any of its writes, leaves the
// old settings or the new ones, never a mix.
TEST(TestSettingsTable, SaveStoppedAtAnyWriteLeavesAllOldOrAllNew) {
  ScratchDir dir;
  const TestSettings old = LoadTestSettings(dir / "none.ini", nullptr);
  TestSettings changed = old;
  changed.tests[kFlagJitter] = false;
  changed.numbers[kFieldMax] = "3000";
  changed.numbers[kFieldCh2Ch] = "60";
  for (int allowed = 0; allowed < 3; ++allowed) {
    SCOPED_TRACE(allowed);
    ASSERT_TRUE(SaveTestSettings(old, dir / "test.ini", nullptr));
    {
      platform::testing_support::ScopedWriteFault stop(
          platform::testing_support::StopAfterWrites(allowed));
      SaveTestSettings(changed, dir / "test.ini", nullptr);
    }
    const TestSettings after = LoadTestSettings(dir / "test.ini", nullptr);
    EXPECT_TRUE(after == old || after == changed);
  }
}

// A GBK file from a Chinese installation, with LF line ends and a comment:
// loading and saving unchanged settings must not touch a byte.
TEST(TestSettingsTable, UnchangedSaveKeepsAGbkFileByteForByte) {
  ScratchDir dir;
  std::string gbk;
  ASSERT_TRUE(platform::Utf8ToGbk(std::string("; 产线一号\n") + kFullIni +
                                      "[Test File]\nVAzezu_BIN=..\\test\\test_file\\固件.bin\n",
                                  &gbk));
  WriteBytes(dir / "test.ini", gbk);
  TestSettings s = LoadTestSettings(dir / "test.ini", nullptr);
  EXPECT_EQ(ReadBytes(dir / "test.ini"), gbk);  // loading never writes
  s.autoTest = true;                            // the box as the operator left it
  ASSERT_TRUE(SaveTestSettings(s, dir / "test.ini", nullptr));
  ASSERT_TRUE(WriteTestIniKey("Test File", "VAzezu_BIN", s.filePaths[kTouchFirmwareFile],
                              dir / "test.ini", nullptr));
  EXPECT_EQ(ReadBytes(dir / "test.ini"), gbk);
}

struct RadioCase {
  const char* name;
  const char* flags;
  UpdateMode mode;
};

TEST(TestSettingsTable, RadioConflictsNormaliseTestOnlyThenForceThenVersion) {
  const RadioCase cases[] = {
      {"none set", "SensorTest=0\r\n", UpdateMode::TestOnly},
      {"test only and version", "SensorTest=1\r\nVersionCheck=1\r\n", UpdateMode::TestOnly},
      {"test only and force", "SensorTest=1\r\nForceUpdate=1\r\n", UpdateMode::TestOnly},
      {"force and version", "SensorTest=0\r\nForceUpdate=1\r\nVersionCheck=1\r\n",
       UpdateMode::ForceUpdate},
      {"version only", "SensorTest=0\r\nVersionCheck=1\r\n", UpdateMode::VersionCheck},
      {"all three", "SensorTest=1\r\nForceUpdate=1\r\nVersionCheck=1\r\n", UpdateMode::TestOnly},
  };
  for (const RadioCase& c : cases) {
    ScratchDir dir;
    WriteBytes(dir / "test.ini", std::string("[Test Enable]\r\n") + c.flags);
    EXPECT_EQ(LoadTestSettings(dir / "test.ini", nullptr).mode, c.mode) << c.name;
  }
}

TEST(TestSettingsTable, BadMinIdFallsBackWithAWarning) {
  struct Case {
    const char* text;
    int64_t minimum;
    bool warned;
  } cases[] = {
      {"99999", 99999, false},
      {"0", kDefaultMinTestId, true},
      {"-5", kDefaultMinTestId, true},
      {"abc", kDefaultMinTestId, true},
      {"123456789012345678901", kDefaultMinTestId, true},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    WriteBytes(dir / "test.ini", std::string("[Test ID]\r\nMin id=") + c.text + "\r\n");
    std::vector<std::string> warnings;
    EXPECT_EQ(LoadTestSettings(dir / "test.ini", &warnings).minTestId, c.minimum) << c.text;
    EXPECT_EQ(warnings.size(), c.warned ? 1u : 0u) << c.text;
  }
}

TEST(TestSettingsValidation, OnlyTheFieldsOfSelectedTestsMustBeNumbersInRange) {
  struct Case {
    const char* name;
    NumericField field;
    const char* text;
    TestFlag off;  // kTestFlagCount: every test stays on
    bool refused;
  } cases[] = {
      {"defaults", kFieldMax, "3500", kTestFlagCount, false},
      {"letters in Max", kFieldMax, "35a0", kTestFlagCount, true},
      {"empty Min", kFieldMin, "", kTestFlagCount, true},
      {"negative Min", kFieldMin, "-1", kTestFlagCount, true},
      {"Max beyond 32 bits", kFieldMax, "2147483648", kTestFlagCount, true},
      {"blanks around", kFieldMax, " 3500 ", kTestFlagCount, false},
      {"Ch2Ch beyond 16 bits", kFieldCh2Ch, "65536", kTestFlagCount, true},
      {"wait frames at 16 bits", kFieldWaitForStable, "65535", kTestFlagCount, false},
      {"bad Ch2Ch, open/short off", kFieldCh2Ch, "x", kFlagOpenShort, false},
      {"bad Max, max/min off", kFieldMax, "x", kFlagUniformity, false},
      {"bad adjacent, adjacent off", kFieldAdjacentDeviation, "x", kFlagAdjacentDeviation, false},
      {"jitter is never run", kFieldJitter, "x", kTestFlagCount, false},
  };
  for (const Case& c : cases) {
    TestSettings s = TestSettings::Defaults();
    s.numbers[c.field] = c.text;
    if (c.off != kTestFlagCount) s.tests[c.off] = false;
    const auto message = ValidateForRun(s);
    EXPECT_EQ(message.has_value(), c.refused) << c.name;
    if (message) {
      EXPECT_NE(message->find(kNumericFieldKeys[c.field].label), std::string::npos) << *message;
    }
  }
}

TEST(NodeLists, ParseTable) {
  struct Case {
    const char* text;
    std::vector<int32_t> values;
  } cases[] = {
      {"1,2,3", {1, 2, 3}}, {"1,2,3,", {1, 2, 3}}, {"-4, 5 ,x", {-4, 5, 0}}, {"", {}}, {"7", {7}},
      // Both ends of 32 bits, and beyond them.
      {"-2147483648,2147483647,-99999999999,99999999999,",
       {INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX}},
  };
  for (const Case& c : cases) {
    const NodeList list = ParseNodeList(c.text);
    EXPECT_EQ(list.values, c.values) << c.text;
    EXPECT_EQ(list.count, c.values.size()) << c.text;
  }
  std::string many;
  for (int i = 0; i < 3521; ++i) many += std::to_string(i) + ",";
  const NodeList big = ParseNodeList(many);
  EXPECT_EQ(big.count, 3521u);
  EXPECT_EQ(big.values.size(), 3520u);
}

TEST(NodeLists, WrongLengthFallsBackWithOneErrorAndEmptyFallsBackQuietly) {
  ScratchDir dir;
  WriteBytes(dir / "test.ini", "[Node threshold]\r\nMax=10,20,30,40,50,60\r\nMin=1,2,3\r\n");
  views_test::RecordingLog log;
  NodeArrays nodes;
  ASSERT_TRUE(LoadNodeThresholds(dir / "test.ini", 3, 2, {3500, 1000, 40}, nodes, &log));
  EXPECT_EQ(std::vector<int32_t>(nodes.NodeMaxLimit.begin(), nodes.NodeMaxLimit.begin() + 6),
            (std::vector<int32_t>{10, 20, 30, 40, 50, 60}));
  EXPECT_EQ(std::vector<int32_t>(nodes.NodeMinLimit.begin(), nodes.NodeMinLimit.begin() + 6),
            std::vector<int32_t>(6, 1000));
  EXPECT_EQ(std::vector<int32_t>(nodes.NodeAdjDevLimit.begin(), nodes.NodeAdjDevLimit.begin() + 6),
            std::vector<int32_t>(6, 40));
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_NE(log.Lines()[0].find("\"Min\""), std::string::npos);
  EXPECT_NE(log.Lines()[0].find((dir / "test.ini").string()), std::string::npos);
}

TEST(NodeLists, GeometryBeyondTheArraysIsRefused) {
  views_test::RecordingLog log;
  NodeArrays nodes;
  const NodeArrays before = nodes;
  EXPECT_FALSE(LoadNodeThresholds({}, 72, 49, {1, 2, 3}, nodes, &log));
  EXPECT_FALSE(LoadNodeThresholds({}, 0, 10, {1, 2, 3}, nodes, &log));
  EXPECT_EQ(nodes.NodeMaxLimit, before.NodeMaxLimit);
  EXPECT_EQ(log.Lines().size(), 2u);
}

}  // namespace
