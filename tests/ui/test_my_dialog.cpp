#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>

#include "ui/CaptionButton.h"
#include "ui/MyDialog.h"

namespace {

class RefusingWindow : public CMyDialog {
 public:
  bool refuse = true;
  int closeRequests = 0;

 protected:
  void closeEvent(QCloseEvent* event) override {
    ++closeRequests;
    if (refuse) event->ignore();
  }
};

class CaptionFrame : public ::testing::Test {
 protected:
  CaptionFrame() {
    window_.resize(400, 300);
    window_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  CaptionButton* Button(const char* name) {
    auto* button = window_.findChild<CaptionButton*>(QString::fromLatin1(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
  }

  RefusingWindow window_;
};

TEST_F(CaptionFrame, TitleFollowsTheWindowTitle) {
  window_.setWindowTitle(QStringLiteral("Kestrana 触控工具"));
  auto* title = window_.findChild<QLabel*>(QStringLiteral("captionTitle"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(), QStringLiteral("Kestrana 触控工具"));
  EXPECT_LT(title->geometry().bottom(), CMyDialog::kCaptionHeight);
}

TEST_F(CaptionFrame, CloseButtonAsksTheWindowToClose) {
  CaptionButton* close = Button("captionClose");
  ASSERT_NE(close, nullptr);

  QTest::mouseClick(close, Qt::LeftButton);
  EXPECT_EQ(window_.closeRequests, 1);
  EXPECT_TRUE(window_.isVisible()) << "a refused close keeps the window";

  window_.refuse = false;
  QTest::mouseClick(close, Qt::LeftButton);
  EXPECT_EQ(window_.closeRequests, 2);
  EXPECT_FALSE(window_.isVisible());
}

TEST_F(CaptionFrame, MaximizeButtonTogglesAndShowsRestore) {
  CaptionButton* maximize = Button("captionMaximize");
  ASSERT_NE(maximize, nullptr);
  EXPECT_EQ(maximize->CurrentImage(), SkinImage::CaptionMaximize);

  maximize->click();
  EXPECT_TRUE(window_.isMaximized());
  EXPECT_EQ(maximize->CurrentImage(), SkinImage::CaptionRestore);

  maximize->click();
  EXPECT_FALSE(window_.isMaximized());
  EXPECT_EQ(maximize->CurrentImage(), SkinImage::CaptionMaximize);
}

TEST_F(CaptionFrame, MinimizeButtonMinimizes) {
  CaptionButton* minimize = Button("captionMinimize");
  ASSERT_NE(minimize, nullptr);
  minimize->click();
  EXPECT_TRUE(window_.windowState() & Qt::WindowMinimized);
}

TEST_F(CaptionFrame, CaptionButtonsStayAtTheRightEdge) {
  for (int width : {400, 640}) {
    window_.resize(width, 300);
    const CaptionButton* close = Button("captionClose");
    const CaptionButton* maximize = Button("captionMaximize");
    const CaptionButton* minimize = Button("captionMinimize");
    ASSERT_TRUE(close && maximize && minimize);
    EXPECT_EQ(close->geometry().left(), width - 40);
    EXPECT_EQ(maximize->geometry().left(), width - 65);
    EXPECT_EQ(minimize->geometry().left(), width - 90);
    EXPECT_LE(close->geometry().bottom(), CMyDialog::kCaptionHeight);
  }
}

TEST_F(CaptionFrame, ContentGetsTheClientAreaAndColours) {
  auto* layout = new QVBoxLayout(&window_);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* content = new QWidget(&window_);
  layout->addWidget(content);
  content->show();
  layout->activate();

  const QRect area = content->geometry();
  EXPECT_EQ(area.top(), CMyDialog::kCaptionHeight);
  EXPECT_EQ(area.left(), CMyDialog::kBorder);
  EXPECT_EQ(area.right(), window_.width() - 1 - CMyDialog::kBorder);
  EXPECT_EQ(area.bottom(), window_.height() - 1 - CMyDialog::kBorder);

  const QImage image = window_.grab().toImage();
  const qreal dpr = image.devicePixelRatio();
  const QPoint middle = area.center() * dpr;
  EXPECT_EQ(image.pixelColor(middle), QColor(211, 231, 242));
  EXPECT_EQ(window_.palette().color(QPalette::Window), QColor(211, 231, 242));
  EXPECT_EQ(window_.palette().color(QPalette::WindowText), QColor(10, 10, 10));
}

TEST_F(CaptionFrame, DraggingTheCaptionMovesTheWindow) {
  auto drag = [this](QPoint from, QPoint offset) {
    auto send = [this](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
      QMouseEvent event(type, QPointF(local), QPointF(window_.mapToGlobal(local)),
                        type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                        Qt::NoModifier);
      QCoreApplication::sendEvent(&window_, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, from + offset, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, from + offset, Qt::NoButton);
  };
  // The offscreen platform cannot move windows itself, so the window's own
  // fallback does the moving here.
  const QPoint start = window_.pos();
  drag(QPoint(150, 12), QPoint(30, 20));
  EXPECT_EQ(window_.pos(), start + QPoint(30, 20));

  drag(QPoint(150, CMyDialog::kCaptionHeight + 10), QPoint(30, 20));
  EXPECT_EQ(window_.pos(), start + QPoint(30, 20)) << "only the caption drags";
}

}  // namespace
