#include "ui/UiBridge.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>

#include "tests/ui/QtTestUtil.h"

namespace {

using qttest::ProcessEventsUntil;

template <typename T>
bool IsReady(const std::future<T>& f) {
  return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

class UiBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override { g_shuttingDown = false; }
  void TearDown() override {
    g_shuttingDown = false;
    QCoreApplication::processEvents();  // leave no queued work to later tests
  }
  QThread* const uiThread_ = QCoreApplication::instance()->thread();
};

TEST_F(UiBridgeTest, PostFromWorkerRunsLaterOnTheUiThread) {
  std::atomic<QThread*> ranOn{nullptr};
  auto posted = std::async(std::launch::async, [&] {
    return UiBridge::post([&] { ranOn = QThread::currentThread(); });
  });
  ASSERT_TRUE(posted.get());
  EXPECT_EQ(ranOn.load(), nullptr);  // queued, not run by the worker
  ASSERT_TRUE(ProcessEventsUntil([&] { return ranOn.load() != nullptr; }));
  EXPECT_EQ(ranOn.load(), uiThread_);
}

TEST_F(UiBridgeTest, OnTheUiThreadBothRunDirectly) {
  EXPECT_TRUE(UiBridge::isUiThread());
  int runs = 0;
  EXPECT_TRUE(UiBridge::post([&] { ++runs; }));
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(UiBridge::call([&] { ++runs; }));
  EXPECT_EQ(runs, 2);
  g_shuttingDown = true;  // nothing to wait for, so closing changes nothing
  EXPECT_TRUE(UiBridge::call([&] { ++runs; }));
  EXPECT_EQ(runs, 3);
}

TEST_F(UiBridgeTest, CallFromWorkerReturnsAfterFnRanOnTheUiThread) {
  QThread* ranOn = nullptr;  // plain: call() must order the UI write before the worker's read
  auto result = std::async(std::launch::async, [&] {
    const bool ok = UiBridge::call([&] { ranOn = QThread::currentThread(); });
    EXPECT_FALSE(UiBridge::isUiThread());
    return ok && ranOn != nullptr;
  });
  ASSERT_TRUE(ProcessEventsUntil([&] { return IsReady(result); }));
  EXPECT_TRUE(result.get());
  EXPECT_EQ(ranOn, uiThread_);
}

TEST_F(UiBridgeTest, CallGivesUpWhenTheProgramCloses) {
  std::atomic<bool> ran{false};
  // The UI thread serves no events: the worker waits until closing starts.
  auto result = std::async(std::launch::async, [&] { return UiBridge::call([&] { ran = true; }); });
  EXPECT_EQ(result.wait_for(std::chrono::milliseconds(120)), std::future_status::timeout);
  g_shuttingDown = true;
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready)
      << "call() hung during shutdown";
  EXPECT_FALSE(result.get());

  // The abandoned work is dropped, not run late against the gone caller.
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran.load());
}

TEST_F(UiBridgeTest, CallAfterClosingStartedReturnsAtOnce) {
  g_shuttingDown = true;
  std::atomic<bool> ran{false};
  auto result = std::async(std::launch::async, [&] { return UiBridge::call([&] { ran = true; }); });
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(result.get());
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran.load());
}

}  // namespace
