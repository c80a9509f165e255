#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/FileFilter.h"
#include "ui/MyEditBrowseCtrl.h"
#include "device/ChipGlobals.h"
#include "platform/files/AppPaths.h"
#include "tests/platform/ScratchDir.h"
#include "tests/platform/WorkingDirScope.h"
#include "tests/ui/FakePrompts.h"

namespace {

const QString kCfgFilter = QStringLiteral("Config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||");
const QString kBridgeFilter =
    QStringLiteral("Firmwave(*.bin,*.hex)|*.bin;*.hex|All Files (*.*)|*.*||");
const QString kOldText = QStringLiteral("/old/RO9110V.cfg");

enum class Q { Type, Chip };

struct BrowseCase {
  const char* name;
  const char* chip;
  QString filter;
  std::optional<QString> chosen;  // nullopt: the dialog is cancelled
  std::vector<bool> answers;
  std::vector<Q> expectedQuestions;
  bool taken;
};

class BrowseQuestions : public ::testing::TestWithParam<BrowseCase> {};

TEST_P(BrowseQuestions, AsksInOrderAndTakesOnlyAcceptedFiles) {
  const BrowseCase& c = GetParam();
  FakePrompts prompts;
  prompts.openResults.push_back(c.chosen);
  prompts.answers.assign(c.answers.begin(), c.answers.end());

  CMyEditBrowseCtrl edit(prompts);
  const std::string chip = c.chip;
  edit.SetChipNameSource([chip] { return chip; });
  edit.SetFilter(QString(), c.filter);
  edit.setText(kOldText);
  QSignalSpy changed(&edit, &QLineEdit::textChanged);

  edit.OnBrowse();

  QStringList expected;
  for (Q q : c.expectedQuestions) {
    expected << (q == Q::Type ? CMyEditBrowseCtrl::kTypeQuestion
                              : CMyEditBrowseCtrl::kChipQuestion);
  }
  EXPECT_EQ(prompts.questions, expected);
  EXPECT_TRUE(prompts.answers.empty()) << "scripted answers left over";
  if (c.taken) {
    EXPECT_EQ(edit.text(), *c.chosen);
    EXPECT_EQ(edit.cursorPosition(), c.chosen->size());
    EXPECT_EQ(changed.count(), 1);
  } else {
    EXPECT_EQ(edit.text(), kOldText);
    EXPECT_EQ(changed.count(), 0);
  }
}

const QString kOtherChipCfg = QStringLiteral("/data/RO7385_panel.cfg");
const QString kTxt = QStringLiteral("/data/RO7385_panel.txt");
QString P(const char* path) { return QString::fromUtf8(path); }

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, BrowseQuestions,
    ::testing::Values(
        //         name                                  chip        filter         chosen file                                answers        questions            taken
        BrowseCase{"MatchingFileTakenSilently",          "RO9110V",  kCfgFilter,    P("/data/RO9110V_panel.cfg"),              {},            {},                  true},
        BrowseCase{"OtherChipAskedYes",                  "RO9110V",  kCfgFilter,    kOtherChipCfg,                             {true},        {Q::Chip},           true},
        BrowseCase{"OtherChipAskedNo",                   "RO9110V",  kCfgFilter,    kOtherChipCfg,                             {false},       {Q::Chip},           false},
        BrowseCase{"NameWithoutChipMarkNotAsked",        "RO9110V",  kCfgFilter,    P("/data/panel.cfg"),                      {},            {},                  true},
        BrowseCase{"PlaceholderChipNotAsked",            "RO7XXX",   kCfgFilter,    kOtherChipCfg,                             {},            {},                  true},
        BrowseCase{"UnknownChipNotAsked",                "",         kCfgFilter,    kOtherChipCfg,                             {},            {},                  true},
        BrowseCase{"ChipNameTrimmed",                    " RO7385 ", kCfgFilter,    kOtherChipCfg,                             {},            {},                  true},
        BrowseCase{"FolderMarkIgnored",                  "RO9110V",  kCfgFilter,    P("/home/ROSE/panel.cfg"),                 {},            {},                  true},
        BrowseCase{"FolderNamedAfterChipStillAsks",      "RO9110V",  kCfgFilter,    P("/data/RO9110V/RO7385_panel.cfg"),       {false},       {Q::Chip},           false},
        BrowseCase{"PairOfRelatedChipsStillAsks",        "RO9110R",  kCfgFilter,    P("/data/RO6108_panel.cfg"),               {true},        {Q::Chip},           true},
        BrowseCase{"WrongTypeNo",                        "RO9110V",  kCfgFilter,    kTxt,                                      {false},       {Q::Type},           false},
        BrowseCase{"WrongTypeYesThenChipYes",            "RO9110V",  kCfgFilter,    kTxt,                                      {true, true},  {Q::Type, Q::Chip},  true},
        BrowseCase{"WrongTypeYesThenChipNo",             "RO9110V",  kCfgFilter,    kTxt,                                      {true, false}, {Q::Type, Q::Chip},  false},
        BrowseCase{"UpperCaseExtensionMatches",          "RO9110V",  kCfgFilter,    P("/data/RO9110V_PANEL.CFG"),              {},            {},                  true},
        BrowseCase{"NoExtensionIsWrongType",             "RO9110V",  kCfgFilter,    P("/data/RO9110V_panel"),                  {false},       {Q::Type},           false},
        BrowseCase{"PrefixOfListedExtensionIsWrongType", "RO9110V",  kCfgFilter,    P("/data/RO9110V_panel.c"),                {false},       {Q::Type},           false},
        BrowseCase{"SecondPatternOfEntryMatches",        "RO9110V",  kBridgeFilter, P("/data/bridge.hex"),                     {},            {},                  true},
        BrowseCase{"CancelledDialogChangesNothing",      "RO9110V",  kCfgFilter,    std::nullopt,                              {},            {},                  false}),
    [](const ::testing::TestParamInfo<BrowseCase>& info) { return info.param.name; });
// clang-format on

// The dialog's folder with the working directory elsewhere: a folder the
// control could not name would open there.
class BrowseFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = platform::AppPaths::BaseDir();
    platform::AppPaths::SetBaseDir(root_.path());
    std::filesystem::create_directories(root_ / "System" / "CfgItem");
    std::filesystem::create_directories(data_ / "fw");
  }
  void TearDown() override { platform::AppPaths::SetBaseDir(saved_); }
  static QString Text(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
  }

  platform::testing_support::ScratchDir root_;
  platform::testing_support::ScratchDir data_;
  platform::testing_support::ScratchDir elsewhere_;
  platform::testing_support::WorkingDirScope inElsewhere_{elsewhere_.path()};
  std::filesystem::path saved_;
  FakePrompts prompts_;
};

TEST_F(BrowseFolder, DialogStartsInResolvedFolderWithConvertedFilter) {
  CMyEditBrowseCtrl edit(prompts_);
  const struct {
    const char* name;
    std::optional<QString> folder;  // nullopt: SetFilter not called
    std::filesystem::path expected;
  } cases[] = {
      {"before SetFilter", std::nullopt, root_.path()},
      {"stored folder text", QStringLiteral("..\\System\\CfgItem"), root_ / "System" / "CfgItem"},
      {"absolute folder", Text(data_ / "fw"), data_ / "fw"},
      {"no folder", QString(), root_.path()},
      {"relative text", QStringLiteral("System"), root_ / "System"},
      {"folder that is gone", QStringLiteral("..\\gone"), root_.path()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.folder) edit.SetFilter(*c.folder, kCfgFilter);
    prompts_.openResults = {std::nullopt};
    edit.OnBrowse();
    ASSERT_FALSE(prompts_.openCalls.empty());
    EXPECT_EQ(prompts_.openCalls.back().folder.toStdString(), c.expected.string());
  }
  EXPECT_EQ(prompts_.openCalls.back().filter, WinFilterToQt(kCfgFilter));
}

TEST_F(BrowseFolder, NextDialogStartsWhereTheTakenFileWasButNotARefusedOne) {
  CMyEditBrowseCtrl edit(prompts_);
  edit.SetChipNameSource([] { return std::string("RO9110V"); });
  edit.SetFilter(QStringLiteral("..\\System"), kCfgFilter);
  prompts_.openResults = {Text(data_ / "fw" / "RO9110V.cfg"), Text(data_ / "RO7385.cfg"),
                          std::nullopt};
  prompts_.answers = {false};

  edit.OnBrowse();
  edit.OnBrowse();  // refused at the chip question
  edit.OnBrowse();

  ASSERT_EQ(prompts_.openCalls.size(), 3u);
  EXPECT_EQ(prompts_.openCalls[1].folder, Text(data_ / "fw"));
  EXPECT_EQ(prompts_.openCalls[2].folder, Text(data_ / "fw"));
  EXPECT_EQ(edit.text(), Text(data_ / "fw" / "RO9110V.cfg"));
}

TEST(BrowseEdit, ButtonOpensTheDialog) {
  FakePrompts prompts;
  prompts.openResults.push_back(std::nullopt);
  CMyEditBrowseCtrl edit(prompts);
  ASSERT_NE(edit.BrowseAction(), nullptr);
  EXPECT_TRUE(edit.actions().contains(edit.BrowseAction()));

  edit.BrowseAction()->trigger();

  EXPECT_EQ(prompts.openCalls.size(), 1u);
}

TEST(BrowseEdit, ComparesWithTheProgramsChipByDefault) {
  const std::string saved = GetChipName();
  SetChipName("RO9110V");
  FakePrompts prompts;
  prompts.openResults.push_back(kOtherChipCfg);
  prompts.answers.push_back(false);
  CMyEditBrowseCtrl edit(prompts);
  edit.SetFilter(QString(), kCfgFilter);

  edit.OnBrowse();
  SetChipName(saved);

  EXPECT_EQ(prompts.questions, QStringList{CMyEditBrowseCtrl::kChipQuestion});
  EXPECT_TRUE(edit.text().isEmpty());
}

}  // namespace
