#include "views/widgets/DigitStamps.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

DigitStamps::DigitStamps(const QFont& font) {
  const QFontMetrics fm(font);
  ascent_ = fm.ascent();
  height_ = fm.height();
  for (size_t i = 0; i < glyphs_.size(); ++i) {
    const QChar c = i < 10 ? QChar(static_cast<char16_t>(u'0' + i)) : QChar(u'-');
    Glyph& g = glyphs_[i];
    g.advance = fm.horizontalAdvance(c);
    g.mask =
        QImage(g.advance + 2 * kPad, std::max(1, height_), QImage::Format_ARGB32_Premultiplied);
    g.mask.fill(Qt::transparent);
    QPainter painter(&g.mask);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(kPad, ascent_), QString(c));
  }
}

const DigitStamps::Glyph* DigitStamps::GlyphOf(char c) const {
  if (c >= '0' && c <= '9') return &glyphs_[static_cast<size_t>(c - '0')];
  if (c == '-') return &glyphs_[10];
  return nullptr;
}

int DigitStamps::Width(std::string_view text) const {
  int w = 0;
  for (char c : text) {
    if (const Glyph* g = GlyphOf(c)) w += g->advance;
  }
  return w;
}

void DigitStamps::Draw(QImage& target, int x, int baseline, std::string_view text,
                       QRgb colour) const {
  const int cr = qRed(colour), cg = qGreen(colour), cb = qBlue(colour);
  const int top = baseline - ascent_;
  const int w = target.width(), h = target.height();
  int pen = x;
  for (char c : text) {
    const Glyph* g = GlyphOf(c);
    if (g == nullptr) continue;
    const int left = pen - kPad;
    for (int my = 0; my < g->mask.height(); ++my) {
      const int ty = top + my;
      if (ty < 0 || ty >= h) continue;
      const auto* src = reinterpret_cast<const QRgb*>(g->mask.constScanLine(my));
      auto* dst = reinterpret_cast<QRgb*>(target.scanLine(ty));
      const int mx0 = std::max(0, -left);
      const int mx1 = std::min(g->mask.width(), w - left);
      for (int mx = mx0; mx < mx1; ++mx) {
        const int a = qAlpha(src[mx]);
        if (a == 0) continue;
        QRgb& d = dst[left + mx];
        const int na = 255 - a;
        d = qRgb((cr * a + qRed(d) * na) / 255, (cg * a + qGreen(d) * na) / 255,
                 (cb * a + qBlue(d) * na) / 255);
      }
    }
    pen += g->advance;
  }
}
