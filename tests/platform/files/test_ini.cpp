#include "platform/files/IniFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/Fifo.h"
#include "tests/platform/ScratchDir.h"

namespace platform {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;
namespace fs = std::filesystem;

const fs::path kRules = fs::path(KESTRANA_TEST_DATA_DIR) / "ini" / "profile_rules.ini";

TEST(IniRead, FollowsProfileStringRules) {
  struct StringCase {
    const char* section;
    const char* key;
    const char* def;
    size_t buffer;
    const char* expected;
  };
  const StringCase strings[] = {
      // names ignore ASCII case; the first of duplicate keys and sections wins
      {"general", "NAME", "d", 260, "Alpha"},
      {"GENERAL", "onlyinsecondcopy", "d", 260, "d"},
      {"numbers", "plus", "d", 260, "+1"},
      {"Empty Section", "x", "d", 260, "d"},
      // names and values trimmed; the caller's names too
      {"General", "spaced key", "d", 260, "padded value"},
      {"  General ", " Spaced Key\t", "d", 260, "padded value"},
      // one pair of matching quotes removed, nothing more
      {"General", "Quoted", "d", 260, "  inner spaces kept  "},
      {"General", "Single", "d", 260, "single quoted"},
      {"General", "Unbalanced", "d", 260, "\"open"},
      {"General", "OnlyQuote", "d", 260, "\""},
      // an empty value is a value; ';' only starts a comment at the line start
      {"General", "Empty", "d", 260, ""},
      {"General", "Inline", "d", 260, "value ; not a comment"},
      {"General", ";Commented", "d", 260, "d"},
      {"General", "; Indented comment", "d", 260, "d"},
      {"General", "No equals sign here", "d", 260, "d"},
      {"General", "Eq", "d", 260, "a=b"},
      {"General", "Chinese", "d", 260, "中文测试"},
      // missing section or key: the default, without its trailing blanks
      {"Nowhere", "Name", "fallback", 260, "fallback"},
      {"General", "Nothing", "fallback  \t", 260, "fallback"},
      // the buffer holds size-1 UTF-16 units; a surrogate pair is never split
      {"General", "Name", "d", 3, "Al"},
      {"General", "Name", "d", 1, ""},
      {"General", "Name", "d", 0, ""},
      {"General", "Nothing", "default", 4, "def"},
      {"General", "Nothing", "default", 0, ""},
      {"General", "Chinese", "d", 3, "中文"},
      {"General", "Emoji", "d", 3, "a"},
      {"General", "Emoji", "d", 4, "a😀"},
  };
  for (const StringCase& c : strings) {
    EXPECT_EQ(IniGetString(c.section, c.key, c.def, kRules, c.buffer), c.expected)
        << "[" << c.section << "] " << c.key << " buffer " << c.buffer;
  }

  struct IntCase {
    const char* key;
    int32_t expected;
  };
  const IntCase ints[] = {
      {"Plus", 1},  {"Minus", -5},  {"Trailing", 42},    {"Letter", 0},           {"Lead", 7},
      {"Hex", 0},   {"Wrap", 1},    {"Big", 1215752191}, {"NegWrap", 2147483647}, {"SignOnly", 0},
      {"Empty", 0}, {"Quoted", 12}, {"Missing", 99},
  };
  for (const IntCase& c : ints) {
    EXPECT_EQ(IniGetInt("Numbers", c.key, 99, kRules), c.expected) << c.key;
  }
  EXPECT_EQ(IniGetInt("No Such Section", "Plus", -3, kRules), -3);
  EXPECT_EQ(IniGetInt("Numbers", "Plus", -3, kRules.parent_path() / "missing.ini"), -3);
  EXPECT_EQ(IniGetString("Numbers", "Plus", "d", kRules.parent_path() / "missing.ini"), "d");
}

// GBK and UTF-16LE encodings of the texts used below.
const std::string kGbkSection = "\xC9\xE8\xD6\xC3";  // 设置
const std::string kGbkKey = "\xC3\xFB\xB3\xC6";      // 名称
const std::string kGbkOld = "\xBE\xC9\xD6\xB5";      // 旧值
const std::string kGbkNew = "\xD0\xC2\xD6\xB5";      // 新值
std::string Utf16(std::string_view ascii) {
  std::string out;
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

TEST(IniWrite, EditsOnlyWhatItMustAndKeepsTheEncoding) {
  struct Case {
    const char* what;
    std::optional<std::string> before;  // nullopt: no file yet
    std::string section, key, value;
    std::string after;
  };
  const Case cases[] = {
      {"new file is UTF-8 with CR LF", std::nullopt, "Main", "Key", "值", "[Main]\r\nKey=值\r\n"},
      {"empty file", "", "Main", "Key", "1", "[Main]\r\nKey=1\r\n"},
      {"replace in place, original spelling, other lines untouched",
       "; top comment\n[Main]\n  ;note  \n  NaMe =  old  \nname=dup\nOther=x\r\n", "main", "NAME",
       "new", "; top comment\n[Main]\n  ;note  \nNaMe=new\r\nname=dup\nOther=x\r\n"},
      {"replace the last line that has no line end", "[Main]\nKey=old", "Main", "Key", "new",
       "[Main]\nKey=new\r\n"},
      {"new key goes before the section's trailing blank lines",
       "[A]\r\na=1\r\n\r\n\r\n[B]\r\nb=2\r\n", "a", "c", "3",
       "[A]\r\na=1\r\nc=3\r\n\r\n\r\n[B]\r\nb=2\r\n"},
      {"new key in the first of duplicate sections", "[A]\na=1\n[A]\nb=2\n", "A", "b", "9",
       "[A]\na=1\nb=9\r\n[A]\nb=2\n"},
      {"new key in an empty last section without line end", "[A]\na=1\n[B]", "B", "k", "v",
       "[A]\na=1\n[B]\r\nk=v\r\n"},
      {"new section appended at the end", "[A]\na=1\n\n; tail comment", "B", "k", "v",
       "[A]\na=1\n\n; tail comment\r\n[B]\r\nk=v\r\n"},
      {"names are trimmed when written", "", " Main ", " Key ", "v", "[Main]\r\nKey=v\r\n"},
      {"UTF-8 mark is kept", "\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "k", "中",
       "\xEF\xBB\xBF[A]\r\nk=中\r\n"},
      {"GBK stays GBK", "[" + kGbkSection + "]\r\n" + kGbkKey + "=" + kGbkOld + "\r\n", "设置",
       "名称", "新值", "[" + kGbkSection + "]\r\n" + kGbkKey + "=" + kGbkNew + "\r\n"},
      {"GBK bytes with no mapping in untouched lines survive",
       "junk=\x81\x7F\xFF\r\n[" + kGbkSection + "]\r\nk=1\r\n", "设置", "k", "2",
       "junk=\x81\x7F\xFF\r\n[" + kGbkSection + "]\r\nk=2\r\n"},
      {"UTF-16LE stays UTF-16LE", "\xFF\xFE" + Utf16("[A]\r\nk=1\nz=0"), "A", "k", "2",
       "\xFF\xFE" + Utf16("[A]\r\nk=2\r\nz=0")},
      {"UTF-16LE new key with a character above U+FFFF", "\xFF\xFE" + Utf16("[A]\r\n"), "A", "e",
       "\xF0\x9F\x98\x80",
       "\xFF\xFE" + Utf16("[A]\r\ne=") + std::string("\x3D\xD8\x00\xDE", 4) + Utf16("\r\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    const fs::path file = dir / "s.ini";
    if (c.before) WriteBytes(file, *c.before);
    std::string error;
    ASSERT_TRUE(IniWriteString(c.section, c.key, c.value, file, &error)) << error;
    EXPECT_EQ(ReadBytes(file), c.after);
    EXPECT_EQ(IniGetString(c.section, c.key, "missing", file), c.value);
  }
}

TEST(IniWrite, FailureLeavesTheFileAsItWas) {
  ScratchDir dir;
  const std::string gbkFile = "[A]\r\nk=" + kGbkOld + "\r\n";
  WriteBytes(dir / "gbk.ini", gbkFile);
  WriteBytes(dir / "plain.ini", "[A]\nk=1\n");
  const std::string cutUtf16 = "\xFF\xFE" + Utf16("[A]\r\nk=1") + "x";
  WriteBytes(dir / "cut16.ini", cutUtf16);
  fs::create_directories(dir / "folder.ini");
  struct Case {
    const char* what;
    fs::path file;
    std::string section, key, value;
  };
  const Case cases[] = {
      {"character GBK cannot hold", dir / "gbk.ini", "A", "k", "\xF0\x9F\x98\x80"},
      {"UTF-16 file cut in half a character", dir / "cut16.ini", "A", "n", "2"},
      {"value not UTF-8", dir / "plain.ini", "A", "k", "\xFF"},
      {"line break in value", dir / "plain.ini", "A", "k", "1\r\n[B]"},
      {"line break in key", dir / "plain.ini", "A", "k\nx", "1"},
      {"'=' in key", dir / "plain.ini", "A", "k=x", "1"},
      {"key that reads as a comment", dir / "plain.ini", "A", ";k", "1"},
      {"key that reads as a section", dir / "plain.ini", "A", "[k", "1"},
      {"']' in section", dir / "plain.ini", "A]x", "k", "1"},
      {"target is a folder", dir / "folder.ini", "A", "k", "1"},
      {"folder missing", dir / "none" / "x.ini", "A", "k", "1"},
      {"path below a regular file", dir / "plain.ini" / "x.ini", "A", "k", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_FALSE(IniWriteString(c.section, c.key, c.value, c.file, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadBytes(dir / "gbk.ini"), gbkFile);
    EXPECT_EQ(ReadBytes(dir / "plain.ini"), "[A]\nk=1\n");
    EXPECT_EQ(ReadBytes(dir / "cut16.ini"), cutUtf16);
  }
  EXPECT_FALSE(fs::exists(dir / "none"));
  EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));
}

TEST(IniFile, OversizedFileReadsAsMissingAndIsNeverReplaced) {
  ScratchDir dir;
  const fs::path file = dir / "huge.ini";
  const std::string head = "[A]\r\nk=5\r\n";
  WriteBytes(file, head);
  const auto size = static_cast<off_t>(16 * 1024 * 1024 + 1);
  ASSERT_EQ(::truncate(file.c_str(), size), 0);  // sparse: cheap to make

  EXPECT_EQ(IniGetInt("A", "k", -1, file), -1);
  EXPECT_EQ(IniGetString("A", "k", "d", file), "d");
  EXPECT_FALSE(IniWriteString("A", "k", "6", file));
  EXPECT_EQ(fs::file_size(file), static_cast<uintmax_t>(size));
  std::ifstream in(file, std::ios::binary);
  std::string start(head.size(), '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  EXPECT_EQ(start, head);
}

// What the file says, for a reader that must tell a number beyond 32 bits
// from the one IniGetInt wraps it to.
TEST(IniIntValue, ReadsLikeIniGetIntWithoutWrapping) {
  const struct {
    const char* text;
    int64_t value;
  } cases[] = {
      {"1000000000000", 1000000000000},
      {"4294967297", 4294967297},
      {"  -5x", -5},
      {"+7", 7},
      {"abc", 0},
      {"", 0},
      {"99999999999999999999", INT64_MAX},
      {"-99999999999999999999", INT64_MIN},
      {"-9223372036854775808", INT64_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(IniIntValue(c.text), c.value) << c.text;
}

TEST(IniFile, ReadProblemNamesWhatMakesAPresentFileUnreadable) {
  ScratchDir dir;
  WriteBytes(dir / "good.ini", "[A]\r\nk=1\r\n");
  WriteBytes(dir / "huge.ini", "[A]\r\n");
  ASSERT_EQ(::truncate((dir / "huge.ini").c_str(), 16 * 1024 * 1024 + 1), 0);
  fs::create_directories(dir / "folder.ini");
  testing_support::MakeFifo(dir / "fifo.ini");
  const struct {
    const char* name;
    const char* reason;  // nullptr: no problem
  } cases[] = {
      {"good.ini", nullptr},
      {"missing.ini", nullptr},
      {"huge.ini", "larger than 16777216 bytes"},
      {"folder.ini", "folder.ini"},
      {"fifo.ini", "not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<std::string> problem;
    ASSERT_TRUE(testing_support::ReturnsWithoutAWriter(
        dir / c.name, [&] { problem = IniReadProblem(dir / c.name); }));
    ASSERT_EQ(problem.has_value(), c.reason != nullptr);
    if (problem) {
      EXPECT_NE(problem->find(c.reason), std::string::npos) << *problem;
      EXPECT_NE(problem->find((dir / c.name).string()), std::string::npos) << *problem;
    }
  }
  // Readers take the FIFO as missing, writers refuse it and it stays.
  EXPECT_EQ(IniGetString("A", "k", "d", dir / "fifo.ini"), "d");
  EXPECT_FALSE(IniWriteString("A", "k", "2", dir / "fifo.ini"));
  EXPECT_TRUE(fs::is_fifo(dir / "fifo.ini"));
}

TEST(IniFile, ConcurrentWritersLoseNothingAndReadersNeverSeeAHalfFile) {
  ScratchDir dir;
  const fs::path file = dir / "shared.ini";
  ASSERT_TRUE(IniWriteString("Fixed", "Marker", "present", file));
  constexpr int kWriters = 3;
  constexpr int kKeysEach = 8;
  std::atomic<bool> done{false};
  std::atomic<int> badReads{0};
  std::thread reader([&] {
    while (!done) {
      if (IniGetString("Fixed", "Marker", "gone", file) != "present") ++badReads;
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (int k = 0; k < kKeysEach; ++k) {
        IniWriteString("W" + std::to_string(w), "k" + std::to_string(k),
                       std::to_string(w * 100 + k), file);
      }
    });
  }
  for (auto& t : writers) t.join();
  done = true;
  reader.join();
  EXPECT_EQ(badReads.load(), 0);
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < kKeysEach; ++k) {
      EXPECT_EQ(IniGetInt("W" + std::to_string(w), "k" + std::to_string(k), -1, file), w * 100 + k);
    }
  }
}

}  // namespace
}  // namespace platform
