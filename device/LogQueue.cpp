#include "device/LogQueue.h"

#include <utility>

LogQueue::LogQueue(std::size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

bool LogQueue::NeedsWake() {
  if (wakePending_) return false;
  wakePending_ = true;
  return true;
}

bool LogQueue::Push(std::string text, LogLevel level) {
  std::lock_guard lock(mutex_);
  if (lines_.size() >= capacity_) lines_.pop_front();
  lines_.push_back(LogLine{std::move(text), level});
  return NeedsWake();
}

bool LogQueue::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
  cleared_ = true;
  return NeedsWake();
}

LogBatch LogQueue::TakeAll() {
  LogBatch batch;
  std::lock_guard lock(mutex_);
  batch.lines.swap(lines_);
  batch.cleared = std::exchange(cleared_, false);
  wakePending_ = false;
  return batch;
}

std::size_t LogQueue::Size() const {
  std::lock_guard lock(mutex_);
  return lines_.size();
}
