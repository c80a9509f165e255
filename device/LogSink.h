#pragma once
// The one way the core reports progress and failures to the user: a line of
// text and a level that picks its colour and size in the log pane.

#include <string>

// Fixed int underlying type: a level outside the named values is still a valid
// LogLevel; the pane shows it in the previous line's colour and size.
enum LogLevel : int {
  LOG_BUSY = 0,   // a step has started; the line turns a spinner until the next line
  LOG_INFO = 1,   // information, read and write results, versions
  LOG_ERROR = 2,  // every failure text
  LOG_OK = 3,     // success texts
  LOG_PASS = 4,   // the large "OK" verdict of a module test
  LOG_FAIL = 5,   // the large "NG" verdict of a module test
};

class ILogSink {
 public:
  virtual ~ILogSink() = default;
  // Callable from any thread; never blocks on the user interface. text is UTF-8.
  virtual void AddLog(const std::string& text, LogLevel level) = 0;
  // Empties the log, in order with the lines: what was added before goes,
  // what is added after stays. Any thread; a sink that shows nothing ignores it.
  virtual void Clear() {}
};
