#include "views/widgets/RawGridRenderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "views/widgets/RawCellColours.h"

namespace {

constexpr int kOverlayLines = 5;
constexpr int kOverlayMargin = 10;  // the box stays this far from the band's sides
constexpr QRgb kOverlayFill = 0xFFD3E9FE;
constexpr QRgb kOverlayText = 0xFF7F7F7F;

QFont OverlayFont(int pixels) {
  QFont font(QStringLiteral("仿宋"));
  font.setStyleHint(QFont::Serif);
  font.setWeight(QFont::Light);
  font.setPixelSize(std::max(1, pixels));
  return font;
}

}  // namespace

RawGridRenderer::RawGridRenderer(const DataFormat& format, RawFrameStack& stack, NodeArrays& nodes,
                                 std::mutex& nodesLock)
    : GridRenderer(format), stack_(stack), nodes_(nodes), nodesLock_(nodesLock) {}

void RawGridRenderer::SelectPlain(bool colourScale) {
  std::lock_guard lock(commandMutex_);
  modeCommand_ = true;
  referenceCommand_ = false;
  colourScaleCommand_ = colourScale;
}

void RawGridRenderer::TakeReference() {
  std::lock_guard lock(commandMutex_);
  referenceCommand_ = true;
  modeCommand_ = false;
}

void RawGridRenderer::ResetStatistics() {
  std::lock_guard lock(commandMutex_);
  resetCommand_ = true;
}

void RawGridRenderer::SetSingleFrameStats(bool single, bool failFlags) {
  std::lock_guard lock(commandMutex_);
  singleCommand_ = single;
  singleFlagsCommand_ = failFlags;
}

void RawGridRenderer::ApplyCommands() {
  bool mode = false, colourScale = false, reference = false, reset = false;
  {
    std::lock_guard lock(commandMutex_);
    std::swap(mode, modeCommand_);
    std::swap(reference, referenceCommand_);
    std::swap(reset, resetCommand_);
    colourScale = colourScaleCommand_;
    single_ = singleCommand_;
    singleFlags_ = singleFlagsCommand_;
  }
  if (reset) {
    std::lock_guard lock(nodesLock_);
    stack_.Reset();
  }
  if (mode) {
    reference_.clear();
    mode_ = colourScale ? RawColourMode::ColourScale : RawColourMode::Plain;
  }
  if (reference) {
    std::lock_guard lock(nodesLock_);
    if (stack_.Count() == 0) return;
    // The frame drawn last: the slot before the one the next frame goes into.
    const size_t last = (stack_.Index() + RawFrameStack::kFrames - 1) % RawFrameStack::kFrames;
    const RawFrameStack::Frame& frame = stack_.At(last);
    const size_t nodes = std::min(Nodes(), frame.size());
    reference_.assign(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(nodes));
    mode_ = RawColourMode::ManualDifference;
  }
}

void RawGridRenderer::FormatChanged() {
  // Frames of another geometry or encoding must not mix into the statistics.
  std::lock_guard lock(nodesLock_);
  stack_.Reset();
  reference_.clear();
  if (mode_ == RawColourMode::ManualDifference) mode_ = RawColourMode::Plain;
}

void RawGridRenderer::TakeValues(const FramePayload& frame, std::vector<int32_t>& values) {
  std::lock_guard lock(nodesLock_);
  // A stream started or restarted since the last frame (a page button, the
  // restart after a configuration send) starts new statistics: frames read
  // before it, even one still waiting to be drawn, never mix with its own.
  if (single_ || frame.chain != chain_) stack_.Reset();
  chain_ = frame.chain;
  framesBefore_ = stack_.Count();
  const RawFrameResult result =
      AddRawFrame(stack_, nodes_, frame.bytes.data(), frame.bytes.size(), frame.format);
  const RawFrameStack::Frame& stored = stack_.At(result.slot);
  const size_t n = std::min(values.size(), result.count);
  std::copy_n(stored.begin(), n, values.begin());
  stats_ = result.stats;
  if (single_) {
    // The frame is the only one examined.
    framesBefore_ = 1;
    stats_ = ComputeRawStats(stack_, 1, frame.format.rows, frame.format.cols, stored.data(),
                             result.count, nodes_);
    if (!singleFlags_) nodes_.NodeFailFlags.fill(0);
  }
  failFlags_ = nodes_.NodeFailFlags;
}

int32_t RawGridRenderer::ShownValue(size_t node, int32_t value) const {
  if (mode_ != RawColourMode::ManualDifference || node >= reference_.size()) return value;
  return static_cast<int32_t>(static_cast<uint32_t>(reference_[node]) -
                              static_cast<uint32_t>(value));
}

GridRenderer::CellStyle RawGridRenderer::StyleOf(size_t node, int32_t shown) const {
  CellStyle style;
  switch (mode_) {
    case RawColourMode::ManualDifference: {
      const CellColours c = ReferenceColours(shown);
      style.fill = c.fill;
      style.text = c.text;
      break;
    }
    case RawColourMode::ColourScale:
      style.fill = ColourScaleFill(shown, stats_, framesBefore_);
      break;
    case RawColourMode::Plain:
      style.text = PlainTextColour(node < failFlags_.size() ? failFlags_[node] : 0);
      break;
  }
  return style;
}

int RawGridRenderer::OverlayLineHeight() const {
  return QFontMetrics(OverlayFont(overlayPixelSize_)).height();
}

int RawGridRenderer::BottomReserve(int labelHeight, double zoom) {
  if (zoom == 1.0 || overlayPixelSize_ == 0) overlayPixelSize_ = labelHeight * 4 / 3;
  return kOverlayLines * OverlayLineHeight() + 8;
}

QImage RawGridRenderer::DrawOverlay(int width, int /*labelHeight*/) {
  const int boxWidth = width - 2 * kOverlayMargin;
  const int lineHeight = OverlayLineHeight();
  if (boxWidth < 2 || overlayPixelSize_ == 0) return {};
  QImage box(boxWidth, kOverlayLines * lineHeight + 4, QImage::Format_ARGB32_Premultiplied);
  box.fill(kOverlayFill);
  QPainter painter(&box);
  painter.setPen(QColor::fromRgba(kOverlayText));
  painter.drawRect(box.rect().adjusted(0, 0, -1, -1));
  painter.setFont(OverlayFont(overlayPixelSize_));
  const QStringList lines = RawOverlayLines(stats_);
  for (int i = 0; i < lines.size(); ++i) {
    painter.drawText(QRect(6, 2 + i * lineHeight, boxWidth - 12, lineHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
  }
  return box;
}
