#pragma once
// One finished drawing of a grid view, published by the render thread and
// painted by the widget. Immutable once published.

#include <QFont>
#include <QImage>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct RenderedPicture {
  QImage picture;  // the whole picture: grid, labels, values

  QRect gridRect;             // cells; the label bands lie left of and below it
  std::vector<int> rowLines;  // y of the rows + 1 horizontal lines
  std::vector<int> colLines;  // x of the cols + 1 vertical lines
  int32_t rows = 0;
  int32_t cols = 0;

  std::vector<int32_t> values;     // the value shown in each node (node index)
  size_t cellsWithText = 0;        // nodes whose value was written
  std::optional<QFont> valueFont;  // the values' font; none: cells too small

  // Drawn over the bottom band, overlayTop below the band's top edge, at the
  // left of the client area whatever the scroll offset (null: none).
  QImage overlay;
  int overlayTop = 0;

  uint64_t framesTaken = 0;  // frames the renderer had received
};
