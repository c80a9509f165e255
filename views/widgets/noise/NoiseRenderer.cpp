#include "views/widgets/noise/NoiseRenderer.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>

namespace {

constexpr QRgb kAxisColour = 0xFF000000;
constexpr QRgb kCurveColour = 0xFF008000;
constexpr QRgb kMarkerColour = 0xFFFF0000;
constexpr QRgb kMaxColour = 0xFFFF0000;
constexpr QRgb kMinColour = 0xFF0000FF;
constexpr QRgb kBoundaryColour = 0xFFFF0000;
constexpr QRgb kNormalisedColour = 0xFFFFFF00;
// The x axis stops short of the right edge, where the check boxes sit.
constexpr int kAxisRightGap = 120;
constexpr int kUnitLabelGap = 110;
constexpr int kMarkerWidth = 3;

QFont LabelFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(8);
  return font;
}

void Dot(QPainter& p, QRgb colour, int penWidth, float x, float y) {
  p.setPen(QPen(QColor::fromRgba(colour), penWidth));
  p.setBrush(QColor::fromRgba(colour));
  p.drawEllipse(QRect(static_cast<int>(x), static_cast<int>(y), 2, 2));
}

}  // namespace

NoiseRenderer::NoiseRenderer() {
  std::lock_guard lock(mutex_);
  BuildBackgroundLocked();
}

void NoiseRenderer::Configure(const NoiseSetup& setup) {
  std::lock_guard lock(mutex_);
  setup_ = setup;
  yMax_ = kDefaultYMax;
  peak_ = 0;
  markers_ = {};
  BuildBackgroundLocked();
}

void NoiseRenderer::Resize(int width, int height) {
  std::lock_guard lock(mutex_);
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  BuildBackgroundLocked();
}

void NoiseRenderer::Reset(int yMax) {
  std::lock_guard lock(mutex_);
  yMax_ = yMax;
  peak_ = 0;
  const size_t n = geometry_.xs.size();
  maximum_.assign(n, 0);
  minimum_.assign(n, 0);
  average_.assign(n, 0);
  analysis_.reset();
  BuildBackgroundLocked();
}

void NoiseRenderer::ClearCurves() {
  std::lock_guard lock(mutex_);
  curve_ = QImage();
  composite_ = QImage();
  peak_ = 0;
  PublishLocked();
}

void NoiseRenderer::SetSkip(int frames) {
  std::lock_guard lock(mutex_);
  skip_ = frames;
}

void NoiseRenderer::SetTarget(std::optional<int> target) {
  std::lock_guard lock(mutex_);
  target_ = target;
}

std::optional<int> NoiseRenderer::Target() const {
  std::lock_guard lock(mutex_);
  return target_;
}

void NoiseRenderer::SetDragIndex(std::optional<int> index) {
  std::lock_guard lock(mutex_);
  dragIndex_ = index;
}

void NoiseRenderer::BuildBackgroundLocked() {
  curve_ = QImage();
  composite_ = QImage();
  geometry_ = ComputeNoiseGeometry(width_, height_, setup_.range);
  const size_t n = geometry_.xs.size();
  curveY_.assign(n, static_cast<float>(geometry_.axisY));
  auxY_.assign(n, static_cast<float>(geometry_.axisY));
  if (maximum_.size() != n) {
    maximum_.assign(n, 0);
    minimum_.assign(n, 0);
    average_.assign(n, 0);
  }

  background_ = QImage(width_, height_, QImage::Format_ARGB32_Premultiplied);
  background_.fill(0xFFFFFFFF);
  QPainter p(&background_);
  p.setPen(QPen(QColor::fromRgba(kAxisColour), 2));
  const int axisX = geometry_.axisX;
  const int axisY = geometry_.axisY;
  p.drawLine(axisX, 0, axisX, axisY);
  p.drawLine(axisX, axisY, width_ - kAxisRightGap, axisY);
  p.setFont(LabelFont());
  for (const YLabel& label : ComputeYLabels(yMax_, height_)) {
    p.drawText(QRectF(0, label.y - 8, axisX - 3, 16), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(label.value));
  }
  for (size_t k = 1; k < n; k += 2) {
    const long long khz =
        (static_cast<long long>(setup_.range.start) + static_cast<long long>(k)) *
        setup_.bitFreq / 1000;
    p.save();
    p.translate(geometry_.xs[k], axisY + 3);
    p.rotate(90);
    p.drawText(QRectF(0, -7, 26, 14), Qt::AlignLeft | Qt::AlignVCenter, QString::number(khz));
    p.restore();
  }
  p.drawText(QPointF(width_ - kUnitLabelGap, axisY + 5 + 10), QStringLiteral("(kHz)"));
  p.end();
  PublishLocked();
}

void NoiseRenderer::ScaleLocked(int value) {
  if (const std::optional<int> scaled = AutoScaleY(value, yMax_)) {
    yMax_ = *scaled;
    BuildBackgroundLocked();
  }
}

void NoiseRenderer::EnsureCurveLocked() {
  if (curve_.isNull()) curve_ = background_.copy();
}

NoiseMarkers NoiseRenderer::DrawNoise(std::span<const uint8_t> frame, bool average) {
  std::lock_guard lock(mutex_);
  const int n = static_cast<int>(geometry_.xs.size());
  for (int k = 0; k < n; ++k) {
    const int v = NoiseLevel(frame, k);
    const auto y = static_cast<float>(NoiseY(geometry_, v, yMax_));
    float& curve = curveY_[static_cast<size_t>(k)];
    if (average) {
      auxY_[static_cast<size_t>(k)] = y;
      // The averaged curve follows a quieter value at once, a louder slowly.
      curve = y > curve ? y : (y + 127 * curve) / 128;
    } else {
      curve = y;
    }
    if (skip_ == 0 && v > peak_) peak_ = v;
  }
  ScaleLocked(peak_);
  EnsureCurveLocked();
  if (average) {
    QPainter clear(&curve_);
    clear.drawImage(0, 0, background_);
  }
  if (!target_) {
    if (skip_ > 0) {
      --skip_;
    } else if (n > 0) {
      QPainter p(&curve_);
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(QPen(QColor::fromRgba(kCurveColour), 2));
      QPolygonF line;
      for (int k = 0; k < n; ++k) {
        line << QPointF(geometry_.xs[static_cast<size_t>(k)], curveY_[static_cast<size_t>(k)]);
      }
      p.drawPolyline(line);
    }
  }
  int freqA = NoiseFrequencyIndex(frame);
  if (target_) {
    // Until the chip reports the chosen frequency the marker shows it.
    if (*target_ != freqA) {
      freqA = *target_;
    } else {
      target_.reset();
    }
  }
  markers_.freqA = freqA;
  markers_.freqB = setup_.dual ? std::optional<int>(freqA + 2) : std::nullopt;
  ComposeLocked();
  return markers_;
}

void NoiseRenderer::RedrawMarkers() {
  std::lock_guard lock(mutex_);
  ComposeLocked();
}

void NoiseRenderer::ComposeLocked() {
  composite_ = curve_.isNull() ? background_.copy() : curve_.copy();
  QPainter p(&composite_);
  const auto marker = [&](int index) {
    if (const std::optional<float> x = MarkerX(index, geometry_, setup_.range)) {
      p.fillRect(QRectF(*x - 1, geometry_.axisY - geometry_.plotH, kMarkerWidth, geometry_.plotH),
                 QColor::fromRgba(kMarkerColour));
    }
  };
  const int a = dragIndex_ ? *dragIndex_ : markers_.freqA;
  marker(a);
  if (setup_.dual) marker(a + 2);
  p.end();
  PublishLocked();
}

std::optional<std::array<int, 11>> NoiseRenderer::DrawAdjust(const AdjustFrame& frame,
                                                             int refFreq) {
  std::lock_guard lock(mutex_);
  const int n = static_cast<int>(geometry_.xs.size());
  const int k = frame.index - setup_.range.start;
  RawLevels levels;
  if (k < 0 || k >= n || !MeasureRawFrame(frame.bytes, frame.nodes, frame.format, &levels)) {
    return std::nullopt;
  }
  const auto at = static_cast<size_t>(k);
  maximum_[at] = levels.max;
  minimum_[at] = levels.min;
  average_[at] = levels.average;
  ScaleLocked(levels.max);
  int first = k == 0 ? 1 : k;
  if (curve_.isNull()) {
    curve_ = background_.copy();
    first = 1;
  }
  const auto y = [this](int32_t v) { return static_cast<float>(NoiseY(geometry_, v, yMax_)); };
  QPainter p(&curve_);
  for (int j = first; j <= k; ++j) {
    const auto u = static_cast<size_t>(j);
    const float x0 = geometry_.xs[u - 1];
    const float x1 = geometry_.xs[u];
    p.setPen(QPen(QColor::fromRgba(kMaxColour), 1, Qt::DashLine));
    p.drawLine(QPointF(x0, y(maximum_[u - 1])), QPointF(x1, y(maximum_[u])));
    p.setPen(QPen(QColor::fromRgba(kMinColour), 1, Qt::DashLine));
    p.drawLine(QPointF(x0, y(minimum_[u - 1])), QPointF(x1, y(minimum_[u])));
  }
  for (int j = std::min(first, k); j <= k; ++j) {
    const auto u = static_cast<size_t>(j);
    auxY_[u] = y(average_[u]);
    Dot(p, kCurveColour, 2, geometry_.xs[u], auxY_[u]);
  }
  std::optional<std::array<int, 11>> values;
  if (frame.index == setup_.range.end) {
    SegmentAnalysis a = AnalyseSegments(average_, setup_.range.start, setup_.range.end, refFreq);
    for (int i = 1; i <= 5; ++i) {
      const auto u = static_cast<size_t>(a.bounds[static_cast<size_t>(i)] - setup_.range.start);
      Dot(p, kBoundaryColour, 3, geometry_.xs[u], auxY_[u]);
    }
    const float axisY = static_cast<float>(geometry_.axisY);
    for (int f = setup_.range.start; f <= setup_.range.end; ++f) {
      const auto u = static_cast<size_t>(f - setup_.range.start);
      const int normal = a.segNormal[static_cast<size_t>(a.SegmentOf(f))];
      Dot(p, kNormalisedColour, 3, geometry_.xs[u],
          axisY - (axisY - auxY_[u]) * static_cast<float>(normal) / 128.0f);
    }
    values = SegmentValues(a);
    analysis_ = std::move(a);
  }
  p.end();
  composite_ = curve_;
  PublishLocked();
  return values;
}

void NoiseRenderer::PublishLocked() {
  published_ = std::make_shared<const QImage>(composite_.isNull() ? background_ : composite_);
}

std::shared_ptr<const QImage> NoiseRenderer::Picture() const {
  std::lock_guard lock(mutex_);
  return published_;
}

NoiseGeometry NoiseRenderer::Geometry() const {
  std::lock_guard lock(mutex_);
  return geometry_;
}

NoiseSetup NoiseRenderer::Setup() const {
  std::lock_guard lock(mutex_);
  return setup_;
}

int NoiseRenderer::YMax() const {
  std::lock_guard lock(mutex_);
  return yMax_;
}

int NoiseRenderer::Peak() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

int NoiseRenderer::Skip() const {
  std::lock_guard lock(mutex_);
  return skip_;
}

std::optional<SegmentAnalysis> NoiseRenderer::LastAnalysis() const {
  std::lock_guard lock(mutex_);
  return analysis_;
}
