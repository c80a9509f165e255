#pragma once
// Makes a folder the process's working folder for one test and restores the
// previous one when the test ends: for checks of what a relative path would
// reach. Each test runs in its own process, so no other test sees the change.

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

namespace platform::testing_support {

class WorkingDirScope {
 public:
  explicit WorkingDirScope(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
    std::error_code ec;
    std::filesystem::current_path(dir, ec);
    if (ec) ADD_FAILURE() << "cannot enter " << dir << ": " << ec.message();
  }
  ~WorkingDirScope() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
  }
  WorkingDirScope(const WorkingDirScope&) = delete;
  WorkingDirScope& operator=(const WorkingDirScope&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace platform::testing_support
