#include "views/widgets/RawCellColours.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr int32_t kReferenceSaturation = 200;
constexpr int32_t kStrongDifference = 100;
constexpr int64_t kScaleSpan = 180;

int ScaleStep(int64_t numerator, int64_t denominator) {
  return static_cast<int>(std::clamp<int64_t>(numerator * kScaleSpan / denominator, 0, kScaleSpan));
}

}  // namespace

CellColours ReferenceColours(int32_t difference) {
  CellColours c;
  if (difference <= 0) {
    const int32_t v = std::max(difference, -kReferenceSaturation);
    const int t = (v - 1) & 255;
    c.fill = qRgb(t, t, 255);
  } else {
    const int32_t v = std::min(difference, kReferenceSaturation);
    c.fill = qRgb(255, 255 - v, 255 - v);
  }
  const int64_t magnitude = std::llabs(static_cast<int64_t>(difference));
  c.text = magnitude > kStrongDifference ? kWhite : kBlue;
  return c;
}

QRgb ColourScaleFill(int32_t value, const RawPanelStats& s, size_t framesBefore) {
  if (framesBefore == 0 || s.overallMax == s.average || s.overallMin == s.average) return kWhite;
  const int64_t v = value;
  if (v < s.average) {
    return qRgb(32 + ScaleStep(v - s.overallMin, int64_t{s.average} - s.overallMin), 212, 32);
  }
  return qRgb(212, 32 + ScaleStep(int64_t{s.overallMax} - v, int64_t{s.overallMax} - s.average),
              32);
}

QRgb PlainTextColour(uint16_t failFlags) { return failFlags != 0 ? kRed : kBlue; }

QStringList RawOverlayLines(const RawPanelStats& s) {
  QStringList lines;
  lines << QStringLiteral("最大值：%1").arg(s.overallMax);
  lines << QStringLiteral("最小值：%1").arg(s.overallMin);
  lines << (s.attenuation >= 100 ? QStringLiteral("衰减比例：N/A")
                                 : QStringLiteral("衰减比例：%1%").arg(s.attenuation));
  lines << QStringLiteral("抖动：%1").arg(s.maxJitter);
  lines << (s.maxAdjDev >= 300 ? QStringLiteral("相邻偏差：N/A")
                               : QStringLiteral("相邻偏差：%1%").arg(s.maxAdjDev));
  return lines;
}
