#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QFocusEvent>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "ui/MyButton.h"

namespace {

const QColor kRed(0xFF, 0x00, 0x00);
const QColor kGrey(0x80, 0x80, 0x80);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kBackdrop(Qt::white);

// Renders the button over a white backdrop at the given device pixel ratio.
QImage Render(QWidget& widget, qreal dpr = 1.0) {
  QImage image(widget.size() * dpr, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(kBackdrop);
  // Children paint over their parent's background: leave the backdrop alone.
  widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

QColor PixelAt(const QImage& image, QPoint logical) {
  const qreal dpr = image.devicePixelRatio();
  return image.pixelColor(int(logical.x() * dpr), int(logical.y() * dpr));
}

// True when the two renderings differ somewhere inside area (logical).
bool Differ(const QImage& a, const QImage& b, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (a.pixel(x, y) != b.pixel(x, y)) return true;
    }
  }
  return false;
}

class LampButton : public ::testing::Test {
 protected:
  LampButton() : button_(QStringLiteral("TouchIC")) {
    button_.resize(120, 30);
    button_.SetFaceStyle(CMyButton::FACE_LAMP);
  }
  QPoint LampCentre() const { return CMyButton::LampRect(button_.size()).center(); }

  CMyButton button_;
};

TEST_F(LampButton, LampRectangleFollowsTheButtonSize) {
  EXPECT_EQ(CMyButton::LampRect(QSize(120, 30)), QRect(84, 10, 17, 10));
  EXPECT_EQ(CMyButton::LampImageRect(QSize(120, 30)), QRect(84, 7, 17, 15));
}

TEST_F(LampButton, ShowsTheColourOfEachStateAtEveryPixelRatio) {
  struct Case {
    std::function<void(CMyButton&)> set;
    QColor colour;
    const char* what;
  };
  const Case cases[] = {
      {[](CMyButton&) {}, kGrey, "before any state"},
      {[](CMyButton& b) { b.SetState(LAMP_RED); }, kRed, "red"},
      {[](CMyButton& b) { b.SetState(LAMP_GREEN); }, kGreen, "green"},
      {[](CMyButton& b) { b.SetState(LAMP_GREY); }, kGrey, "grey"},
      {[](CMyButton& b) { b.SetState(5); }, kGrey, "out of range"},
      {[](CMyButton& b) { b.SetState(-1); }, kGrey, "negative"},
      {[](CMyButton& b) {
         b.SetState(LAMP_GREEN);
         b.SetState(3);
       },
       kGrey, "green, then out of range"},
  };
  for (const Case& c : cases) {
    for (qreal dpr : {1.0, 2.0}) {
      CMyButton button(QStringLiteral("TouchIC"));
      button.resize(120, 30);
      button.SetFaceStyle(CMyButton::FACE_LAMP);
      c.set(button);
      EXPECT_EQ(button.LampColor(), c.colour) << c.what;
      EXPECT_EQ(PixelAt(Render(button, dpr), LampCentre()), c.colour)
          << c.what << " at pixel ratio " << dpr;
    }
  }
}

TEST_F(LampButton, LampStaysInsideItsRectangle) {
  button_.SetState(LAMP_RED);
  const QImage image = Render(button_);
  const QRect lamp = CMyButton::LampRect(button_.size());
  EXPECT_NE(PixelAt(image, QPoint(lamp.left() - 3, lamp.center().y())), kRed);
  EXPECT_NE(PixelAt(image, QPoint(lamp.right() + 3, lamp.center().y())), kRed);
  EXPECT_NE(PixelAt(image, QPoint(lamp.center().x(), lamp.top() - 3)), kRed);
  EXPECT_NE(PixelAt(image, QPoint(lamp.center().x(), lamp.bottom() + 3)), kRed);
}

TEST_F(LampButton, OnlyTheLampStyleDrawsTheLamp) {
  button_.SetState(LAMP_RED);
  for (unsigned style : {0u, unsigned(CMyButton::FACE_PLAIN), unsigned(CMyButton::FACE_PAGE)}) {
    button_.SetFaceStyle(style);
    EXPECT_NE(PixelAt(Render(button_), LampCentre()), kRed) << "style " << style;
  }
}

TEST_F(LampButton, ImageStyleDrawsTheOpenOrClosedMarkInsteadOfTheFill) {
  button_.SetState(LAMP_RED);
  button_.SetFaceStyle(CMyButton::FACE_LAMP | CMyButton::FACE_LAMP_IMAGE);
  const QRect markArea = CMyButton::LampImageRect(button_.size());

  EXPECT_TRUE(button_.LampImageVariant());
  const QImage open = Render(button_);
  button_.SetLampImageVariant(false);
  const QImage closed = Render(button_);
  button_.SetFaceStyle(CMyButton::FACE_PLAIN);
  const QImage noMark = Render(button_);

  EXPECT_NE(PixelAt(open, LampCentre()), kRed);
  EXPECT_TRUE(Differ(open, closed, markArea));
  EXPECT_TRUE(Differ(open, noMark, markArea));
  EXPECT_TRUE(Differ(closed, noMark, markArea));
}

class FaceButton : public ::testing::Test {
 protected:
  FaceButton() {
    button_.resize(100, 30);
    button_.SetFaceStyle(CMyButton::FACE_PLAIN);
  }
  // A face pixel clear of the centred caption.
  static constexpr QRect kFaceArea{6, 6, 10, 18};

  CMyButton button_;
};

TEST_F(FaceButton, StylesPickTheirFaceSet) {
  button_.SetFaceStyle(0);
  const QImage none = Render(button_);
  button_.SetFaceStyle(CMyButton::FACE_PLAIN);
  const QImage plain = Render(button_);
  button_.SetFaceStyle(CMyButton::FACE_PAGE);
  const QImage page = Render(button_);
  button_.SetFaceStyle(CMyButton::FACE_LAMP);
  const QImage lamp = Render(button_);

  EXPECT_EQ(PixelAt(none, kFaceArea.center()), kBackdrop);
  EXPECT_NE(PixelAt(plain, kFaceArea.center()), kBackdrop);
  EXPECT_TRUE(Differ(plain, page, kFaceArea));
  EXPECT_FALSE(Differ(plain, lamp, kFaceArea));
}

TEST_F(FaceButton, HoverFaceFollowsTheMouseAndClearsOnFocusLoss) {
  const QImage normal = Render(button_);

  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(&button_, &enter);
  const QImage hover = Render(button_);
  EXPECT_TRUE(Differ(normal, hover, kFaceArea));

  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button_, &leave);
  EXPECT_FALSE(Differ(normal, Render(button_), kFaceArea));

  QCoreApplication::sendEvent(&button_, &enter);
  QFocusEvent focusOut(QEvent::FocusOut);
  QCoreApplication::sendEvent(&button_, &focusOut);
  EXPECT_FALSE(Differ(normal, Render(button_), kFaceArea));
}

TEST_F(FaceButton, DisabledButtonShowsNoHover) {
  const QImage normal = Render(button_);
  button_.setEnabled(false);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(&button_, &enter);
  EXPECT_FALSE(Differ(normal, Render(button_), kFaceArea));
}

TEST_F(FaceButton, PressedFaceWhileDown) {
  const QImage normal = Render(button_);
  button_.setDown(true);
  const QImage pressed = Render(button_);
  EXPECT_TRUE(Differ(normal, pressed, kFaceArea));
  button_.setDown(false);
  EXPECT_FALSE(Differ(normal, Render(button_), kFaceArea));
}

TEST_F(FaceButton, DoubleClickCountsAsTwoClicks) {
  QSignalSpy clicked(&button_, &QAbstractButton::clicked);
  const QPoint centre = button_.rect().center();
  // What a window system delivers for a double click.
  QTest::mousePress(&button_, Qt::LeftButton, {}, centre);
  QTest::mouseRelease(&button_, Qt::LeftButton, {}, centre);
  QTest::mouseDClick(&button_, Qt::LeftButton, {}, centre);
  QTest::mouseRelease(&button_, Qt::LeftButton, {}, centre);
  EXPECT_EQ(clicked.count(), 2);
}

}  // namespace
