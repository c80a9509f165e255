#pragma once
// The configuration editor's grid: a scroll area that paints the tab band
// and the current page, opens the in-place editors (an edit field for edit
// items, a drop-down list for combo boxes; a click toggles a check box),
// selects edit cells with Ctrl+click and a Ctrl+drag band, and offers the
// many-values commands on the selection's context menu.
//
// A value typed or chosen in an in-place editor reaches its item when the
// editor is committed: before every click, scroll, read, send and save.

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QLineEdit>
#include <QPoint>
#include <QPointer>
#include <optional>
#include <vector>

#include "programming/configeditor/ConfigEditorModel.h"
#include "programming/widgets/ConfigGridPainter.h"

class ConfigGridView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // Longest text the edit field takes.
  static constexpr int kEditMaxLength = 5;
  // A band is redrawn once the mouse moved this far since the last drawing.
  static constexpr int kBandStep = 4;
  static constexpr int kLineStep = 5;

  ConfigGridView(std::vector<CfgItem>& items, QWidget* parent = nullptr);

  // The items changed (another item file): group and place them anew.
  void RebuildLayout();
  // The values changed: redraw.
  void RedrawAllCells();
  // Writes an open in-place editor's text into its item and closes it.
  void CommitEditor();
  void Search(const QString& text);
  // A command of the context menu (ID_CFG_INCREMENT, ...).
  void RunCommand(int id);

  configeditor::ConfigEditorModel& Model() { return m_model; }
  const ConfigGridPainter& Painter() const { return m_painter; }
  // The open in-place editors (null when closed).
  QLineEdit* Editor() const { return m_edit; }
  QComboBox* Combo() const { return m_combo; }
  std::optional<size_t> CurrentItem() const { return m_current; }
  // Viewport position of a point in page coordinates, and back.
  QPoint ToViewport(float x, float y) const;
  QPointF ToPage(const QPoint& viewportPoint) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void OpenEdit(size_t item);
  void OpenCombo(size_t item);
  QRect ValueRectOnViewport(size_t item) const;
  void UpdateScrollRange();
  configeditor::TabTextMeasure Measure() const;

  std::vector<CfgItem>& m_items;
  configeditor::ConfigEditorModel m_model;
  ConfigGridPainter m_painter;
  QPointer<QLineEdit> m_edit;
  QPointer<QComboBox> m_combo;
  std::optional<size_t> m_current;
  // Ctrl+drag band: anchor and the last point drawn, in page coordinates.
  bool m_banding = false;
  QPointF m_bandAnchor;
  QPointF m_bandPoint;
};
