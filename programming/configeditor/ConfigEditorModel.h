#pragma once
// The configuration editor without its widgets: the laid-out pages of an
// item list, the current page, the selection of edit cells, the name search,
// and the edits a click or the context menu makes to the items' value texts.
// The texts go into the block only through CConfig (ApplyItemValues, which
// refuses a value that does not fit its field).
//
// The model refers to the item list it is given; rebuild the layout whenever
// the list changes.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "programming/configeditor/ConfigGridLayout.h"

namespace configeditor {

// Drawn in red: the value differs from the first one the block gave.
bool IsChanged(const CfgItem& item);
// A check box is ticked only by the value 1.
bool IsTicked(const CfgItem& item);
// A click on a check box: "0" when its value is a number other than 0, else
// "1".
void ToggleCheckBox(CfgItem& item);

class ConfigEditorModel {
 public:
  explicit ConfigEditorModel(std::vector<CfgItem>& items) : items_(items) {}

  // Regroups and places the items; keeps the current page when it still
  // exists, and drops the selection and search marks.
  void BuildLayout(float gridWidth, const TabTextMeasure& measure);
  // Places the same items for another grid width; keeps page, selection and
  // search marks.
  void Relayout(float gridWidth, const TabTextMeasure& measure);

  const std::vector<GridPage>& Pages() const { return pages_; }
  const GridPage* CurrentPage() const;
  size_t CurrentPageIndex() const { return currentPage_; }
  void SetCurrentPage(size_t page);

  // The first item on the current page whose value cell holds the point
  // (page coordinates).
  std::optional<size_t> ItemAt(float x, float y) const;
  // The page whose tab holds the point (band coordinates).
  std::optional<size_t> TabAt(float x, float y) const;
  // Edit items of the current page whose value cell meets the band.
  std::vector<size_t> EditItemsMeeting(const CfgRect& band) const;

  // --- Selection: edit items only, in the order chosen, each once ---
  const std::vector<size_t>& Selection() const { return selection_; }
  bool IsSelected(size_t item) const;
  void ClearSelection() { selection_.clear(); }
  // Moves an edit item to the end of the selection (false for other kinds).
  bool Select(size_t item);
  // Ctrl + drag: the edit items meeting the band go to the end.
  void SelectBand(const CfgRect& band);
  // The order the many-values commands work in.
  void SortSelectionByBitAddress();

  // --- Many-values commands over the selection in bit-address order ---
  // Numbers keep the item's form (decimal, or hexadecimal for hexadecimal
  // items); a non-numeric first value counts as 0. Values that leave their
  // field are written as they are: ApplyItemValues refuses them.
  void Increment();
  void Decrement();
  void Reverse();
  // 255 where the field holds it, else the field's all-ones value.
  void Disable();

  // --- Search ---
  // Case-insensitive part of the name; an empty text marks nothing.
  void Search(const std::string& text);
  bool IsSearchMatch(size_t item) const;

 private:
  void Step(int direction);
  std::vector<CfgItem>& items_;
  std::vector<GridPage> pages_;
  size_t currentPage_ = 0;
  std::vector<size_t> selection_;
  std::vector<bool> searchMatch_;
};

}  // namespace configeditor
