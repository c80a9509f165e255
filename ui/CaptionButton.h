#pragma once
// One of the minimize, maximize/restore and close buttons of a self-drawn
// window caption: an image, and another one while the mouse is over it.

#include <QAbstractButton>

#include "ui/SkinArt.h"

class CaptionButton : public QAbstractButton {
  Q_OBJECT

 public:
  static constexpr int kSize = 25;

  CaptionButton(SkinImage normal, SkinImage hover, QWidget* parent = nullptr);

  void SetImages(SkinImage normal, SkinImage hover);
  SkinImage CurrentImage() const;

  QSize sizeHint() const override { return QSize(kSize, kSize); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  SkinImage m_normal;
  SkinImage m_hover;
};
