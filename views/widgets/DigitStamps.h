#pragma once
// Number text for grids of thousands of cells: the glyphs of "0".."9" and
// "-" are drawn once per font into coverage masks and then blended straight
// into the picture's pixels, which is an order of magnitude faster than
// laying out every value as text (digits have fixed advances, so nothing is
// lost by placing the glyphs one after another).

#include <QFont>
#include <QImage>
#include <QRect>
#include <array>
#include <string_view>

class DigitStamps {
 public:
  explicit DigitStamps(const QFont& font);

  int Width(std::string_view text) const;
  int Ascent() const { return ascent_; }
  int Height() const { return height_; }

  // Blends text (characters other than digits and '-' are skipped) with its
  // left end at x and its baseline at y, into a Format_RGB32 or
  // Format_ARGB32(_Premultiplied) image of opaque pixels.
  void Draw(QImage& target, int x, int baseline, std::string_view text, QRgb colour) const;

 private:
  struct Glyph {
    QImage mask;  // alpha = coverage; the mask's x 0 is the pen position - kPad
    int advance = 0;
  };
  static constexpr int kPad = 2;  // room for antialiasing beyond the advance

  const Glyph* GlyphOf(char c) const;

  std::array<Glyph, 11> glyphs_;  // "0".."9", "-"
  int ascent_ = 0;
  int height_ = 0;
};
