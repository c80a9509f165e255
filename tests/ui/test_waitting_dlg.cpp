// The waiting dialog and the helper that runs work beside it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <stdexcept>

#include "platform/files/AppPaths.h"
#include "platform/sync/Event.h"
#include "tests/platform/ScratchDir.h"
#include "ui/UiBridge.h"
#include "ui/WaittingDlg.h"

namespace {

using platform::testing_support::ScratchDir;

int WaitingDialogsAlive() {
  int n = 0;
  for (QWidget* w : QApplication::allWidgets()) n += qobject_cast<CWaittingDlg*>(w) != nullptr;
  return n;
}

// A 1 x 1 GIF of two frames with delays of 10 ms and 0.
QByteArray ShortDelayGif() {
  QByteArray gif("GIF89a", 6);
  const unsigned char screen[] = {1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
  gif.append(reinterpret_cast<const char*>(screen), sizeof screen);
  for (unsigned char hundredths : {1, 0}) {
    const unsigned char frame[] = {0x21, 0xF9, 4,    0,    hundredths, 0, 0, 0,        // the delay
                                   0x2C, 0,    0,    0,    0,          1, 0, 1, 0, 0,  // 1 x 1
                                   2,    2,    0x44, 0x01, 0};                         // one pixel
    gif.append(reinterpret_cast<const char*>(frame), sizeof frame);
  }
  gif.append(';');
  return gif;
}

TEST(WaittingDlg, WithoutAnAnimationFileItSpinsOnItsOwnTiming) {
  CWaittingDlg dialog(nullptr, QStringLiteral("/nonexistent/loading.gif"));
  EXPECT_FALSE(dialog.PlaysGif());
  EXPECT_EQ(CWaittingDlg::kSpinnerFrameMs, dialog.FrameDelayMs(0));
  EXPECT_EQ(CWaittingDlg::kSpinnerSpokes, dialog.FrameCount());
}

TEST(WaittingDlg, TheRuntimeRootsGifPlaysWithNoFrameShorterThanTheMinimum) {
  ScratchDir root;
  platform::AppPaths::SetBaseDir(root.path());
  QFile file(CWaittingDlg::DefaultAnimation());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(ShortDelayGif());
  file.close();

  CWaittingDlg dialog;
  platform::AppPaths::SetBaseDir(platform::AppPaths::ExecutableBaseDir());
  ASSERT_TRUE(dialog.PlaysGif());
  EXPECT_EQ(2, dialog.FrameCount());
  for (int i = 0; i < dialog.FrameCount(); ++i) {
    EXPECT_GE(dialog.FrameDelayMs(i), CWaittingDlg::kMinFrameDelayMs);
  }
  // Its own closing (Esc, the window manager) does nothing.
  dialog.show();
  dialog.reject();
  EXPECT_TRUE(dialog.isVisible());
}

TEST(WaittingDlg, FrameDelaysBelowTheMinimumAreRaisedToIt) {
  const int cases[][2] = {{-1, 20}, {0, 20}, {10, 20}, {20, 20}, {150, 150}};
  for (const auto& c : cases) EXPECT_EQ(c[1], CWaittingDlg::PlayedDelayMs(c[0])) << c[0];
}

TEST(RunWithWaiting, TheDialogStandsModalWhileTheWorkRunsAndIsGoneAfter) {
  platform::Event seen(true, false);
  bool modalWhileWorking = false;
  // The work waits until the UI thread has looked at the screen.
  QTimer::singleShot(0, [&] {
    auto* modal = qobject_cast<CWaittingDlg*>(QApplication::activeModalWidget());
    modalWhileWorking =
        modal != nullptr && modal->isVisible() && modal->windowModality() == Qt::ApplicationModal;
    seen.Set();
  });
  bool ranOnWorker = false;
  RunWithWaiting(nullptr, [&] {
    ASSERT_TRUE(seen.Wait(10000));
    ranOnWorker = !UiBridge::isUiThread();
  });
  EXPECT_TRUE(modalWhileWorking);
  EXPECT_TRUE(ranOnWorker);
  EXPECT_EQ(0, WaitingDialogsAlive());
}

TEST(RunWithWaiting, WorkThatWaitsForTheUiThreadIsServedMeanwhile) {
  bool ranOnUi = false;
  RunWithWaiting(nullptr,
                 [&] { EXPECT_TRUE(UiBridge::call([&] { ranOnUi = UiBridge::isUiThread(); })); });
  EXPECT_TRUE(ranOnUi);
}

TEST(RunWithWaiting, TheWorksExceptionIsThrownAgainOnTheUiThread) {
  try {
    RunWithWaiting(nullptr, [] { throw std::runtime_error("发送配置失败"); });
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("发送配置失败", e.what());
  }
  EXPECT_EQ(0, WaitingDialogsAlive());
}

}  // namespace
