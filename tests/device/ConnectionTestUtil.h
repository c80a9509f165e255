#pragma once
// Readable failure output for the connection display's actions, and a view
// that records what it is told.

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <ostream>
#include <vector>

#include "device/connection/ConnectionView.h"

inline void PrintTo(const ViewAction& a, std::ostream* os) {
  const char* lamp = a.lamp == Indicator::Bridge ? "Bridge" : "TouchIc";
  switch (a.kind) {
    case ViewAction::Kind::Log:
      *os << "Log(\"" << a.text << "\", " << static_cast<int>(a.level) << ")";
      break;
    case ViewAction::Kind::Lamp:
      *os << "Lamp(" << lamp << ", " << static_cast<int>(a.colour) << ")";
      break;
    case ViewAction::Kind::LampText:
      *os << "LampText(" << lamp << ", \"" << a.text << "\")";
      break;
  }
}

// Records every change in order; the status check answers from a callback.
class RecordingView : public IConnectionView {
 public:
  void AddLog(const std::string& text, LogLevel level) override {
    Record(ViewAction::Log(text, level));
  }
  void SetLamp(Indicator lamp, LampColour colour) override {
    Record(ViewAction::Lamp(lamp, colour));
  }
  void SetLampText(Indicator lamp, const std::string& text) override {
    Record(ViewAction::LampText(lamp, text));
  }
  int CheckConnectionStatus(const ConnectionProbe& probe) override {
    {
      std::lock_guard lock(mutex_);
      probes_.push_back(probe);
    }
    return check_ ? check_(probe) : 0;
  }

  ViewActions Actions() {
    std::lock_guard lock(mutex_);
    return actions_;
  }
  std::vector<ConnectionProbe> Probes() {
    std::lock_guard lock(mutex_);
    return probes_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    actions_.clear();
    probes_.clear();
  }

  // Set before the monitor starts.
  std::function<int(const ConnectionProbe&)> check_;

 private:
  void Record(ViewAction a) {
    std::lock_guard lock(mutex_);
    actions_.push_back(std::move(a));
  }

  std::mutex mutex_;
  ViewActions actions_;
  std::vector<ConnectionProbe> probes_;
};
