#pragma once
// An ILogSink that keeps every line for the test to look at.

#include <mutex>
#include <string>
#include <vector>

#include "device/LogSink.h"

namespace views_test {

class RecordingLog : public ILogSink {
 public:
  void AddLog(const std::string& text, LogLevel level) override {
    std::lock_guard lock(mutex_);
    lines_.push_back(text);
    levels_.push_back(level);
  }
  void Clear() override {
    std::lock_guard lock(mutex_);
    clearsAt_.push_back(lines_.size());
  }
  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<LogLevel> Levels() const {
    std::lock_guard lock(mutex_);
    return levels_;
  }
  // How many lines had been logged when each clear came.
  std::vector<size_t> ClearsAt() const {
    std::lock_guard lock(mutex_);
    return clearsAt_;
  }
  std::string All() const {
    std::string out;
    for (const std::string& line : Lines()) out += line + "\n";
    return out;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<LogLevel> levels_;
  std::vector<size_t> clearsAt_;
};

}  // namespace views_test
