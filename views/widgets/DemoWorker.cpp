#include "views/widgets/DemoWorker.h"

#include "device/PanelGeometry.h"

DemoWorker::DemoWorker(Hooks hooks) : hooks_(std::move(hooks)) {
  latest_ = renderer_.Shown();
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

DemoWorker::~DemoWorker() { Quit(); }

bool DemoWorker::Offer(TouchFrame&& frame, std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  const bool idle =
      changed_.wait_for(lock, wait, [&] { return quit_ || (!busy_ && !pending_.has_value()); });
  if (!idle || quit_) return false;
  pending_ = std::move(frame);
  changed_.notify_all();
  return true;
}

void DemoWorker::Post(Command command) {
  std::lock_guard lock(mutex_);
  if (quit_) return;
  commands_.push_back(std::move(command));
  changed_.notify_all();
}

void DemoWorker::Quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    commands_.clear();
    pending_.reset();
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

bool DemoWorker::WaitIdle(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(
      lock, limit, [&] { return quit_ || (!busy_ && !pending_.has_value() && commands_.empty()); });
}

QImage DemoWorker::Latest() const {
  std::lock_guard lock(imageMutex_);
  return latest_;
}

uint64_t DemoWorker::Processed() const {
  std::lock_guard lock(mutex_);
  return processed_;
}

void DemoWorker::Publish(const QImage& image) {
  {
    std::lock_guard lock(imageMutex_);
    latest_ = image;
  }
  if (hooks_.published) hooks_.published();
}

void DemoWorker::Run(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] {
      return quit_ || stop.stop_requested() || pending_.has_value() || !commands_.empty();
    });
    if (quit_ || stop.stop_requested()) return;

    std::deque<Command> commands;
    commands.swap(commands_);
    std::optional<TouchFrame> frame;
    frame.swap(pending_);
    busy_ = true;
    lock.unlock();

    for (Command& command : commands) command(renderer_);
    if (frame) {
      renderer_.TakeFrame(*frame, g_nResolutionX.load(), g_nResolutionY.load());
      std::string error;
      if (!recorder_.Record(renderer_.Tracker().ChipPoints(), &error) && hooks_.recordFailed) {
        hooks_.recordFailed(error);
      }
    }
    Publish(renderer_.Shown());

    lock.lock();
    busy_ = false;
    processed_ += commands.size() + (frame ? 1 : 0);
    changed_.notify_all();
  }
}
