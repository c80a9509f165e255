// Where the editor's cells go: pages and groups in order of first
// appearance, group boxes balanced over two columns, two items to a row.

#include <gtest/gtest.h>

#include "tests/programming/ConfigItemMaker.h"
#include "programming/configeditor/ConfigGridLayout.h"

namespace {

using configeditor::BuildLayout;
using configeditor::GridPage;
using configeditor::TextSize;
using configeditor_test::Item;

constexpr float kWidth = 800;

TextSize FixedTab(const std::string& text) { return {static_cast<float>(text.size()) * 6, 12}; }

TEST(ConfigGridLayout, PagesAndGroupsKeepTheOrderTheyFirstAppearIn) {
  std::vector<CfgItem> items = {Item("a", "P1", "G1"), Item("b", "P2", "G3"), Item("c", "P1", "G2"),
                                Item("d", "P1", "G1")};
  const std::vector<GridPage> pages = BuildLayout(items, kWidth, FixedTab);
  ASSERT_EQ(2u, pages.size());
  EXPECT_EQ("P1", pages[0].name);
  EXPECT_EQ("P2", pages[1].name);
  ASSERT_EQ(2u, pages[0].groups.size());
  EXPECT_EQ("G1", pages[0].groups[0].name);
  EXPECT_EQ((std::vector<size_t>{0, 3}), pages[0].groups[0].items);
  EXPECT_EQ((std::vector<size_t>{2}), pages[0].groups[1].items);
  // Tabs follow each other from x = 7, 7 px of margin either side of the
  // caption, at the bottom of the 30-px band.
  EXPECT_FLOAT_EQ(7, pages[0].tab.x);
  EXPECT_FLOAT_EQ(2 * 6 + 14, pages[0].tab.width);
  EXPECT_FLOAT_EQ(7 + 26, pages[1].tab.x);
  EXPECT_FLOAT_EQ(22, pages[0].tab.height);
  EXPECT_FLOAT_EQ(30, pages[0].tab.y + pages[0].tab.height);
}

TEST(ConfigGridLayout, EachGroupGoesIntoTheColumnWhoseBottomIsHigherLeftOnATie) {
  // Box heights 12 x (n + 1) + 20: 2 items 56, 5 items 92, 1 item 44.
  std::vector<CfgItem> items;
  auto add = [&](const char* group, int n) {
    for (int i = 0; i < n; ++i) items.push_back(Item("x", "P", group));
  };
  add("A", 2);  // tie at 13: left
  add("B", 5);  // left bottom 84 > 13: right
  add("C", 1);  // left 84 < right 120: left
  add("D", 1);  // left 143 > right 120: right
  const GridPage page = BuildLayout(items, kWidth, FixedTab).front();
  struct Expect {
    float column;  // 0 left, 1 right
    float y;
    float height;
  };
  const Expect expected[] = {{0, 13, 56}, {1, 13, 92}, {0, 84, 44}, {1, 120, 44}};
  for (size_t g = 0; g < 4; ++g) {
    SCOPED_TRACE(page.groups[g].name);
    EXPECT_EQ(expected[g].column, page.groups[g].frame.x < kWidth / 2 ? 0 : 1);
    EXPECT_FLOAT_EQ(expected[g].y, page.groups[g].frame.y);
    EXPECT_FLOAT_EQ(expected[g].height, page.groups[g].frame.height);
  }
  // The higher column: left 84 + 44 + 15 = 143, right 120 + 44 + 15 = 179.
  EXPECT_FLOAT_EQ(179, page.contentHeight);
}

TEST(ConfigGridLayout, ItemsAlternateHalvesInRowsWithValueCellsByKind) {
  std::vector<CfgItem> items = {Item("e", "P", "G", kCfgEdit), Item("c", "P", "G", kCfgCheckBox),
                                Item("m", "P", "G", kCfgComboBox)};
  const GridPage page = BuildLayout(items, kWidth, FixedTab).front();
  const CfgRect box = page.groups[0].frame;
  const float half = (box.width - 10) / 2;
  // Value widths 60 / 24 / 80, right-aligned in the half, inset 3 px.
  struct Expect {
    float width;
    float halfRight;
    float row;
  };
  const Expect expected[] = {
      {54, box.x + 5 + half, 0}, {18, box.x + 5 + 2 * half, 0}, {74, box.x + 5 + half, 1}};
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(items[i].name);
    const CfgRect v = items[i].valueRect;
    EXPECT_FLOAT_EQ(expected[i].width, v.width);
    EXPECT_FLOAT_EQ(expected[i].halfRight - 3, v.x + v.width);
    EXPECT_FLOAT_EQ(18, v.height);
    EXPECT_FLOAT_EQ(items[0].valueRect.y + 24 * expected[i].row, v.y);
    // The label ends where the value cell begins.
    EXPECT_LT(items[i].labelRect.x + items[i].labelRect.width, v.x);
  }
}

TEST(ConfigGridLayout, RectangleTests) {
  const CfgRect r{10, 20, 30, 40};
  EXPECT_TRUE(configeditor::Contains(r, 10, 20));
  EXPECT_FALSE(configeditor::Contains(r, 40, 20));
  EXPECT_TRUE(configeditor::Meets(r, CfgRect{40, 60, 5, 5}));  // corners touch
  EXPECT_FALSE(configeditor::Meets(r, CfgRect{41, 20, 5, 5}));
  const CfgRect s = configeditor::Spanning(50, 60, 10, 20);
  EXPECT_FLOAT_EQ(10, s.x);
  EXPECT_FLOAT_EQ(40, s.width);
}

}  // namespace
