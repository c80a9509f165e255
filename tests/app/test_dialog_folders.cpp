// Where the window's file dialogs open, with the working directory somewhere
// else: first in the runtime root (or the folder the dialog is given), then
// in the folder the dialog last used, also when the editor that owns it was
// closed and opened again.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QRegularExpression>
#include <functional>
#include <system_error>

#include "moduletest/widgets/DlgTest.h"
#include "programming/widgets/ConfigDlg.h"
#include "tests/app/WindowRig.h"
#include "tests/platform/WorkingDirScope.h"
#include "tests/ui/QtTestUtil.h"

namespace {

using namespace window_test;

class DialogFolders : public WindowRig {
 protected:
  // "触控配置": a new editor, as every press makes.
  CConfigDlg& OpenEditor() {
    Control<QAbstractButton>(CONTROL_NAME(IDC_CONFIG))->click();
    EXPECT_NE(window_->ConfigDlg(), nullptr);
    return *window_->ConfigDlg();
  }
  void CloseEditor() {
    window_->ConfigDlg()->close();
    EXPECT_TRUE(qttest::ProcessEventsUntil([&] { return window_->ConfigDlg() == nullptr; }));
  }
  void Browse(QWidget& owner, const QString& name) {
    auto* edit = owner.findChild<CMyEditBrowseCtrl*>(name);
    ASSERT_NE(edit, nullptr) << name.toStdString();
    edit->OnBrowse();
  }
  void Click(QWidget& owner, const QString& name) {
    auto* button = owner.findChild<QAbstractButton*>(name);
    ASSERT_NE(button, nullptr) << name.toStdString();
    button->click();
  }

  ScratchDir elsewhere_;
};

bool SameFolder(const QString& recorded, const fs::path& expected) {
  std::error_code ec;
  return fs::path(recorded.toStdString()).is_absolute() &&
         fs::equivalent(recorded.toStdString(), expected, ec);
}

TEST_F(DialogFolders, OpenInTheRuntimeRootThenWhereTheyWereLastUsed) {
  struct Case {
    const char* name;
    bool save;
    const char* file;           // what the dialog gives, in a folder of the row's own
    const char* first;          // below the runtime root
    bool keepsItsFolder;        // the second use opens in `first` again
    std::function<void()> use;  // opens the dialog once, as the user does
  };
  CDlgTest& page = window_->TestPage();
  auto pageBrowse = [&](const QString& name) { return [&, name] { Browse(page, name); }; };
  auto windowBrowse = [&](const QString& name) { return [&, name] { Browse(*window_, name); }; };
  const Case cases[] = {
      {"Save Cfg", true, "saved.cfg", "", false,
       [&] {
         Click(OpenEditor(), CONTROL_NAME(IDC_CFG_SAVE));
         CloseEditor();
       }},
      {"ConfigFile", false, "block.cfg", "", false,
       [&] {
         Browse(OpenEditor(), CONTROL_NAME(IDC_CFG_CONFIG_FILE));
         CloseEditor();
       }},
      {"test config file", false, "module.cfg", "", false,
       pageBrowse(CONTROL_NAME(IDC_TEST_CONFIG_FILE_PATH))},
      {"test firmware file", false, "module.bin", "", false,
       pageBrowse(CONTROL_NAME(IDC_TEST_FIRMWARE_FILE_PATH))},
      {"test bridge file", false, "bridge.bin", "", false,
       pageBrowse(CONTROL_NAME(IDC_TEST_BRIDGE_FILE_PATH))},
      {"test test-config file", false, "Test.cfg", "", false,
       pageBrowse(CONTROL_NAME(IDC_TEST_TEST_CONFIG_FILE_PATH))},
      {"导入测试文件包", false, "line.tp", "test/test_package", false,
       pageBrowse(CONTROL_NAME(IDC_TEST_PACKAGE_PATH))},
      {"导出配置", true, "export.tp", "test/test_package", true,
       [&] { Click(page, CONTROL_NAME(IDC_TEST_EXPORT_CONFIG)); }},
      // The update panel's fields with no stored path.
      {"Config", false, "update.cfg", "", false, windowBrowse(CONTROL_NAME(IDC_CONFIG_PATH))},
      {"DUviv", false, "update.bin", "", false, windowBrowse(CONTROL_NAME(IDC_DUVIV_PATH))},
      {"bridge firmware", false, "update.hex", "", false,
       windowBrowse(CONTROL_NAME(IDC_V64ER_PATH))},
  };
  platform::testing_support::WorkingDirScope inElsewhere(elsewhere_.path());
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path picked = elsewhere_ / std::to_string(row++) / c.file;
    WriteBytes(picked, "");
    const QString pickedText = QString::fromStdString(picked.string());
    auto& calls = c.save ? prompts_.saveCalls : prompts_.openCalls;
    auto& results = c.save ? prompts_.saveResults : prompts_.openResults;

    results.push_back(pickedText);
    c.use();
    results.push_back(std::nullopt);
    c.use();

    ASSERT_GE(calls.size(), 2u);
    const QString first = calls[calls.size() - 2].folder;
    const QString second = calls.back().folder;
    EXPECT_TRUE(SameFolder(first, root_ / c.first)) << first.toStdString();
    EXPECT_TRUE(SameFolder(second, c.keepsItsFolder ? root_ / c.first : picked.parent_path()))
        << second.toStdString();
    EXPECT_TRUE(results.empty());
  }
  // "Save Cfg" proposes the chip's name and time, with no folder in front.
  ASSERT_FALSE(prompts_.saveCalls.empty());
  const QRegularExpression bareName(
      QStringLiteral("^%1_\\d{14}\\.cfg$").arg(QString::fromStdString(GetChipName())));
  EXPECT_TRUE(bareName.match(prompts_.saveCalls[0].proposedName).hasMatch())
      << prompts_.saveCalls[0].proposedName.toStdString();
  EXPECT_EQ(prompts_.saveCalls[0].defaultSuffix, QStringLiteral("cfg"));
}

}  // namespace
