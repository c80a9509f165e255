#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/ScratchDir.h"

namespace platform {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;
namespace fs = std::filesystem;

std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WriteFileAtomic, CreatesAndReplacesLeavingNoTemporaryFiles) {
  ScratchDir dir;
  const fs::path target = dir / "settings.ini";
  std::string error;
  ASSERT_TRUE(WriteFileAtomic(target, std::string("first\0bytes", 11), &error)) << error;
  EXPECT_EQ(ReadBytes(target), std::string("first\0bytes", 11));

  ASSERT_TRUE(WriteFileAtomic(target, "second", &error)) << error;
  EXPECT_EQ(ReadBytes(target), "second");

  ASSERT_TRUE(WriteFileAtomic(target, "", &error)) << error;
  EXPECT_EQ(ReadBytes(target), "");
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"settings.ini"});
}

TEST(WriteFileAtomic, KeepsPermissionsOfTheReplacedFile) {
  ScratchDir dir;
  const fs::path target = dir / "report.csv";
  WriteBytes(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomic(target, "new"));
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(WriteFileAtomic, FailureLeavesTheOldStateAndSaysWhy) {
  ScratchDir dir;
  WriteBytes(dir / "plain-file", "keep me");
  fs::create_directories(dir / "a-folder" / "inside");
  struct Case {
    const char* what;
    fs::path target;
    const char* reason;  // expected in the message
  };
  const Case cases[] = {
      {"folder missing", dir / "no-such-folder" / "x.ini", "No such file or directory"},
      {"parent is a regular file", dir / "plain-file" / "x.ini", "Not a directory"},
      {"target is a folder", dir / "a-folder", "Is a directory"},
      {"no file name", dir.path() / "", "not a file name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_FALSE(WriteFileAtomic(c.target, "payload", &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  EXPECT_EQ(ReadBytes(dir / "plain-file"), "keep me");
  EXPECT_TRUE(fs::is_directory(dir / "a-folder" / "inside"));
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"a-folder", "plain-file"}));
}

TEST(WriteFileAtomic, ConcurrentWritersNeverProduceAMixedFile) {
  ScratchDir dir;
  const fs::path target = dir / "shared.bin";
  constexpr int kWriters = 4;
  constexpr int kRounds = 10;
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      const std::string payload(4096 + w, static_cast<char>('a' + w));
      for (int r = 0; r < kRounds; ++r) {
        if (!WriteFileAtomic(target, payload)) ++failures;
      }
    });
  }
  for (auto& t : writers) t.join();
  EXPECT_EQ(failures.load(), 0);
  const std::string result = ReadBytes(target);
  ASSERT_FALSE(result.empty());
  const int w = result[0] - 'a';
  EXPECT_EQ(result, std::string(4096 + w, result[0]));
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"shared.bin"});
}

TEST(ReadFileBytes, ReadsUpToTheLimitAndRefusesBeyondIt) {
  ScratchDir dir;
  WriteBytes(dir / "ten", "0123456789");
  struct Case {
    size_t maxBytes;
    bool ok;
  };
  for (const Case c : {Case{10, true}, Case{100, true}, Case{9, false}, Case{0, false}}) {
    SCOPED_TRACE(c.maxBytes);
    std::string out = "stale";
    std::string error;
    bool missing = true;
    EXPECT_EQ(ReadFileBytes(dir / "ten", &out, c.maxBytes, &error, &missing), c.ok);
    EXPECT_FALSE(missing);
    EXPECT_EQ(out, c.ok ? "0123456789" : "");
    if (!c.ok) {
      EXPECT_NE(error.find("larger than"), std::string::npos) << error;
    }
  }

  WriteBytes(dir / "empty", "");
  std::string out = "stale";
  EXPECT_TRUE(ReadFileBytes(dir / "empty", &out, 0));
  EXPECT_EQ(out, "");
}

// A file whose size the system does not report (procfs says 0) is read to
// its end in small steps, and the limit still holds.
TEST(ReadFileBytes, ReadsPastTheReportedSizeUpToTheLimit) {
  std::string out;
  ASSERT_TRUE(ReadFileBytes("/proc/self/status", &out, 1 << 20));
  EXPECT_EQ(out.rfind("Name:", 0), 0u) << out.substr(0, 40);
  std::string error;
  EXPECT_FALSE(ReadFileBytes("/proc/self/status", &out, 16, &error));
  EXPECT_EQ(out, "");
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

TEST(ReadFileBytes, TellsMissingFromUnreadable) {
  ScratchDir dir;
  WriteBytes(dir / "file", "x");
  fs::create_directories(dir / "folder");
  struct Case {
    const char* what;
    fs::path path;
    bool missing;
  };
  const Case cases[] = {
      {"no such file", dir / "nothing", true},
      {"below a regular file", dir / "file" / "x", true},
      {"a folder", dir / "folder", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string out = "stale";
    std::string error;
    bool missing = !c.missing;
    EXPECT_FALSE(ReadFileBytes(c.path, &out, 1024, &error, &missing));
    EXPECT_EQ(missing, c.missing);
    EXPECT_EQ(out, "");
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace platform
