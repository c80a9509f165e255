#pragma once
// A FIFO where a file is expected, and a check that a reader of it comes back
// at once instead of waiting for a writer.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

namespace platform::testing_support {

inline void MakeFifo(const std::filesystem::path& path) {
  std::filesystem::create_directories(path.parent_path());
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
}

// Runs fn on a thread. A reader that waits on the FIFO is still waiting
// after this long by any measure; a writer then opens the FIFO to let it go
// and the answer is false.
template <typename Fn>
bool ReturnsWithoutAWriter(const std::filesystem::path& fifo, Fn fn) {
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  std::thread reader([&] {
    fn();
    done.set_value();
  });
  const bool inTime = finished.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  if (!inTime) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
  }
  reader.join();
  return inTime;
}

}  // namespace platform::testing_support
