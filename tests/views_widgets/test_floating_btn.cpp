// The floating button: zones, the ring animation, click versus drag, the
// zone actions by drawing mode, and saving the current trail picture.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include "platform/files/AppPaths.h"
#include "tests/ui/FakePrompts.h"
#include "ui/DialogFolder.h"
#include "views/widgets/Demo.h"
#include "views/widgets/FloatingBtn.h"
#include "views/widgets/SaveImageToFile.h"
#include "views/widgets/TrailPictureList.h"

namespace {

TEST(FloatingBtnTest, HitZones) {
  struct Case {
    int x, y, zone;
  } cases[] = {
      {67, 67, CFloatingBtn::kCentre},
      {35, 35, CFloatingBtn::kCentre},
      {100, 50, CFloatingBtn::kCentre} /* the centre is searched first */,
      {35, 0, CFloatingBtn::kTop},
      {67, 34, CFloatingBtn::kTop},
      {0, 35, CFloatingBtn::kLeft},
      {34, 67, CFloatingBtn::kLeft},
      {101, 50, CFloatingBtn::kRight},
      {135, 100, CFloatingBtn::kRight},
      {67, 135, CFloatingBtn::kBottom},
      {0, 0, CFloatingBtn::kNone},
      {134, 134, CFloatingBtn::kNone},
      {136, 67, CFloatingBtn::kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.zone, CFloatingBtn::HitTest(QPoint(c.x, c.y))) << c.x << "," << c.y;
  }
}

class FloatingBtnWidgetTest : public testing::Test {
 protected:
  FloatingBtnWidgetTest() : demo_(prompts_), btn_(*demo_.FloatingButton()) {
    demo_.resize(420, 320);
    btn_.show();
  }

  void Click(QPoint at) { QTest::mouseClick(&btn_, Qt::LeftButton, Qt::NoModifier, at); }

  // Runs the animation to its end; returns the widths it passed through.
  std::vector<int> Animate() {
    std::vector<int> widths;
    for (int i = 0; i < 20 && btn_.IsAnimating(); ++i) {
      btn_.AnimationStep();
      widths.push_back(btn_.RingWidth());
    }
    return widths;
  }

  FakePrompts prompts_;
  CDemo demo_;
  CFloatingBtn& btn_;
};

TEST_F(FloatingBtnWidgetTest, CentreClicksCollapseAndExpandTheRing) {
  EXPECT_EQ(CFloatingBtn::kRingMax, btn_.RingWidth());
  Click(QPoint(67, 67));
  EXPECT_TRUE(btn_.IsCollapsed());
  EXPECT_EQ(66, btn_.RingWidth());
  EXPECT_EQ((std::vector<int>{65, 61, 52, 36, 11, 3}), Animate());
  Click(QPoint(67, 67));
  EXPECT_FALSE(btn_.IsCollapsed());
  EXPECT_EQ(7, btn_.RingWidth());
  EXPECT_EQ((std::vector<int>{8, 12, 21, 37, 62, 70}), Animate());
  EXPECT_EQ(DemoDrawMode::Points, demo_.Mode());  // the centre has no action
}

TEST_F(FloatingBtnWidgetTest, DragIsNotAClick) {
  struct Case {
    QPoint move;
    bool drags;
  } cases[] = {{{5, 0}, false}, {{0, -5}, false}, {{6, 0}, true}, {{0, 6}, true}, {{-6, -6}, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.move.x() * 100 + c.move.y());
    const bool collapsed = btn_.IsCollapsed();
    const QPoint start(67, 10);  // the top zone: a click would switch the mode
    const DemoDrawMode mode = demo_.Mode();
    QTest::mousePress(&btn_, Qt::LeftButton, Qt::NoModifier, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + c.move),
                     btn_.mapToGlobal(QPointF(start + c.move)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&btn_, &move);
    EXPECT_EQ(c.drags, btn_.IsDragging());
    QTest::mouseRelease(&btn_, Qt::LeftButton, Qt::NoModifier, start + c.move);
    EXPECT_FALSE(btn_.IsDragging());
    EXPECT_EQ(c.drags, collapsed == btn_.IsCollapsed());
    EXPECT_EQ(c.drags, mode == demo_.Mode());
    Animate();
  }
}

TEST_F(FloatingBtnWidgetTest, ZoneActionsFollowTheDrawingMode) {
  // Top: points <-> lines.
  Click(QPoint(67, 10));
  EXPECT_EQ(DemoDrawMode::Lines, demo_.Mode());
  Click(QPoint(67, 10));
  EXPECT_EQ(DemoDrawMode::Points, demo_.Mode());

  // Left and right do nothing while only points are drawn.
  demo_.Pictures().Append(QImage(8, 8, QImage::Format_ARGB32_Premultiplied));
  demo_.Pictures().Append(QImage(9, 9, QImage::Format_ARGB32_Premultiplied));
  Click(QPoint(10, 67));
  EXPECT_EQ(1, demo_.Pictures().CurrentIndex());
  Click(QPoint(120, 67));
  EXPECT_TRUE(prompts_.saveCalls.empty());

  // In a lines mode left shows the next picture, right offers to save.
  demo_.SetMode(DemoDrawMode::PointsAndLines);
  Click(QPoint(10, 67));
  EXPECT_EQ(0, demo_.Pictures().CurrentIndex());
  EXPECT_EQ(QSize(8, 8), demo_.Picture().size());
  prompts_.saveResults.push_back(std::nullopt);
  Click(QPoint(120, 67));
  ASSERT_EQ(1u, prompts_.saveCalls.size());
  EXPECT_EQ("iPaint1.bmp", prompts_.saveCalls[0].proposedName);
  EXPECT_EQ("bmp", prompts_.saveCalls[0].defaultSuffix);
  EXPECT_TRUE(prompts_.warnings.isEmpty());  // cancelled: nothing to tell

  // Top from "points and lines": the trails' other side, points only.
  Click(QPoint(67, 10));
  EXPECT_EQ(DemoDrawMode::Points, demo_.Mode());
}

TEST_F(FloatingBtnWidgetTest, BottomAndEscapeLeaveFullScreen) {
  QWidget page;
  demo_.setParent(&page);
  demo_.ToggleFullScreen();
  ASSERT_TRUE(demo_.IsFullScreen());
  EXPECT_TRUE(btn_.isVisible());
  Click(QPoint(67, 130));
  EXPECT_FALSE(demo_.IsFullScreen());
  EXPECT_FALSE(btn_.isVisible());
  EXPECT_EQ(&page, demo_.parentWidget());

  demo_.ToggleFullScreen();
  QTest::keyClick(&btn_, Qt::Key_Escape);
  EXPECT_FALSE(demo_.IsFullScreen());
  demo_.setParent(nullptr);
}

class SaveImageTest : public testing::Test {
 protected:
  SaveImageTest() {
    picture_.fill(Qt::red);
    pictures_.Append(picture_);
  }
  QString Path(const QString& name) const { return QDir(dir_.path()).filePath(name); }

  QTemporaryDir dir_;
  QImage picture_{64, 48, QImage::Format_ARGB32_Premultiplied};
  TrailPictureList pictures_;
  FakePrompts prompts_;
  DialogFolder folder_;
};

// The dialog proposes the default name in the runtime root, then in the
// folder used last, never in the folder the program was started from.
TEST_F(SaveImageTest, ProposesTheDefaultNameInTheRuntimeRootThenTheLastFolder) {
  QTemporaryDir root;
  const std::filesystem::path before = platform::AppPaths::BaseDir();
  platform::AppPaths::SetBaseDir(root.path().toStdString());
  ASSERT_TRUE(QDir(dir_.path()).mkpath("shots"));
  prompts_.saveResults.push_back(Path("shots/first.png"));
  prompts_.saveResults.push_back(std::nullopt);
  EXPECT_TRUE(SaveImageToFile(pictures_, prompts_, folder_));
  EXPECT_FALSE(SaveImageToFile(pictures_, prompts_, folder_));
  ASSERT_EQ(2u, prompts_.saveCalls.size());
  EXPECT_EQ(QDir(root.path()).absolutePath(), QDir(prompts_.saveCalls[0].folder).absolutePath());
  EXPECT_EQ(Path("shots"), prompts_.saveCalls[1].folder);
  for (const auto& call : prompts_.saveCalls) {
    EXPECT_EQ("iPaint1.bmp", call.proposedName);
    EXPECT_EQ("bmp", call.defaultSuffix);
  }
  platform::AppPaths::SetBaseDir(before);
}

TEST_F(SaveImageTest, WritesTheFormatOfTheExtension) {
  struct Case {
    const char* name;
    const char* written;  // the file that must decode
  } cases[] = {{"trail.png", "trail.png"}, {"trail.bmp", "trail.bmp"}, {"trail", "trail.bmp"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prompts_.saveResults.push_back(Path(c.name));
    EXPECT_TRUE(SaveImageToFile(pictures_, prompts_, folder_));
    QImageReader reader(Path(c.written));
    const QImage back = reader.read();
    ASSERT_FALSE(back.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(picture_.size(), back.size());
    EXPECT_EQ(qRgb(255, 0, 0), back.pixel(3, 3) | 0xFF000000);
  }
  EXPECT_TRUE(prompts_.warnings.isEmpty());
  // Only the finished files ("trail" replaced "trail.bmp"): no temporary files left behind.
  EXPECT_EQ(2u, QDir(dir_.path()).entryList(QDir::Files).size());
}

TEST_F(SaveImageTest, FailuresAreToldAndKeepTheOldFile) {
  const QString old = Path("old.gif");
  {
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("earlier picture");
  }
  struct Case {
    QString path;
  } cases[] = {{old} /* no writer for GIF */, {Path("missing/trail.png")}, {Path("trail.xyz")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    prompts_.warnings.clear();
    prompts_.saveResults.push_back(c.path);
    EXPECT_FALSE(SaveImageToFile(pictures_, prompts_, folder_));
    EXPECT_EQ(QStringList{QString::fromUtf8(kSaveImageFailedText)}, prompts_.warnings);
  }
  QFile f(old);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ("earlier picture", f.readAll());
}

TEST_F(SaveImageTest, EmptyListAsksNothing) {
  TrailPictureList empty;
  EXPECT_FALSE(SaveImageToFile(empty, prompts_, folder_));
  EXPECT_TRUE(prompts_.saveCalls.empty());
}

}  // namespace
