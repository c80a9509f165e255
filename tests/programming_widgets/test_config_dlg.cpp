// The configuration editor on a simulated chip: loading the chip's item
// file, in-place edits written back through the block, the many-values
// commands, read/save/load, and sends beside the waiting dialog.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <filesystem>
#include <thread>

#include "device/ChipGlobals.h"
#include "programming/widgets/ConfigDlg.h"
#include "programming/widgets/ConfigGridView.h"
#include "tests/device/ConfigTestUtil.h"
#include "tests/ui/FakePrompts.h"
#include "ui/ControlIds.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/UiBridge.h"
#include "ui/WaittingDlg.h"

namespace {

namespace fs = std::filesystem;
using sim::ChipFamily;

const fs::path kShippedSystem = fs::path(KESTRANA_TEST_DATA_DIR).parent_path().parent_path() /
                                "resources" / "runtime" / "System";

class ConfigDlgTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    g_shuttingDown = false;
    // The program's own item file and chip profile of the RO9110V.
    fs::copy(kShippedSystem / "CfgItem" / "RO9110V_demo.sc", Root() / "System/CfgItem");
    fs::create_directories(Root() / "System/ChipIni");
    fs::copy(kShippedSystem / "ChipIni" / "RO9110V.ini", Root() / "System/ChipIni");
    SetChipIniPath(Root() / "System/ChipIni/RO9110V.ini");
    SetChipName("RO9110V");
  }
  void TearDown() override {
    delete dlg_.data();
    ConfigTest::TearDown();
  }

  // The editor on a chip holding a valid stored block; beforeLoad runs once
  // the chip is there, before the editor loads its items and reads.
  CConfigDlg& Open(const std::function<void()>& beforeLoad = nullptr) {
    ConnectChip(ChipFamily::RU9, WithValidSums(ChipFamily::RU9, PatternBlock(186)));
    if (beforeLoad) beforeLoad();
    ConfigDlgHost host;
    host.readPanelGeometry = [this] {
      ++geometryReads_;
      if (duringSend_) duringSend_();
    };
    host.beginExclusive = [this] { calls_.push_back("begin"); };
    host.endExclusive = [this] { calls_.push_back("end"); };
    dlg_ = new CConfigDlg(prompts_, std::move(host));
    dlg_->resize(1280, 900);
    dlg_->LoadItemFileForChip();
    return *dlg_;
  }

  size_t Index(const std::string& name) {
    const std::vector<CfgItem>& items = dlg_->Config().Items();
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i].name == name) return i;
    }
    ADD_FAILURE() << "no item " << name;
    return 0;
  }
  CfgItem& ItemNamed(const std::string& name) { return dlg_->Config().Items()[Index(name)]; }

  // Clicks the item's value cell, on its page.
  void ClickValue(const std::string& name, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    ConfigGridView& grid = dlg_->Grid();
    const size_t index = Index(name);
    const auto& pages = grid.Model().Pages();
    for (size_t p = 0; p < pages.size(); ++p) {
      for (const auto& group : pages[p].groups) {
        if (std::find(group.items.begin(), group.items.end(), index) == group.items.end()) continue;
        if (grid.Model().CurrentPageIndex() != p) {
          const CfgRect& tab = pages[p].tab;
          QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier,
                            QPoint(static_cast<int>(tab.x + tab.width / 2),
                                   static_cast<int>(tab.y + tab.height / 2)));
        }
      }
    }
    const CfgRect& r = dlg_->Config().Items()[index].valueRect;
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, mods,
                      grid.ToViewport(r.x + r.width / 2, r.y + r.height / 2));
  }
  // A click into the grid's empty background.
  void ClickElsewhere() {
    QTest::mouseClick(dlg_->Grid().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 40));
  }
  QPushButton* Button(const QString& name) { return dlg_->findChild<QPushButton*>(name); }
  std::vector<uint8_t> EditorBlock() {
    return {dlg_->Config().Block().begin(), dlg_->Config().Block().begin() + 186};
  }
  uint8_t Byte(int offset) { return dlg_->Config().Block()[static_cast<size_t>(offset)]; }

  FakePrompts prompts_;
  QPointer<CConfigDlg> dlg_;
  int geometryReads_ = 0;
  std::function<void()> duringSend_;
  std::vector<std::string> calls_;
};

TEST_F(ConfigDlgTest, OpensOnTheChipsItemFileAndReadsTheBlockAtOnce) {
  CConfigDlg& dlg = Open();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(CConfigDlg::kTitle, dlg.windowTitle());
  EXPECT_TRUE(dlg.findChild<CMyEditBrowseCtrl*>(CONTROL_NAME(IDC_CFG_UI_FILE))
                  ->text()
                  .endsWith(QStringLiteral("RO9110V_demo.sc")));
  // The items show the chip's block.
  CConfig fresh;
  fresh.LoadScFile(Root() / "System/CfgItem/RO9110V_demo.sc");
  fresh.ReadConfig();
  ASSERT_EQ(fresh.Items().size(), dlg.Config().Items().size());
  for (size_t i = 0; i < fresh.Items().size(); ++i) {
    EXPECT_EQ(fresh.Items()[i].value, dlg.Config().Items()[i].value) << fresh.Items()[i].name;
  }
  // Its pages: "基本参数", "Noise", "Channel", "CheckSum".
  ASSERT_EQ(4u, dlg.Grid().Model().Pages().size());
  EXPECT_EQ("Noise", dlg.Grid().Model().Pages()[1].name);
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
}

TEST_F(ConfigDlgTest, WithoutAnItemFileForTheChipItSaysSoAndOpensEmpty) {
  SetChipName("RO5555");
  CConfigDlg& dlg = Open();
  EXPECT_EQ(QStringList{CConfigDlg::kScMissingText}, prompts_.warnings);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_TRUE(dlg.Grid().Model().Pages().empty());
}

TEST_F(ConfigDlgTest, InPlaceEditsOfEachKindReachTheBlock) {
  Open();
  const int touch = 5;   // Touch_Number: bits 0-3 of block byte 5
  const int module = 6;  // INT_Trigger bits 0-1, X2Y bit 3 of byte 6

  // Edit field: typed, then committed by a click elsewhere.
  ClickValue("Touch_Number");
  QLineEdit* edit = dlg_->Grid().Editor();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(ConfigGridView::kEditMaxLength, edit->maxLength());
  EXPECT_EQ(QString::fromStdString(ItemNamed("Touch_Number").value), edit->text());
  QTest::keyClicks(edit, QStringLiteral("9"));
  ClickElsewhere();
  EXPECT_EQ(nullptr, dlg_->Grid().Editor());
  EXPECT_EQ("9", ItemNamed("Touch_Number").value);

  // Check box: toggled by the click.
  const std::string x2y = ItemNamed("X2Y").value;
  ClickValue("X2Y");
  EXPECT_EQ(x2y == "0" ? "1" : "0", ItemNamed("X2Y").value);

  // Drop-down list: the chosen option.
  ClickValue("INT_Trigger");
  QComboBox* combo = dlg_->Grid().Combo();
  ASSERT_NE(combo, nullptr);
  combo->setCurrentIndex(combo->findText(QStringLiteral("High")));
  ClickElsewhere();
  EXPECT_EQ("High", ItemNamed("INT_Trigger").value);

  dlg_->Config().ApplyItemValues();
  EXPECT_EQ(9, Byte(touch) & 0x0F);
  EXPECT_EQ(3, Byte(module) & 0x03);
  EXPECT_EQ(x2y == "0" ? 8 : 0, Byte(module) & 0x08);
  // Changed names are drawn red.
  EXPECT_TRUE(configeditor::IsChanged(ItemNamed("Touch_Number")));
}

TEST_F(ConfigDlgTest, CtrlClickSelectsEditCellsOnlyAndTheMenuStepsThem) {
  Open();
  ClickValue("Touch_Number", Qt::ControlModifier);
  ClickValue("X2Y", Qt::ControlModifier);
  ClickValue("INT_Trigger", Qt::ControlModifier);
  ClickValue("Shake_Count", Qt::ControlModifier);
  EXPECT_EQ(2u, dlg_->Grid().Model().Selection().size());
  ItemNamed("Touch_Number").value = "3";
  dlg_->Grid().RunCommand(ID_CFG_INCREMENT);
  EXPECT_EQ("3", ItemNamed("Touch_Number").value);
  EXPECT_EQ("4", ItemNamed("Shake_Count").value);
  // A plain click clears the selection.
  ClickElsewhere();
  EXPECT_TRUE(dlg_->Grid().Model().Selection().empty());
}

TEST_F(ConfigDlgTest, AStepPastTheFieldIsRefusedAtTheSendAndNothingReachesTheChip) {
  Open();
  ClickValue("Touch_Number", Qt::ControlModifier);
  ClickValue("Shake_Count", Qt::ControlModifier);
  ItemNamed("Touch_Number").value = "15";  // 4-bit fields
  dlg_->Grid().RunCommand(ID_CFG_INCREMENT);
  const std::vector<uint8_t> before = EditorBlock();
  const std::vector<uint8_t> chipBefore = ChipBlock();
  Button(CONTROL_NAME(IDC_CFG_SEND))->click();
  ASSERT_EQ(1, prompts_.warnings.size());
  EXPECT_TRUE(prompts_.warnings[0].contains(QStringLiteral("\"16\"超出范围")))
      << prompts_.warnings[0].toStdString();
  EXPECT_EQ(before, EditorBlock());
  EXPECT_EQ(chipBefore, ChipBlock());
  EXPECT_EQ(0u, Personality().TakenCount());
}

TEST_F(ConfigDlgTest, ReadThenSaveThenLoadGivesTheSameBlock) {
  Open();
  const std::vector<uint8_t> read = EditorBlock();
  const fs::path file = Root() / "saved.cfg";
  prompts_.saveResults.push_back(QString::fromStdString(file.string()));
  Button(CONTROL_NAME(IDC_CFG_SAVE))->click();
  ASSERT_TRUE(fs::exists(file)) << prompts_.warnings.join('|').toStdString();
  const std::vector<uint8_t> saved = EditorBlock();
  // Only the fresh flag, set for the chip, differs from the block as read.
  EXPECT_TRUE(std::equal(read.begin(), read.end() - 1, saved.begin()));

  // Another block, then the saved file through the ConfigFile edit.
  for (size_t i = 0; i < 186; ++i) dlg_->Config().Block()[i] = 0;
  auto* configFile = dlg_->findChild<CMyEditBrowseCtrl*>(CONTROL_NAME(IDC_CFG_CONFIG_FILE));
  configFile->setText(QString::fromStdString(file.string()));
  EXPECT_EQ(saved, EditorBlock());
  EXPECT_EQ(QStringLiteral("saved.cfg"), configFile->text());
  EXPECT_EQ(file, dlg_->Config().LoadedFile());
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
}

const QString kReadFailed = QString::fromUtf8(kCfgReadFailedText.data(),
                                               static_cast<qsizetype>(kCfgReadFailedText.size()));

// "Read Cfg" on a loose cable: the message, and the block behind the grid is
// the one read before, so a save and a send once the cable is back carry the
// chip's bytes with the edit, never the failed read's fill.
TEST_F(ConfigDlgTest, AFailedReadLeavesTheBlockThatSaveAndSendUse) {
  Open();
  const std::vector<uint8_t> chip = ChipBlock();
  ItemNamed("Screen_Touch_Level").value = "77";  // block byte 12
  Bridge().SetSilent(true);
  Button(CONTROL_NAME(IDC_CFG_READ))->click();
  EXPECT_EQ(QStringList{kReadFailed}, prompts_.warnings);
  EXPECT_EQ("77", ItemNamed("Screen_Touch_Level").value) << "the grid keeps its values";
  Bridge().SetSilent(false);

  const fs::path file = Root() / "saved.cfg";
  prompts_.saveResults.push_back(QString::fromStdString(file.string()));
  Button(CONTROL_NAME(IDC_CFG_SAVE))->click();
  Button(CONTROL_NAME(IDC_CFG_SEND))->click();
  EXPECT_EQ(QStringList{kReadFailed}, prompts_.warnings);

  std::vector<uint8_t> wanted = chip;
  wanted[12] = 77;
  CConfig saved;
  saved.LoadCfgFile(file);
  // All but the checksum and the fresh flag, which the save sets anew.
  EXPECT_TRUE(std::equal(wanted.begin(), wanted.end() - 2, saved.Block().begin()));
  EXPECT_EQ(1u, Personality().TakenCount());
  EXPECT_TRUE(std::equal(wanted.begin(), wanted.end() - 2, ChipBlock().begin()));
}

// An editor whose first read failed holds no block: its send and save are
// refused with the read failure's text, and neither the chip nor a file is
// written.
TEST_F(ConfigDlgTest, AFreshEditorWhoseFirstReadFailedRefusesSendAndSave) {
  Open([this] { Bridge().SetSilent(true); });
  EXPECT_EQ(QStringList{kReadFailed}, prompts_.warnings);
  Bridge().SetSilent(false);
  const std::vector<uint8_t> chip = ChipBlock();

  const fs::path file = Root() / "saved.cfg";
  prompts_.saveResults.push_back(QString::fromStdString(file.string()));
  Button(CONTROL_NAME(IDC_CFG_SEND))->click();
  Button(CONTROL_NAME(IDC_CFG_SAVE))->click();
  EXPECT_EQ((QStringList{kReadFailed, kReadFailed, kReadFailed}), prompts_.warnings);
  EXPECT_TRUE(prompts_.saveCalls.empty()) << "no file is asked for";
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(0u, Personality().TakenCount());
  EXPECT_EQ(chip, ChipBlock());
}

TEST_F(ConfigDlgTest, SendIsTakenByTheChipWhileTheWaitingDialogStands) {
  Open();
  ItemNamed("Screen_Touch_Level").value = "77";
  bool waitingShown = false;
  platform::Event looked(true, false);
  // The send's last step waits until the UI thread has looked at the screen.
  QTimer::singleShot(0, [&] {
    auto* modal = qobject_cast<CWaittingDlg*>(QApplication::activeModalWidget());
    waitingShown = modal != nullptr && modal->isVisible();
    looked.Set();
  });
  duringSend_ = [&] { EXPECT_TRUE(looked.Wait(10000)); };
  Button(CONTROL_NAME(IDC_CFG_SEND))->click();

  EXPECT_TRUE(waitingShown);
  EXPECT_EQ(nullptr, QApplication::activeModalWidget());
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
  EXPECT_EQ(1u, Personality().TakenCount());
  EXPECT_EQ(77, ChipBlock()[12]);
  EXPECT_TRUE(dlg_->Config().CompareChipConfig(false));
  EXPECT_EQ(1, geometryReads_);
  EXPECT_EQ((std::vector<std::string>{"begin", "end"}), calls_);
  // A changed value stays red after the send.
  EXPECT_TRUE(configeditor::IsChanged(ItemNamed("Screen_Touch_Level")));
}

TEST_F(ConfigDlgTest, ARefusedSendShowsTheMessageAndTheEditorStaysUsable) {
  Open();
  Personality().SetFault(sim::ConfigFault::NeverTakes);
  ItemNamed("Screen_Touch_Level").value = "77";
  Button(CONTROL_NAME(IDC_CFG_SEND))->click();
  EXPECT_EQ(QStringList{QString::fromUtf8(kCfgSendFailedText.data(),
                                          static_cast<qsizetype>(kCfgSendFailedText.size()))},
            prompts_.warnings);
  // The geometry is read and the exclusive use ends all the same.
  EXPECT_EQ(1, geometryReads_);
  EXPECT_EQ((std::vector<std::string>{"begin", "end"}), calls_);
  EXPECT_FALSE(dlg_->Sending());
  EXPECT_EQ(nullptr, QApplication::activeModalWidget());
  EXPECT_EQ("77", ItemNamed("Screen_Touch_Level").value);
  ClickValue("Touch_Number");
  EXPECT_NE(nullptr, dlg_->Grid().Editor());
  Personality().SetFault(sim::ConfigFault::None);
  Button(CONTROL_NAME(IDC_CFG_SEND))->click();
  EXPECT_EQ(1, prompts_.warnings.size());
  EXPECT_EQ(1u, Personality().TakenCount());
}

TEST_F(ConfigDlgTest, ReadAndSendAreRefusedWhileTheWindowIsBusy) {
  Open();
  stream_.busy = true;
  Chip().ClearAccessLog();
  Button(CONTROL_NAME(IDC_CFG_READ))->click();
  Button(CONTROL_NAME(IDC_CFG_SEND))->click();
  EXPECT_EQ((QStringList{CConfigDlg::kBusyText, CConfigDlg::kBusyText}), prompts_.warnings);
  EXPECT_TRUE(Chip().AccessLog().empty());
  EXPECT_TRUE(calls_.empty());
}

// A send elsewhere holds the lock and waits for the UI thread (its page
// stream is stopped through the window) while the editor's send waits for
// the lock: the UI thread keeps serving, so both end.
class UiWaitingStream : public FakeStreamControl {
 public:
  bool StopPageStream(int page) override {
    if (!first.exchange(false)) return FakeStreamControl::StopPageStream(page);
    inside.Set();
    go.Wait();
    UiBridge::call([] {});
    return FakeStreamControl::StopPageStream(page);
  }
  std::atomic<bool> first{true};
  platform::Event inside{true, false};
  platform::Event go{true, false};
};

TEST_F(ConfigDlgTest, ASendThatWaitsForTheUiThreadDoesNotDeadlockTheEditorsSend) {
  Open();
  UiWaitingStream stream;
  stream.page = PAGE_RAW;
  SetStreamControl(&stream);
  CConfig other;
  other.ReadConfig();
  std::jthread elsewhere([&] { other.SendConfig(); });
  ASSERT_TRUE(stream.inside.Wait(10000));
  // Let it go once the editor's send waits for the lock.
  QTimer::singleShot(0, [&] { stream.go.Set(); });
  Button(CONTROL_NAME(IDC_CFG_SEND))->click();
  elsewhere.join();
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
  EXPECT_EQ(2u, Personality().TakenCount());
  SetStreamControl(&stream_);
}

TEST_F(ConfigDlgTest, SearchAndPageTabs) {
  Open();
  ConfigGridView& grid = dlg_->Grid();
  auto* text = dlg_->findChild<QLineEdit*>(CONTROL_NAME(IDC_CFG_SEARCH_TEXT));
  text->setText(QStringLiteral("touch"));
  dlg_->OnBnClickedSearch();
  EXPECT_TRUE(grid.Model().IsSearchMatch(Index("Touch_Number")));
  EXPECT_TRUE(grid.Model().IsSearchMatch(Index("Screen_Touch_Level")));
  EXPECT_FALSE(grid.Model().IsSearchMatch(Index("X2Y")));
  ClickValue("Freq_A(H)");  // on the second page
  EXPECT_EQ(1u, grid.Model().CurrentPageIndex());
  EXPECT_NE(nullptr, grid.Editor());

  // Scrolling commits the editor: a short window on the first page.
  dlg_->resize(1280, 220);
  QApplication::processEvents();
  ClickValue("Config_Version(H)");
  ASSERT_EQ(0u, grid.Model().CurrentPageIndex());
  ASSERT_GT(grid.verticalScrollBar()->maximum(), 0);
  ASSERT_NE(nullptr, grid.Editor());
  grid.Editor()->setText(QStringLiteral("5A"));
  grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
  EXPECT_EQ(nullptr, grid.Editor());
  EXPECT_EQ("5A", ItemNamed("Config_Version(H)").value);
}

TEST_F(ConfigDlgTest, ACtrlDragBandSelectsTheEditCellsItMeets) {
  Open();
  ConfigGridView& grid = dlg_->Grid();
  const CfgRect touch = ItemNamed("Touch_Number").valueRect;
  const CfgRect shake = ItemNamed("Shake_Count").valueRect;
  const QPoint from = grid.ToViewport(touch.x - 2, touch.y - 2);
  const QPoint to = grid.ToViewport(shake.x + 2, shake.y + 2);
  auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, grid.viewport()->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::ControlModifier);
    QApplication::sendEvent(grid.viewport(), &event);
  };
  send(QEvent::MouseButtonPress, from, Qt::LeftButton);
  send(QEvent::MouseMove, from, Qt::LeftButton);
  send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
  send(QEvent::MouseMove, to, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, to, Qt::NoButton);
  EXPECT_EQ((std::vector<size_t>{Index("Touch_Number"), Index("Shake_Count")}),
            grid.Model().Selection());
}

TEST_F(ConfigDlgTest, TheContextMenuOffersTheFourCommandsOnlyWithASelection) {
  Open();
  ConfigGridView& grid = dlg_->Grid();
  QStringList offered;
  auto openMenu = [&](const QString& choose) {
    offered.clear();
    QTimer::singleShot(0, [&, choose] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) return;
      for (QAction* action : menu->actions()) {
        offered << action->text();
        if (action->text() == choose) action->trigger();
      }
      menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 40),
                            grid.viewport()->mapToGlobal(QPoint(5, 40)));
    QApplication::sendEvent(grid.viewport(), &event);
    QApplication::processEvents();
  };
  openMenu(QStringLiteral("禁用"));
  EXPECT_TRUE(offered.isEmpty()) << "no menu without a selection";

  // Two 4-bit fields: "禁用" gives them their all-ones value.
  ClickValue("Touch_Number", Qt::ControlModifier);
  ClickValue("Shake_Count", Qt::ControlModifier);
  openMenu(QStringLiteral("禁用"));
  EXPECT_EQ((QStringList{QStringLiteral("递增"), QStringLiteral("递减"), QStringLiteral("反序"),
                         QStringLiteral("禁用")}),
            offered);
  EXPECT_EQ("15", ItemNamed("Touch_Number").value);
  EXPECT_EQ("15", ItemNamed("Shake_Count").value);
}

TEST_F(ConfigDlgTest, TheWheelCommitsTheEditorAndScrollsWithinTheRange) {
  Open();
  dlg_->resize(1280, 220);
  QApplication::processEvents();
  ConfigGridView& grid = dlg_->Grid();
  ClickValue("Config_Version(H)");
  ASSERT_NE(nullptr, grid.Editor());
  grid.Editor()->setText(QStringLiteral("33"));
  QWheelEvent wheel(QPointF(50, 60), grid.viewport()->mapToGlobal(QPointF(50, 60)), QPoint(),
                    QPoint(0, -1200), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(grid.viewport(), &wheel);
  EXPECT_EQ(nullptr, grid.Editor());
  EXPECT_EQ("33", ItemNamed("Config_Version(H)").value);
  EXPECT_EQ(grid.verticalScrollBar()->maximum(), grid.verticalScrollBar()->value());
}

TEST_F(ConfigDlgTest, AComboValueOutsideItsOptionsStaysChoosable) {
  Open();
  ItemNamed("INT_Trigger").value = "7";
  ClickValue("INT_Trigger");
  QComboBox* combo = dlg_->Grid().Combo();
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(QStringLiteral("7"), combo->currentText());
  EXPECT_EQ(5, combo->count());
  ClickElsewhere();
  EXPECT_EQ("7", ItemNamed("INT_Trigger").value);
}

TEST_F(ConfigDlgTest, ItemFilesOfBothKindsLoadAndAFailedLoadStillReadsTheChip) {
  Open();
  auto* uiFile = dlg_->findChild<CMyEditBrowseCtrl*>(CONTROL_NAME(IDC_CFG_UI_FILE));
  const fs::path ui = fs::path(KESTRANA_TEST_DATA_DIR) / "config" / "RO9110V_demo.ui";
  uiFile->setText(QString::fromStdString(ui.string()));
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
  // ".ui" items have no pages or groups: one page, one group.
  ASSERT_EQ(1u, dlg_->Grid().Model().Pages().size());
  EXPECT_FALSE(dlg_->Config().Items().empty());

  Chip().ClearAccessLog();
  uiFile->setText(QString::fromStdString((Root() / "missing.sc").string()));
  EXPECT_EQ(QStringList{QStringLiteral("打开UI文档失败")}, prompts_.warnings);
  EXPECT_FALSE(Chip().AccessLog().empty()) << "the block is read all the same";
}

TEST_F(ConfigDlgTest, ATypedItemFilePathLoadsOnceTheTypingEnds) {
  Open();
  auto* uiFile = dlg_->findChild<CMyEditBrowseCtrl*>(CONTROL_NAME(IDC_CFG_UI_FILE));
  const fs::path ui = fs::path(KESTRANA_TEST_DATA_DIR) / "config" / "RO9110V_demo.ui";
  uiFile->setFocus();
  uiFile->selectAll();
  QTest::keyClicks(uiFile, QString::fromStdString(ui.string()));
  EXPECT_GT(dlg_->Grid().Model().Pages().size(), 1u) << "nothing loaded while typing";
  QTest::keyClick(uiFile, Qt::Key_Return);
  EXPECT_EQ(1u, dlg_->Grid().Model().Pages().size());
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
}

TEST_F(ConfigDlgTest, AConfigFileThatCannotBeLoadedSaysSoAndKeepsOnlyItsName) {
  Open();
  auto* configFile = dlg_->findChild<CMyEditBrowseCtrl*>(CONTROL_NAME(IDC_CFG_CONFIG_FILE));
  configFile->setText(QString::fromStdString((Root() / "none.cfg").string()));
  EXPECT_EQ(QStringList{QStringLiteral("Open config file failed")}, prompts_.warnings);
  EXPECT_EQ(QStringLiteral("none.cfg"), configFile->text());
}

}  // namespace
