#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "app/KestranaApp.h"
#include "ui/UiBridge.h"
#include "platform/files/AppPaths.h"
#include "sim/SimHidBackend.h"
#include "tests/ui/FakePrompts.h"
#include "tests/platform/ScratchDir.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
namespace fs = std::filesystem;

using Ip = std::array<uint8_t, 4>;
constexpr Ip kDefaultIp{192, 168, 1, 100};

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { platform::AppPaths::SetBaseDir(root_.path()); }

  fs::path Ini() const { return root_ / "System" / "AppConfigInit.ini"; }
  void WriteIni(const std::string& text) { WriteBytes(Ini(), text); }

  ScratchDir root_;
};

TEST_F(SettingsFile, MissingFileIsCreatedEmptyAndDefaultsApply) {
  fs::create_directories(root_ / "System");
  ASSERT_EQ(AppSettingsFile(), Ini());
  std::string error;
  ASSERT_TRUE(EnsureSettingsFile(Ini(), &error)) << error;
  EXPECT_TRUE(fs::is_regular_file(Ini()));
  EXPECT_EQ(ReadBytes(Ini()), "");

  const AppSettings s = LoadAppSettings(Ini());
  EXPECT_EQ(s.chipTypes, (std::vector<std::string>{"RO7385", "RO9110R", "RO9110V"}));
  EXPECT_EQ(s.deviceIp, kDefaultIp);
  EXPECT_EQ(s.devicePort, 5188);
  EXPECT_EQ(s.serverIp, "");
  EXPECT_EQ(s.serverPort, 3168);
  for (const UpdateFileSetting* f : {&s.configFile, &s.duvivFile, &s.v64erFile}) {
    EXPECT_EQ(f->storedPath, "");
    EXPECT_FALSE(f->fileExists);
    EXPECT_FALSE(f->enabled);
  }
}

TEST_F(SettingsFile, RelayServerAddressAndPort) {
  WriteIni("[NET INTERFACE]\r\nServer IP= 127.0.0.1 \r\nServer Port=4000\r\n");
  const AppSettings s = LoadAppSettings(Ini());
  EXPECT_EQ(s.serverIp, "127.0.0.1");
  EXPECT_EQ(s.serverPort, 4000);
}

TEST_F(SettingsFile, ExistingFileIsLeftAlone) {
  WriteIni("[NET INTERFACE]\r\nPort=77\r\n");
  ASSERT_TRUE(EnsureSettingsFile(Ini()));
  EXPECT_EQ(ReadBytes(Ini()), "[NET INTERFACE]\r\nPort=77\r\n");
}

TEST_F(SettingsFile, CreationFailsWhenSomethingElseIsInTheWay) {
  // A file named System where the folder should be: no user can create the
  // settings file then, not even root.
  WriteBytes(root_ / "System", "not a folder");
  std::string error;
  EXPECT_FALSE(EnsureSettingsFile(Ini(), &error));
  EXPECT_FALSE(error.empty());

  fs::remove(root_ / "System");
  fs::create_directories(Ini());  // a folder with the file's name
  error.clear();
  EXPECT_FALSE(EnsureSettingsFile(Ini(), &error));
  EXPECT_FALSE(error.empty());
}

struct ChipListCase {
  const char* name;
  std::optional<std::string> value;  // nullopt: key missing
  std::vector<std::string> combo;
};

class ChipTypes : public SettingsFile, public ::testing::WithParamInterface<ChipListCase> {};

TEST_P(ChipTypes, ListedReversedAndTrimmed) {
  const ChipListCase& c = GetParam();
  WriteIni(c.value ? "[CHIP LIST]\r\nchip list=" + *c.value + "\r\n" : "[CHIP LIST]\r\n");
  EXPECT_EQ(LoadAppSettings(Ini()).chipTypes, c.combo);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChipTypes,
    ::testing::Values(ChipListCase{"Missing", std::nullopt, {"RO7385", "RO9110R", "RO9110V"}},
                      ChipListCase{"Spaces",
                                   std::string("RO9110V ,  RO9110R,RO7387Z"),
                                   {"RO7387Z", "RO9110R", "RO9110V"}},
                      ChipListCase{"EmptyPieces", std::string("A,, ,B,"), {"B", "A"}},
                      ChipListCase{"Single", std::string("RO7387Z"), {"RO7387Z"}},
                      ChipListCase{"Empty", std::string(""), {}}),
    [](const auto& info) { return info.param.name; });

struct NetCase {
  const char* name;
  std::string section;
  Ip ip;
  int32_t port;
};

class NetInterface : public SettingsFile, public ::testing::WithParamInterface<NetCase> {};

TEST_P(NetInterface, AddressAndPort) {
  const NetCase& c = GetParam();
  WriteIni("[NET INTERFACE]\r\n" + c.section);
  const AppSettings s = LoadAppSettings(Ini());
  EXPECT_EQ(s.deviceIp, c.ip);
  EXPECT_EQ(s.devicePort, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NetInterface,
    ::testing::Values(NetCase{"Stored", "IP=10.0.0.7\r\nPort=6000\r\n", {10, 0, 0, 7}, 6000},
                      NetCase{"PortNotANumber", "Port=abc\r\n", kDefaultIp, 0},
                      NetCase{"PortDigitsThenText", "Port=42A\r\n", kDefaultIp, 42},
                      NetCase{"ThreeParts", "IP=10.0.0\r\n", kDefaultIp, 5188},
                      NetCase{"FiveParts", "IP=10.0.0.7.1\r\n", kDefaultIp, 5188},
                      NetCase{"PartTooBig", "IP=10.0.0.256\r\n", kDefaultIp, 5188},
                      NetCase{"Letters", "IP=ten.0.0.7\r\n", kDefaultIp, 5188},
                      NetCase{"EmptyPart", "IP=10..0.7\r\n", kDefaultIp, 5188},
                      NetCase{"Empty", "IP=\r\n", kDefaultIp, 5188}),
    [](const auto& info) { return info.param.name; });

TEST(Ipv4Text, ParseAndFormat) {
  EXPECT_EQ(ParseIpv4(" 0.255.9.10 "), (Ip{0, 255, 9, 10}));
  EXPECT_EQ(ParseIpv4("1.2.3.4."), std::nullopt);
  EXPECT_EQ(ParseIpv4("1.2.3.0004"), std::nullopt);
  EXPECT_EQ(ParseIpv4("1.2.3.-4"), std::nullopt);
  EXPECT_EQ(FormatIpv4({10, 0, 0, 7}), "10.0.0.7");
}

TEST(StoredPathFolder, UpToTheLastSeparator) {
  EXPECT_EQ(FolderOfStoredPath("C:\\fw\\RO9110V.bin"), "C:\\fw");
  EXPECT_EQ(FolderOfStoredPath("/home/op/cfg/a.cfg"), "/home/op/cfg");
  EXPECT_EQ(FolderOfStoredPath("..\\System/CfgItem\\x.cfg"), "..\\System/CfgItem");
  EXPECT_EQ(FolderOfStoredPath("a.cfg"), "a.cfg");  // no separator: the whole text
  EXPECT_EQ(FolderOfStoredPath(""), "");
}

TEST_F(SettingsFile, UpdateFilesShownOnlyWhenTheyExist) {
  WriteBytes(root_ / "fw" / "touch.bin", "x");
  fs::create_directories(root_ / "fw" / "folder.bin");
  const std::string missing = (root_ / "gone" / "a.cfg").string();
  WriteIni("[UPDATE]\r\nconfig path=" + missing + "\r\nduviv path=..\\fw\\touch.bin\r\n" +
           "v64er path=" + (root_ / "fw" / "folder.bin").string() + "\r\n");
  const AppSettings s = LoadAppSettings(Ini());

  EXPECT_FALSE(s.configFile.fileExists);
  EXPECT_EQ(s.configFile.storedPath, missing);
  EXPECT_EQ(s.configFile.initialFolder, (root_ / "gone").string());
  EXPECT_TRUE(s.duvivFile.fileExists);  // "..\" is the runtime root
  EXPECT_EQ(s.duvivFile.initialFolder, "..\\fw");
  EXPECT_FALSE(s.v64erFile.fileExists);  // a folder is not a firmware file
}

struct EnableCase {
  const char* name;
  const char* value;
  bool enabled;
};

class UpdateEnable : public SettingsFile, public ::testing::WithParamInterface<EnableCase> {};

TEST_P(UpdateEnable, OnlyExactlyOneEnables) {
  const EnableCase& c = GetParam();
  WriteIni(std::string("[UPDATE]\r\nconfig enable=") + c.value + "\r\nduviv enable=" + c.value +
           "\r\nv64er enable=" + c.value + "\r\n");
  const AppSettings s = LoadAppSettings(Ini());
  EXPECT_EQ(s.configFile.enabled, c.enabled);
  EXPECT_EQ(s.duvivFile.enabled, c.enabled);
  EXPECT_EQ(s.v64erFile.enabled, c.enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateEnable,
    ::testing::Values(EnableCase{"One", "1", true}, EnableCase{"QuotedOne", "\"1\"", true},
                      EnableCase{"OneAndSpace", "\"1 \"", false}, EnableCase{"Zero", "0", false},
                      EnableCase{"Eleven", "11", false}, EnableCase{"Empty", "", false}),
    [](const auto& info) { return info.param.name; });

// The settings-file failure ends the start before any window or device exists.
TEST(StartWithoutSettingsFile, TellsTheUserAndEndsWithStatusOne) {
  ScratchDir root;
  ScratchDir lockDir;
  WriteBytes(root / "System", "not a folder");
  g_shuttingDown = false;

  FakePrompts prompts;
  CKestranaApp app(prompts, QString::fromStdString(lockDir.path().string()));
  RuntimeRootInputs inputs;
  inputs.rootOverride = root.path().string();
  auto backend = std::make_shared<sim::SimHidBackend>();
  auto bridge = backend->AddBridge(sim::MakeDefaultBridge(sim::ChipFamily::RU9));

  EXPECT_EQ(app.Start(inputs, backend), std::optional<int>(CKestranaApp::kExitRefused));
  ASSERT_EQ(prompts.warnings.size(), 1);
  // The fixed first line, then why the file could not be made.
  const QStringList lines = prompts.warnings[0].split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2) << prompts.warnings[0].toStdString();
  EXPECT_EQ(lines[0], QStringLiteral("创建AppConfigInit.ini文件失败"));
  EXPECT_TRUE(lines[1].contains(QString::fromStdString((root / "System").string())))
      << lines[1].toStdString();
  EXPECT_EQ(app.Window(), nullptr);
  EXPECT_TRUE(bridge->Trace().Entries().empty()) << "no device traffic after the failure";
  g_shuttingDown = false;
}

}  // namespace
