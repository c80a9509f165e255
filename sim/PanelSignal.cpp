#include "sim/PanelSignal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/ValueEncoding.h"

namespace sim {

namespace {

constexpr int32_t kBaseline = 2000;
// Raw values run up to about this; 8-bit formats scale it onto their range.
constexpr int64_t kRawScaleTop = 2800;
// A touch reaches this far (in nodes) with a linear fall-off.
constexpr double kTouchRadius = 2.5;
constexpr double kRingOuter = 4.0;

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

int32_t Baseline(int row, int col) { return kBaseline + 10 * row - 5 * col; }

// 0..1 of a touch's strength, by its size (20..60).
double Strength(uint16_t size) { return std::clamp((size - 20) / 40.0, 0.0, 1.0); }

// Puts a raw-scale value into the format: 8-bit formats hold it scaled down.
int32_t Fit(int64_t value, const FrameFormat& f) {
  if (f.valueBytes == 1) value = value * MaxValueOf(1, f.isSigned) / kRawScaleTop;
  return FitValue(value, f.valueBytes, f.isSigned);
}

}  // namespace

int32_t PanelSignal::Noise(Stream stream, uint64_t frame, size_t node, int32_t lo,
                           int32_t hi) const {
  const uint64_t h = Mix(Mix(Mix(config_.seed) ^ static_cast<uint64_t>(stream)) ^ frame) ^ node;
  return lo + static_cast<int32_t>(Mix(h) % static_cast<uint64_t>(hi - lo + 1));
}

std::vector<double> PanelSignal::Coverage(const FrameFormat& f, const TouchState& touches,
                                          double radius) const {
  std::vector<double> cover(f.Nodes(), 0.0);
  for (const Contact& c : touches.contacts) {
    if (c.size == 0) continue;
    const double col = static_cast<double>(c.x) * f.cols / std::max<int>(config_.resolutionX, 1);
    const double row = static_cast<double>(c.y) * f.rows / std::max<int>(config_.resolutionY, 1);
    for (int k = 0; k < f.cols; ++k) {
      for (int r = 0; r < f.rows; ++r) {
        const double d = std::hypot(k + 0.5 - col, r + 0.5 - row);
        const double v = std::max(0.0, 1.0 - d / radius);
        double& slot = cover[static_cast<size_t>(k) * f.rows + r];
        slot = std::max(slot, v * (0.5 + 0.5 * Strength(c.size)));
      }
    }
  }
  return cover;
}

std::vector<int32_t> PanelSignal::RawFrame(uint64_t frame, const TouchState& touches) const {
  const FrameFormat& f = config_.raw;
  const std::vector<double> cover = Coverage(f, touches, kTouchRadius);
  std::vector<int32_t> out(f.Nodes());
  for (int k = 0; k < f.cols; ++k) {
    for (int r = 0; r < f.rows; ++r) {
      const size_t n = static_cast<size_t>(k) * f.rows + r;
      // Full coverage (a large touch at its centre) lowers the node by 300.
      const auto dip = static_cast<int64_t>(std::lround(300 * cover[n]));
      out[n] = Fit(Baseline(r, k) + Noise(Stream::Raw, frame, n, -3, 3) - dip, f);
    }
  }
  return out;
}

std::vector<int32_t> PanelSignal::DiffFrame(uint64_t frame, const TouchState& touches) const {
  const FrameFormat& f = config_.diff;
  const std::vector<double> cover = Coverage(f, touches, kTouchRadius);
  const std::vector<double> ring =
      f.isSigned ? Coverage(f, touches, kRingOuter) : std::vector<double>(f.Nodes(), 0.0);
  std::vector<int32_t> out(f.Nodes());
  for (size_t n = 0; n < out.size(); ++n) {
    int64_t v =
        f.isSigned ? Noise(Stream::Diff, frame, n, -3, 3) : Noise(Stream::Diff, frame, n, 0, 3);
    if (cover[n] > 0) {
      v += 60 + std::lround(140 * cover[n]);
    } else if (ring[n] > 0) {
      v -= 30;
    }
    // Difference values are not scaled: 8-bit formats hold them as they are.
    out[n] = FitValue(v, f.valueBytes, f.isSigned);
  }
  return out;
}

std::vector<int32_t> PanelSignal::ObserveFrame(uint64_t frame) const {
  const FrameFormat& f = config_.observe;
  const auto drift = static_cast<int32_t>((frame / 16) % 9) - 4;
  std::vector<int32_t> out(f.Nodes());
  for (int k = 0; k < f.cols; ++k) {
    for (int r = 0; r < f.rows; ++r) {
      out[static_cast<size_t>(k) * f.rows + r] = Fit(Baseline(r, k) + drift, f);
    }
  }
  return out;
}

std::vector<int32_t> PanelSignal::StylusProfiles(uint64_t frame) const {
  const int cols = config_.raw.cols;
  const int rows = config_.raw.rows;
  // The pen draws a slow figure of eight over the panel.
  const double t = static_cast<double>(frame % 240) / 240.0 * 2 * std::numbers::pi;
  const double penCol = (0.5 + 0.35 * std::sin(t)) * cols;
  const double penRow = (0.5 + 0.35 * std::sin(2 * t)) * rows;
  const int64_t top = MaxValueOf(config_.stylusValueBytes, false);
  std::vector<int32_t> out;
  auto profile = [&](int count, double at, size_t offset) {
    for (int i = 0; i < count; ++i) {
      const double fall = std::max(0.0, 1.0 - std::abs(i + 0.5 - at) / 3.0);
      const int64_t v = std::lround(800 * fall) + Noise(Stream::Stylus, frame, offset + i, 0, 5);
      out.push_back(static_cast<int32_t>(std::clamp<int64_t>(v, 0, top)));
    }
  };
  profile(cols, penCol, 0);
  profile(rows, penRow, static_cast<size_t>(cols));
  return out;
}

std::vector<uint8_t> PanelSignal::StylusReport(uint64_t frame) const {
  std::vector<uint8_t> report(config_.stylusLength, 0);
  const std::vector<int32_t> values = StylusProfiles(frame);
  const unsigned w = config_.stylusValueBytes;
  const auto cols = static_cast<size_t>(config_.raw.cols);
  auto put = [&](size_t index, size_t at) {
    if (w == 0 || at + w > report.size()) return;  // what does not fit is left out
    EncodeValue(values[index], w, config_.stylusLittleEndian, report.data() + at);
  };
  for (size_t i = 0; i < cols; ++i) put(i, i * w);
  for (size_t j = 0; j < values.size() - cols; ++j) {
    put(cols + j, config_.stylusSecondRowOffset + j * w);
  }
  return report;
}

}  // namespace sim
