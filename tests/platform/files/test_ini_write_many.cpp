#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/IniFile.h"
#include "tests/platform/ScratchDir.h"
#include "tests/platform/WriteFault.h"

namespace platform {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

TEST(IniWriteStrings, WritesEveryKeyInOrderOrNoneAtAll) {
  ScratchDir dir;
  const std::filesystem::path file = dir / "chip.ini";
  const std::string before = "[Option]\r\nRawDataRows=30\r\n";
  WriteBytes(file, before);

  std::string error;
  ASSERT_TRUE(IniWriteStrings("Option", {{"RawDataRows", "20"}, {"RawDataCols", "40"}}, file,
                              &error))
      << error;
  EXPECT_EQ(ReadBytes(file), "[Option]\r\nRawDataRows=20\r\nRawDataCols=40\r\n");

  // A key that cannot be stored stops the whole record: the keys before it
  // are not written either.
  const std::string written = ReadBytes(file);
  EXPECT_FALSE(IniWriteStrings("Option", {{"RawDataRows", "10"}, {"Bad=Key", "1"}}, file, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(file), written);
}

// Keys of several sections: one read and one replacement of the file, so a
// failure (or a stop) anywhere leaves it all old or all new.
TEST(IniWriteEntries, SeveralSectionsAreOneReplacement) {
  ScratchDir dir;
  const std::filesystem::path file = dir / "test.ini";
  const std::string before = "[Test Enable]\r\nJitterTest=1\r\n";
  WriteBytes(file, before);
  const std::vector<IniEntry> entries = {{"Test Enable", "JitterTest", "0"},
                                         {"Test Threhold", "Max", "3000"},
                                         {"Short Open Test Threhold", "Ch2Ch", "60"}};
  std::string error;
  {
    testing_support::ScopedWriteFault fault(testing_support::StopAfterWrites(0));
    EXPECT_FALSE(IniWriteEntries(entries, file, &error));
  }
  EXPECT_EQ(ReadBytes(file), before);

  int writes = 0;
  {
    testing_support::ScopedWriteFault count([&](const std::filesystem::path&) {
      ++writes;
      return 0;
    });
    ASSERT_TRUE(IniWriteEntries(entries, file, &error)) << error;
  }
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(ReadBytes(file),
            "[Test Enable]\r\nJitterTest=0\r\n[Test Threhold]\r\nMax=3000\r\n"
            "[Short Open Test Threhold]\r\nCh2Ch=60\r\n");
}

}  // namespace
}  // namespace platform
