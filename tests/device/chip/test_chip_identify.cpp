// Chip identification on the simulated bridge: names, versions and the
// fallbacks, the chip list check, the profile file look-ups and the hooks to
// the user interface.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/device/SimDevice.h"
#include "device/chip/ChipHooks.h"
#include "device/chip/ChipIdentify.h"
#include "device/SettingsFileCheck.h"
#include "platform/files/AppPaths.h"
#include "tests/platform/Fifo.h"
#include "tests/platform/ScratchDir.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
using sim::ChipFamily;

constexpr uint16_t kRu9IdAddress = 0x8140;
constexpr uint16_t kDe7IdAddress = 0x8240;

class RecordingChipEvents : public IChipEvents {
 public:
  bool IsReady() override { return ready; }
  void OnChipChanged() override {
    ++changes;
    if (onChange) onChange();
  }
  std::atomic<bool> ready{true};
  std::atomic<int> changes{0};
  std::function<void()> onChange;
};

class RecordingNotifier : public IUserNotifier {
 public:
  void MessageBox(const std::string& text) override {
    std::lock_guard lock(mutex);
    texts.push_back(text);
  }
  void LogLine(const std::string& text, LogLevel level) override {
    std::lock_guard lock(mutex);
    logLines.push_back(text);
    logLevels.push_back(level);
  }
  std::vector<std::string> Texts() {
    std::lock_guard lock(mutex);
    return texts;
  }
  std::vector<std::string> LogLines() {
    std::lock_guard lock(mutex);
    return logLines;
  }
  std::mutex mutex;
  std::vector<std::string> texts;
  std::vector<std::string> logLines;
  std::vector<LogLevel> logLevels;
};

class ChipIdentifyTest : public SimDeviceTest {
 protected:
  void SetUp() override {
    SimDeviceTest::SetUp();
    root_ = std::make_unique<ScratchDir>();
    platform::AppPaths::SetBaseDir(root_->path());
    std::filesystem::create_directories(root_->path() / "System/ChipIni");
    std::filesystem::create_directories(root_->path() / "System/CfgItem");
    events_.ready = true;
    events_.changes = 0;
    events_.onChange = nullptr;
    notifier_.texts.clear();
    notifier_.logLines.clear();
    notifier_.logLevels.clear();
    SetChipEvents(&events_);
    SetUserNotifier(&notifier_);
  }

  void TearDown() override {
    SetChipEvents(nullptr);
    SetUserNotifier(nullptr);
    SetChipNameVersion("");
    SetChipIniPath({});
    SetScFilePath({});
    platform::AppPaths::SetBaseDir(platform::AppPaths::ExecutableBaseDir());
    root_.reset();
    SimDeviceTest::TearDown();
  }

  // Starts over with a fresh rig (for tables of cases).
  void Restart() {
    TearDown();
    SetUp();
  }

  void SetChipList(const std::string& list) {
    WriteBytes(root_->path() / "System/AppConfigInit.ini",
               "[CHIP LIST]\r\nchip list=" + list + "\r\n");
  }

  void SetIdBytes(ChipFamily family, const std::vector<uint8_t>& bytes) {
    Bridge().Chip().PokeRange(sim::LayoutOf(family).idAddress, bytes);
  }

  // Id reads the host sent, by id block address.
  std::map<uint16_t, int> IdReads() {
    std::map<uint16_t, int> reads;
    for (const Report& r : Sent()) {
      const auto address = static_cast<uint16_t>(r[3] << 8 | r[4]);
      if (r[1] == 0 && (address == kRu9IdAddress || address == kDe7IdAddress)) ++reads[address];
    }
    return reads;
  }

  std::filesystem::path Root() const { return root_->path(); }

  std::unique_ptr<ScratchDir> root_;
  RecordingChipEvents events_;
  RecordingNotifier notifier_;
};

TEST(SplitByComma, PiecesInOrderWithSpacesKept) {
  struct Case {
    const char* text;
    std::vector<std::string> pieces;
  } cases[] = {
      {"", {""}},
      {"A", {"A"}},
      {"A,,B", {"A", "", "B"}},
      {"A,", {"A", ""}},
      {",A", {"A"}},
      {",,A", {"", "A"}},
      {",", {""}},
      {"A, B", {"A", " B"}},
      {"RO9110V, RO9110R, RO7385", {"RO9110V", " RO9110R", " RO7385"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.pieces, SplitByComma(c.text)) << '"' << c.text << '"';
  }
}

TEST_F(ChipIdentifyTest, ChipListMatchesTrimmedEntriesExactly) {
  struct Case {
    const char* list;  // nullptr: key missing, the default applies
    const char* name;
    bool listed;
  } cases[] = {
      {nullptr, "RO9110V", true},
      {nullptr, "RO9110R", true},  // the default's second entry follows ", "
      {nullptr, "RO7387Z", false},
      {nullptr, "ro9110v", false},
      {nullptr, "RO9110", false},
      {nullptr, " RO9110V ", true},
      {"RO7387Z ,RO911", "RO7387Z", true},
      {"RO7387Z ,RO911", "RO911", true},
      {"RO7387Z ,RO911", "RO9110V", false},
      {"A,,B", "", false},
      {"A, ", "", false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.list ? c.list : "(default)") << " / " << c.name);
    if (c.list) {
      SetChipList(c.list);
    } else {
      WriteBytes(Root() / "System/AppConfigInit.ini", "[OTHER]\r\nchip list=RO7387Z\r\n");
    }
    EXPECT_EQ(c.listed, IsChipInList(c.name));
  }
}

TEST_F(ChipIdentifyTest, ChipListLongerThanAPathBufferIsReadWhole) {
  std::string list;
  for (int i = 0; i < 40; ++i) list += "RO" + std::to_string(1000 + i) + ", ";
  list += "RO9110V";
  ASSERT_GT(list.size(), 300u);
  SetChipList(list);
  EXPECT_TRUE(IsChipInList("RO9110V"));
}

TEST_F(ChipIdentifyTest, NameAndVersionFromIdBytes) {
  struct Case {
    const char* what;
    ChipFamily family;
    std::vector<uint8_t> id;
    std::string name;
    std::string nameVersion;
  } cases[] = {
      {"RU9, mapped", ChipFamily::RU9, {'9', '1', '1', '1', 0x60, 0x10}, "RO9110V", "RO9110V_1060"},
      {"RU9, version padded to 4",
       ChipFamily::RU9,
       {'9', '1', '1', '1', 0x05, 0x00},
       "RO9110V",
       "RO9110V_   5"},
      {"RU9, upper-case hex",
       ChipFamily::RU9,
       {'9', '1', '1', '2', 0x2B, 0x1A},
       "RO9110R",
       "RO9110R_1A2B"},
      {"RU9, three id characters",
       ChipFamily::RU9,
       {'9', '1', '1', 0, 0x01, 0x00},
       "RO911",
       "RO911_   1"},
      {"RU9, RO6109", ChipFamily::RU9, {'6', '1', '0', '9', 0x00, 0x01}, "RO6108D", "RO6108D_ 100"},
      {"RU9, RO6572", ChipFamily::RU9, {'6', '5', '7', '2', 0x34, 0x12}, "VE6572", "VE6572_1234"},
      {"DE7, mapped",
       ChipFamily::DE7,
       {'7', '3', '8', '8', 0xAA, 0xBB, 0x01, 0x0A},
       "RO7387Z",
       "RO7387Z_01.0A"},
      {"DE7, unmapped",
       ChipFamily::DE7,
       {'7', '3', '8', '5', 0, 0, 0xAB, 0x0C},
       "RO7385",
       "RO7385_AB.0C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    SetChipList("RO9110V, RO9110R, RO911, RO6108D, VE6572, RO7387Z, RO7385");
    Connect(c.family);
    SetIdBytes(c.family, c.id);
    EXPECT_EQ(1, IdentifyChip());
    EXPECT_EQ(c.name, GetChipName());
    EXPECT_EQ(c.nameVersion, GetChipNameVersion());
  }
}

TEST_F(ChipIdentifyTest, FallbackNamesWhenUnlistedOrUnread) {
  const std::vector<uint8_t> unlistedRu9 = {'9', '9', '9', '9', 0x02, 0x00};
  const std::vector<uint8_t> unlistedDe7 = {'7', '9', '9', '9', 0, 0, 0x03, 0x04};
  struct Case {
    const char* what;
    ChipFamily family;
    std::string before;       // chip name before the call
    std::vector<uint8_t> id;  // empty: the bridge stays silent
    std::string nameVersionBefore;
    std::string name;
    std::string nameVersion;
  } cases[] = {
      {"unlisted after listed", ChipFamily::RU9, "RO9110V", unlistedRu9, "RO9110V_1060", "RO9110V",
       "RO9999_   2"},
      {"unlisted from nothing, RU9", ChipFamily::RU9, "", unlistedRu9, "", "RO9XXX", "RO9999_   2"},
      {"unlisted after placeholder, RU9", ChipFamily::RU9, "RO9XXX", unlistedRu9, "", "RO9XXX",
       "RO9999_   2"},
      {"unlisted from nothing, DE7", ChipFamily::DE7, "", unlistedDe7, "", "RO7XXX",
       "RO7999_03.04"},
      {"unlisted after unlisted name, DE7", ChipFamily::DE7, "RO7999", unlistedDe7, "", "RO7XXX",
       "RO7999_03.04"},
      {"silent after listed",
       ChipFamily::RU9,
       "RO9110V",
       {},
       "RO9110V_1060",
       "RO9110V",
       "RO9110V_1060"},
      {"silent from nothing, RU9", ChipFamily::RU9, "", {}, "old", "RO9XXX", "old"},
      {"silent from nothing, DE7", ChipFamily::DE7, "", {}, "old", "RO7XXX", "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    Connect(c.family);
    if (c.id.empty()) {
      Bridge().SetSilent(true);
    } else {
      SetIdBytes(c.family, c.id);
    }
    SetChipName(c.before);
    SetChipNameVersion(c.nameVersionBefore);
    EXPECT_EQ(0, IdentifyChip());
    EXPECT_EQ(c.name, GetChipName());
    EXPECT_EQ(c.nameVersion, GetChipNameVersion());
    EXPECT_EQ(0, events_.changes);
  }
}

TEST_F(ChipIdentifyTest, NoBridgeDeviceIsAFailedRead) {
  g_pBridgeDevice = nullptr;
  EXPECT_EQ(0, IdentifyChip());
  EXPECT_EQ("RO9XXX", GetChipName());
}

TEST_F(ChipIdentifyTest, SharedProductIdTriesTheOtherFamilyOnce) {
  struct Case {
    const char* what;
    bool sharedBridge;
    ChipFamily chip;
    std::string before;  // decides which family is read first on a shared bridge
    bool silent;
    int result;
    std::string name;
    std::map<uint16_t, int> reads;
  } cases[] = {
      {"shared, RU9 first, both fail",
       true,
       ChipFamily::RU9,
       "",
       true,
       0,
       "RO7XXX",
       {{kRu9IdAddress, 1}, {kDe7IdAddress, 1}}},
      {"shared, DE7 first, both fail",
       true,
       ChipFamily::RU9,
       "RO7XXX",
       true,
       0,
       "RO9XXX",
       {{kRu9IdAddress, 1}, {kDe7IdAddress, 1}}},
      {"shared, DE7 chip found on the second try",
       true,
       ChipFamily::DE7,
       "",
       false,
       1,
       "RO7387Z",
       {{kRu9IdAddress, 1}, {kDe7IdAddress, 1}}},
      {"shared, RU9 chip found on the second try",
       true,
       ChipFamily::RU9,
       "RO9XXX",
       false,
       1,
       "RO9110V",
       {{kRu9IdAddress, 1}, {kDe7IdAddress, 1}}},
      {"shared, found at once",
       true,
       ChipFamily::RU9,
       "",
       false,
       1,
       "RO9110V",
       {{kRu9IdAddress, 1}}},
      {"RU9 bridge, no second try",
       false,
       ChipFamily::RU9,
       "",
       true,
       0,
       "RO9XXX",
       {{kRu9IdAddress, 1}}},
      {"DE7 bridge, no second try",
       false,
       ChipFamily::DE7,
       "",
       true,
       0,
       "RO7XXX",
       {{kDe7IdAddress, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    SetChipList("RO9110V, RO7387Z");
    Connect(c.chip, c.sharedBridge);
    Bridge().SetSilent(c.silent);
    SetChipName(c.before);
    EXPECT_EQ(c.result, IdentifyChip());
    EXPECT_EQ(c.name, GetChipName());
    EXPECT_EQ(c.reads, IdReads());
  }
}

TEST_F(ChipIdentifyTest, ProfileLookupAndNotificationOnlyOnAChange) {
  WriteBytes(Root() / "System/ChipIni/RO9110V_b.ini", "b");
  WriteBytes(Root() / "System/ChipIni/ro9110v_A.ini", "a");
  WriteBytes(Root() / "System/ChipIni/RO7387Z_x.ini", "x");
  WriteBytes(Root() / "System/CfgItem/RO9110V_2.sc", "");
  WriteBytes(Root() / "System/CfgItem/RO9110V_1.sc", "");
  WriteBytes(Root() / "System/CfgItem/RO7387Z_1.sc", "");
  SetChipList("RO9110V, RO7387Z");
  Connect(ChipFamily::RU9, true);
  std::filesystem::path iniSeenByHook;
  events_.onChange = [&] { iniSeenByHook = GetChipIniPath(); };

  // First identification: looked up, then notified.
  EXPECT_EQ(1, IdentifyChip());
  EXPECT_EQ(1, events_.changes);
  EXPECT_EQ(Root() / "System/ChipIni/ro9110v_A.ini", GetChipIniPath());
  EXPECT_EQ(Root() / "System/CfgItem/RO9110V_1.sc", GetScFilePath());
  EXPECT_EQ(GetChipIniPath(), iniSeenByHook);

  // The same chip again: neither looked up nor notified.
  SetChipIniPath("kept");
  SetScFilePath("kept");
  EXPECT_EQ(1, IdentifyChip());
  EXPECT_EQ(1, events_.changes);
  EXPECT_EQ("kept", GetChipIniPath());
  EXPECT_EQ("kept", GetScFilePath());

  // The same chip after a placeholder counts as a change.
  SetChipName("RO9XXX");
  EXPECT_EQ(1, IdentifyChip());
  EXPECT_EQ(2, events_.changes);
  EXPECT_EQ(Root() / "System/ChipIni/ro9110v_A.ini", GetChipIniPath());

  // Another listed chip (the board now carries a DE7 chip).
  Bridge().Chip().PokeRange(kRu9IdAddress, std::vector<uint8_t>(6, 0));
  Bridge().Chip().PokeRange(kDe7IdAddress, {'7', '3', '8', '8', 0, 0, 1, 2});
  EXPECT_EQ(1, IdentifyChip());
  EXPECT_EQ("RO7387Z", GetChipName());
  EXPECT_EQ(3, events_.changes);
  EXPECT_EQ(Root() / "System/ChipIni/RO7387Z_x.ini", GetChipIniPath());
  EXPECT_EQ(Root() / "System/CfgItem/RO7387Z_1.sc", GetScFilePath());
  EXPECT_TRUE(notifier_.Texts().empty());
}

TEST_F(ChipIdentifyTest, NotReadyRecordsTheChipWithoutLookup) {
  events_.ready = false;
  Connect(ChipFamily::RU9);
  EXPECT_EQ(1, IdentifyChip());
  EXPECT_EQ("RO9110V", GetChipName());
  EXPECT_EQ(0, events_.changes);
  EXPECT_EQ(std::filesystem::path(), GetChipIniPath());
  EXPECT_FALSE(std::filesystem::exists(Root() / "System/ChipIni/RO9110V.ini"));

  // Registering nothing behaves like a UI that is not ready.
  SetChipEvents(nullptr);
  SetChipName("RO9XXX");
  EXPECT_EQ(1, IdentifyChip());
  EXPECT_EQ(0, events_.changes);
}

TEST_F(ChipIdentifyTest, HookMayIdentifyAgain) {
  Connect(ChipFamily::RU9);
  int nested = -1;
  events_.onChange = [&] { nested = IdentifyChip(); };
  EXPECT_EQ(1, IdentifyChip());
  EXPECT_EQ(1, nested);
  EXPECT_EQ(1, events_.changes);
}

TEST_F(ChipIdentifyTest, ConcurrentIdentificationsNotifyOnce) {
  Connect(ChipFamily::RU9);
  constexpr int kThreads = 4;
  std::atomic<int> listed{0};
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop) {
      const std::string name = GetChipName();
      const std::string version = GetChipNameVersion();
      EXPECT_TRUE(name.empty() || name == "RO9110V") << name;
      EXPECT_TRUE(version.empty() || version == "RO9110V_1060") << version;
    }
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5; ++i) listed += IdentifyChip();
    });
  }
  for (auto& t : threads) t.join();
  stop = true;
  reader.join();
  EXPECT_EQ(kThreads * 5, listed);
  EXPECT_EQ(1, events_.changes);
}

// Every regular file under dir, by path relative to it, with its bytes.
std::map<std::string, std::string> FilesUnder(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) {
      files[entry.path().lexically_relative(dir).generic_string()] = ReadBytes(entry.path());
    }
  }
  return files;
}

TEST_F(ChipIdentifyTest, ChipIniLookup) {
  struct Case {
    const char* what;
    std::string chip;
    std::map<std::string, std::string> files;  // under System/ChipIni, before
    bool removeFolder;
    std::string expectedPath;  // relative to the root; empty: no path
    std::map<std::string, std::string> filesAfter;
    bool message;
  } cases[] = {
      {"first match, any letter case",
       "RO911",
       {{"RO911_b.ini", "b"}, {"ro911_a.ini", "a"}, {"RO9110_a.ini", "c"}},
       false,
       "System/ChipIni/ro911_a.ini",
       {{"RO911_b.ini", "b"}, {"ro911_a.ini", "a"}, {"RO9110_a.ini", "c"}},
       false},
      {"no match creates an empty file",
       "RO911",
       {{"RO9110_a.ini", "c"}, {"RO911.txt", "t"}},
       false,
       "System/ChipIni/RO911.ini",
       {{"RO9110_a.ini", "c"}, {"RO911.txt", "t"}, {"RO911.ini", ""}},
       false},
      {"a plain file of the chip's name keeps its settings",
       "RO911",
       {{"RO911.ini", "[FORMAT]\r\nrows=12\r\n"}},
       false,
       "System/ChipIni/RO911.ini",
       {{"RO911.ini", "[FORMAT]\r\nrows=12\r\n"}},
       false},
      {"folder missing: told, path kept", "RO911", {}, true, "System/ChipIni/RO911.ini", {}, true},
      {"wildcard in the name: no search, nothing created",
       "RO9*",
       {{"RO911_a.ini", "a"}},
       false,
       "",
       {{"RO911_a.ini", "a"}},
       true},
      {"separators in the name: nothing created", "RO/../../x", {}, false, "", {}, true},
      {"control character in the name", "RO9\x01", {}, false, "", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    const auto folder = Root() / "System/ChipIni";
    for (const auto& [name, bytes] : c.files) WriteBytes(folder / name, bytes);
    if (c.removeFolder) std::filesystem::remove_all(folder);
    SetChipName(c.chip);
    FindChipIni();
    EXPECT_EQ(c.expectedPath.empty() ? std::filesystem::path() : Root() / c.expectedPath,
              GetChipIniPath());
    std::map<std::string, std::string> expectedFiles;
    for (const auto& [name, bytes] : c.filesAfter) expectedFiles["System/ChipIni/" + name] = bytes;
    EXPECT_EQ(expectedFiles, FilesUnder(Root()));
    const std::vector<std::string> expectedTexts =
        c.message ? std::vector<std::string>{"ini文件创建失败！"} : std::vector<std::string>{};
    EXPECT_EQ(expectedTexts, notifier_.Texts());
  }
}

// Something other than a file at the chip INI's place (a FIFO, a link to
// nothing) is refused with a line and never replaced; a chip INI too large
// to read is said once, and again only once it has changed.
TEST_F(ChipIdentifyTest, ChipIniThatCannotBeReadIsSaidAndNeverReplaced) {
  namespace fs = std::filesystem;
  const fs::path folder = Root() / "System/ChipIni";
  platform::testing_support::MakeFifo(folder / "RO911.ini");
  fs::create_symlink("../Shared/RO912.ini", folder / "RO912.ini");
  for (const char* chip : {"RO911", "RO912"}) {
    SCOPED_TRACE(chip);
    notifier_.logLines.clear();
    SetChipName(chip);
    FindChipIni();
    const fs::path path = folder / (std::string(chip) + ".ini");
    EXPECT_EQ(GetChipIniPath(), path);
    ASSERT_EQ(notifier_.LogLines().size(), 1u);
    EXPECT_NE(notifier_.LogLines()[0].find(path.string()), std::string::npos)
        << notifier_.LogLines()[0];
    EXPECT_EQ(notifier_.logLevels.back(), LOG_ERROR);
  }
  EXPECT_TRUE(fs::is_fifo(folder / "RO911.ini"));
  EXPECT_TRUE(fs::is_symlink(folder / "RO912.ini"));
  EXPECT_FALSE(fs::exists(Root() / "System/Shared"));
  EXPECT_TRUE(notifier_.Texts().empty());

  const fs::path huge = folder / "RO913_line.ini";
  WriteBytes(huge, "[Option]\r\nRawDataRows=20\r\n");
  ASSERT_EQ(::truncate(huge.c_str(), 16 * 1024 * 1024 + 1), 0);
  notifier_.logLines.clear();
  SetChipName("RO913");
  for (int lookup = 0; lookup < 2; ++lookup) FindChipIni();
  ASSERT_EQ(notifier_.LogLines().size(), 1u) << "once per file";
  EXPECT_EQ(notifier_.LogLines()[0].rfind(kUnreadableSettingsText, 0), 0u);
  EXPECT_NE(notifier_.LogLines()[0].find(huge.string()), std::string::npos);
  EXPECT_NE(notifier_.LogLines()[0].find("larger than"), std::string::npos);
  ASSERT_EQ(::truncate(huge.c_str(), 16 * 1024 * 1024 + 2), 0);
  FindChipIni();
  EXPECT_EQ(notifier_.LogLines().size(), 2u) << "again once it changed";
  EXPECT_EQ(fs::file_size(huge), 16u * 1024 * 1024 + 2);
}

TEST_F(ChipIdentifyTest, ScFileLookup) {
  struct Case {
    const char* what;
    std::string chip;
    std::vector<std::string> files;  // under System/CfgItem
    std::string expectedPath;        // relative to the root, or the bare fallback name
    bool message;
  } cases[] = {
      {"first match, any letter case",
       "RO7387Z",
       {"RO7387Z_b.sc", "ro7387z_a.SC", "RO7387_a.sc"},
       "System/CfgItem/ro7387z_a.SC",
       false},
      {"missing", "RO7387Z", {"RO7387.sc", "RO7387Z.sc"}, kMissingScFileName, true},
      {"wildcard in the name", "RO*", {"RO7387Z_a.sc"}, kMissingScFileName, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    for (const auto& name : c.files) WriteBytes(Root() / "System/CfgItem" / name, "");
    SetChipName(c.chip);
    FindChipScFile();
    const std::filesystem::path expected =
        c.message ? std::filesystem::path(c.expectedPath) : Root() / c.expectedPath;
    EXPECT_EQ(expected, GetScFilePath());
    const std::vector<std::string> expectedTexts =
        c.message ? std::vector<std::string>{"缺少必要的sc文件，部分功能无法使用"}
                  : std::vector<std::string>{};
    EXPECT_EQ(expectedTexts, notifier_.Texts());
  }
}

TEST_F(ChipIdentifyTest, NotifierDefaultDropsMessages) {
  SetUserNotifier(nullptr);
  SetChipName("RO911");
  FindChipScFile();  // must not crash without a registered notifier
  EXPECT_EQ(kMissingScFileName, GetScFilePath());
  EXPECT_TRUE(notifier_.Texts().empty());
}

}  // namespace
