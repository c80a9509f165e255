#pragma once
// Lines waiting for the log pane. Any thread appends; the UI thread takes them
// all at once, oldest first, so the pane shows lines in the order they came.

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

#include "device/LogSink.h"

struct LogLine {
  std::string text;
  LogLevel level;
};

class LogQueue {
 public:
  // Appends a line. Returns true when the consumer has to be woken: this is the
  // first line since the last TakeAll(); later lines ride on that wake-up.
  bool Push(std::string text, LogLevel level);

  // Removes and returns every pending line, oldest first.
  std::deque<LogLine> TakeAll();

  std::size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::deque<LogLine> lines_;
  bool wakePending_ = false;
};
