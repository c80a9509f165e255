#include "views/widgets/GridRenderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <charconv>
#include <string_view>

#include "views/ValueDecode.h"
#include "views/widgets/DigitStamps.h"
#include "views/widgets/ViewTransform.h"

namespace {

constexpr int kInitialLeftBand = 30;
constexpr int kInitialBottomBand = 30;
constexpr int kLargestLabelPt = 12;
constexpr int kSmallestLabelPt = 4;
constexpr QRgb kBackground = 0xFFFFFFFF;
constexpr QRgb kLabelText = 0xFF000000;

QFont LabelFont(int points) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setBold(true);
  // Pictures are drawn at 96 dpi whatever the screen: points as pixels.
  font.setPixelSize(std::max(1, points * 4 / 3));
  return font;
}

std::vector<int> LinePositions(int start, int cell, int count, int last) {
  std::vector<int> lines(static_cast<size_t>(count) + 1);
  for (int i = 0; i <= count; ++i) lines[static_cast<size_t>(i)] = std::min(start + i * cell, last);
  return lines;
}

}  // namespace

int BandIndex(const std::vector<int>& lines, int v) {
  if (lines.size() < 2 || v < lines.front() || v >= lines.back()) return -1;
  const auto it = std::upper_bound(lines.begin(), lines.end(), v);
  return static_cast<int>(it - lines.begin()) - 1;
}

GridRenderer::GridRenderer(const DataFormat& format) : format_(format) {
  values_.assign(format_.NodeCount(), 0);
}

GridRenderer::~GridRenderer() = default;

void GridRenderer::TakeValues(const FramePayload& frame, std::vector<int32_t>& values) {
  DecodeFrame(frame.bytes.data(), frame.bytes.size(), frame.format, values.size(), values.data(),
              values.size());
}

GridRenderer::CellStyle GridRenderer::StyleOf(size_t /*node*/, int32_t /*shown*/) const {
  return CellStyle{};
}

std::shared_ptr<const RenderedPicture> GridRenderer::Render(const ViewParams& params,
                                                            const FramePayload* frame) {
  ApplyCommands();
  if (forgetWidths_.exchange(false)) valueFonts_.Forget();
  if (frame != nullptr) {
    const DataFormat& f = frame->format;
    if (f.rows != format_.rows || f.cols != format_.cols || f.unit != format_.unit ||
        f.isSigned != format_.isSigned || f.littleEndian != format_.littleEndian) {
      if (f.rows != format_.rows || f.cols != format_.cols) gridValid_ = false;
      format_ = f;
      valueFonts_.Forget();
      FormatChanged();
    }
    values_.assign(format_.NodeCount(), 0);
    TakeValues(*frame, values_);
    ++framesTaken_;
  }
  EnsureGrid(params);

  auto out = std::make_shared<RenderedPicture>();
  out->gridRect = layout_.gridRect;
  out->rowLines = layout_.rowLines;
  out->colLines = layout_.colLines;
  out->rows = format_.rows;
  out->cols = format_.cols;
  out->framesTaken = framesTaken_;
  out->picture = grid_.copy();
  DrawValues(out->picture, *out);
  if (params.cursor.x() >= 0 && params.cursor.y() >= 0) {
    MarkCursor(out->picture, params.cursor + params.scroll);
  }
  const int bottomBand = layout_.picture.height() - (layout_.gridRect.bottom() + 1);
  out->overlay = DrawOverlay(std::max(0, params.client.width()), layout_.labelHeight);
  out->overlayTop = std::min(layout_.labelHeight + 4, std::max(0, bottomBand));
  return out;
}

void GridRenderer::EnsureGrid(const ViewParams& params) {
  const QSize picture = PictureSize(params.client, params.zoom);
  if (gridValid_ && picture == gridKeySize_ && params.zoom == gridKeyZoom_) return;
  BuildGrid(picture, params.zoom);
  gridKeySize_ = picture;
  gridKeyZoom_ = params.zoom;
  gridValid_ = true;
}

void GridRenderer::BuildGrid(QSize picture, double zoom) {
  Layout layout;
  layout.picture = picture;
  const int rows = std::max(1, format_.rows);
  const int cols = std::max(1, format_.cols);
  const int w = std::max(1, picture.width());
  const int h = std::max(1, picture.height());

  // The label font follows the cell size of a first guess at the bands.
  const int guessCellW = std::max(0, w - kInitialLeftBand) / cols;
  const int guessCellH = std::max(0, h - kInitialBottomBand) / rows;
  const QString widest = QStringLiteral("D00");
  layout.labelFont = LabelFont(kSmallestLabelPt);
  for (int pt = kLargestLabelPt; pt >= kSmallestLabelPt; --pt) {
    const QFont font = LabelFont(pt);
    const QFontMetrics fm(font);
    if (fm.height() <= guessCellH + 8 && fm.horizontalAdvance(widest) < guessCellW) {
      layout.labelFont = font;
      break;
    }
  }
  const QFontMetrics labelMetrics(layout.labelFont);
  layout.labelHeight = labelMetrics.height();
  const int labelWidth =
      std::max(labelMetrics.horizontalAdvance(widest),
               labelMetrics.horizontalAdvance(QStringLiteral("S") + QString::number(rows - 1)));
  const int left = std::min(w - 1, labelWidth + 4);
  const int bottom =
      std::min(h - 1, layout.labelHeight + 4 + BottomReserve(layout.labelHeight, zoom));
  layout.gridRect = QRect(left, 0, std::max(1, w - left), std::max(1, h - bottom));
  const int cellW = layout.gridRect.width() / cols;
  const int cellH = layout.gridRect.height() / rows;
  layout.rowLines = LinePositions(layout.gridRect.top(), cellH, rows, layout.gridRect.bottom());
  layout.colLines = LinePositions(layout.gridRect.left(), cellW, cols, layout.gridRect.right());

  valueFonts_.Rebuild(QSize(cellW, cellH));

  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kBackground);
  QPainter painter(&image);
  painter.setPen(QPen(QColor::fromRgba(kGridLine), 1));
  const QRect& g = layout.gridRect;
  for (int y : layout.rowLines) painter.drawLine(g.left(), y, g.right(), y);
  for (int x : layout.colLines) painter.drawLine(x, g.top(), x, g.bottom());
  // The frame goes over the line ends.
  painter.setPen(QPen(QColor::fromRgba(kGridFrame), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(g).adjusted(1, 1, -1, -1));

  painter.setFont(layout.labelFont);
  painter.setPen(QColor::fromRgba(kLabelText));
  for (int r = 0; r < rows; ++r) {
    const int y0 = layout.rowLines[static_cast<size_t>(r)];
    const int y1 = layout.rowLines[static_cast<size_t>(r) + 1];
    painter.drawText(QRect(0, y0, left, std::max(1, y1 - y0)), Qt::AlignCenter | Qt::TextDontClip,
                     QStringLiteral("S%1").arg(r));
  }
  for (int k = 0; k < cols; ++k) {
    const int x0 = layout.colLines[static_cast<size_t>(k)];
    const int x1 = layout.colLines[static_cast<size_t>(k) + 1];
    painter.drawText(QRect(x0, g.bottom() + 2, std::max(1, x1 - x0), layout.labelHeight),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip,
                     QStringLiteral("D%1").arg(k));
  }
  painter.end();
  grid_ = std::move(image);
  layout_ = std::move(layout);
}

void GridRenderer::DrawValues(QImage& image, RenderedPicture& out) {
  const int rows = format_.rows;
  const int cols = format_.cols;
  out.values.assign(values_.size(), 0);
  if (rows < 1 || cols < 1 || layout_.rowLines.size() != static_cast<size_t>(rows) + 1 ||
      layout_.colLines.size() != static_cast<size_t>(cols) + 1) {
    return;
  }
  // Fills first, with the painter; then the values go straight into the pixels.
  struct Cell {
    QRect rect;
    QRgb text;
  };
  std::vector<Cell> cells(values_.size(), Cell{QRect(), 0});
  int32_t lowest = 0;
  int32_t highest = 0;
  {
    QPainter painter(&image);
    for (int k = 0; k < cols; ++k) {
      const int x0 = layout_.colLines[static_cast<size_t>(k)];
      const int x1 = layout_.colLines[static_cast<size_t>(k) + 1];
      for (int r = 0; r < rows; ++r) {
        const size_t node = NodeIndex(rows, r, k);
        if (node >= values_.size()) continue;
        const int32_t shown = ShownValue(node, values_[node]);
        out.values[node] = shown;
        const int y0 = layout_.rowLines[static_cast<size_t>(r)];
        const int y1 = layout_.rowLines[static_cast<size_t>(r) + 1];
        // Inside the lines by one pixel.
        const QRect rect(x0 + 1, y0 + 1, x1 - x0 - 1, y1 - y0 - 1);
        if (rect.width() < 1 || rect.height() < 1) continue;
        const CellStyle style = StyleOf(node, shown);
        if (style.fill) painter.fillRect(rect, QColor::fromRgb(*style.fill));
        cells[node] = Cell{rect, style.text};
        lowest = std::min(lowest, shown);
        highest = std::max(highest, shown);
      }
    }
  }
  const DigitStamps* stamps = valueFonts_.Fit(lowest, highest);
  out.valueFont = valueFonts_.Font();
  size_t written = 0;
  if (stamps != nullptr) {
    char buffer[16];
    for (size_t node = 0; node < cells.size(); ++node) {
      const Cell& cell = cells[node];
      if (cell.rect.isEmpty()) continue;
      const auto end = std::to_chars(buffer, buffer + sizeof buffer, out.values[node]).ptr;
      const std::string_view text(buffer, static_cast<size_t>(end - buffer));
      const int tx = cell.rect.left() + (cell.rect.width() - stamps->Width(text)) / 2;
      const int ty =
          cell.rect.top() + (cell.rect.height() - stamps->Height()) / 2 + stamps->Ascent();
      stamps->Draw(image, tx, ty, text, cell.text);
      ++written;
    }
  }
  out.cellsWithText = written;
}

void GridRenderer::MarkCursor(QImage& image, QPoint p) const {
  const int row = BandIndex(layout_.rowLines, p.y());
  const int col = BandIndex(layout_.colLines, p.x());
  if (row < 0 || col < 0) return;
  const QRect& g = layout_.gridRect;
  QPainter painter(&image);
  painter.setFont(layout_.labelFont);
  painter.setPen(QColor::fromRgba(kMarkedLabel));
  const int y0 = layout_.rowLines[static_cast<size_t>(row)];
  const int y1 = layout_.rowLines[static_cast<size_t>(row) + 1];
  const QRect rowLabel(0, y0, g.left(), std::max(1, y1 - y0));
  painter.fillRect(rowLabel, QColor::fromRgb(kBackground));
  painter.drawText(rowLabel.translated(-3, 0), Qt::AlignCenter | Qt::TextDontClip,
                   QStringLiteral("S%1").arg(row));
  const int x0 = layout_.colLines[static_cast<size_t>(col)];
  const int x1 = layout_.colLines[static_cast<size_t>(col) + 1];
  const QRect colLabel(x0, g.bottom() + 2, std::max(1, x1 - x0), layout_.labelHeight);
  painter.fillRect(colLabel.adjusted(0, 0, 0, 3), QColor::fromRgb(kBackground));
  painter.drawText(colLabel.translated(0, 3), Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip,
                   QStringLiteral("D%1").arg(col));
}
