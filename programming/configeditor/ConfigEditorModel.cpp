#include "programming/configeditor/ConfigEditorModel.h"

#include <algorithm>
#include <cctype>

namespace configeditor {

namespace {

// What "禁用" writes where the field holds it; a narrower field gets its
// all-ones value.
constexpr long kDisabledValue = 255;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

bool IsChanged(const CfgItem& item) { return item.value != item.initialValue; }

bool IsTicked(const CfgItem& item) { return CfgParseNumber(item.value, false) == 1L; }

void ToggleCheckBox(CfgItem& item) {
  const std::optional<long> v = CfgParseNumber(item.value, false);
  item.value = std::string(v && *v != 0 ? "0" : "1");
}

void ConfigEditorModel::BuildLayout(float gridWidth, const TabTextMeasure& measure) {
  pages_ = configeditor::BuildLayout(items_, gridWidth, measure);
  if (currentPage_ >= pages_.size()) currentPage_ = 0;
  selection_.clear();
  searchMatch_.assign(items_.size(), false);
}

void ConfigEditorModel::Relayout(float gridWidth, const TabTextMeasure& measure) {
  pages_ = configeditor::BuildLayout(items_, gridWidth, measure);
  if (currentPage_ >= pages_.size()) currentPage_ = 0;
}

const GridPage* ConfigEditorModel::CurrentPage() const {
  return currentPage_ < pages_.size() ? &pages_[currentPage_] : nullptr;
}

void ConfigEditorModel::SetCurrentPage(size_t page) {
  if (page < pages_.size()) currentPage_ = page;
}

std::optional<size_t> ConfigEditorModel::ItemAt(float x, float y) const {
  const GridPage* page = CurrentPage();
  if (page == nullptr) return std::nullopt;
  std::optional<size_t> found;
  for (const GridGroup& group : page->groups) {
    for (size_t i : group.items) {
      if (Contains(items_[i].valueRect, x, y) && (!found || i < *found)) found = i;
    }
  }
  return found;
}

std::optional<size_t> ConfigEditorModel::TabAt(float x, float y) const {
  for (size_t p = 0; p < pages_.size(); ++p) {
    if (Contains(pages_[p].tab, x, y)) return p;
  }
  return std::nullopt;
}

std::vector<size_t> ConfigEditorModel::EditItemsMeeting(const CfgRect& band) const {
  std::vector<size_t> hits;
  const GridPage* page = CurrentPage();
  if (page == nullptr) return hits;
  for (const GridGroup& group : page->groups) {
    for (size_t i : group.items) {
      if (items_[i].controlKind == kCfgEdit && Meets(items_[i].valueRect, band)) hits.push_back(i);
    }
  }
  std::sort(hits.begin(), hits.end());
  return hits;
}

bool ConfigEditorModel::IsSelected(size_t item) const {
  return std::find(selection_.begin(), selection_.end(), item) != selection_.end();
}

bool ConfigEditorModel::Select(size_t item) {
  if (item >= items_.size() || items_[item].controlKind != kCfgEdit) return false;
  std::erase(selection_, item);
  selection_.push_back(item);
  return true;
}

void ConfigEditorModel::SelectBand(const CfgRect& band) {
  for (size_t i : EditItemsMeeting(band)) Select(i);
}

void ConfigEditorModel::SortSelectionByBitAddress() {
  std::stable_sort(selection_.begin(), selection_.end(), [this](size_t a, size_t b) {
    return items_[a].bitAddress < items_[b].bitAddress;
  });
}

void ConfigEditorModel::Step(int direction) {
  SortSelectionByBitAddress();
  if (selection_.empty()) return;
  const CfgItem& first = items_[selection_.front()];
  const long start = CfgParseNumber(first.value, first.hex).value_or(0);
  long k = 0;
  for (size_t i : selection_) {
    const long v = start + direction * k++;
    // A negative number has no hexadecimal form the encoder reads; the
    // decimal text is refused all the same.
    items_[i].value = v < 0 ? std::to_string(v) : CfgNumberText(items_[i], v);
  }
}

void ConfigEditorModel::Increment() { Step(1); }

void ConfigEditorModel::Decrement() { Step(-1); }

void ConfigEditorModel::Reverse() {
  SortSelectionByBitAddress();
  std::vector<std::string> texts;
  for (size_t i : selection_) texts.push_back(items_[i].value);
  std::reverse(texts.begin(), texts.end());
  for (size_t k = 0; k < selection_.size(); ++k) items_[selection_[k]].value = texts[k];
}

void ConfigEditorModel::Disable() {
  SortSelectionByBitAddress();
  for (size_t i : selection_) {
    CfgItem& item = items_[i];
    item.value = CfgNumberText(item, std::min(kDisabledValue, CfgFieldMax(item)));
  }
}

void ConfigEditorModel::Search(const std::string& text) {
  searchMatch_.assign(items_.size(), false);
  const std::string needle = Lower(text);
  if (needle.empty()) return;
  for (size_t i = 0; i < items_.size(); ++i) {
    searchMatch_[i] = Lower(items_[i].name).find(needle) != std::string::npos;
  }
}

bool ConfigEditorModel::IsSearchMatch(size_t item) const {
  return item < searchMatch_.size() && searchMatch_[item];
}

}  // namespace configeditor
