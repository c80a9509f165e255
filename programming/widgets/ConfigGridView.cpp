#include "programming/widgets/ConfigGridView.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <cmath>

#include "ui/ControlIds.h"

using configeditor::kTabBandHeight;

namespace {

// The edit field over a value cell: in from its left and top, to just below
// its bottom.
constexpr int kEditLeft = 2;
constexpr int kEditTop = 3;
constexpr int kEditBelow = 1;
// The combo box lies one pixel inside the value cell.
constexpr int kComboInset = 1;

}  // namespace

ConfigGridView::ConfigGridView(std::vector<CfgItem>& items, QWidget* parent)
    : QAbstractScrollArea(parent), m_items(items), m_model(items) {
  setObjectName(CONTROL_NAME(IDC_CFG_GRID));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  verticalScrollBar()->setSingleStep(kLineStep);
  viewport()->setMouseTracking(false);
  setFocusPolicy(Qt::StrongFocus);
}

configeditor::TabTextMeasure ConfigGridView::Measure() const {
  return [this](const std::string& text) { return m_painter.MeasureTab(text); };
}

void ConfigGridView::RebuildLayout() {
  if (m_edit) m_edit->deleteLater();
  if (m_combo) m_combo->deleteLater();
  m_edit = nullptr;
  m_combo = nullptr;
  m_current.reset();
  m_banding = false;
  m_model.BuildLayout(static_cast<float>(viewport()->width()), Measure());
  verticalScrollBar()->setValue(0);
  UpdateScrollRange();
  viewport()->update();
}

void ConfigGridView::RedrawAllCells() { viewport()->update(); }

void ConfigGridView::UpdateScrollRange() {
  const configeditor::GridPage* page = m_model.CurrentPage();
  const int pageHeight = std::max(0, viewport()->height() - static_cast<int>(kTabBandHeight));
  const int content = page ? static_cast<int>(std::ceil(page->contentHeight)) : 0;
  verticalScrollBar()->setPageStep(pageHeight);
  verticalScrollBar()->setRange(0, std::max(0, content - pageHeight));
}

QPoint ConfigGridView::ToViewport(float x, float y) const {
  return QPoint(static_cast<int>(std::lround(x)),
                static_cast<int>(std::lround(y + kTabBandHeight)) - verticalScrollBar()->value());
}

QPointF ConfigGridView::ToPage(const QPoint& p) const {
  return QPointF(p.x(), p.y() - kTabBandHeight + verticalScrollBar()->value());
}

QRect ConfigGridView::ValueRectOnViewport(size_t item) const {
  const CfgRect& r = m_items[item].valueRect;
  const QPoint topLeft = ToViewport(r.x, r.y);
  return QRect(topLeft, QSize(static_cast<int>(std::lround(r.width)),
                              static_cast<int>(std::lround(r.height))));
}

void ConfigGridView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  std::optional<CfgRect> band;
  if (m_banding) {
    band = configeditor::Spanning(
        static_cast<float>(m_bandAnchor.x()), static_cast<float>(m_bandAnchor.y()),
        static_cast<float>(m_bandPoint.x()), static_cast<float>(m_bandPoint.y()));
  }
  m_painter.Paint(p, viewport()->rect(), m_model, m_items, verticalScrollBar()->value(), band);
}

void ConfigGridView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  CommitEditor();
  m_model.Relayout(static_cast<float>(viewport()->width()), Measure());
  UpdateScrollRange();
}

void ConfigGridView::CommitEditor() {
  if (m_current && *m_current < m_items.size()) {
    if (m_edit) m_items[*m_current].value = m_edit->text().toStdString();
    if (m_combo) m_items[*m_current].value = m_combo->currentText().toStdString();
  }
  for (QWidget* editor : {static_cast<QWidget*>(m_edit), static_cast<QWidget*>(m_combo)}) {
    if (editor == nullptr) continue;
    editor->hide();
    editor->deleteLater();
  }
  m_edit = nullptr;
  m_combo = nullptr;
  viewport()->update();
}

void ConfigGridView::OpenEdit(size_t item) {
  auto* edit = new QLineEdit(viewport());
  edit->setObjectName(CONTROL_NAME(IDC_CFG_EDIT));
  edit->setFont(m_painter.EditorFont());
  edit->setFrame(false);
  edit->setMaxLength(kEditMaxLength);
  const QRect cell = ValueRectOnViewport(item);
  edit->setGeometry(QRect(QPoint(cell.left() + kEditLeft, cell.top() + kEditTop),
                          QPoint(cell.right(), cell.bottom() + kEditBelow)));
  edit->setText(QString::fromStdString(m_items[item].value));
  connect(edit, &QLineEdit::returnPressed, this, &ConfigGridView::CommitEditor);
  edit->show();
  edit->setFocus();
  edit->selectAll();
  m_edit = edit;
}

void ConfigGridView::OpenCombo(size_t item) {
  const CfgItem& it = m_items[item];
  auto* combo = new QComboBox(viewport());
  combo->setObjectName(CONTROL_NAME(IDC_CFG_COMBO));
  combo->setFont(m_painter.EditorFont());
  QStringList texts;
  for (const std::string& option : it.options) texts << QString::fromStdString(option);
  const QString value = QString::fromStdString(it.value);
  // A value outside the options stays selectable, so committing loses nothing.
  if (!texts.contains(value)) texts.prepend(value);
  combo->addItems(texts);
  combo->setCurrentIndex(static_cast<int>(texts.indexOf(value)));
  combo->setGeometry(
      ValueRectOnViewport(item).adjusted(kComboInset, kComboInset, -kComboInset, -kComboInset));
  connect(combo, &QComboBox::activated, this, [this] { CommitEditor(); });
  combo->show();
  combo->setFocus();
  m_combo = combo;
}

void ConfigGridView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  CommitEditor();
  const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
  if (!ctrl) m_model.ClearSelection();
  viewport()->update();
  if (event->position().y() < kTabBandHeight) return;
  const QPointF at = ToPage(event->position().toPoint());
  const std::optional<size_t> hit =
      m_model.ItemAt(static_cast<float>(at.x()), static_cast<float>(at.y()));
  if (!hit) return;
  if (ctrl) {
    m_model.Select(*hit);
    return;
  }
  m_current = hit;
  switch (m_items[*hit].controlKind) {
    case kCfgEdit:
      OpenEdit(*hit);
      break;
    case kCfgCheckBox:
      configeditor::ToggleCheckBox(m_items[*hit]);
      break;
    case kCfgComboBox:
      OpenCombo(*hit);
      break;
    default:
      break;
  }
}

void ConfigGridView::mouseMoveEvent(QMouseEvent* event) {
  const bool both =
      event->buttons().testFlag(Qt::LeftButton) && event->modifiers().testFlag(Qt::ControlModifier);
  if (!both) {
    if (m_banding) {
      m_banding = false;
      viewport()->update();
    }
    return;
  }
  const QPointF at = ToPage(event->position().toPoint());
  if (!m_banding) {
    m_banding = true;
    m_bandAnchor = at;
    m_bandPoint = at;
    return;
  }
  if (std::abs(at.x() - m_bandPoint.x()) >= kBandStep ||
      std::abs(at.y() - m_bandPoint.y()) >= kBandStep) {
    m_bandPoint = at;
    viewport()->update();
  }
}

void ConfigGridView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (m_banding) {
    m_bandPoint = ToPage(event->position().toPoint());
    m_model.SelectBand(configeditor::Spanning(
        static_cast<float>(m_bandAnchor.x()), static_cast<float>(m_bandAnchor.y()),
        static_cast<float>(m_bandPoint.x()), static_cast<float>(m_bandPoint.y())));
    m_banding = false;
  }
  const std::optional<size_t> tab = m_model.TabAt(static_cast<float>(event->position().x()),
                                                  static_cast<float>(event->position().y()));
  if (tab && *tab != m_model.CurrentPageIndex()) {
    CommitEditor();
    m_model.SetCurrentPage(*tab);
    verticalScrollBar()->setValue(0);
    UpdateScrollRange();
  }
  viewport()->update();
}

void ConfigGridView::wheelEvent(QWheelEvent* event) {
  if (m_model.CurrentPage() == nullptr) return;
  CommitEditor();
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(std::clamp(bar->value() - event->angleDelta().y(), bar->minimum(), bar->maximum()));
  event->accept();
}

void ConfigGridView::scrollContentsBy(int, int) {
  // An open editor would no longer lie over its cell.
  CommitEditor();
}

void ConfigGridView::contextMenuEvent(QContextMenuEvent* event) {
  if (m_model.Selection().empty()) return;
  m_model.SortSelectionByBitAddress();
  QMenu menu(this);
  const std::pair<int, QString> commands[] = {{ID_CFG_INCREMENT, QStringLiteral("递增")},
                                              {ID_CFG_DECREMENT, QStringLiteral("递减")},
                                              {ID_CFG_REVERSE, QStringLiteral("反序")},
                                              {ID_CFG_DISABLE, QStringLiteral("禁用")}};
  for (const auto& [id, text] : commands) {
    connect(menu.addAction(text), &QAction::triggered, this, [this, id = id] { RunCommand(id); });
  }
  menu.exec(event->globalPos());
}

void ConfigGridView::RunCommand(int id) {
  switch (id) {
    case ID_CFG_INCREMENT:
      m_model.Increment();
      break;
    case ID_CFG_DECREMENT:
      m_model.Decrement();
      break;
    case ID_CFG_REVERSE:
      m_model.Reverse();
      break;
    case ID_CFG_DISABLE:
      m_model.Disable();
      break;
    default:
      return;
  }
  viewport()->update();
}

void ConfigGridView::Search(const QString& text) {
  m_model.Search(text.toStdString());
  viewport()->update();
}
