#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/RuntimeRoot.h"
#include "platform/files/AppPaths.h"
#include "tests/platform/ScratchDir.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
namespace fs = std::filesystem;

// A scratch machine: a staged tree (stage/bin + stage/System), an installed
// one (usr/bin + usr/share/kestrana) and a user's data home.
class RuntimeRootChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(disk_ / "stage" / "bin");
    fs::create_directories(disk_ / "stage" / "System");
    fs::create_directories(disk_ / "usr" / "bin");
    WriteBytes(disk_ / "usr" / "share" / "kestrana" / "System" / "AppConfigInit.ini", "shipped");
    WriteBytes(disk_ / "usr" / "share" / "kestrana" / "System" / "ChipIni" / "RO9110V.ini", "chip");
    WriteBytes(disk_ / "usr" / "share" / "kestrana" / "doc" / "README.md", "doc");
  }

  RuntimeRootInputs Inputs(const std::string& over, const fs::path& programDir) const {
    return RuntimeRootInputs{over, programDir, disk_ / "home" / ".local" / "share"};
  }

  ScratchDir disk_;
};

TEST_F(RuntimeRootChoice, InOrderOfPreference) {
  const fs::path staged = disk_ / "stage" / "bin";
  const fs::path installed = disk_ / "usr" / "bin";

  RuntimeRoot r = ChooseRuntimeRoot(Inputs((disk_ / "mine").string(), staged));
  EXPECT_EQ(r.kind, RuntimeRoot::Kind::Override) << "the variable wins over a staged tree";
  EXPECT_EQ(r.root, disk_ / "mine");

  r = ChooseRuntimeRoot(Inputs("", staged));
  EXPECT_EQ(r.kind, RuntimeRoot::Kind::ProgramParent);
  EXPECT_EQ(r.root, disk_ / "stage");

  r = ChooseRuntimeRoot(Inputs("", installed));
  EXPECT_EQ(r.kind, RuntimeRoot::Kind::PerUser);
  EXPECT_EQ(r.root, disk_ / "home" / ".local" / "share" / "kestrana");
  EXPECT_EQ(r.defaults, disk_ / "usr" / "share" / "kestrana");
}

TEST_F(RuntimeRootChoice, PerUserRootIsSeededWithoutOverwritingTheUsersFiles) {
  const fs::path user = disk_ / "home" / ".local" / "share" / "kestrana";
  WriteBytes(user / "System" / "AppConfigInit.ini", "the user's own");

  RuntimeRoot chosen;
  std::string error;
  ASSERT_TRUE(PrepareRuntimeRoot(Inputs("", disk_ / "usr" / "bin"), &chosen, &error)) << error;
  EXPECT_EQ(platform::AppPaths::BaseDir(), user);
  EXPECT_EQ(platform::AppPaths::Resolve("..\\System\\AppConfigInit.ini"),
            user / "System" / "AppConfigInit.ini");

  EXPECT_EQ(ReadBytes(user / "System" / "AppConfigInit.ini"), "the user's own");
  EXPECT_EQ(ReadBytes(user / "System" / "ChipIni" / "RO9110V.ini"), "chip");
  EXPECT_EQ(ReadBytes(user / "doc" / "README.md"), "doc");
  EXPECT_EQ(ReadBytes(disk_ / "usr" / "share" / "kestrana" / "System" / "AppConfigInit.ini"),
            "shipped")
      << "the shipped defaults are only read";
}

// A start after an upgrade: the shipped documents (never written by the
// program) follow the new shipped copies; every file the program writes, and
// every file of the user's own, stays as the user has it.
TEST_F(RuntimeRootChoice, ReseedAfterAnUpgradeRefreshesOnlyTheShippedDocuments) {
  const fs::path shipped = disk_ / "usr" / "share" / "kestrana";
  const fs::path user = disk_ / "home" / ".local" / "share" / "kestrana";
  struct Case {
    const char* file;
    const char* shippedBytes;  // null: not shipped
    const char* userBytes;     // null: the user has no such file
    const char* expected;
  };
  const Case cases[] = {
      {"doc/Zudazivir使用说明v1.20.pdf", "guide v2", "guide v1", "guide v2"},
      {"doc/README.md", "doc", "doc", "doc"},
      {"doc/sheet.pdf", "sheet", nullptr, "sheet"},
      {"doc/notes.txt", nullptr, "the user's notes", "the user's notes"},
      {"System/AppConfigInit.ini", "shipped v2", "the user's settings", "the user's settings"},
      {"System/ChipIni/RO9110V.ini", "chip v2", "chip with LastTestIni", "chip with LastTestIni"},
      {"System/CfgItem/RO9110V_demo.sc", "items v2", "items edited", "items edited"},
      {"System/CfgItem/RO7387Z_demo.sc", "items", nullptr, "items"},
      {"test/test_file/test.ini", nullptr, "line settings", "line settings"},
  };
  for (const Case& c : cases) {
    if (c.shippedBytes != nullptr) WriteBytes(shipped / c.file, c.shippedBytes);
    if (c.userBytes != nullptr) WriteBytes(user / c.file, c.userBytes);
  }
  // An unchanged document is not rewritten at every start.
  const auto before = fs::file_time_type::clock::now() - std::chrono::hours(24);
  fs::last_write_time(user / "doc" / "README.md", before);
  // A folder where a document ships is the user's and stops nothing.
  WriteBytes(shipped / "doc" / "manual.pdf", "manual");
  fs::create_directories(user / "doc" / "manual.pdf");

  std::string error;
  ASSERT_TRUE(SeedRuntimeRoot(shipped, user, &error)) << error;
  for (const Case& c : cases) EXPECT_EQ(ReadBytes(user / c.file), c.expected) << c.file;
  EXPECT_EQ(fs::last_write_time(user / "doc" / "README.md"), before);
  EXPECT_TRUE(fs::is_directory(user / "doc" / "manual.pdf"));
}

TEST_F(RuntimeRootChoice, StagedAndOverrideRootsAreUsedAsTheyAre) {
  std::string error;
  ASSERT_TRUE(PrepareRuntimeRoot(Inputs("", disk_ / "stage" / "bin"), nullptr, &error));
  EXPECT_EQ(platform::AppPaths::BaseDir(), disk_ / "stage");
  EXPECT_FALSE(fs::exists(disk_ / "home")) << "no per-user copy for a staged tree";

  ASSERT_TRUE(PrepareRuntimeRoot(Inputs((disk_ / "mine").string(), disk_ / "usr" / "bin"), nullptr,
                                 &error));
  EXPECT_EQ(platform::AppPaths::BaseDir(), disk_ / "mine");
  EXPECT_FALSE(fs::exists(disk_ / "mine")) << "the override is not seeded";
}

TEST_F(RuntimeRootChoice, PerUserRootThatCannotBeMadeIsReported) {
  WriteBytes(disk_ / "blocked", "a file where the data home should be");
  RuntimeRootInputs inputs{"", disk_ / "usr" / "bin", disk_ / "blocked"};
  std::string error;
  EXPECT_FALSE(PrepareRuntimeRoot(inputs, nullptr, &error));
  EXPECT_NE(error.find("blocked"), std::string::npos) << error;
}

// Neither XDG_DATA_HOME nor HOME: the temporary folder, and /tmp when TMPDIR
// names no folder (the start must not throw).
TEST_F(RuntimeRootChoice, PerUserRootWithoutADataHomeFallsBackToTmp) {
  const char* saved = std::getenv("TMPDIR");
  const std::string before = saved != nullptr ? saved : "";
  ::setenv("TMPDIR", (disk_ / "no-such-folder").c_str(), 1);
  RuntimeRoot r;
  EXPECT_NO_THROW(r = ChooseRuntimeRoot(RuntimeRootInputs{"", disk_ / "usr" / "bin", {}}));
  if (saved != nullptr) {
    ::setenv("TMPDIR", before.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_EQ(r.kind, RuntimeRoot::Kind::PerUser);
  EXPECT_EQ(r.root, fs::path("/tmp/kestrana"));
}

TEST_F(RuntimeRootChoice, MissingDefaultsLeaveAnEmptyRoot) {
  std::string error;
  ASSERT_TRUE(SeedRuntimeRoot(disk_ / "nowhere", disk_ / "fresh", &error)) << error;
  EXPECT_TRUE(fs::is_directory(disk_ / "fresh"));
}

}  // namespace
