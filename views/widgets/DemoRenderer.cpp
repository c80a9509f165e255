#include "views/widgets/DemoRenderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <algorithm>

#include "views/StylusValues.h"
#include "views/widgets/TrailPictureList.h"

const std::array<QRgb, kMaxTouchPoints> kDemoSlotColours = {
    0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFF804000, 0xFFDA07F8,
    0xFF008040, 0xFFFFFF00, 0xFF80FFFF, 0xFFFF8040, 0xFFFF80FF};

namespace {

const QString kHintWindowed = QStringLiteral("按“F3”切换到全屏模式，右键菜单可以切换画线模式");
const QString kHintFullScreen = QStringLiteral("按“F3”或“ESC”退出全屏");

constexpr int kLabelGap = 15;  // labels keep this far from the point and the area's edges

QFont DemoFont(int points) {
  QFont font(QStringLiteral("Arial"), points);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QColor Colour(QRgb argb) { return QColor::fromRgba(argb); }

// Two-pixel frame lying just inside rect.
void DrawFrame(QPainter& painter, const QRect& rect, QRgb argb, int width) {
  painter.save();
  painter.setBrush(Qt::NoBrush);
  QPen pen(Colour(argb), width);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  const qreal half = width / 2.0;
  painter.drawRect(QRectF(rect).adjusted(half, half, -half, -half));
  painter.restore();
}

}  // namespace

DemoRenderer::DemoRenderer(TrailPictureList& pictures) : pictures_(pictures) {
  ClearTrailPicture();
  ClearPointPicture();
  shown_ = point_;
}

void DemoRenderer::SetGrid(int32_t rows, int32_t cols) {
  gridRows_ = std::max(rows, 0);
  gridCols_ = std::max(cols, 0);
}

QRect DemoRenderer::Area() const {
  const QRect client(QPoint(0, 0), client_);
  return fullScreen_ ? client
                     : client.adjusted(kFrameInset, kFrameInset, -kFrameInset, -kFrameInset);
}

QImage DemoRenderer::NewPicture(QRgb fill) const {
  QImage image(client_.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
  image.fill(Colour(fill));
  return image;
}

void DemoRenderer::TakeFrame(const TouchFrame& frame, uint32_t resolutionX, uint32_t resolutionY) {
  const TouchReport report = ParseTouchReport(frame.report.data(), frame.report.size());
  const QRect area = Area();
  tracker_.Update(report, CoordinateScale{resolutionX, resolutionY, area.left(), area.top(),
                                          area.width(), area.height()});
  // Only a report with contacts draws something: an untouched panel must not
  // fill the picture list with empty trails at every auto clear.
  if (report.count > 0) somethingDrawn_ = true;

  if (!DrawsLines(mode_)) {
    DrawPoints();
    return;
  }
  DrawTrails();
  if (activePen_ && frame.hasStylus) {
    DrawStylusValues(frame);
  } else {
    shown_ = trail_;
  }
}

void DemoRenderer::DrawPoints() {
  ClearPointPicture();
  const QRect area = Area();
  QPainter painter(&point_);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setFont(DemoFont(8));
  const QFontMetrics metrics(painter.font());

  const SlotTable& table = tracker_.Current();
  for (size_t s = 0; s < table.size(); ++s) {
    const TouchSlot& p = table[s];
    if (p.size == 0) continue;
    const QColor colour = Colour(kDemoSlotColours[s]);
    painter.setPen(QPen(colour, 1.0));
    painter.drawLine(area.left(), p.y, area.right(), p.y);
    painter.drawLine(p.x, area.top(), p.x, area.bottom());
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(p.x, p.y), kPointDiameter / 2.0, kPointDiameter / 2.0);

    const QString label =
        QStringLiteral("ID: %1\nPos:(%2,%3)\nPress: %4").arg(p.id).arg(p.x).arg(p.y).arg(p.size);
    QRect box =
        metrics.boundingRect(QRect(0, 0, area.width(), area.height()), Qt::AlignLeft, label);
    box.moveTo(p.x + kLabelGap, p.y + kLabelGap);
    const QRect room = area.adjusted(kLabelGap, kLabelGap, -kLabelGap, -kLabelGap);
    if (box.right() > room.right()) box.moveRight(room.right());
    if (box.bottom() > room.bottom()) box.moveBottom(room.bottom());
    if (box.left() < room.left()) box.moveLeft(room.left());
    if (box.top() < room.top()) box.moveTop(room.top());
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignLeft, label);
  }

  const int keys = tracker_.KeyBits();
  if (keys != 0) {
    QString text = QStringLiteral("KEY: ");
    for (int k = 0; k < 4; ++k) {
      if (keys & (1 << k)) text += QStringLiteral("KEY%1 ").arg(k);
    }
    const int bandHeight = std::max(area.height() / 10, 1);
    const QRect band(area.left(), area.bottom() + 1 - bandHeight, area.width(), bandHeight);
    painter.fillRect(band, Colour(kKeyBand));
    painter.setPen(Qt::white);
    painter.drawText(band, Qt::AlignCenter, text);
  }
  shown_ = point_;
}

void DemoRenderer::DrawTrails() {
  QPainter painter(&trail_);
  const bool dots = mode_ == DemoDrawMode::PointsAndLines;
  for (size_t s = 0; s < kMaxTouchPoints; ++s) {
    const QColor colour = Colour(kDemoSlotColours[s]);
    painter.setPen(QPen(colour, 1.0));
    for (int age = kTouchHistoryDepth - 1; age > 0; --age) {
      const TouchSlot& from = tracker_.History(age)[s];
      const TouchSlot& to = tracker_.History(age - 1)[s];
      if (from.size == 0 || to.size == 0 || from.id != to.id || !tracker_.SameScale(age)) continue;
      painter.drawLine(from.x, from.y, to.x, to.y);
    }
    const TouchSlot& now = tracker_.Current()[s];
    if (dots && now.size != 0) painter.fillRect(now.x - 1, now.y - 1, 3, 3, colour);
  }
}

void DemoRenderer::DrawStylusValues(const TouchFrame& frame) {
  const StylusProfiles values = DecodeStylusProfiles(frame.stylus.data(), frame.stylus.size(),
                                                     frame.formats.Of(DataKind::Stylus), gridRows_,
                                                     gridCols_, frame.stylusRowOffset);
  QImage shown = trail_.copy();
  QPainter painter(&shown);
  const int width = shown.width();
  const int height = shown.height();
  const int columnWidth = width / (gridCols_ + 1);
  QFont font = DemoFont(10);
  if (QFontMetrics(font).horizontalAdvance(QStringLiteral("0000")) > columnWidth) {
    font = DemoFont(6);
  }
  painter.setFont(font);
  const QFontMetrics metrics(font);

  painter.setPen(Colour(kStylusColumnText));
  for (size_t k = 0; k < values.columns.size(); ++k) {
    const int x =
        static_cast<int>((k + 1) * static_cast<size_t>(width) / static_cast<size_t>(gridCols_ + 1));
    const QString text = QString::number(values.columns[k]);
    painter.drawText(x - metrics.horizontalAdvance(text) / 2, metrics.ascent() + 2, text);
  }
  painter.setPen(Colour(kStylusRowText));
  for (size_t j = 0; j < values.rows.size(); ++j) {
    const int y = static_cast<int>((j + 1) * static_cast<size_t>(height) /
                                   static_cast<size_t>(gridRows_ + 1));
    painter.drawText(2, y + metrics.ascent() / 2, QString::number(values.rows[j]));
  }
  shown_ = shown;
}

void DemoRenderer::ClearTrailPicture() {
  if (somethingDrawn_ && !trail_.isNull()) pictures_.Append(trail_);
  somethingDrawn_ = false;
  trail_ = NewPicture(kTrailBackground);
  QPainter painter(&trail_);
  const QRect area = Area();
  if (!fullScreen_) {
    DrawFrame(painter, trail_.rect(), kTrailOuterFrame, 1);
    painter.setPen(QPen(Colour(kTrailGrid), 1.0));
    for (int k = 1; k <= gridCols_; ++k) {
      const int x = area.left() + k * area.width() / (gridCols_ + 1);
      painter.drawLine(x, area.top(), x, area.bottom());
    }
    for (int j = 1; j <= gridRows_; ++j) {
      const int y = area.top() + j * area.height() / (gridRows_ + 1);
      painter.drawLine(area.left(), y, area.right(), y);
    }
    DrawFrame(painter, area, kTrailFrame, 2);
  }
  painter.setFont(DemoFont(8));
  painter.setPen(Colour(kTrailFrame));
  painter.drawText(area.adjusted(kLabelGap, kLabelGap, -kLabelGap, -kLabelGap),
                   Qt::AlignLeft | Qt::AlignTop, fullScreen_ ? kHintFullScreen : kHintWindowed);
  shown_ = trail_;
}

void DemoRenderer::ClearPointPicture() {
  point_ = NewPicture(kPointBackground);
  if (!fullScreen_) {
    QPainter painter(&point_);
    DrawFrame(painter, Area(), kPointFrame, 2);
  }
  somethingDrawn_ = false;
  shown_ = point_;
}

void DemoRenderer::ClearForMode() {
  if (DrawsLines(mode_)) {
    ClearTrailPicture();
  } else {
    ClearPointPicture();
  }
}
