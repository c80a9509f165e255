#include "views/widgets/FloatingBtn.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWindow>
#include <array>
#include <cstdlib>

#include "ui/ControlIds.h"
#include "views/widgets/Demo.h"
#include "views/widgets/SaveImageToFile.h"
#include "views/widgets/TrailPictureList.h"

namespace {

struct ZoneRect {
  int left, top, right, bottom;
};

// Button coordinates, inclusive, searched in this order.
constexpr std::array<ZoneRect, 5> kZones = {{{35, 35, 100, 100},
                                             {35, 0, 100, 35},
                                             {0, 35, 35, 100},
                                             {100, 35, 135, 100},
                                             {35, 100, 100, 135}}};

// The face is designed on a 260-pixel square and scaled to the button; these
// are the zones' highlight areas on it.
constexpr int kFaceSize = 260;
constexpr std::array<QRect, 5> kHighlights = {QRect(60, 60, 140, 140), QRect(60, 0, 140, 60),
                                              QRect(0, 60, 60, 140), QRect(200, 60, 60, 140),
                                              QRect(60, 200, 140, 60)};

constexpr QRgb kRingEdge = 0xFF8A8A8A;
constexpr qreal kWindowOpacity = 200.0 / 255.0;

// A triangle pointing away from the face's centre inside a zone's area.
QPolygonF Arrow(const QRect& area, int zone) {
  const QPointF c = QRectF(area).center();
  const qreal s = 16;
  switch (zone) {
    case CFloatingBtn::kTop:
      return QPolygonF({c + QPointF(0, -s), c + QPointF(-s, s / 2), c + QPointF(s, s / 2)});
    case CFloatingBtn::kLeft:
      return QPolygonF({c + QPointF(-s, 0), c + QPointF(s / 2, -s), c + QPointF(s / 2, s)});
    case CFloatingBtn::kRight:
      return QPolygonF({c + QPointF(s, 0), c + QPointF(-s / 2, -s), c + QPointF(-s / 2, s)});
    case CFloatingBtn::kBottom:
      return QPolygonF({c + QPointF(0, s), c + QPointF(-s, -s / 2), c + QPointF(s, -s / 2)});
    default:
      return {};
  }
}

}  // namespace

CFloatingBtn::CFloatingBtn(CDemo& demo)
    : QWidget(&demo, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), demo_(demo) {
  setObjectName(CONTROL_NAME(IDD_FLOATING_BTN));
  setAttribute(Qt::WA_TranslucentBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setWindowOpacity(kWindowOpacity);
  resize(kSize, kSize);
  timer_.setInterval(kAnimationMs);
  connect(&timer_, &QTimer::timeout, this, &CFloatingBtn::AnimationStep);
  UpdateMask();
  hide();
}

QRectF CFloatingBtn::VisibleDisc() const {
  const qreal half = ringWidth_ / 2.0;
  return QRectF(rect()).adjusted(half, half, -half, -half);
}

void CFloatingBtn::UpdateMask() {
  setMask(QRegion(VisibleDisc().toAlignedRect(), QRegion::Ellipse));
}

int CFloatingBtn::HitTest(QPoint point) {
  for (size_t z = 0; z < kZones.size(); ++z) {
    const ZoneRect& r = kZones[z];
    if (point.x() >= r.left && point.x() <= r.right && point.y() >= r.top &&
        point.y() <= r.bottom) {
      return static_cast<int>(z);
    }
  }
  return kNone;
}

void CFloatingBtn::AnimationStep() {
  const int delta = step_ * step_;
  if (collapsed_) {
    ringWidth_ -= delta;
    if (ringWidth_ < kRingMin + 1) {
      ringWidth_ = kRingMin;
      timer_.stop();
    }
  } else {
    ringWidth_ += delta;
    if (ringWidth_ >= kRingMax) {
      ringWidth_ = kRingMax;
      timer_.stop();
    }
  }
  ++step_;
  UpdateMask();
  update();
}

void CFloatingBtn::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  press_ = event->position().toPoint();
  pressGlobal_ = event->globalPosition().toPoint();
  pressWindowPos_ = pos();
  dragging_ = false;
  movedByHand_ = false;
}

void CFloatingBtn::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->buttons() & Qt::LeftButton) {
    if (!dragging_ && (std::abs(at.x() - press_.x()) > kDragThreshold ||
                       std::abs(at.y() - press_.y()) > kDragThreshold)) {
      dragging_ = true;
      movedByHand_ = !(windowHandle() && windowHandle()->startSystemMove());
    }
    if (dragging_ && movedByHand_) {
      move(pressWindowPos_ + event->globalPosition().toPoint() - pressGlobal_);
    }
  } else {
    dragging_ = false;
  }
  const int zone = HitTest(at);
  if (zone != hovered_) {
    hovered_ = zone;
    update();
  }
}

void CFloatingBtn::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (dragging_) {
    // The press moved the button; letting go is not a click.
    dragging_ = false;
    return;
  }
  Click(event->position().toPoint());
}

void CFloatingBtn::Click(QPoint point) {
  const bool wasCollapsed = collapsed_;
  collapsed_ = !collapsed_;
  ringWidth_ += wasCollapsed ? 4 : -4;
  step_ = 1;
  timer_.start();
  hovered_ = HitTest(point);
  UpdateMask();
  RunZone(hovered_);
  update();
}

void CFloatingBtn::RunZone(int zone) {
  const bool lines = DrawsLines(demo_.Mode());
  switch (zone) {
    case kTop:
      demo_.SwitchPointsLines();
      break;
    case kLeft:
      if (lines && !demo_.Pictures().IsEmpty()) demo_.ShowPicture(demo_.Pictures().Next());
      break;
    case kRight:
      if (lines) SaveImageToFile(demo_.Pictures(), demo_.Prompts(), demo_.PictureFolder());
      break;
    case kBottom:
      CloseAndLeave();
      break;
    default:
      break;
  }
}

void CFloatingBtn::CloseAndLeave() {
  hide();
  if (demo_.IsFullScreen()) demo_.ToggleFullScreen();
}

void CFloatingBtn::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_F3) {
    CloseAndLeave();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CFloatingBtn::showEvent(QShowEvent* event) {
  collapsed_ = false;
  ringWidth_ = kRingMax;
  UpdateMask();
  QWidget::showEvent(event);
}

void CFloatingBtn::paintEvent(QPaintEvent*) {
  const bool lines = DrawsLines(demo_.Mode());
  const QColor key = lines ? Qt::white : Qt::black;
  const QColor face = lines ? QColor(0xFF4A90D9) : QColor(0xFF3A3A3A);
  const QColor glyph = lines ? Qt::white : QColor(0xFFE0E0E0);
  const QColor highlight = lines ? QColor(0x80FFFFFF) : QColor(0x80FFD040);

  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(rect(), Qt::transparent);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

  const QRectF client = QRectF(rect()).translated(1, 1);
  painter.save();
  painter.translate(client.topLeft());
  painter.scale(client.width() / kFaceSize, client.height() / kFaceSize);
  painter.setPen(Qt::NoPen);
  painter.setBrush(face);
  painter.drawEllipse(QRectF(0, 0, kFaceSize, kFaceSize));
  if (hovered_ >= 0) painter.fillRect(kHighlights[static_cast<size_t>(hovered_)], highlight);
  painter.setBrush(glyph);
  for (int z = kTop; z <= kBottom; ++z)
    painter.drawPolygon(Arrow(kHighlights[static_cast<size_t>(z)], z));
  painter.restore();

  // The ring, centred on the button's circle, hides the face's edge: it is
  // cleared to transparent (and left out of the mask, so clicks on it reach
  // the window below); a grey rim marks the disc that stays visible.
  const QRectF circle = QRectF(rect());
  painter.setBrush(Qt::NoBrush);
  painter.setCompositionMode(QPainter::CompositionMode_Clear);
  painter.setPen(QPen(key, ringWidth_));
  painter.drawEllipse(circle);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.setPen(QPen(QColor::fromRgba(kRingEdge), 2));
  painter.drawEllipse(VisibleDisc());
}
