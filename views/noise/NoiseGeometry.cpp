#include "views/noise/NoiseGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int kAxisMargin = 30;   // left of the y axis, below the x axis
constexpr int kPlotRightGap = 15;
constexpr int kHitPixels = 5;
}  // namespace

NoiseGeometry ComputeNoiseGeometry(int width, int height, NoiseRange range) {
  NoiseGeometry g;
  g.width = width;
  g.height = height;
  g.axisX = kAxisMargin;
  g.axisY = height - kAxisMargin;
  g.plotW = width - g.axisX - kPlotRightGap;
  g.plotH = g.axisY;
  const int n = std::clamp(range.Count(), 0, kNoiseMaxPoints);
  g.pitch = g.plotW / (n + 1);
  g.xs.resize(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) g.xs[static_cast<size_t>(k)] = static_cast<float>(g.axisX + k * g.pitch);
  return g;
}

int CutToLeadingDigit(int step) {
  for (int d : {10000, 1000, 100, 10, 1}) {
    if (step / d > 0) return (step / d) * d;
  }
  return step;
}

std::vector<YLabel> ComputeYLabels(int yMax, int height) {
  std::vector<YLabel> labels;
  if (yMax <= 0) return labels;
  const int step = CutToLeadingDigit(yMax / 5);
  const int axisY = height - kAxisMargin;
  const auto pixelStep = static_cast<float>(static_cast<long long>(axisY) * step / yMax);
  // A step that does not advance would never reach the top.
  if (pixelStep <= 0) return labels;
  for (int i = 0; i * pixelStep < static_cast<float>(axisY); ++i) {
    labels.push_back({i * step, static_cast<float>(axisY) - static_cast<float>(i) * pixelStep});
  }
  return labels;
}

std::optional<int> AutoScaleY(int v, int yMax) {
  // Held to the int range: a 32-bit raw value times 1.2 does not fit.
  const auto fit = [](double x) { return static_cast<int>(std::min<double>(x, INT32_MAX)); };
  if (v > yMax) return fit(v * 1.2);
  if (v > yMax * 5LL / 6) return fit(yMax * 1.2);
  if (v < yMax / 3 && yMax != kMinYMax) return std::max(fit(yMax * 0.5), kMinYMax);
  return std::nullopt;
}

int NoiseY(const NoiseGeometry& g, long long value, int yMax) {
  if (yMax <= 0) return g.axisY;
  return static_cast<int>(g.axisY - value * g.plotH / yMax);
}

int DragIndex(int cursorX, const NoiseGeometry& g, NoiseRange range) {
  const long long n = range.Count();
  long long index = range.start;
  if (g.plotW > 0) index += (static_cast<long long>(cursorX) - g.axisX) * n / g.plotW;
  if (index + 2 > range.end) index = static_cast<long long>(range.end) - 2;
  return static_cast<int>(std::max<long long>(index, range.start));
}

std::optional<float> MarkerX(int index, const NoiseGeometry& g, NoiseRange range) {
  const long long k = static_cast<long long>(index) - range.start;
  if (k < 0 || k >= static_cast<long long>(g.xs.size())) return std::nullopt;
  return g.xs[static_cast<size_t>(k)];
}

bool HitsMarker(int x, int y, int freqA, std::optional<int> freqB, const NoiseGeometry& g,
                NoiseRange range) {
  if (y >= g.axisY) return false;
  const auto near = [&](int index) {
    const std::optional<float> mx = MarkerX(index, g, range);
    return mx && std::fabs(static_cast<float>(x) - *mx) < kHitPixels;
  };
  return near(freqA) || (freqB && near(*freqB));
}
