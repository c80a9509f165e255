#pragma once
// The font a grid's values are drawn in. It is the largest from 24 down to
// 5 px in which N zeros are narrower than a cell and at most 3 px taller,
// where N is the length of the widest value drawn since the grid was built
// (at least 3): it follows the values as soon as a wider one comes, and
// goes back only at the next grid or stream, so the text does not jump
// between frames. Each N's font is looked up once per cell size.
//
// Render thread only.

#include <QFont>
#include <QSize>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "views/widgets/DigitStamps.h"

class ValueFonts {
 public:
  static constexpr int kMinDigits = 3;
  static constexpr int kLargestPx = 24;
  static constexpr int kSmallestPx = 5;

  // A new grid: cells of `cell` pixels (empty or under a pixel: no text).
  void Rebuild(QSize cell);
  // The widths seen so far no longer count (a new stream or format).
  void Forget() { digits_ = kMinDigits; }

  // Widens N to the longer of the "%d" texts of lowest and highest, and
  // returns the glyphs of N's font; null when the cells take no text.
  const DigitStamps* Fit(int32_t lowest, int32_t highest);

  // N's font (none: cells too small); valid after Fit.
  std::optional<QFont> Font() const;

 private:
  struct Face {
    QFont font;
    DigitStamps stamps;
  };
  static constexpr int kMaxDigits = 11;  // "-2147483648"

  QSize cell_;
  int digits_ = kMinDigits;
  std::array<std::unique_ptr<Face>, kMaxDigits + 1> faces_;  // by N, this grid's
};

// Characters of the "%d" text of v.
int DecimalLength(int32_t v);
