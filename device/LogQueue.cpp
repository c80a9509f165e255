#include "device/LogQueue.h"

#include <utility>

bool LogQueue::Push(std::string text, LogLevel level) {
  std::lock_guard lock(mutex_);
  lines_.push_back(LogLine{std::move(text), level});
  if (wakePending_) {
    return false;
  }
  wakePending_ = true;
  return true;
}

std::deque<LogLine> LogQueue::TakeAll() {
  std::deque<LogLine> taken;
  std::lock_guard lock(mutex_);
  taken.swap(lines_);
  wakePending_ = false;
  return taken;
}

std::size_t LogQueue::Size() const {
  std::lock_guard lock(mutex_);
  return lines_.size();
}
