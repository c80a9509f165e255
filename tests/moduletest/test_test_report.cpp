#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "device/SettingsFileCheck.h"
#include "moduletest/report/ResultIndex.h"
#include "moduletest/report/TestCounters.h"
#include "moduletest/report/TestReport.h"
#include "tests/platform/ScratchDir.h"
#include "tests/views/RecordingLog.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
namespace fs = std::filesystem;

// A 3 x 2 panel: node (row i, column j) at i + j x 3.
TestReportData SmallReport() {
  TestReportData d;
  d.chipConfig = {0x05, 0xAB, 0x40};
  d.thresholds = {"3500", "1000", "40", "40", "40", "40", "50", "128", "150"};
  d.testOnly = true;
  TestMeasurements& m = d.measurements;
  m.rows = 3;
  m.cols = 2;
  for (size_t f = 0; f < kReportFrames; ++f) {
    m.frames[f] = {static_cast<int32_t>(2000 + f), 1500, 1800};
    m.rawFrames[f] = {int32_t(f), 1, 2, 3, 4, 5};
  }
  m.frames[1] = {0, 0, 0};  // a frame of zeros: uniformity 100
  m.nodeMax = {10, 11, 12, 13, 14, 15};
  m.nodeMin = {-1, -2, -3, -4, -5, -6};
  m.nodeJitter = {1, 2, 3};  // shorter than the panel: the rest is 0
  m.nodeAdjDev = {0, 0, 0, 0, 0, 7};
  return d;
}

// The frame block is the same for both golden files.
std::string FrameBlock() {
  std::string s = "\n\n\nFrame Index:,0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\n";
  s += "Max:,2000,0,2002,2003,2004,2005,2006,2007,2008,2009,2010,2011,2012,2013,2014,2015\n";
  s += "Min:,1500,0,1500,1500,1500,1500,1500,1500,1500,1500,1500,1500,1500,1500,1500,1500\n";
  s += "Avg:,1800,0,1800,1800,1800,1800,1800,1800,1800,1800,1800,1800,1800,1800,1800,1800\n";
  // 100 - 1500*100/2000 = 25; 150000/2002 = 74 -> 26 ...
  s += "Uniformity:,25,100,26,26,26,26,26,26,26,26,26,26,26,26,26,26";
  s += "\n\n\nMaxArray:\n10,13,\n11,14,\n12,15,\n\nMinArray:\n-1,-4,\n-2,-5,\n-3,-6,\n\n";
  s += "Jitter:\n1,0,\n2,0,\n3,0,\n\nAdjacentDeviationTest:\n0,0,\n0,0,\n0,7,\n\n";
  for (int f = 0; f < 16; ++f) {
    s += "Rawdata[" + std::to_string(f) + "]:\n" + std::to_string(f) + ",3,\n1,4,\n2,5,\n\n";
  }
  return s;
}

const char* const kThresholdBlock =
    "\n\nThreshold:\n\tMax: 3500\n\tMin: 1000\n\tUniformityTest: 40\n\tJitterTest: 40"
    "\n\tAdjacentDeviationTest: 40\n\tOffsetTest: 40\n\tShort Test Ch2Ch Threhold: 50"
    "\n\tShort Test Ch2GND2AVDD Threhold: 128\n\tShort Test Wait times for satble : 150";

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(TestReportGolden, GoodModuleInTestOnlyMode) {
  TestReportData d = SmallReport();
  d.items[kItemMaxMin] = TEST_PASS;
  d.items[kItemAdjacent] = TEST_UNDECIDED;  // reported as passed
  d.items[kItemOpenShort] = TEST_PASS;
  d.items[kItemUpdate] = TEST_ON;  // test-only: no version line
  d.items[kItemInt] = TEST_FAIL;   // INT has no line
  const std::string expected =
      std::string("Chip Config:0x 5,0xab,0x40,") + kThresholdBlock +
      "\n\n\n\nTest Result:\n\tUniformityTest: PASS \n\tAdjacentDeviationTest: PASS \n"
      "\tOpenShortTest: PASS \n" +
      FrameBlock();
  EXPECT_EQ(BuildTestReport(d), expected);
  ScratchDir dir;
  ASSERT_TRUE(WriteTestReport(dir.path(), "Result_OK_0.csv", BuildTestReport(d), nullptr));
  EXPECT_EQ(ReadBytes(dir / "Result_OK_0.csv"), Crlf(expected));
}

TEST(TestReportGolden, FailingModuleWithAnUpdate) {
  TestReportData d = SmallReport();
  d.chipConfig.clear();  // no configuration loaded, no backup
  d.testOnly = false;
  d.items[kItemUpdate] = TEST_FAIL;
  d.items[kItemMaxMin] = TEST_FAIL;
  d.items[kItemJitter] = TEST_PASS;
  d.items[kItemOffset] = TEST_FAIL;
  d.items[kItemOpenShort] = TEST_ON;
  const std::string expected =
      std::string("Chip Config:") + kThresholdBlock +
      "\n\n\n\nTest Result:\n\tVersionCheck: FAILED \n\tUniformityTest: Failed \n"
      "\tJitterTest: PASS \n\tOffsetTest: Failed \n\tOpenShortTest: PASS \n" +
      FrameBlock();
  EXPECT_EQ(BuildTestReport(d), expected);
}

TEST(TestReportNames, IndexOrTestId) {
  int32_t index = 0;
  EXPECT_EQ(ReportFileName(0, true, &index), "Result_OK_0.csv");
  EXPECT_EQ(ReportFileName(0, false, &index), "Result_NG_1.csv");
  EXPECT_EQ(index, 2);
  EXPECT_EQ(ReportFileName(12345678901, false, &index), "12345678901_NG.csv");
  EXPECT_EQ(ReportFileName(9223372036854775807, true, &index), "9223372036854775807_OK.csv");
  EXPECT_EQ(index, 2);  // Test ID names take no index
}

TEST(TestReportFiles, AnExistingReportIsKeptUnderTheFirstFreeOldName) {
  ScratchDir dir;
  WriteBytes(dir / "123_NG.csv", "first");
  WriteBytes(dir / "123_NG_old1.csv", "older");
  ASSERT_TRUE(WriteTestReport(dir.path(), "123_NG.csv", "second\n", nullptr));
  EXPECT_EQ(ReadBytes(dir / "123_NG.csv"), "second\r\n");
  EXPECT_EQ(ReadBytes(dir / "123_NG_old1.csv"), "older");
  EXPECT_EQ(ReadBytes(dir / "123_NG_old2.csv"), "first");
  ASSERT_TRUE(WriteTestReport(dir.path(), "123_NG.csv", "third", nullptr));
  EXPECT_EQ(ReadBytes(dir / "123_NG_old3.csv"), "second\r\n");
}

TEST(TestReportFiles, AFailedWriteSaysWhyAndLeavesNoFile) {
  ScratchDir dir;
  WriteBytes(dir / "not_a_folder", "x");  // fails for every user, root included
  std::string error;
  EXPECT_FALSE(WriteTestReport(dir / "not_a_folder", "Result_OK_0.csv", "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(WriteTestReport(dir / "missing", "Result_OK_0.csv", "x", &error));
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(TestCounterTable, YieldHasTwoTrueDecimals) {
  struct Case {
    uint32_t total, failed;
    const char* text;
  } cases[] = {{0, 0, "0.00"}, {3, 1, "66.67"}, {3, 0, "100.00"}, {3, 3, "0.00"}, {8, 1, "87.50"}};
  for (const Case& c : cases) {
    TestCounters counters;
    counters.values[kCountTotal] = c.total;
    counters.values[kCountTotalFailed] = c.failed;
    EXPECT_EQ(counters.YieldText(), c.text) << c.total << "/" << c.failed;
  }
}

// A hand-edited counters file is taken as it stands, but the good count and
// the yield stay what they can be.
TEST(TestCounterTable, HandEditedCountsKeepGoodAndYieldInRange) {
  struct Case {
    const char* total;
    const char* failed;
    int64_t good;
    const char* yield;
  } cases[] = {
      {"10", "12", 0, "0.00"}, {"10", "-5", 15, "100.00"}, {"-3", "0", 0, "0.00"},
      {"-3", "-5", 2, "0.00"}, {"4", "1", 3, "75.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.total) + "/" + c.failed);
    ScratchDir dir;
    const std::string text = std::string("[Test Report]\r\nTotalTestCnt=") + c.total +
                             "\r\nTotalFailedCnt=" + c.failed + "\r\n";
    WriteBytes(dir / "TestReport.ini", text);
    const TestCounters counters = LoadTestCounters(dir / "TestReport.ini", dir / "test.ini");
    EXPECT_EQ(counters.Good(), c.good);
    EXPECT_EQ(counters.YieldText(), c.yield);
    EXPECT_EQ(std::to_string(counters.Shown(kCountTotalFailed)), c.failed);
    // Saved back as shown: the file keeps saying what it said.
    ASSERT_TRUE(SaveTestCounters(counters, dir / "TestReport.ini", nullptr));
    EXPECT_EQ(LoadTestCounters(dir / "TestReport.ini", dir / "test.ini"), counters);
    EXPECT_NE(ReadBytes(dir / "TestReport.ini").find(std::string("TotalFailedCnt=") + c.failed),
              std::string::npos);
  }
}

TEST(TestCounterTable, FailedItemsAndVerdictCount) {
  TestItemStates items = AllItemsOff();
  items[kItemUpdate] = TEST_FAIL;
  items[kItemMaxMin] = TEST_FAIL;
  items[kItemAdjacent] = TEST_UNDECIDED;  // a pass
  items[kItemOpenShort] = TEST_FAIL;
  items[kItemInt] = TEST_FAIL;  // INT has no counter
  TestCounters counters;
  counters.AddRun(items, false);
  counters.AddRun(AllItemsOff(), true);
  EXPECT_EQ(counters.values, (std::array<uint32_t, kCounterCount>{1, 0, 0, 0, 1, 1, 2, 1}));
  EXPECT_EQ(counters.Good(), 1);
}

TEST(TestCounterStore, CountersSurviveARestartAndAReset) {
  ScratchDir dir;
  const fs::path file = dir / "test_result" / "TestReport.ini";
  fs::create_directories(file.parent_path());
  TestCounters counters;
  counters.values = {1, 2, 3, 4, 5, 6, 70, 8};
  ASSERT_TRUE(SaveTestCounters(counters, file, nullptr));
  EXPECT_EQ(ReadBytes(file),
            "[Test Report]\r\nUniformityTestFaileCnt=1\r\nJitterTestFailedCnt=2\r\n"
            "AdjacentDeviationTestFailedCnt=3\r\nOffsetTestFailedCnt=4\r\n"
            "OpenShortTestFailedCnt=5\r\nVersionCheckFailedCnt=6\r\nTotalTestCnt=70\r\n"
            "TotalFailedCnt=8\r\n");
  EXPECT_EQ(LoadTestCounters(file, dir / "test.ini"), counters);
  counters.Reset();
  ASSERT_TRUE(SaveTestCounters(counters, file, nullptr));
  EXPECT_EQ(LoadTestCounters(file, dir / "test.ini"), TestCounters{});
}

TEST(TestCounterStore, AnOlderTestIniIsReadOnlyWhileTheCountersFileIsMissing) {
  ScratchDir dir;
  WriteBytes(dir / "test.ini", "[Test Report]\r\nTotalTestCnt=9\r\nTotalFailedCnt=2\r\n");
  const fs::path file = dir / "TestReport.ini";
  EXPECT_EQ(LoadTestCounters(file, dir / "test.ini").values[kCountTotal], 9u);
  TestCounters counters;
  counters.values[kCountTotal] = 10;
  ASSERT_TRUE(SaveTestCounters(counters, file, nullptr));
  EXPECT_EQ(LoadTestCounters(file, dir / "test.ini").values[kCountTotal], 10u);
  EXPECT_EQ(ReadBytes(dir / "test.ini"), "[Test Report]\r\nTotalTestCnt=9\r\nTotalFailedCnt=2\r\n");
}

// A counters file that is there but cannot be read: zeros, one line naming
// the file and the reason (again only once the file has changed), and saves
// keep refusing it.
TEST(TestCounterStore, AnUnreadableCountersFileIsSaidOnceAndNeverReplaced) {
  ScratchDir dir;
  WriteBytes(dir / "test.ini", "[Test Report]\r\nTotalTestCnt=9\r\n");
  const fs::path file = dir / "TestReport.ini";
  WriteBytes(file, "[Test Report]\r\nTotalTestCnt=5\r\n");
  ASSERT_EQ(::truncate(file.c_str(), 16 * 1024 * 1024 + 1), 0);
  views_test::RecordingLog log;
  EXPECT_EQ(LoadTestCounters(file, dir / "test.ini", &log), TestCounters{});
  EXPECT_EQ(LoadTestCounters(file, dir / "test.ini", &log), TestCounters{});
  ASSERT_EQ(log.Lines().size(), 1u);
  const std::string line = log.Lines()[0];
  EXPECT_EQ(line.rfind(kUnreadableSettingsText, 0), 0u) << line;
  EXPECT_NE(line.find(file.string()), std::string::npos) << line;
  EXPECT_NE(line.find("larger than"), std::string::npos) << line;
  EXPECT_EQ(log.Levels(), std::vector<LogLevel>{LOG_ERROR});

  TestCounters counters;
  counters.values[kCountTotal] = 1;
  EXPECT_FALSE(SaveTestCounters(counters, file, nullptr));
  EXPECT_EQ(fs::file_size(file), 16u * 1024 * 1024 + 1);

  ASSERT_EQ(::truncate(file.c_str(), 16 * 1024 * 1024 + 2), 0);
  LoadTestCounters(file, dir / "test.ini", &log);
  EXPECT_EQ(log.Lines().size(), 2u) << "a changed file is said again";
}

TEST(ResultIndexScan, Table) {
  struct Case {
    const char* name;
    std::vector<const char*> files;
    int32_t index;
    size_t warnings;
  } cases[] = {
      {"empty folder", {}, 0, 0},
      {"7 and 12", {"Result_OK_7.csv", "Result_NG_12.csv"}, 13, 0},
      {"not a number", {"Result_OK_abc.csv"}, 1, 0},
      {"upper-case extension", {"RESULT_ng_4.CSV"}, 5, 0},
      {"Test ID names do not count", {"12345678901_OK.csv", "Result_OK_2.csv.bak"}, 0, 0},
      {"too large", {"Result_OK_99999999999.csv", "Result_OK_3.csv"}, 4, 1},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    for (const char* f : c.files) WriteBytes(dir / f, "x");
    std::vector<std::string> warnings;
    EXPECT_EQ(NextResultIndex(dir.path(), &warnings), c.index) << c.name;
    EXPECT_EQ(warnings.size(), c.warnings) << c.name;
  }
}

}  // namespace
