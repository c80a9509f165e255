#pragma once
// Helpers shared by the grid view tests: frames built from values, cell
// rectangles and pixel counts in a rendered picture, a recording log.

#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "device/LogSink.h"
#include "views/DataFormat.h"
#include "views/widgets/FramePayload.h"
#include "views/widgets/RenderedPicture.h"

namespace viewtest {

// A frame of `format` holding `values` (encoded by the format's width and
// byte order).
inline FramePayload MakeFrame(const DataFormat& format, const std::vector<int32_t>& values) {
  FramePayload frame;
  frame.format = format;
  const size_t width = format.UnitBytes();
  frame.bytes.resize(values.size() * width);
  for (size_t i = 0; i < values.size(); ++i) {
    const auto v = static_cast<uint32_t>(values[i]);
    for (size_t b = 0; b < width; ++b) {
      const size_t at = format.littleEndian ? b : width - 1 - b;
      frame.bytes[i * width + at] = static_cast<uint8_t>(v >> (8 * b));
    }
  }
  return frame;
}

// The inside of the cell of (row, col).
inline QRect CellRect(const RenderedPicture& p, int row, int col) {
  const int x0 = p.colLines[static_cast<size_t>(col)];
  const int x1 = p.colLines[static_cast<size_t>(col) + 1];
  const int y0 = p.rowLines[static_cast<size_t>(row)];
  const int y1 = p.rowLines[static_cast<size_t>(row) + 1];
  return QRect(x0 + 1, y0 + 1, x1 - x0 - 1, y1 - y0 - 1);
}

inline size_t CountPixels(const QImage& image, const QRect& area,
                          const std::function<bool(QColor)>& match) {
  size_t n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (match(image.pixelColor(x, y))) ++n;
    }
  }
  return n;
}

// Text pixels of a colour on white: strong in one channel, weak in the others.
inline bool Reddish(QColor c) { return c.red() > 200 && c.green() < 160 && c.blue() < 160; }
inline bool Bluish(QColor c) { return c.blue() > 200 && c.red() < 160 && c.green() < 160; }

class RecordingLog : public ILogSink {
 public:
  void AddLog(const std::string& text, LogLevel level) override {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(text, level);
  }
  std::vector<std::pair<std::string, LogLevel>> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, LogLevel>> lines_;
};

}  // namespace viewtest
