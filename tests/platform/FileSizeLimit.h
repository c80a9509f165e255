#pragma once
// Makes a write run out of room where the test says, as a disk that fills
// up in the middle of a write would.

#include <sys/resource.h>

#include <csignal>

namespace platform::testing_support {

// While it lives, files this process writes end at `bytes`: a write across
// that size is cut short there and the next one refused. Process-wide: keep
// it alive only around the writes meant to fail.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    set_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool IsSet() const { return set_; }

 private:
  rlimit saved_{};
  bool set_ = false;
  void (*previousHandler_)(int) = SIG_DFL;
};

}  // namespace platform::testing_support
