#include "ui/UiBridge.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
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

// Work posted from other threads, in order. Qt's queued call carries only a
// wake-up, and the work itself passes under this mutex: Qt's own event lock is
// invisible to the thread sanitizer, so work handed over inside the queued
// call would look like a race, and everything it runs would go unchecked.
std::mutex g_queueMutex;
std::deque<std::function<void()>> g_queue;

// One queued wake runs one piece of work.
void RunNextQueued() {
  std::function<void()> fn;
  {
    std::lock_guard lock(g_queueMutex);
    if (g_queue.empty()) {
      return;
    }
    fn = std::move(g_queue.front());
    g_queue.pop_front();
  }
  fn();
}

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
  // The lock is held across the post so the wake cannot run before its work
  // is queued, and no work is queued without a wake. The wake captures
  // nothing: the UI thread reads nothing of the posted call before it has
  // taken the lock.
  std::lock_guard lock(g_queueMutex);
  if (!QMetaObject::invokeMethod(
          app, [] { RunNextQueued(); }, Qt::QueuedConnection)) {
    return false;
  }
  g_queue.push_back(std::move(fn));
  return true;
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
