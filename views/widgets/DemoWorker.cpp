#include "views/widgets/DemoWorker.h"

#include <optional>
#include <utility>

#include "device/chip/PanelGeometry.h"

DemoWorker::DemoWorker(Hooks hooks) : hooks_(std::move(hooks)) {
  latest_ = renderer_.Shown();
  thread_ = std::jthread([this] { Run(); });
}

DemoWorker::~DemoWorker() { Quit(); }

bool DemoWorker::Offer(TouchFrame&& frame, std::chrono::milliseconds wait) {
  {
    std::lock_guard lock(mutex_);
    if (quit_) return false;
    ++framesInFlight_;
  }
  if (mailbox_.Offer(std::move(frame), wait)) return true;
  {
    std::lock_guard lock(mutex_);
    --framesInFlight_;
  }
  idle_.notify_all();
  return false;
}

void DemoWorker::Post(Command command) {
  {
    std::lock_guard lock(mutex_);
    if (quit_) return;
    commands_.push_back(std::move(command));
  }
  mailbox_.RequestRedraw();
}

void DemoWorker::Quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    commands_.clear();
  }
  idle_.notify_all();
  mailbox_.Quit();
  if (thread_.joinable()) thread_.join();
}

bool DemoWorker::WaitIdle(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(
      lock, limit, [&] { return quit_ || (!busy_ && framesInFlight_ == 0 && commands_.empty()); });
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

void DemoWorker::Draw(const TouchFrame& frame) {
  renderer_.TakeFrame(frame, g_nResolutionX.load(), g_nResolutionY.load());
  std::string error;
  if (!recorder_.Record(renderer_.Tracker().ChipPoints(), &error) && hooks_.recordFailed) {
    hooks_.recordFailed(error);
  }
}

void DemoWorker::Run() {
  for (;;) {
    const Mailbox::Wake wake = mailbox_.Wait();
    if (wake == Mailbox::Wake::Quit) return;

    // The frame is taken before the commands are: taking it consumes a
    // redraw request, so a command posted from here on still wakes the
    // thread again, and every command posted before the frame runs first.
    std::optional<TouchFrame> frame;
    if (wake == Mailbox::Wake::Frame) frame = mailbox_.TakeFrame();
    std::deque<Command> commands;
    {
      std::lock_guard lock(mutex_);
      commands.swap(commands_);
      busy_ = true;
    }

    for (Command& command : commands) command(renderer_);
    if (frame) Draw(*frame);
    // A wake left over from commands an earlier round already ran has
    // nothing new to show.
    if (frame || !commands.empty()) Publish(renderer_.Shown());

    // Idle for the read chain before idle for WaitIdle, so an offer made
    // once WaitIdle returned goes straight through.
    if (wake == Mailbox::Wake::Frame) mailbox_.MarkDone();
    {
      std::lock_guard lock(mutex_);
      busy_ = false;
      processed_ += commands.size() + (frame ? 1 : 0);
      if (frame) --framesInFlight_;
    }
    idle_.notify_all();
  }
}
