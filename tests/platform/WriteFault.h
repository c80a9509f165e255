#pragma once
// Failures injected into the atomic writer for one test: a write that fails
// just before its rename leaves what a full disk or a failing rename leaves;
// failing every write from some point on leaves what a program stopped at
// that point leaves behind.

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/files/AtomicFile.h"

namespace platform::testing_support {

class ScopedWriteFault {
 public:
  explicit ScopedWriteFault(AtomicWriteFault fault) {
    SetAtomicWriteFaultForTesting(std::move(fault));
  }
  ~ScopedWriteFault() { SetAtomicWriteFaultForTesting({}); }
  ScopedWriteFault(const ScopedWriteFault&) = delete;
  ScopedWriteFault& operator=(const ScopedWriteFault&) = delete;
};

// Lets `allowed` writes through and fails every later one with ENOSPC.
inline AtomicWriteFault StopAfterWrites(int allowed) {
  auto count = std::make_shared<int>(0);
  return [count, allowed](const std::filesystem::path&) { return ++*count > allowed ? ENOSPC : 0; };
}

// Fails the writes whose target lies in folder (directly).
inline AtomicWriteFault FailWritesIn(const std::filesystem::path& folder) {
  return [folder](const std::filesystem::path& target) {
    return target.parent_path() == folder ? ENOSPC : 0;
  };
}

}  // namespace platform::testing_support
