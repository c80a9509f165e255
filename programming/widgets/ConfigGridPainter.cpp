#include "programming/widgets/ConfigGridPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

namespace {

using configeditor::ConfigEditorModel;
using configeditor::GridGroup;
using configeditor::GridPage;

const QColor kCellFill = QColor::fromRgba(0xFFE6E6E6);
const QColor kNormalBorder = QColor::fromRgba(0x64969696);
const QColor kSelectedBorder = QColor::fromRgba(0xFFFAFAFA);
const QColor kNameChanged = QColor::fromRgba(0xFFFF0000);
const QColor kNameNormal = QColor::fromRgba(0xFF000000);
const QColor kTicked = QColor::fromRgba(0xFF323232);
const QColor kSearchMatch = QColor::fromRgba(0xFF3F51F3);
const QColor kBandPen = QColor::fromRgba(0xFF000000);
const std::array<QRgb, 10> kPalette = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFF804000, 0xFFDA07F8,
                                       0xFF008040, 0xFFFFFF00, 0xFF80FFFF, 0xFFFF8040, 0xFFFF80FF};
// Text inside a cell keeps this far from its edges.
constexpr qreal kTextPadding = 3;
// The drop-down mark of a combo box cell.
constexpr qreal kTriangleWidth = 8;
constexpr qreal kTriangleHeight = 4;
constexpr qreal kTriangleRight = 5;
// The group name stands this far right of the frame's left edge and starts
// this far above its top edge, interrupting the frame line.
constexpr qreal kGroupNameLeft = 20;
constexpr qreal kGroupNameRise = 8;

QRectF Q(const CfgRect& r) { return QRectF(r.x, r.y, r.width, r.height); }

QFont ArialPoints(int points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(points);
  return font;
}

}  // namespace

ConfigGridPainter::ConfigGridPainter()
    : m_groupFont(ArialPoints(9)),
      m_cellFont(ArialPoints(8)),
      m_editorFont(ArialPoints(8)),
      m_groupMetrics(m_groupFont) {}

configeditor::TextSize ConfigGridPainter::MeasureTab(const std::string& text) const {
  const QRectF r = m_groupMetrics.boundingRect(QString::fromStdString(text));
  return {static_cast<float>(r.width()), static_cast<float>(m_groupMetrics.height())};
}

void ConfigGridPainter::Paint(QPainter& p, const QRect& area, const ConfigEditorModel& model,
                              const std::vector<CfgItem>& items, int scroll,
                              const std::optional<CfgRect>& band) const {
  p.save();
  p.translate(area.topLeft());
  p.fillRect(QRect(0, 0, area.width(), static_cast<int>(configeditor::kTabBandHeight)), Qt::white);
  const QRectF grid(0, configeditor::kTabBandHeight, area.width() - 1,
                    area.height() - configeditor::kTabBandHeight - 1);
  p.fillRect(grid, kCellFill);
  p.setPen(kNormalBorder);
  p.drawRect(grid);
  PaintTabs(p, model);

  const GridPage* page = model.CurrentPage();
  if (page != nullptr) {
    p.setClipRect(grid.adjusted(1, 1, 0, 0));
    p.translate(0, configeditor::kTabBandHeight - scroll);
    const QRectF visible(0, scroll, area.width(), grid.height());
    std::vector<size_t> bandHits;
    if (band) bandHits = model.EditItemsMeeting(*band);
    for (size_t g = 0; g < page->groups.size(); ++g) {
      const GridGroup& group = page->groups[g];
      const QRectF frame = Q(group.frame);
      if (!frame.adjusted(0, -kGroupNameRise * 2, 0, 0).intersects(visible)) continue;
      const QColor colour = QColor::fromRgba(kPalette[g % kPalette.size()]);
      p.setPen(colour);
      p.setBrush(Qt::NoBrush);
      p.drawRect(frame);
      p.setFont(m_groupFont);
      const QString name = QString::fromStdString(group.name);
      const QRectF label(frame.x() + kGroupNameLeft, frame.y() - kGroupNameRise,
                         m_groupMetrics.horizontalAdvance(name) + 2 * kTextPadding,
                         m_groupMetrics.height());
      p.fillRect(label, kCellFill);
      p.setPen(colour);
      p.drawText(label, Qt::AlignCenter, name);
      p.setFont(m_cellFont);
      for (size_t i : group.items) {
        const bool inBand = std::find(bandHits.begin(), bandHits.end(), i) != bandHits.end();
        PaintItem(p, items[i], model.IsSelected(i) || inBand, model.IsSearchMatch(i));
      }
    }
    if (band) {
      p.setPen(QPen(kBandPen, 1, Qt::DashLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(Q(*band));
    }
  }
  p.restore();
}

void ConfigGridPainter::PaintTabs(QPainter& p, const ConfigEditorModel& model) const {
  p.setFont(m_groupFont);
  const std::vector<GridPage>& pages = model.Pages();
  for (size_t i = 0; i < pages.size(); ++i) {
    const QRectF tab = Q(pages[i].tab);
    if (i == model.CurrentPageIndex()) {
      // The current tab joins the grid below it.
      p.fillRect(tab.adjusted(0, 0, 0, 1), kCellFill);
      p.setPen(kNormalBorder);
      p.drawLine(tab.topLeft(), tab.topRight());
      p.drawLine(tab.topLeft(), tab.bottomLeft());
      p.drawLine(tab.topRight(), tab.bottomRight());
    }
    p.setPen(kNameNormal);
    p.drawText(tab, Qt::AlignCenter, QString::fromStdString(pages[i].name));
  }
}

void ConfigGridPainter::PaintItem(QPainter& p, const CfgItem& item, bool highlighted,
                                  bool searchMatch) const {
  const QRectF label = Q(item.labelRect);
  const QRectF value = Q(item.valueRect);
  p.setBrush(kCellFill);
  p.setPen(highlighted ? kSelectedBorder : kNormalBorder);
  p.drawRect(label);
  p.drawRect(value);

  p.setPen(searchMatch ? kSearchMatch : configeditor::IsChanged(item) ? kNameChanged : kNameNormal);
  p.drawText(label.adjusted(kTextPadding, 0, -kTextPadding, 0), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromStdString(item.name));

  p.setPen(kNameNormal);
  switch (item.controlKind) {
    case kCfgCheckBox: {
      const QRectF box = value.adjusted(kTextPadding, kTextPadding, -kTextPadding, -kTextPadding);
      p.setBrush(configeditor::IsTicked(item) ? kTicked : kCellFill);
      p.setPen(kTicked);
      p.drawRect(box);
      break;
    }
    case kCfgComboBox: {
      const qreal right = value.right() - kTriangleRight;
      const qreal mid = value.center().y();
      QPainterPath triangle;
      triangle.moveTo(right - kTriangleWidth, mid - kTriangleHeight / 2);
      triangle.lineTo(right, mid - kTriangleHeight / 2);
      triangle.lineTo(right - kTriangleWidth / 2, mid + kTriangleHeight / 2);
      triangle.closeSubpath();
      p.fillPath(triangle, kNameNormal);
      p.drawText(value.adjusted(kTextPadding, 0, -(kTriangleWidth + kTriangleRight + 2), 0),
                 Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(item.value));
      break;
    }
    default:
      p.drawText(value.adjusted(kTextPadding, 0, -kTextPadding, 0),
                 Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(item.value));
      break;
  }
}
