#include "app/UiBridge.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

std::atomic<bool> g_shuttingDown{false};

namespace {

// Shared by a waiting call() and the queued run; whichever side goes last
// frees it, so a run that comes after the caller gave up touches nothing gone.
struct CallState {
  enum class Stage { kQueued, kRunning, kDone, kAbandoned };
  std::mutex mutex;
  std::condition_variable cv;
  Stage stage = Stage::kQueued;
};

// Bumped by every post from another thread and read by every queued run.
std::atomic<unsigned> g_postedWork{0};

}  // namespace

bool UiBridge::isUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

bool UiBridge::post(std::function<void()> fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) {
    return false;
  }
  if (QThread::currentThread() == app->thread()) {
    fn();
    return true;
  }
  // Qt's event queue already orders everything written before the post before
  // the run, but its lock is invisible to the thread sanitizer; this pair
  // restates that order in a form it sees, so the work stays checked.
  g_postedWork.fetch_add(1, std::memory_order_release);
  return QMetaObject::invokeMethod(
      app,
      [fn = std::move(fn)] {
        g_postedWork.load(std::memory_order_acquire);
        fn();
      },
      Qt::QueuedConnection);
}

bool UiBridge::call(std::function<void()> fn) {
  if (isUiThread()) {
    fn();
    return true;
  }
  if (g_shuttingDown.load()) {
    return false;
  }
  auto state = std::make_shared<CallState>();
  const bool queued = post([state, fn = std::move(fn)] {
    {
      std::lock_guard lock(state->mutex);
      if (state->stage == CallState::Stage::kAbandoned) {
        return;
      }
      state->stage = CallState::Stage::kRunning;
    }
    fn();
    {
      std::lock_guard lock(state->mutex);
      state->stage = CallState::Stage::kDone;
    }
    state->cv.notify_all();
  });
  if (!queued) {
    return false;
  }
  std::unique_lock lock(state->mutex);
  while (state->stage != CallState::Stage::kDone) {
    state->cv.wait_for(lock, std::chrono::milliseconds(kWaitSliceMs));
    // Once fn has started it is let finish: giving up then would leave the
    // caller's data in use behind its back.
    if (state->stage == CallState::Stage::kQueued && g_shuttingDown.load()) {
      state->stage = CallState::Stage::kAbandoned;
      return false;
    }
  }
  return true;
}
