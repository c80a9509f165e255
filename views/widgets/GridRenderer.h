#pragma once
// Draws a node grid view into QImages: the grid (frame, lines, "S%d" row and
// "D%d" column labels, rebuilt only when the size, zoom or geometry change)
// and, on a copy of it, every node's value. Lives on the view's render
// thread; nothing here touches a widget.
//
// Node (row r, column k) has index k x rows + r: rows run down the picture,
// columns across it. The value font follows the cell size and the widest
// value drawn since the grid was built (ValueFonts), so tiny cells get small
// text and cells under a pixel get none.

#include <QColor>
#include <QFont>
#include <QImage>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "views/DataFormat.h"
#include "views/widgets/FramePayload.h"
#include "views/widgets/RenderedPicture.h"
#include "views/widgets/ValueFonts.h"
#include "views/widgets/ViewParams.h"

class GridRenderer {
 public:
  static constexpr QRgb kValueBlue = 0xFF0000FF;
  static constexpr QRgb kGridFrame = 0xFFA1B7C0;
  static constexpr QRgb kGridLine = 0x320000C8;
  static constexpr QRgb kMarkedLabel = 0xFFFF0000;

  // `format` gives the geometry drawn before the first frame.
  explicit GridRenderer(const DataFormat& format);
  virtual ~GridRenderer();
  GridRenderer(const GridRenderer&) = delete;
  GridRenderer& operator=(const GridRenderer&) = delete;

  // Draws the picture for `params`. With a frame, its values (decoded with
  // the format it was read with) replace the current ones, and a frame of
  // another geometry re-lays the grid; without one the current values are
  // drawn again (all zero before the first frame).
  std::shared_ptr<const RenderedPicture> Render(const ViewParams& params,
                                                const FramePayload* frame);

  // Any thread: a new stream; from the next drawing the value font is fitted
  // to the values drawn from then on.
  void ForgetValueWidths() { forgetWidths_.store(true); }

 protected:
  struct CellStyle {
    std::optional<QRgb> fill;  // cell background; none: the grid shows through
    QRgb text = kValueBlue;
  };

  // Called first in every Render (the raw view's mode commands).
  virtual void ApplyCommands() {}
  // The frame's format differs from the previous one in geometry or encoding.
  virtual void FormatChanged() {}
  // Fills `values` (sized to the node count, zeroed) from a new frame.
  virtual void TakeValues(const FramePayload& frame, std::vector<int32_t>& values);
  virtual int32_t ShownValue(size_t /*node*/, int32_t value) const { return value; }
  virtual CellStyle StyleOf(size_t node, int32_t shown) const;
  // Extra height kept free below the column labels.
  virtual int BottomReserve(int /*labelHeight*/, double /*zoom*/) { return 0; }
  // The picture to lay over the bottom band, `width` wide.
  virtual QImage DrawOverlay(int /*width*/, int /*labelHeight*/) { return {}; }

  size_t Nodes() const { return values_.size(); }

 private:
  struct Layout {
    QSize picture;
    QRect gridRect;
    std::vector<int> rowLines;
    std::vector<int> colLines;
    QFont labelFont;
    int labelHeight = 0;
  };

  void EnsureGrid(const ViewParams& params);
  void BuildGrid(QSize picture, double zoom);
  void DrawValues(QImage& image, RenderedPicture& out);
  void MarkCursor(QImage& image, QPoint picturePoint) const;

  DataFormat format_;
  std::vector<int32_t> values_;
  uint64_t framesTaken_ = 0;

  Layout layout_;
  QImage grid_;
  ValueFonts valueFonts_;
  std::atomic<bool> forgetWidths_{false};
  QSize gridKeySize_;
  double gridKeyZoom_ = 0;
  bool gridValid_ = false;
};

// Index of the band [lines[i], lines[i+1]) holding v, or -1.
int BandIndex(const std::vector<int>& lines, int v);
