#pragma once
// Draws the configuration editor's grid: the tab band with one tab per page,
// then the current page (group frames in the palette colours, a label and a
// value cell per item) scrolled by the given amount. Used by the grid view
// and by the benchmark.

#include <QFont>
#include <QFontMetricsF>
#include <QRect>
#include <optional>
#include <vector>

#include "programming/configeditor/ConfigEditorModel.h"

class QPainter;

class ConfigGridPainter {
 public:
  ConfigGridPainter();

  // The size of a tab caption in the tab font.
  configeditor::TextSize MeasureTab(const std::string& text) const;
  const QFont& EditorFont() const { return m_editorFont; }

  // area: the grid's rectangle in the painter's coordinates (tab band at its
  // top). band: a rubber band in page coordinates; its edit cells are drawn
  // highlighted.
  void Paint(QPainter& p, const QRect& area, const configeditor::ConfigEditorModel& model,
             const std::vector<CfgItem>& items, int scroll,
             const std::optional<CfgRect>& band = std::nullopt) const;

 private:
  void PaintTabs(QPainter& p, const configeditor::ConfigEditorModel& model) const;
  void PaintItem(QPainter& p, const CfgItem& item, bool highlighted, bool searchMatch) const;

  QFont m_groupFont;   // "Arial" 9 pt: tabs and group names
  QFont m_cellFont;    // "Arial" 8 pt: names and values
  QFont m_editorFont;  // "Arial" 8 pt: the in-place editors
  QFontMetricsF m_groupMetrics;
};
