// The recording of "PointFile.csv": header, one line per contact per report,
// every completed line in the file before Record returns, failures reported.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/platform/FileSizeLimit.h"
#include "views/PointRecorder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class PointRecorderTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("kestrana_rec_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(PointRecorderTest, WritesHeaderAndOneLinePerContactPerReport) {
  const fs::path file = dir_ / "PointFile.csv";
  {
    std::ofstream old(file);
    old << "left over from an earlier run\n";
  }
  PointRecorder recorder;
  ASSERT_TRUE(recorder.Open(file));
  EXPECT_EQ("slot,id,x,y,size\n", ReadAll(file));  // emptied, header at once

  SlotTable table{};
  table[0] = {3, 100, 200, 25};
  table[4] = {7, 1080, 1920, 60};
  ASSERT_TRUE(recorder.Record(table));
  // Completed lines are in the file while the recording is still open.
  EXPECT_EQ("slot,id,x,y,size\n0,3,100,200,25\n4,7,1080,1920,60\n", ReadAll(file));

  SlotTable none{};
  none[2] = {5, 1, 1, 0};  // a slot without size is no contact
  ASSERT_TRUE(recorder.Record(none));
  ASSERT_TRUE(recorder.Close());
  EXPECT_FALSE(recorder.IsOpen());
  EXPECT_EQ("slot,id,x,y,size\n0,3,100,200,25\n4,7,1080,1920,60\n", ReadAll(file));
  // Not recording: nothing to do.
  EXPECT_TRUE(recorder.Record(table));
}

TEST_F(PointRecorderTest, FailuresAreReported) {
  PointRecorder recorder;
  std::string error;
  EXPECT_FALSE(recorder.Open(dir_ / "missing" / "PointFile.csv", &error));
  EXPECT_NE(std::string::npos, error.find("PointFile.csv"));
  EXPECT_FALSE(recorder.IsOpen());

  // A full device: the write fails, the recording closes and says so.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_FALSE(recorder.Open("/dev/full", &error));
  EXPECT_NE(std::string::npos, error.find("/dev/full"));
  EXPECT_FALSE(recorder.IsOpen());
}

// A disk that fills up inside a report's lines: the file is cut back to the
// last whole line, so a reader never meets half a line.
TEST_F(PointRecorderTest, AWriteCutShortKeepsOnlyWholeLines) {
  const fs::path file = dir_ / "PointFile.csv";
  const std::string header = PointRecorder::kHeader;
  const std::string firstLine = "0,3,100,200,25\n";
  SlotTable first{};
  first[0] = {3, 100, 200, 25};
  SlotTable second{};
  second[0] = {3, 101, 201, 25};
  second[1] = {4, 500, 600, 30};
  PointRecorder recorder;
  ASSERT_TRUE(recorder.Open(file));
  std::string error;
  {
    platform::testing_support::FileSizeLimit limit(header.size() + firstLine.size() + 7);
    ASSERT_TRUE(limit.IsSet());
    ASSERT_TRUE(recorder.Record(first));
    EXPECT_FALSE(recorder.Record(second, &error));
  }
  EXPECT_NE(std::string::npos, error.find("PointFile.csv")) << error;
  EXPECT_FALSE(recorder.IsOpen());
  EXPECT_EQ(header + firstLine, ReadAll(file));
}

}  // namespace
