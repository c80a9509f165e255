#include <gtest/gtest.h>

#include <map>
#include <string>

#include "moduletest/TestPaths.h"
#include "moduletest/package/PackageCodec.h"
#include "moduletest/package/PackageExport.h"
#include "moduletest/package/TestPackage.h"
#include "moduletest/settings/TestSettings.h"
#include "platform/files/AppPaths.h"
#include "platform/files/IniFile.h"
#include "tests/platform/ScratchDir.h"
#include "tests/platform/WriteFault.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
namespace fs = std::filesystem;

// Bytes of one record, name given as UTF-16LE bytes.
std::string RawRecord(const std::string& name16, uint64_t declaredLength, const std::string& data) {
  std::string out;
  const uint32_t n = static_cast<uint32_t>(name16.size());
  for (int i = 0; i < 4; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
  out += name16;
  for (int i = 0; i < 8; ++i) out += static_cast<char>((declaredLength >> (8 * i)) & 0xFF);
  out += data;
  return out;
}

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

std::string Record(const std::string& name, const std::string& data) {
  return RawRecord(Utf16(name), data.size(), data);
}

std::map<std::string, std::string> FolderFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder)) {
    files[e.path().filename().string()] = ReadBytes(e.path());
  }
  return files;
}

class TestPackages : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::AppPaths::SetBaseDir(root_.path());
    paths_ = TestPaths::ForBase(root_.path());
    ASSERT_TRUE(CreateTestFolders(paths_, nullptr));
    WriteBytes(paths_.testIni, "[Test Enable]\r\nSensorTest=1\r\n");
    WriteBytes(paths_.testFileDir / "RO911.bin", "old firmware");
  }
  ScratchDir root_;
  TestPaths paths_;
};

TEST_F(TestPackages, RoundTripIsSortedAndRestoresTheFolder) {
  ScratchDir src;
  WriteBytes(src / "b.cfg", "config");
  WriteBytes(src / "A.bin", std::string("\0\1\2", 3));
  WriteBytes(src / "test.ini", "[Test ID]\r\nMin id=5\r\n");
  fs::create_directories(src / "sub");  // subfolders are not packed
  ASSERT_TRUE(PackFolder(root_ / "p.tp", src.path(), nullptr));
  EXPECT_EQ(ReadBytes(root_ / "p.tp"), Record("A.bin", std::string("\0\1\2", 3)) +
                                           Record("b.cfg", "config") +
                                           Record("test.ini", "[Test ID]\r\nMin id=5\r\n"));
  ASSERT_TRUE(UnpackTestPackage(root_ / "p.tp", paths_, nullptr));
  auto files = FolderFiles(paths_.testFileDir);
  EXPECT_EQ(files["A.bin"], std::string("\0\1\2", 3));
  EXPECT_EQ(files["b.cfg"], "config");
  EXPECT_EQ(files["test.ini"], "[Test ID]\r\nMin id=5\r\n");
  EXPECT_EQ(files["RO911.bin"], "old firmware");  // files the package lacks stay
  EXPECT_EQ(ReadBytes(paths_.packageDir / "p.tp"), ReadBytes(root_ / "p.tp"));
  EXPECT_FALSE(fs::exists(paths_.testDir / "test_file.bak"));
  EXPECT_FALSE(fs::exists(paths_.testDir / "test_file.staging"));
}

TEST_F(TestPackages, EmptyPackageWritesNothingAndIsCopied) {
  WriteBytes(root_ / "empty.tp", "");
  const auto before = FolderFiles(paths_.testFileDir);
  ASSERT_TRUE(UnpackTestPackage(root_ / "empty.tp", paths_, nullptr));
  EXPECT_EQ(FolderFiles(paths_.testFileDir), before);
  EXPECT_TRUE(fs::exists(paths_.packageDir / "empty.tp"));
}

TEST_F(TestPackages, APackageInThePackageFolderIsNotCopiedOntoItself) {
  const std::string bytes = Record("x.bin", "x");
  WriteBytes(paths_.packageDir / "line.tp", bytes);
  ASSERT_TRUE(UnpackTestPackage(paths_.packageDir / "line.tp", paths_, nullptr));
  EXPECT_EQ(ReadBytes(paths_.packageDir / "line.tp"), bytes);
}

TEST_F(TestPackages, OnlyANameEndingInIniBecomesTestIni) {
  WriteBytes(root_ / "p.tp", Record("config.INI", "ini text") + Record("Mini_v0102.bin", "fw"));
  ASSERT_TRUE(UnpackTestPackage(root_ / "p.tp", paths_, nullptr));
  auto files = FolderFiles(paths_.testFileDir);
  EXPECT_EQ(files["test.ini"], "ini text");
  EXPECT_EQ(files["Mini_v0102.bin"], "fw");
  EXPECT_EQ(files.count("config.INI"), 0u);
}

TEST_F(TestPackages, HostilePackagesAreRefusedAndChangeNothing) {
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"name length 600", RawRecord(std::string(600, 'a'), 1, "x")},
      {"odd name length", RawRecord(std::string(3, 'a'), 1, "x")},
      {"empty name", RawRecord("", 1, "x")},
      {"parent folder", Record("..\\..\\System\\AppConfigInit.ini", "x")},
      {"dot dot", Record("..", "x")},
      {"slash", Record("a/b", "x")},
      {"drive", Record("C:x", "x")},
      {"absolute", Record("/etc/passwd", "x")},
      {"NUL in name", RawRecord(std::string("a\0\0\0", 4), 1, "x")},
      {"control character", Record("a\tb", "x")},
      {"lone surrogate", RawRecord(std::string("\x00\xD8", 2), 1, "x")},
      {"data beyond the end", Record("good.bin", "ok") + RawRecord(Utf16("cut.bin"), 100, "short")},
      {"huge length", Record("good.bin", "ok") + RawRecord(Utf16("big.bin"), ~0ull, "")},
      {"header cut at 2 bytes", Record("good.bin", "ok") + std::string("\x08\x00", 2)},
      {"name cut", Record("good.bin", "ok") + RawRecord(Utf16("abc"), 0, "").substr(0, 7)},
      {"duplicate names", Record("a.bin", "1") + Record("A.BIN", "2")},
      {"two ini files", Record("test.ini", "1") + Record("other.ini", "2")},
  };
  const auto before = FolderFiles(paths_.testFileDir);
  for (const Case& c : cases) {
    WriteBytes(root_ / "bad.tp", c.bytes);
    std::string error;
    EXPECT_FALSE(UnpackTestPackage(root_ / "bad.tp", paths_, &error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
    EXPECT_EQ(FolderFiles(paths_.testFileDir), before) << c.name;
    EXPECT_FALSE(fs::exists(paths_.packageDir / "bad.tp")) << c.name;
    EXPECT_FALSE(fs::exists(root_ / "System")) << c.name;
  }
  EXPECT_FALSE(UnpackTestPackage(root_ / "missing.tp", paths_, nullptr));
}

// An import refused on the way (a full disk here) leaves the known-good copy
// of that package name in the package folder as it was; so does a copy that
// cannot be put in place at the end, which undoes the swap.
TEST_F(TestPackages, ARefusedImportKeepsTheKnownGoodCopyAndTheSetup) {
  using platform::testing_support::FailWritesIn;
  using platform::testing_support::ScopedWriteFault;
  const std::string knownGood = Record("a.bin", "good");
  WriteBytes(paths_.packageDir / "line1.tp", knownGood);
  WriteBytes(root_ / "usb" / "line1.tp", Record("a.bin", "other") + Record("b.cfg", "cfg"));
  const auto setup = FolderFiles(paths_.testFileDir);
  const fs::path staging = paths_.testDir / "test_file.staging";
  for (const fs::path& failing : {staging, paths_.packageDir}) {
    SCOPED_TRACE(failing.filename().string());
    ScopedWriteFault fault(FailWritesIn(failing));
    std::string error;
    EXPECT_FALSE(UnpackTestPackage(root_ / "usb" / "line1.tp", paths_, &error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(paths_.packageDir / "line1.tp"), knownGood);
    EXPECT_EQ(FolderFiles(paths_.packageDir).size(), 1u) << "no temporary copy left";
    EXPECT_EQ(FolderFiles(paths_.testFileDir), setup);
    EXPECT_FALSE(fs::exists(paths_.testDir / "test_file.bak"));
    EXPECT_FALSE(fs::exists(staging));
  }
  // An empty package changes no file, but is copied all the same.
  WriteBytes(root_ / "usb" / "line1.tp", "");
  ASSERT_TRUE(UnpackTestPackage(root_ / "usb" / "line1.tp", paths_, nullptr));
  EXPECT_EQ(ReadBytes(paths_.packageDir / "line1.tp"), "");
  EXPECT_EQ(FolderFiles(paths_.testFileDir), setup);
}

// A file whose name fills a folder entry (255 bytes) is packed, imported and
// exported like any other.
TEST_F(TestPackages, TheLongestFileNameTravels) {
  std::string name;
  for (int i = 0; i < 83; ++i) name += "固";
  name += "ab.bin";
  ASSERT_EQ(name.size(), 255u);
  ScratchDir src;
  WriteBytes(src / name, "firmware");
  std::string error;
  ASSERT_TRUE(PackFolder(root_ / "long.tp", src.path(), &error)) << error;
  ASSERT_TRUE(UnpackTestPackage(root_ / "long.tp", paths_, &error)) << error;
  EXPECT_EQ(ReadBytes(paths_.testFileDir / name), "firmware");
  ASSERT_TRUE(PackFolder(root_ / "again.tp", paths_.testFileDir, &error)) << error;
  ScratchDir other;
  TestPaths otherPaths = TestPaths::ForBase(other.path());
  ASSERT_TRUE(CreateTestFolders(otherPaths, nullptr));
  ASSERT_TRUE(UnpackTestPackage(root_ / "again.tp", otherPaths, &error)) << error;
  EXPECT_EQ(ReadBytes(otherPaths.testFileDir / name), "firmware");
}

TEST_F(TestPackages, ChangeCheckIgnoresOrderAndSeesEdits) {
  WriteBytes(paths_.testFileDir / "a.cfg", "cfg");
  // Another order than the sorted one, and the test INI under another name.
  WriteBytes(root_ / "p.tp", Record("a.cfg", "cfg") + Record("RO911.bin", "old firmware") +
                                 Record("line.ini", "[Test Enable]\r\nSensorTest=1\r\n"));
  EXPECT_FALSE(IsFolderChangedFromPackage(root_ / "p.tp", paths_.testFileDir));
  WriteBytes(paths_.testIni, "[Test Enable]\r\nSensorTest=0\r\n");
  EXPECT_TRUE(IsFolderChangedFromPackage(root_ / "p.tp", paths_.testFileDir));
  EXPECT_FALSE(IsFolderChangedFromPackage(root_ / "missing.tp", paths_.testFileDir));
  WriteBytes(paths_.testFileDir / "extra.bin", "new");
  EXPECT_TRUE(IsFolderChangedFromPackage(root_ / "p.tp", paths_.testFileDir));
}

TEST_F(TestPackages, InterruptedSwapIsRecoveredAtStart) {
  // Cut between the renames: the old folder waits as .bak, test_file is gone.
  fs::rename(paths_.testFileDir, paths_.testDir / "test_file.bak");
  fs::create_directories(paths_.testDir / "test_file.staging");
  WriteBytes(paths_.testDir / "test_file.staging" / "half.bin", "half");
  EXPECT_FALSE(RecoverPackageSwap(paths_).empty());
  EXPECT_EQ(ReadBytes(paths_.testFileDir / "RO911.bin"), "old firmware");
  EXPECT_FALSE(fs::exists(paths_.testDir / "test_file.bak"));
  EXPECT_FALSE(fs::exists(paths_.testDir / "test_file.staging"));
  // Cut after the swap: the new folder stays, the old copy goes.
  fs::create_directories(paths_.testDir / "test_file.bak");
  EXPECT_TRUE(RecoverPackageSwap(paths_).empty());
  EXPECT_EQ(ReadBytes(paths_.testFileDir / "RO911.bin"), "old firmware");
  EXPECT_FALSE(fs::exists(paths_.testDir / "test_file.bak"));
  // A write a crash cut short leaves its temporary file, anywhere below the
  // test folder; they go too, and only they.
  const fs::path sampleSub = paths_.testDir / "test_sample" / "line2";
  const std::string leftover = ".kst00001a2b0000000300c0ffee.tmp";
  ASSERT_TRUE(platform::IsAtomicTempName(leftover));
  for (const fs::path& dir : {paths_.resultDir, paths_.packageDir, sampleSub}) {
    WriteBytes(dir / leftover, "half");
  }
  WriteBytes(paths_.resultDir / ".1_OK.csv.tmp-12-3", "half");
  WriteBytes(sampleSub / "sample_3.sd", "frames");
  WriteBytes(sampleSub / ".hidden.tmp", "the operator's");
  RecoverPackageSwap(paths_);
  EXPECT_TRUE(FolderFiles(paths_.resultDir).empty());
  EXPECT_TRUE(FolderFiles(paths_.packageDir).empty());
  EXPECT_EQ(FolderFiles(sampleSub),
            (std::map<std::string, std::string>{{".hidden.tmp", "the operator's"},
                                                {"sample_3.sd", "frames"}}));
}

class PackageExportTest : public TestPackages {
 protected:
  void Select(int kind, const std::string& stored) {
    ASSERT_TRUE(platform::IniWriteString("Test Enable", kTestFileKeys[kind].enableKey, "1",
                                         paths_.testIni));
    ASSERT_TRUE(
        platform::IniWriteString("Test File", kTestFileKeys[kind].fileKey, stored, paths_.testIni));
  }
};

TEST_F(PackageExportTest, SelectedFilesAreGatheredAndTheirPathsRewritten) {
  WriteBytes(root_ / "elsewhere" / "RO911.cfg", "production");
  Select(kProductionConfigFile, (root_ / "elsewhere" / "RO911.cfg").string());
  Select(kTouchFirmwareFile, "..\\test\\test_file\\RO911.bin");
  Select(kTestConfigFile, "");
  WriteBytes(paths_.tempFileDir / "stale.bin", "left over");
  const ExportResult r = ExportTestPackage(paths_, root_ / "out.tp");
  ASSERT_TRUE(r.ok) << r.messageBox << r.reason;
  EXPECT_EQ(r.logLine, "导出测试配置成功");
  ScratchDir unpacked;
  TestPaths other = TestPaths::ForBase(unpacked.path());
  ASSERT_TRUE(CreateTestFolders(other, nullptr));
  ASSERT_TRUE(UnpackTestPackage(root_ / "out.tp", other, nullptr));
  auto files = FolderFiles(other.testFileDir);
  EXPECT_EQ(files.size(), 3u);
  EXPECT_EQ(files["RO911.cfg"], "production");
  EXPECT_EQ(files["RO911.bin"], "old firmware");
  const fs::path ini = other.testIni;
  EXPECT_EQ(platform::IniGetString("Test File", "VAzezu_CONFIG", "?", ini),
            "..\\test\\test_file\\RO911.cfg");
  EXPECT_EQ(platform::IniGetString("Test File", "VAzezu_BIN", "?", ini),
            "..\\test\\test_file\\RO911.bin");
  EXPECT_EQ(platform::IniGetString("Test File", "VAzezu_TEST_CONFIG", "?", ini), "");
}

TEST_F(PackageExportTest, RefusalsNameTheFile) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, std::string>> selected;
    std::string message;
  } cases[] = {
      {"missing file",
       {{kTouchFirmwareFile, "..\\test\\test_file\\gone.bin"}},
       "..\\test\\test_file\\gone.bin文件不存在"},
      {"ini in a name",
       {{kTouchFirmwareFile, "..\\test\\test_file\\Mini.bin"}},
       "..\\test\\test_file\\Mini.bin：文件名不能含有ini，无法导出"},
      {"same name twice",
       {{kProductionConfigFile, "..\\a\\RO911.cfg"}, {kTestConfigFile, "..\\b\\RO911.cfg"}},
       "..\\a\\RO911.cfg与..\\b\\RO911.cfg文件名相同，无法一起导出"},
  };
  WriteBytes(paths_.testFileDir / "Mini.bin", "fw");
  WriteBytes(root_ / "a" / "RO911.cfg", "a");
  WriteBytes(root_ / "b" / "RO911.cfg", "b");
  for (const Case& c : cases) {
    WriteBytes(paths_.testIni, "");
    for (const auto& [kind, path] : c.selected) Select(kind, path);
    const ExportResult r = ExportTestPackage(paths_, root_ / "out.tp");
    EXPECT_FALSE(r.ok) << c.name;
    EXPECT_EQ(r.messageBox, c.message) << c.name;
    EXPECT_FALSE(fs::exists(root_ / "out.tp")) << c.name;
  }
}

TEST(PackageCodec, EncodeRefusesNamesADecoderWouldRefuse) {
  std::string out;
  EXPECT_FALSE(EncodePackage({{"a\\b", "x"}}, &out, nullptr));
  EXPECT_FALSE(EncodePackage({{std::string(300, 'n'), "x"}}, &out, nullptr));
  ASSERT_TRUE(EncodePackage({{"固件.bin", "x"}}, &out, nullptr));
  std::vector<PackageRecord> back;
  ASSERT_TRUE(DecodePackage(out, &back, nullptr));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].name, "固件.bin");
}

}  // namespace
