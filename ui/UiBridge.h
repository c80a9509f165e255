#pragma once
// How code on any thread gets work done on the UI thread, where every widget
// lives. post() hands the work over and goes on; call() waits for it, but in
// short slices that watch g_shuttingDown, so a worker can never hang the close
// of the program by waiting for a UI thread that has stopped serving events.

#include <atomic>
#include <functional>

// Set once when the program starts to close; blocking hand-overs give up then.
extern std::atomic<bool> g_shuttingDown;

class UiBridge {
 public:
  // Slice in which call() re-checks completion and g_shuttingDown.
  static constexpr int kWaitSliceMs = 50;

  // Queues fn to run on the UI thread; on the UI thread itself fn runs at once.
  // false when there is no application object to run it.
  static bool post(std::function<void()> fn);

  // Runs fn on the UI thread and returns once it has run (true). On the UI
  // thread fn runs directly. From another thread it returns false without
  // running fn when the program is closing (or has no application object);
  // a fn that was queued but not yet started is then dropped, never run late.
  static bool call(std::function<void()> fn);

  static bool isUiThread();
};
