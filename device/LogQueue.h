#pragma once
// Lines waiting for the log pane. Any thread appends; the UI thread takes them
// all at once, oldest first, so the pane shows lines in the order they came.
// A clear travels the same way: it drops the lines queued before it and tells
// the consumer to empty the pane, so no line from before a clear shows after it.
// The queue holds at most as many lines as the pane keeps: a worker that logs
// faster than the pane draws would otherwise grow it without end, and the pane
// would drop the oldest of them anyway.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "device/LogSink.h"

struct LogLine {
  std::string text;
  LogLevel level;
};

// What the consumer takes in one go.
struct LogBatch {
  bool cleared = false;       // empty the pane first
  std::deque<LogLine> lines;  // then show these, oldest first
};

class LogQueue {
 public:
  explicit LogQueue(std::size_t capacity = SIZE_MAX);

  // Appends a line, dropping the oldest pending one when the queue is full.
  // Returns true when the consumer has to be woken: this is the
  // first line or clear since the last TakeAll(); later ones ride on that wake-up.
  bool Push(std::string text, LogLevel level);

  // Drops every pending line and marks the pane to be emptied; lines pushed
  // after it are kept. Returns true when the consumer has to be woken.
  bool Clear();

  // Removes and returns the pending clear and every pending line.
  LogBatch TakeAll();

  std::size_t Size() const;

 private:
  // Caller holds mutex_.
  bool NeedsWake();

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::deque<LogLine> lines_;
  bool cleared_ = false;
  bool wakePending_ = false;
};
