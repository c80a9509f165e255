#pragma once
// How chip identification reaches the user interface without knowing it. The
// UI registers its implementations; until then (and after it passes nullptr)
// do-nothing defaults answer. Hooks are called from whichever thread
// identified the chip (connection monitor, update worker, UI thread) and never
// while the identification holds a lock, so an implementation may identify the
// chip again. A registered object must outlive every thread that can call it.

#include <string>

#include "device/LogSink.h"

class IChipEvents {
 public:
  virtual ~IChipEvents() = default;
  // Whether the window is far enough built to take a chip change (its module
  // test page exists). Until then a new chip is recorded but its profile
  // files are not looked up.
  virtual bool IsReady() = 0;
  // A listed chip replaced another: the chip information and the module test
  // page must refresh. The profile files are already looked up.
  virtual void OnChipChanged() = 0;
};

class IUserNotifier {
 public:
  virtual ~IUserNotifier() = default;
  // Shows text to the operator. May be called from worker threads; the caller
  // does not wait for an answer.
  virtual void MessageBox(const std::string& text) = 0;
  // Adds a line to the log. Any thread. The default drops it.
  virtual void LogLine(const std::string& text, LogLevel level) {
    static_cast<void>(text);
    static_cast<void>(level);
  }
};

// nullptr restores the default (not ready, nothing notified).
void SetChipEvents(IChipEvents* events);
IChipEvents& ChipEvents();

// nullptr restores the default (the text is dropped).
void SetUserNotifier(IUserNotifier* notifier);
IUserNotifier& UserNotifier();
