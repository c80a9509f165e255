#include "ui/MyDialog.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/CaptionButton.h"
#include "ui/SkinArt.h"

namespace {

const QColor kBackground(211, 231, 242);
const QColor kBorderFill(211, 233, 242);
const QColor kOutline(141, 175, 198);
const QColor kText(10, 10, 10);

constexpr QRect kLogoRect(10, 4, 24, 24);
constexpr int kTitleLeft = 42;
// Caption buttons sit 15, 40 and 65 pixels from the right edge.
constexpr int kCloseRight = 15;
constexpr int kButtonPitch = CaptionButton::kSize;

}  // namespace

CMyDialog::CMyDialog(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint),
      m_title(new QLabel(this)),
      m_minimize(
          new CaptionButton(SkinImage::CaptionMinimize, SkinImage::CaptionMinimizeHover, this)),
      m_maximize(
          new CaptionButton(SkinImage::CaptionMaximize, SkinImage::CaptionMaximizeHover, this)),
      m_close(new CaptionButton(SkinImage::CaptionClose, SkinImage::CaptionCloseHover, this)) {
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kBackground);
  colours.setColor(QPalette::Button, kBackground);
  colours.setColor(QPalette::WindowText, kText);
  colours.setColor(QPalette::ButtonText, kText);
  setPalette(colours);
  // Edge cursors need moves without a pressed button.
  setMouseTracking(true);

  m_title->setObjectName(QStringLiteral("captionTitle"));
  m_title->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_title->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  QFont titleFont = m_title->font();
  titleFont.setPixelSize(14);
  titleFont.setBold(true);
  m_title->setFont(titleFont);
  m_title->setText(windowTitle());

  m_minimize->setObjectName(QStringLiteral("captionMinimize"));
  m_maximize->setObjectName(QStringLiteral("captionMaximize"));
  m_close->setObjectName(QStringLiteral("captionClose"));
  m_minimize->setToolTip(tr("Minimize"));
  m_close->setToolTip(tr("Close"));
  connect(m_minimize, &QAbstractButton::clicked, this, &QWidget::showMinimized);
  connect(m_maximize, &QAbstractButton::clicked, this, &CMyDialog::ToggleMaximized);
  // close(), not hide(): the window's closeEvent may refuse.
  connect(m_close, &QAbstractButton::clicked, this, &QWidget::close);

  FollowWindowState();
}

void CMyDialog::ToggleMaximized() {
  if (isMaximized()) {
    showNormal();
  } else {
    showMaximized();
  }
}

void CMyDialog::FollowWindowState() {
  const bool maximized = isMaximized();
  if (maximized) {
    m_maximize->SetImages(SkinImage::CaptionRestore, SkinImage::CaptionRestoreHover);
    m_maximize->setToolTip(tr("Restore"));
    setContentsMargins(0, kCaptionHeight, 0, 0);
  } else {
    m_maximize->SetImages(SkinImage::CaptionMaximize, SkinImage::CaptionMaximizeHover);
    m_maximize->setToolTip(tr("Maximize"));
    setContentsMargins(kBorder, kCaptionHeight, kBorder, kBorder);
  }
  update();
}

void CMyDialog::PlaceCaption() {
  const int top = (kCaptionHeight - CaptionButton::kSize) / 2;
  const int closeLeft = width() - kCloseRight - CaptionButton::kSize;
  m_close->move(closeLeft, top);
  m_maximize->move(closeLeft - kButtonPitch, top);
  m_minimize->move(closeLeft - 2 * kButtonPitch, top);
  const int titleRight = closeLeft - 2 * kButtonPitch - 6;
  m_title->setGeometry(kTitleLeft, 0, std::max(0, titleRight - kTitleLeft), kCaptionHeight);
}

bool CMyDialog::InCaption(const QPoint& pos) const {
  return pos.y() >= 0 && pos.y() < kCaptionHeight;
}

Qt::Edges CMyDialog::EdgesAt(const QPoint& pos) const {
  Qt::Edges edges;
  if (isMaximized() || isFullScreen()) return edges;
  if (pos.x() < kBorder) edges |= Qt::LeftEdge;
  if (pos.x() >= width() - kBorder) edges |= Qt::RightEdge;
  if (pos.y() < kBorder) edges |= Qt::TopEdge;
  if (pos.y() >= height() - kBorder) edges |= Qt::BottomEdge;
  return edges;
}

void CMyDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBackground);
  if (!isMaximized()) {
    painter.fillRect(0, 0, kBorder, height(), kBorderFill);
    painter.fillRect(width() - kBorder, 0, kBorder, height(), kBorderFill);
    painter.fillRect(0, height() - kBorder, width(), kBorder, kBorderFill);
  }
  DrawSkinImage(painter, QRect(0, 0, width(), kCaptionHeight), SkinImage::CaptionBand);
  DrawSkinImage(painter, kLogoRect, SkinImage::Logo);
  if (!isMaximized()) {
    // Without a window-manager frame the window needs its own edge.
    painter.setPen(kOutline);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void CMyDialog::resizeEvent(QResizeEvent* event) {
  PlaceCaption();
  QWidget::resizeEvent(event);
}

void CMyDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowTitleChange) m_title->setText(windowTitle());
  if (event->type() == QEvent::WindowStateChange) FollowWindowState();
  QWidget::changeEvent(event);
}

void CMyDialog::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const QPoint pos = event->position().toPoint();
  QWindow* handle = windowHandle();
  const Qt::Edges edges = EdgesAt(pos);
  if (edges && handle && handle->startSystemResize(edges)) return;
  if (!InCaption(pos)) return QWidget::mousePressEvent(event);
  if (handle && handle->startSystemMove()) return;
  if (!isMaximized()) {
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
}

void CMyDialog::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragging && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - m_dragOffset);
    return;
  }
  if (event->buttons() == Qt::NoButton) {
    const Qt::Edges edges = EdgesAt(event->position().toPoint());
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
      const bool falling =
          edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
      setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (horizontal) {
      setCursor(Qt::SizeHorCursor);
    } else if (vertical) {
      setCursor(Qt::SizeVerCursor);
    } else {
      unsetCursor();
    }
  }
  QWidget::mouseMoveEvent(event);
}

void CMyDialog::mouseReleaseEvent(QMouseEvent* event) {
  m_dragging = false;
  QWidget::mouseReleaseEvent(event);
}

void CMyDialog::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && InCaption(event->position().toPoint()) &&
      !EdgesAt(event->position().toPoint())) {
    ToggleMaximized();
    return;
  }
  QWidget::mouseDoubleClickEvent(event);
}
