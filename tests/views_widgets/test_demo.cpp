// The touch demo page on the simulated bridge (virtual clock): streaming
// draws the scripted contact where the panel resolution puts it, the record
// command writes PointFile.csv, and the menu, keys and timer act as the page
// describes.

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "ui/ControlIds.h"
#include "device/chip/PanelGeometry.h"
#include "sim/DataPlane.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/QtTestUtil.h"
#include "tests/device/SimDevice.h"
#include "views/widgets/Demo.h"
#include "views/widgets/FloatingBtn.h"
#include "views/widgets/TrailPictureList.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int Lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

QAction* Action(QMenu& menu, ControlId id) {
  for (QAction* a : menu.actions()) {
    if (a->data().toInt() == id) return a;
  }
  return nullptr;
}

class DemoPageTest : public SimDeviceTest {
 protected:
  void SetUp() override {
    SimDeviceTest::SetUp();
    Plug(sim::ChipFamily::RU9);
    plane_ = &sim::AddDataPlane(Bridge().Chip(), sim::DataPlaneConfig::For(sim::ChipFamily::RU9));
    Connect(sim::ChipFamily::RU9);
    g_nResolutionX = 1080;
    g_nResolutionY = 1920;
    demo_ = std::make_unique<CDemo>(prompts_);
    demo_->resize(420, 320);  // drawing area (10, 10) 400 x 300
    demo_->show();
    // The tests tick the page themselves: the real timer would add a tick
    // whenever a slow (sanitized, loaded) run spends a second in the event loop.
    auto* ticks = demo_->findChild<QTimer*>(QStringLiteral("demoTickTimer"));
    ASSERT_NE(ticks, nullptr);
    ticks->stop();
    record_ = std::filesystem::path(dir_.path().toStdString()) / "PointFile.csv";
    demo_->SetRecordPath(record_);
  }

  void TearDown() override {
    demo_->StopStream();
    WaitForQueuedRequests();
    demo_.reset();
    g_nResolutionX = 0;
    g_nResolutionY = 0;
    SimDeviceTest::TearDown();
  }

  // Streams until the recording holds `lines` lines, then stops.
  void StreamUntilRecorded(int lines) {
    demo_->ReadTouchData();
    EXPECT_FALSE(demo_->IsStopped());
    EXPECT_TRUE(qttest::ProcessEventsUntil([&] { return Lines(ReadAll(record_)) >= lines; }));
    demo_->StopStream();
    WaitForQueuedRequests();
    ASSERT_TRUE(demo_->WaitRendered());
    QCoreApplication::processEvents();
  }

  QTemporaryDir dir_;
  sim::DataPlane* plane_ = nullptr;
  FakePrompts prompts_;
  std::unique_ptr<CDemo> demo_;
  std::filesystem::path record_;
};

TEST_F(DemoPageTest, StreamsDrawsAndRecordsTheContacts) {
  plane_->ScriptTouches({{{2, 540, 960, 30}, {5, 108, 192, 44}}, 0});
  demo_->SetRecording(true);
  ASSERT_TRUE(demo_->IsRecording());
  StreamUntilRecorded(1 + 2 * 3);
  EXPECT_TRUE(demo_->IsStopped());

  // The middle of the panel is the middle of the area; slot colours by arrival.
  const QImage picture = demo_->Picture();
  EXPECT_EQ(kDemoSlotColours[0], picture.pixel(210, 160));
  EXPECT_EQ(kDemoSlotColours[1], picture.pixel(50, 40));

  demo_->SetRecording(false);
  const std::string text = ReadAll(record_);
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ("slot,id,x,y,size", line);
  int n = 0;
  while (std::getline(lines, line)) {
    EXPECT_EQ(n % 2 == 0 ? "0,2,540,960,30" : "1,5,108,192,44", line) << "line " << n;
    ++n;
  }
  EXPECT_GE(n, 6);
  EXPECT_EQ(0, n % 2);  // a report's lines are never split
  EXPECT_TRUE(prompts_.warnings.isEmpty());
}

TEST_F(DemoPageTest, RecordFileThatCannotBeMadeIsTold) {
  demo_->SetRecordPath(record_.parent_path() / "missing" / "PointFile.csv");
  demo_->SetRecording(true);
  EXPECT_FALSE(demo_->IsRecording());
  ASSERT_EQ(1, prompts_.warnings.size());
  EXPECT_TRUE(prompts_.warnings[0].startsWith(CDemo::kRecordFailedText));
}

TEST_F(DemoPageTest, AutoClearKeepsDrawnTrailsEveryThirdTick) {
  plane_->ScriptTouches({{{2, 540, 960, 30}}, 0});
  demo_->SetMode(DemoDrawMode::Lines);
  demo_->SetRecording(true);
  StreamUntilRecorded(3);

  demo_->OnTimer();
  demo_->OnTimer();
  ASSERT_TRUE(demo_->WaitRendered());
  EXPECT_EQ(0, demo_->Pictures().Count());
  demo_->OnTimer();
  ASSERT_TRUE(demo_->WaitRendered());
  EXPECT_EQ(1, demo_->Pictures().Count());
  // Nothing drawn since: the next round keeps nothing.
  for (int i = 0; i < CDemo::kTicksPerAutoClear; ++i) demo_->OnTimer();
  ASSERT_TRUE(demo_->WaitRendered());
  EXPECT_EQ(1, demo_->Pictures().Count());
}

TEST_F(DemoPageTest, ContextMenuShowsAndSwitchesTheModes) {
  std::unique_ptr<QMenu> menu(demo_->CreateContextMenu(nullptr));
  EXPECT_TRUE(Action(*menu, ID_DEMO_POINTS)->isChecked());
  EXPECT_TRUE(Action(*menu, ID_DEMO_AUTO_CLEAR)->isChecked());
  EXPECT_FALSE(Action(*menu, ID_DEMO_ACTIVE_PEN)->isChecked());
  EXPECT_FALSE(Action(*menu, ID_DEMO_RECORD)->isChecked());

  Action(*menu, ID_DEMO_POINTS_LINES)->trigger();
  EXPECT_EQ(DemoDrawMode::PointsAndLines, demo_->Mode());
  Action(*menu, ID_DEMO_AUTO_CLEAR)->trigger();
  EXPECT_FALSE(demo_->AutoClear());
  Bridge().Trace().Clear();
  Action(*menu, ID_DEMO_ACTIVE_PEN)->trigger();
  EXPECT_TRUE(demo_->ActivePen());
  // Switching the pen on starts the chip's data stream (command 6).
  bool started = false;
  for (const Report& r : Sent()) started = started || r[2] == BridgeCmdStreamStart;
  EXPECT_TRUE(started);

  menu.reset(demo_->CreateContextMenu(nullptr));
  EXPECT_TRUE(Action(*menu, ID_DEMO_POINTS_LINES)->isChecked());
  EXPECT_FALSE(Action(*menu, ID_DEMO_POINTS)->isChecked());
  EXPECT_TRUE(Action(*menu, ID_DEMO_ACTIVE_PEN)->isChecked());
  EXPECT_FALSE(Action(*menu, ID_DEMO_AUTO_CLEAR)->isChecked());
}

TEST_F(DemoPageTest, F3TogglesFullScreenAndEscapeOnlyLeavesIt) {
  QWidget page;
  demo_->setParent(&page);
  page.show();
  QTest::keyClick(demo_.get(), Qt::Key_Escape);
  EXPECT_FALSE(demo_->IsFullScreen());
  QTest::keyClick(demo_.get(), Qt::Key_F3);
  EXPECT_TRUE(demo_->IsFullScreen());
  EXPECT_EQ(nullptr, demo_->parentWidget());
  EXPECT_FALSE(page.isVisible());
  EXPECT_TRUE(demo_->FloatingButton()->isVisible());
  QTest::keyClick(demo_.get(), Qt::Key_Escape);
  EXPECT_FALSE(demo_->IsFullScreen());
  EXPECT_EQ(&page, demo_->parentWidget());
  EXPECT_TRUE(page.isVisible());
  QTest::keyClick(demo_.get(), Qt::Key_F3);
  QTest::keyClick(demo_.get(), Qt::Key_F3);
  EXPECT_FALSE(demo_->IsFullScreen());
  demo_->setParent(nullptr);
}

}  // namespace
