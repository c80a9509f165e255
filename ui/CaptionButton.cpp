#include "ui/CaptionButton.h"

#include <QPainter>

CaptionButton::CaptionButton(SkinImage normal, SkinImage hover, QWidget* parent)
    : QAbstractButton(parent), m_normal(normal), m_hover(hover) {
  // Repaint on entering and leaving: the hover image follows the mouse.
  setAttribute(Qt::WA_Hover);
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(kSize, kSize);
}

void CaptionButton::SetImages(SkinImage normal, SkinImage hover) {
  m_normal = normal;
  m_hover = hover;
  update();
}

SkinImage CaptionButton::CurrentImage() const {
  return underMouse() || isDown() ? m_hover : m_normal;
}

void CaptionButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinImage(painter, rect(), CurrentImage());
}
