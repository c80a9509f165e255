#pragma once
// Where the configuration editor's cells go: the items grouped by page and
// group (in order of first appearance), each page's groups framed in two
// columns, two items to a row, and the page tabs in a band above the grid.
//
// Page coordinates: x from the grid's left edge, y from the top of the page's
// content (below the tab band); the view adds its scroll position. Tab
// rectangles are in band coordinates (y from the top of the band).

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "device/config/CfgItem.h"

namespace configeditor {

inline constexpr float kTabBandHeight = 30;
inline constexpr float kFirstBoxTop = 13;
inline constexpr float kBoxGap = 15;
inline constexpr float kRowHeight = 24;
inline constexpr float kCellInset = 3;
// Space between a column's edge and its boxes, and inside a box around its
// two halves.
inline constexpr float kColumnMargin = 8;
inline constexpr float kBoxPadding = 5;
// First row below the box's top edge (the group name sits on that edge).
inline constexpr float kFirstRowOffset = 14;
inline constexpr float kTabLeft = 7;
inline constexpr float kTabMarginX = 7;
inline constexpr float kTabMarginY = 5;

bool Contains(const CfgRect& r, float x, float y);
// true when the two rectangles share some area or an edge.
bool Meets(const CfgRect& a, const CfgRect& b);
// The rectangle spanned by two corners in any order.
CfgRect Spanning(float x0, float y0, float x1, float y1);

// Value-cell width of a control kind before the inset: edit 60, check box
// 24, combo box 80.
float ValueCellWidth(int controlKind);

// 12 x (items + 1) + 20.
float BoxHeight(size_t itemCount);

struct GridGroup {
  std::string name;
  std::vector<size_t> items;  // indices into the item list, in item order
  CfgRect frame;
};

struct GridPage {
  std::string name;
  std::vector<GridGroup> groups;
  CfgRect tab;
  // The higher of the two columns: the page's scroll range.
  float contentHeight = 0;
};

// Width and height of a tab's caption in the tab font.
struct TextSize {
  float width = 0;
  float height = 0;
};
using TabTextMeasure = std::function<TextSize(const std::string&)>;

// Groups the items into pages and groups and places them for a grid of
// gridWidth pixels: every item's label and value rectangle, every group's
// frame, every page's tab and content height.
std::vector<GridPage> BuildLayout(std::vector<CfgItem>& items, float gridWidth,
                                  const TabTextMeasure& measure);

}  // namespace configeditor
