#include "platform/files/AppPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/Glob.h"
#include "tests/platform/ScratchDir.h"

namespace platform {
namespace {

using testing_support::ScratchDir;
using testing_support::WriteBytes;
namespace fs = std::filesystem;

// Points the process-wide base directory somewhere for one test and puts the
// previous one back afterwards.
class AppPathsTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = AppPaths::BaseDir(); }
  void TearDown() override { AppPaths::SetBaseDir(saved_); }

 private:
  fs::path saved_;
};

TEST(WildcardMatch, PatternRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"RO9110V_*.ini", "RO9110V_A1.ini", true},
      {"RO9110V_*.ini", "ro9110v_a1.INI", true},  // ASCII case ignored
      {"RO9110V_*.ini", "RO9110V_.ini", true},    // '*' may match nothing
      {"RO9110V_*.ini", "RO9110V.ini", false},
      {"RO9110V_*.ini", "RO9110V_A1.ini.bak", false},
      {"RO9110V_*.ini", "xRO9110V_A1.ini", false},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"a?c", "a中c", true},  // '?' takes a whole character
      {"a??c", "a中c", false},
      {"中?.sc", "中文.SC", true},
      {"中*", "中文", true},
      {"*", "", true},
      {"", "", true},
      {"", "x", false},
      {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {"**.cfg", "x.cfg", true},
      {"*.*", "noext", true},  // a trailing ".*" also matches no extension
      {"*.*", "a.b.c", true},
      {"name.*", "name", true},
      {"name.*", "names", false},
      {"*.ini", "noext", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
  }
}

TEST_F(AppPathsTest, ResolvesStoredPathTexts) {
  AppPaths::SetBaseDir("/opt/kestrana");
  struct Case {
    const char* text;
    const char* path;
  };
  const Case cases[] = {
      {"..\\System\\AppConfigInit.ini", "/opt/kestrana/System/AppConfigInit.ini"},
      {"../test/x.ini", "/opt/kestrana/test/x.ini"},
      {"..\\test/test_file\\test.ini", "/opt/kestrana/test/test_file/test.ini"},
      {"System\\ChipIni\\a.ini", "/opt/kestrana/System/ChipIni/a.ini"},
      {".\\doc\\manual.pdf", "/opt/kestrana/doc/manual.pdf"},
      {"..\\..\\outside.ini", "/opt/outside.ini"},
      {"..\\System\\\\Temp\\.\\a_Back.cfg", "/opt/kestrana/System/Temp/a_Back.cfg"},
      {"..", "/opt/kestrana"},
      {"..\\", "/opt/kestrana"},
      {"", "/opt/kestrana"},
      {"/var/lib/x.ini", "/var/lib/x.ini"},
      {"\\var\\lib\\x.ini", "/var/lib/x.ini"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AppPaths::Resolve(c.text), fs::path(c.path)) << c.text;
  }
}

TEST_F(AppPathsTest, DefaultBaseIsTheFolderAboveTheExecutables) {
  // The build names the folder of this test binary: an independent view of
  // where it lives, whatever path it was started by.
  const fs::path binaryDir = KESTRANA_TEST_BINARY_DIR;
  EXPECT_TRUE(fs::equivalent(AppPaths::ExecutableBaseDir(), binaryDir.parent_path()));

  AppPaths::SetBaseDir("relative/base");
  EXPECT_EQ(AppPaths::BaseDir(), (fs::current_path() / "relative/base").lexically_normal());
}

TEST_F(AppPathsTest, FindFilesIsCaseInsensitiveSortedAndFilesOnly) {
  ScratchDir dir;
  AppPaths::SetBaseDir(dir.path());
  const fs::path chipIni = dir / "System" / "ChipIni";
  for (const char* name : {"RO9110V_c.ini", "ro9110v_B.INI", "RO9110V_a.ini", "RO9110V.ini",
                           "RO9110V_a.ini.bak", "other.sc", "A.cfg", "a.cfg", "b.cfg"}) {
    WriteBytes(chipIni / name, "x");
  }
  fs::create_directories(chipIni / "RO9110V_folder.ini");

  auto names = [](const std::vector<fs::path>& files) {
    std::vector<std::string> out;
    for (const auto& f : files) out.push_back(f.filename().string());
    return out;
  };
  const auto found = AppPaths::FindFiles("..\\System\\ChipIni\\RO9110V_*.ini");
  EXPECT_EQ(names(found),
            (std::vector<std::string>{"RO9110V_a.ini", "ro9110v_B.INI", "RO9110V_c.ini"}));
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found.front(), chipIni / "RO9110V_a.ini");

  // Case-folded order first, byte order only to break a tie.
  EXPECT_EQ(names(AppPaths::FindFiles("System/ChipIni/?.CFG")),
            (std::vector<std::string>{"A.cfg", "a.cfg", "b.cfg"}));
  EXPECT_EQ(names(AppPaths::FindFiles((chipIni / "*.sc").string())),
            std::vector<std::string>{"other.sc"});
  EXPECT_TRUE(AppPaths::FindFiles("..\\System\\NoSuchFolder\\*.ini").empty());
  EXPECT_TRUE(AppPaths::FindFiles("..\\System\\ChipIni\\RO9110V_a.ini\\*").empty());
}

}  // namespace
}  // namespace platform
