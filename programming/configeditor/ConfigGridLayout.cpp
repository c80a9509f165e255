#include "programming/configeditor/ConfigGridLayout.h"

#include <algorithm>
#include <cmath>

namespace configeditor {

namespace {

template <typename T>
T& FindOrAppend(std::vector<T>& list, const std::string& name) {
  auto it = std::find_if(list.begin(), list.end(), [&](const T& e) { return e.name == name; });
  if (it != list.end()) return *it;
  list.push_back(T{});
  list.back().name = name;
  return list.back();
}

void PlaceItem(CfgItem& item, const CfgRect& half) {
  const float width = ValueCellWidth(item.controlKind);
  const float valueLeft = half.x + half.width - width;
  item.valueRect = {valueLeft + kCellInset, half.y + kCellInset, width - 2 * kCellInset,
                    kRowHeight - 2 * kCellInset};
  item.labelRect = {half.x + kCellInset, half.y + kCellInset,
                    std::max(0.0f, valueLeft - half.x - kCellInset), kRowHeight - 2 * kCellInset};
}

void PlacePage(GridPage& page, std::vector<CfgItem>& items, float gridWidth) {
  const float columnWidth = gridWidth / 2;
  float bottom[2] = {kFirstBoxTop, kFirstBoxTop};
  for (GridGroup& group : page.groups) {
    // The column whose bottom is higher on screen (smaller y); left on a tie.
    const int column = bottom[1] < bottom[0] ? 1 : 0;
    const float height = BoxHeight(group.items.size());
    group.frame = {column * columnWidth + kColumnMargin, bottom[column],
                   columnWidth - 2 * kColumnMargin, height};
    bottom[column] += height + kBoxGap;

    const float half = (group.frame.width - 2 * kBoxPadding) / 2;
    for (size_t k = 0; k < group.items.size(); ++k) {
      const auto row = static_cast<float>(k / 2);
      const float side = static_cast<float>(k % 2);
      const CfgRect cell{group.frame.x + kBoxPadding + side * half,
                         group.frame.y + kFirstRowOffset + row * kRowHeight, half, kRowHeight};
      PlaceItem(items[group.items[k]], cell);
    }
  }
  page.contentHeight = std::max(bottom[0], bottom[1]);
}

}  // namespace

bool Contains(const CfgRect& r, float x, float y) {
  return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

bool Meets(const CfgRect& a, const CfgRect& b) {
  return a.x <= b.x + b.width && b.x <= a.x + a.width && a.y <= b.y + b.height &&
         b.y <= a.y + a.height;
}

CfgRect Spanning(float x0, float y0, float x1, float y1) {
  return {std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0), std::abs(y1 - y0)};
}

float ValueCellWidth(int controlKind) {
  switch (controlKind) {
    case kCfgCheckBox:
      return 24;
    case kCfgComboBox:
      return 80;
    default:
      return 60;
  }
}

float BoxHeight(size_t itemCount) { return 12.0f * static_cast<float>(itemCount + 1) + 20.0f; }

std::vector<GridPage> BuildLayout(std::vector<CfgItem>& items, float gridWidth,
                                  const TabTextMeasure& measure) {
  std::vector<GridPage> pages;
  for (size_t i = 0; i < items.size(); ++i) {
    GridPage& page = FindOrAppend(pages, items[i].page);
    FindOrAppend(page.groups, items[i].group).items.push_back(i);
  }
  float tabX = kTabLeft;
  for (GridPage& page : pages) {
    PlacePage(page, items, gridWidth);
    const TextSize text = measure ? measure(page.name) : TextSize{};
    const float height = std::min(kTabBandHeight, text.height + 2 * kTabMarginY);
    page.tab = {tabX, kTabBandHeight - height, text.width + 2 * kTabMarginX, height};
    tabX += page.tab.width;
  }
  return pages;
}

}  // namespace configeditor
