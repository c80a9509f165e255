// The editor's model: hit tests, the selection of edit cells, the many-values
// commands, the check-box toggle, the search and the changed-name rule.

#include <gtest/gtest.h>

#include "tests/programming/ConfigItemMaker.h"
#include "device/config/Config.h"
#include "device/ConfigError.h"
#include "programming/configeditor/ConfigEditorModel.h"

namespace {

using configeditor::ConfigEditorModel;
using configeditor_test::Item;

configeditor::TextSize Tab(const std::string& text) {
  return {static_cast<float>(text.size()) * 6, 12};
}

float CentreX(const CfgRect& r) { return r.x + r.width / 2; }
float CentreY(const CfgRect& r) { return r.y + r.height / 2; }

class ConfigEditorModelTest : public testing::Test {
 protected:
  // Page "P": edits e0..e3 in group A (bit addresses out of item order), a
  // check box and a combo box in group B; page "Q": one edit.
  void SetUp() override {
    items_ = {Item("e0", "P", "A", kCfgEdit, 0x8050 * 8),
              Item("e1", "P", "A", kCfgEdit, 0x8048 * 8),
              Item("e2", "P", "A", kCfgEdit, 0x804C * 8),
              Item("Gain_e3", "P", "A", kCfgEdit, 0x8049 * 8),
              Item("check", "P", "B", kCfgCheckBox, 0x8051 * 8, 1),
              Item("combo", "P", "B", kCfgComboBox, 0x8052 * 8, 1),
              Item("q", "Q", "C", kCfgEdit, 0x8053 * 8)};
    model_.BuildLayout(800, Tab);
  }
  void Values(std::initializer_list<const char*> values) {
    size_t i = 0;
    for (const char* v : values) items_[i++].value = v;
  }
  std::vector<std::string> ValuesOf(std::initializer_list<size_t> which) {
    std::vector<std::string> out;
    for (size_t i : which) out.push_back(items_[i].value);
    return out;
  }

  std::vector<CfgItem> items_;
  ConfigEditorModel model_{items_};
};

TEST_F(ConfigEditorModelTest, AClickFindsTheItemWhoseValueCellHoldsThePointOnTheCurrentPage) {
  const CfgRect v = items_[2].valueRect;
  EXPECT_EQ(2u, model_.ItemAt(CentreX(v), CentreY(v)));
  // The name cell is not a hit, nor is the item of another page.
  EXPECT_FALSE(model_.ItemAt(CentreX(items_[2].labelRect), CentreY(items_[2].labelRect)));
  const CfgRect q = items_[6].valueRect;
  EXPECT_NE(std::optional<size_t>(6), model_.ItemAt(CentreX(q), CentreY(q)));
  model_.SetCurrentPage(1);
  EXPECT_EQ(6u, model_.ItemAt(CentreX(q), CentreY(q)));
  // Tabs: band coordinates.
  const CfgRect tab = model_.Pages()[0].tab;
  EXPECT_EQ(0u, model_.TabAt(CentreX(tab), CentreY(tab)));
  EXPECT_FALSE(model_.TabAt(CentreX(tab), 1));
}

TEST_F(ConfigEditorModelTest, OnlyEditCellsAreSelectedEachOnceInTheOrderLastChosen) {
  EXPECT_TRUE(model_.Select(2));
  EXPECT_TRUE(model_.Select(0));
  EXPECT_FALSE(model_.Select(4));  // check box
  EXPECT_FALSE(model_.Select(5));  // combo box
  EXPECT_TRUE(model_.Select(2));   // chosen again: moves to the end
  EXPECT_EQ((std::vector<size_t>{0, 2}), model_.Selection());

  // A band over the whole group box appends its edit cells in item order,
  // moving those already chosen.
  const CfgRect box = model_.Pages()[0].groups[0].frame;
  model_.SelectBand(box);
  EXPECT_EQ((std::vector<size_t>{0, 1, 2, 3}), model_.Selection());
  // A band over group B (check and combo) selects nothing more.
  model_.SelectBand(model_.Pages()[0].groups[1].frame);
  EXPECT_EQ(4u, model_.Selection().size());
  // A band only touching a cell's edge counts.
  const CfgRect e1 = items_[1].valueRect;
  model_.ClearSelection();
  model_.SelectBand(configeditor::Spanning(e1.x + e1.width, e1.y, e1.x + e1.width + 2, e1.y + 1));
  EXPECT_EQ((std::vector<size_t>{1}), model_.Selection());
}

struct CommandCase {
  const char* name;
  void (ConfigEditorModel::*command)();
  std::vector<const char*> before;  // e1, Gain_e3, e2, e0: bit-address order
  std::vector<std::string> after;
};

TEST_F(ConfigEditorModelTest, ManyValuesCommandsWorkInBitAddressOrder) {
  const CommandCase cases[] = {
      {"increment", &ConfigEditorModel::Increment, {"7", "0", "3", "1"}, {"7", "8", "9", "10"}},
      {"decrement", &ConfigEditorModel::Decrement, {"5", "9", "9", "9"}, {"5", "4", "3", "2"}},
      {"reverse", &ConfigEditorModel::Reverse, {"1", "5", "9", "12"}, {"12", "9", "5", "1"}},
      {"disable", &ConfigEditorModel::Disable, {"1", "5", "9", "12"}, {"255", "255", "255", "255"}},
      {"non-numeric start",
       &ConfigEditorModel::Increment,
       {"x", "1", "1", "1"},
       {"0", "1", "2", "3"}},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Bit-address order is e1 (1), Gain_e3 (3), e2 (2), e0 (0).
    items_[1].value = c.before[0];
    items_[3].value = c.before[1];
    items_[2].value = c.before[2];
    items_[0].value = c.before[3];
    model_.ClearSelection();
    for (size_t i : {0, 2, 3, 1}) model_.Select(i);
    (model_.*c.command)();
    EXPECT_EQ(c.after, ValuesOf({1, 3, 2, 0}));
  }
}

TEST_F(ConfigEditorModelTest, NumbersKeepTheItemsFormAndDisableFitsNarrowFields) {
  items_[1].hex = true;
  items_[1].value = "0E";
  items_[3].hex = true;
  model_.Select(1);
  model_.Select(3);
  model_.Increment();
  EXPECT_EQ((std::vector<std::string>{"0E", "0F"}), ValuesOf({1, 3}));
  model_.Disable();
  EXPECT_EQ((std::vector<std::string>{"FF", "FF"}), ValuesOf({1, 3}));

  // A 3-bit field cannot hold 255: its all-ones value; 16 bits hold 255.
  items_[0].bitWidth = 3;
  items_[0].bitAddress += 2;
  items_[2].bitWidth = 16;
  model_.ClearSelection();
  model_.Select(0);
  model_.Select(2);
  model_.Disable();
  EXPECT_EQ((std::vector<std::string>{"7", "255"}), ValuesOf({0, 2}));
}

TEST(ConfigEditorCells, CheckBoxTogglesAndOnlyOneTicks) {
  struct Case {
    const char* value;
    bool ticked;
    const char* afterClick;
  };
  const Case cases[] = {{"2", false, "0"}, {"0", false, "1"}, {"1", true, "0"}, {"", false, "1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    CfgItem item = Item("c", "P", "G", kCfgCheckBox);
    item.value = c.value;
    EXPECT_EQ(c.ticked, configeditor::IsTicked(item));
    configeditor::ToggleCheckBox(item);
    EXPECT_EQ(c.afterClick, item.value);
  }
}

TEST(ConfigEditorCells, ANameIsRedWhileItsValueDiffersFromTheFirstOneRead) {
  CfgItem item = Item("c", "P", "G");
  item.initialValue = "5";
  item.value = "5";
  EXPECT_FALSE(configeditor::IsChanged(item));
  item.value = "6";
  EXPECT_TRUE(configeditor::IsChanged(item));
  // A send takes the text into the block; it stays red.
  item.refreshedValue = "6";
  EXPECT_TRUE(configeditor::IsChanged(item));
}

TEST_F(ConfigEditorModelTest, SearchMarksNamesContainingTheTextInAnyCase) {
  model_.Search("GAIN");
  EXPECT_TRUE(model_.IsSearchMatch(3));
  EXPECT_FALSE(model_.IsSearchMatch(0));
  model_.Search("E");
  EXPECT_TRUE(model_.IsSearchMatch(0));
  EXPECT_TRUE(model_.IsSearchMatch(3));
  EXPECT_FALSE(model_.IsSearchMatch(6));  // "q"
  model_.Search("");
  for (size_t i = 0; i < items_.size(); ++i) EXPECT_FALSE(model_.IsSearchMatch(i));
}

// Commands that step out of a field write the number as it is; the block
// refuses it when the texts are applied and stays as it was.
TEST(ConfigEditorBoundaries, ValuesSteppedOutOfTheirFieldAreRefusedAndTheBlockIsUnchanged) {
  struct Case {
    const char* name;
    void (ConfigEditorModel::*command)();
    int width;
    uint8_t first;  // byte of the first field
    const char* refused;
  };
  const Case cases[] = {
      {"increment past 8 bits", &ConfigEditorModel::Increment, 8, 254, "256"},
      {"decrement below 0", &ConfigEditorModel::Decrement, 8, 1, "-1"},
      {"increment past 2 bits", &ConfigEditorModel::Increment, 2, 2, "4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CConfig cfg;
    std::vector<CfgItem>& items = cfg.Items();
    items.clear();
    for (int k = 0; k < 3; ++k) {
      items.push_back(Item("f" + std::to_string(k), "P", "G", kCfgEdit, (0x8047 + k) * 8, c.width));
    }
    cfg.Block()[0] = c.first;
    cfg.Block()[1] = c.first;
    cfg.Block()[2] = c.first;
    cfg.RefreshItemValues();
    const std::vector<uint8_t> before(cfg.Block().begin(), cfg.Block().end());

    ConfigEditorModel model(items);
    model.BuildLayout(800, Tab);
    for (size_t i = 0; i < 3; ++i) model.Select(i);
    (model.*c.command)();
    EXPECT_EQ(c.refused, items[2].value);
    try {
      cfg.ApplyItemValues();
      ADD_FAILURE() << "applied";
    } catch (const ConfigError& e) {
      EXPECT_NE(std::string(e.what()).find(c.refused), std::string::npos) << e.what();
    }
    EXPECT_EQ(before, std::vector<uint8_t>(cfg.Block().begin(), cfg.Block().end()));
  }
}

}  // namespace
