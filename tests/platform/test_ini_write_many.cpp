#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/IniFile.h"
#include "tests/platform/ScratchDir.h"

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

}  // namespace
}  // namespace platform
