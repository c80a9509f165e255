#include "platform/files/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/Fifo.h"
#include "tests/platform/ScratchDir.h"
#include "tests/platform/WriteFault.h"

namespace platform {
namespace {

using testing_support::MakeFifo;
using testing_support::ReadBytes;
using testing_support::ReturnsWithoutAWriter;
using testing_support::ScopedWriteFault;
using testing_support::ScratchDir;
using testing_support::WriteBytes;
namespace fs = std::filesystem;

// A program killed inside an atomic write of target: a forked writer ends
// itself just before the rename, leaving what a kill at that point leaves.
void KillWriterBeforeRename(const fs::path& target, const std::string& bytes) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SetAtomicWriteFaultForTesting([](const fs::path&) -> int { ::_exit(0); });
    WriteFileAtomic(target, bytes);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the writer did not reach its rename";
}

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

// A target whose name fills a folder entry (255 bytes) is written like any
// other: the temporary name does not grow with it.
TEST(WriteFileAtomic, EveryLegalNameCanBeWritten) {
  ScratchDir dir;
  std::string wide;
  for (int i = 0; i < 83; ++i) wide += "固";
  for (const std::string& name : {std::string(251, 'n') + ".ini", wide + "ab.bin"}) {
    SCOPED_TRACE(name.size());
    ASSERT_EQ(name.size(), 255u);
    std::string error;
    ASSERT_TRUE(WriteFileAtomic(dir / name, "bytes", &error)) << error;
    EXPECT_EQ(ReadBytes(dir / name), "bytes");
  }
  EXPECT_EQ(Listing(dir.path()).size(), 2u);
}

TEST(WriteFileAtomic, KilledWriteLeavesOneShortTempFileThatTheStartUpCleanUpRemoves) {
  ScratchDir dir;
  const fs::path target = dir / "System" / (std::string(240, 'c') + ".ini");
  WriteBytes(target, "old");
  KillWriterBeforeRename(target, "new");
  EXPECT_EQ(ReadBytes(target), "old");
  std::vector<std::string> names = Listing(dir / "System");
  ASSERT_EQ(names.size(), 2u);
  const std::string temp = names[0] == target.filename().string() ? names[1] : names[0];
  EXPECT_TRUE(IsAtomicTempName(temp)) << temp;
  EXPECT_EQ(temp.size(), 32u) << temp;

  // Leftovers in subfolders go as well; files of any other naming, and
  // folders reached through a link, are not the clean-up's.
  fs::create_directories(dir / "System" / "ChipIni");
  KillWriterBeforeRename(dir / "System" / "ChipIni" / "RO911.ini", "x");
  WriteBytes(dir / "System" / "CfgItem" / ".RO911.sc.tmp-4242-0-17", "older naming");
  const std::vector<std::string> foreign = {".kst0123.tmp", "notes.tmp", ".RO911.ini.bak",
                                            ".a.tmp-12-x", ".kst0123456789abcdef01234567.tmp1"};
  for (const std::string& name : foreign) WriteBytes(dir / "System" / name, "keep");
  WriteBytes(dir / "elsewhere" / temp, "not below the folder");
  fs::create_directory_symlink(dir / "elsewhere", dir / "System" / "linked");

  EXPECT_EQ(RemoveLeftoverTempFiles(dir / "System"), 3u);
  names = Listing(dir / "System");
  std::vector<std::string> expected = foreign;
  expected.insert(expected.end(), {"CfgItem", "ChipIni", "linked", target.filename().string()});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(Listing(dir / "System" / "ChipIni").empty());
  EXPECT_TRUE(Listing(dir / "System" / "CfgItem").empty());
  EXPECT_EQ(ReadBytes(dir / "elsewhere" / temp), "not below the folder");
}

TEST(PendingFile, TargetChangesOnlyWhenCommitted) {
  ScratchDir dir;
  const fs::path target = dir / "line1.tp";
  WriteBytes(target, "known good");
  {
    PendingFile file;
    ASSERT_TRUE(file.Prepare(target, "new"));
    EXPECT_EQ(ReadBytes(target), "known good");
  }  // dropped uncommitted
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"line1.tp"});

  PendingFile refused;
  ASSERT_TRUE(refused.Prepare(target, "new"));
  {
    ScopedWriteFault fault([](const fs::path&) { return EIO; });
    std::string error;
    EXPECT_FALSE(refused.Commit(&error));
    EXPECT_NE(error.find("Input/output error"), std::string::npos) << error;
  }
  EXPECT_EQ(ReadBytes(target), "known good");
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"line1.tp"});

  PendingFile file;
  ASSERT_TRUE(file.Prepare(target, "new"));
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"line1.tp"});
}

// A settings file kept in a shared folder behind a link stays shared: the
// link's target is replaced (in its own folder, keeping its mode), the link
// stays a link. Links to nothing and things that are no files are refused.
TEST(WriteFileAtomic, WritesThroughLinksAndNeverReplacesWhatIsNoFile) {
  ScratchDir dir;
  const fs::path shared = dir / "shared" / "line.ini";
  WriteBytes(shared, "old");
  ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
  fs::create_directories(dir / "System");
  fs::create_symlink("../shared/line.ini", dir / "System" / "line.ini");
  fs::create_symlink("line.ini", dir / "System" / "alias.ini");  // a chain of two

  std::string error;
  ASSERT_TRUE(WriteFileAtomic(dir / "System" / "alias.ini", "new", &error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "System" / "alias.ini"));
  EXPECT_TRUE(fs::is_symlink(dir / "System" / "line.ini"));
  EXPECT_EQ(ReadBytes(shared), "new");
  struct stat st {};
  ASSERT_EQ(::stat(shared.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Listing(dir / "shared"), std::vector<std::string>{"line.ini"});

  fs::create_symlink("../unmounted/line.ini", dir / "System" / "gone.ini");
  MakeFifo(dir / "System" / "fifo.ini");
  struct Case {
    const char* what;
    fs::path target;
    const char* reason;
  };
  const Case cases[] = {
      {"a link to nothing", dir / "System" / "gone.ini", "does not exist"},
      {"a FIFO", dir / "System" / "fifo.ini", "not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(WriteFileAtomic(c.target, "payload", &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  EXPECT_TRUE(fs::is_symlink(dir / "System" / "gone.ini"));
  EXPECT_FALSE(fs::exists(dir / "unmounted"));
  EXPECT_TRUE(fs::is_fifo(dir / "System" / "fifo.ini"));
  EXPECT_EQ(Listing(dir / "System"),
            (std::vector<std::string>{"alias.ini", "fifo.ini", "gone.ini", "line.ini"}));
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

TEST(ReadFileBytes, RefusesAFifoWithoutWaitingForAWriter) {
  ScratchDir dir;
  MakeFifo(dir / "choice.tp");
  bool read = true;
  bool missing = true;
  std::string out = "stale";
  std::string error;
  EXPECT_TRUE(ReturnsWithoutAWriter(dir / "choice.tp", [&] {
    read = ReadFileBytes(dir / "choice.tp", &out, 1024, &error, &missing);
  }));
  EXPECT_FALSE(read);
  EXPECT_FALSE(missing);
  EXPECT_EQ(out, "");
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

}  // namespace
}  // namespace platform
