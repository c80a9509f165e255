#include "ui/MyButton.h"

#include <QEnterEvent>
#include <QPainter>

#include "ui/SkinArt.h"

namespace {

// Face artwork keeps a 5-pixel frame when stretched.
constexpr int kFaceBorder = 5;

const QColor kCaptionNormal(50, 50, 50);
const QColor kCaptionPageNormal(85, 85, 85);
const QColor kCaptionHover(80, 80, 80);
const QColor kCaptionPressed(100, 100, 100);
const QColor kCaptionDisabled(150, 150, 150);

QColor LampFill(int state) {
  switch (state) {
    case LAMP_RED:
      return QColor(0xFF, 0x00, 0x00);
    case LAMP_GREEN:
      return QColor(0x00, 0x80, 0x00);
    default:
      return QColor(0x80, 0x80, 0x80);
  }
}

}  // namespace

CMyButton::CMyButton(QWidget* parent) : CMyButton(QString(), parent) {}

CMyButton::CMyButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  QFont caption(QStringLiteral("Arial"));
  caption.setPixelSize(16);
  setFont(caption);
  // The faces have rounded corners: let the parent show through them.
  setAutoFillBackground(false);
}

void CMyButton::SetState(int state) {
  m_state = state;
  update();
}

QColor CMyButton::LampColor() const { return LampFill(m_state); }

void CMyButton::SetFaceStyle(unsigned style) {
  m_faceStyle = style;
  update();
}

void CMyButton::SetLampImageVariant(bool open) {
  m_lampImageOpen = open;
  update();
}

QRect CMyButton::LampRect(const QSize& size) {
  const int w = size.width();
  const int h = size.height();
  return QRect(w * 7 / 10, h / 3, w / 7, h / 3);
}

QRect CMyButton::LampImageRect(const QSize& size) {
  const int w = size.width();
  const int h = size.height();
  return QRect(w * 7 / 10, h / 4, w / 7, h / 2);
}

CMyButton::Face CMyButton::CurrentFace() const {
  if (isDown()) return Face::Pressed;
  if (m_hover && isEnabled()) return Face::Hover;
  return Face::Normal;
}

void CMyButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const Face face = CurrentFace();
  DrawButton(painter, face);
  DrawCaption(painter, face);
}

void CMyButton::DrawButton(QPainter& painter, Face face) const {
  static constexpr SkinImage kButtonFaces[] = {SkinImage::ButtonNormal, SkinImage::ButtonHover,
                                               SkinImage::ButtonPressed};
  static constexpr SkinImage kPageFaces[] = {SkinImage::PageNormal, SkinImage::PageHover,
                                             SkinImage::PagePressed};
  static constexpr SkinImage kOpenMarks[] = {SkinImage::MarkOpenNormal, SkinImage::MarkOpenHover,
                                             SkinImage::MarkOpenPressed};
  static constexpr SkinImage kClosedMarks[] = {
      SkinImage::MarkClosedNormal, SkinImage::MarkClosedHover, SkinImage::MarkClosedPressed};
  const auto index = static_cast<size_t>(face);

  if (m_faceStyle & FACE_PLAIN) {
    DrawSkinNineSlice(painter, rect(), kButtonFaces[index], kFaceBorder);
  } else if (m_faceStyle & FACE_PAGE) {
    DrawSkinNineSlice(painter, rect(), kPageFaces[index], kFaceBorder);
  } else if (m_faceStyle & FACE_LAMP) {
    DrawSkinNineSlice(painter, rect(), kButtonFaces[index], kFaceBorder);
    if (m_faceStyle & FACE_LAMP_IMAGE) {
      const SkinImage mark = m_lampImageOpen ? kOpenMarks[index] : kClosedMarks[index];
      DrawSkinImageFitted(painter, LampImageRect(size()), mark);
    } else {
      const QRect lamp = LampRect(size());
      painter.save();
      const QColor fill = LampColor();
      painter.setPen(QPen(fill.darker(140), 1));
      painter.setBrush(fill);
      painter.drawRoundedRect(QRectF(lamp).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
      painter.restore();
    }
  }
}

void CMyButton::DrawCaption(QPainter& painter, Face face) const {
  QColor colour = m_faceStyle == FACE_PAGE ? kCaptionPageNormal : kCaptionNormal;
  if (!isEnabled()) {
    colour = kCaptionDisabled;
  } else if (face == Face::Pressed) {
    colour = kCaptionPressed;
  } else if (face == Face::Hover) {
    colour = kCaptionHover;
  }

  // Inset 2 at the top left, 4 at the bottom right; a lamp takes the right 3/10.
  QRect area(2, 2, width() - 6, height() - 6);
  if (m_faceStyle & FACE_LAMP) area.setRight(area.width() * 7 / 10 - 1);
  painter.setPen(colour);
  painter.setFont(font());
  painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text());
}

void CMyButton::SetHover(bool hover) {
  if (m_hover == hover) return;
  m_hover = hover;
  update();
}

void CMyButton::enterEvent(QEnterEvent* event) {
  SetHover(true);
  QPushButton::enterEvent(event);
}

void CMyButton::leaveEvent(QEvent* event) {
  SetHover(false);
  QPushButton::leaveEvent(event);
}

void CMyButton::focusOutEvent(QFocusEvent* event) {
  SetHover(false);
  QPushButton::focusOutEvent(event);
}

void CMyButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) SetHover(false);
  if (event->type() == QEvent::EnabledChange) update();
  QPushButton::changeEvent(event);
}
