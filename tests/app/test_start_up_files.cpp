// What the program's start does with the files of its runtime tree: the
// temporary files of writes a crash cut short go (in System/ and test/ with
// their subfolders, nothing else), and a settings file that is there but
// cannot be read is said in the log instead of passed over.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "device/SettingsFileCheck.h"
#include "platform/files/AtomicFile.h"
#include "tests/app/WindowRig.h"

namespace {

using namespace window_test;
using platform::testing_support::ReadBytes;

// A temporary file of the atomic writer's naming.
const std::string kLeftover = ".kst00001a2b0000000300c0ffee.tmp";

class StartUpFiles : public WindowRig {
 protected:
  void BeforeStart() override {
    ASSERT_TRUE(platform::IsAtomicTempName(kLeftover));
    for (const char* dir : {"System", "System/ChipIni", "System/Temp", "test/test_file"}) {
      WriteBytes(root_.path() / dir / kLeftover, "half");
    }
    WriteBytes(root_.path() / "System" / "ChipIni" / ".notes.tmp", "the user's");
    WriteBytes(root_.path() / "picked" / kLeftover, "in a folder the user picked");
    const fs::path settings = root_.path() / "System" / "AppConfigInit.ini";
    ASSERT_EQ(::truncate(settings.c_str(), 16 * 1024 * 1024 + 1), 0);
  }
};

TEST_F(StartUpFiles, LeftoversGoAndAnUnreadableSettingsFileIsSaidOnce) {
  for (const char* dir : {"System", "System/ChipIni", "System/Temp", "test/test_file"}) {
    EXPECT_FALSE(fs::exists(root_.path() / dir / kLeftover)) << dir;
  }
  EXPECT_EQ(ReadBytes(root_.path() / "System" / "ChipIni" / ".notes.tmp"), "the user's");
  EXPECT_TRUE(fs::exists(root_.path() / "picked" / kLeftover));

  const fs::path settings = root_.path() / "System" / "AppConfigInit.ini";
  int said = 0;
  for (const QString& line : LogLines(window_->Log())) {
    if (!line.startsWith(QString::fromUtf8(kUnreadableSettingsText))) continue;
    ++said;
    EXPECT_TRUE(line.contains(QString::fromStdString(settings.string()))) << line.toStdString();
    EXPECT_TRUE(line.contains(QStringLiteral("larger than"))) << line.toStdString();
  }
  EXPECT_EQ(said, 1);
  EXPECT_EQ(fs::file_size(settings), 16u * 1024 * 1024 + 1) << "never replaced";
}

}  // namespace
