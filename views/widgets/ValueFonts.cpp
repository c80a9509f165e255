#include "views/widgets/ValueFonts.h"

#include <QFontMetrics>
#include <QString>
#include <algorithm>
#include <charconv>

namespace {

QFont ValueFont(int pixels) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setWeight(QFont::Light);
  font.setPixelSize(pixels);
  return font;
}

}  // namespace

int DecimalLength(int32_t v) {
  char buffer[16];
  return static_cast<int>(std::to_chars(buffer, buffer + sizeof buffer, v).ptr - buffer);
}

void ValueFonts::Rebuild(QSize cell) {
  cell_ = cell;
  digits_ = kMinDigits;
  for (auto& face : faces_) face.reset();
}

const DigitStamps* ValueFonts::Fit(int32_t lowest, int32_t highest) {
  digits_ = std::clamp(std::max({digits_, DecimalLength(lowest), DecimalLength(highest)}),
                       kMinDigits, kMaxDigits);
  if (cell_.width() < 1 || cell_.height() < 1) return nullptr;
  std::unique_ptr<Face>& face = faces_[static_cast<size_t>(digits_)];
  if (!face) {
    const QString sample(digits_, QLatin1Char('0'));
    QFont chosen = ValueFont(kSmallestPx);
    for (int px = kLargestPx; px >= kSmallestPx; --px) {
      const QFont font = ValueFont(px);
      const QFontMetrics fm(font);
      // As laid out and as the stamps place the glyphs, one advance after
      // another (the two may round apart by a pixel).
      const int width =
          std::max(fm.horizontalAdvance(sample), digits_ * fm.horizontalAdvance(QLatin1Char('0')));
      if (width < cell_.width() && fm.height() <= cell_.height() + 3) {
        chosen = font;
        break;
      }
    }
    face = std::make_unique<Face>(Face{chosen, DigitStamps(chosen)});
  }
  return &face->stamps;
}

std::optional<QFont> ValueFonts::Font() const {
  const auto& face = faces_[static_cast<size_t>(digits_)];
  if (!face) return std::nullopt;
  return face->font;
}
