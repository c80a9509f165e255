#include "platform/hid/HidrawPort.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/sync/Event.h"

namespace platform {

namespace {

// How an errno from the node reads. A vanished hidraw device answers ENODEV
// on write and EIO on read (its reader wakes up to an empty, dead queue);
// EPIPE and ESHUTDOWN come from a USB endpoint that went away under a write.
HidIoResult ResultFromErrno(int err, bool reading) {
  switch (err) {
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN:
    case EPIPE:
      return HidIoResult::Removed;
    case EIO:
      return reading ? HidIoResult::Removed : HidIoResult::Error;
    case ETIMEDOUT:
      return HidIoResult::Timeout;
    default:
      return HidIoResult::Error;
  }
}

}  // namespace

HidrawPort::HidrawPort(int fd, HidDeviceInfo info, Clock clock)
    : fd_(fd), info_(std::move(info)), clock_(std::move(clock)) {}

HidrawPort::~HidrawPort() { Close(); }

void HidrawPort::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

std::chrono::steady_clock::time_point HidrawPort::Now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

int HidrawPort::PollBudget(bool unlimited, std::chrono::steady_clock::time_point deadline,
                           bool* capped) const {
  *capped = false;
  if (unlimited) return -1;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Now()).count();
  if (left <= 0) return 0;
  if (left > INT_MAX) {
    *capped = true;
    return INT_MAX;
  }
  return static_cast<int>(left);
}

HidIoResult HidrawPort::Write(const uint8_t* report, size_t length, uint32_t timeoutMs) {
  if (fd_ < 0 || report == nullptr || length == 0) return HidIoResult::Error;
  const bool unlimited = timeoutMs == kInfinite;
  const auto start = Now();
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);

  for (;;) {
    const ssize_t n = ::write(fd_, report, length);
    if (n >= 0) {
      // hidraw sends a report whole or not at all; anything else is a fault.
      if (static_cast<size_t>(n) != length) return HidIoResult::Error;
      break;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return ResultFromErrno(errno, false);

    // Only a node that is not a real hidraw (or a full queue) says "try again".
    bool capped = false;
    const int budget = PollBudget(unlimited, deadline, &capped);
    pollfd p{fd_, POLLOUT, 0};
    const int r = ::poll(&p, 1, budget);
    if (r < 0 && errno != EINTR) return HidIoResult::Error;
    if (r == 0 && !capped) return HidIoResult::Timeout;
    if (r > 0 && (p.revents & POLLNVAL)) return HidIoResult::Error;
    if (r > 0 && !(p.revents & POLLOUT) && (p.revents & (POLLHUP | POLLERR))) {
      return HidIoResult::Removed;
    }
  }

  // hidraw writes are synchronous and can stall for seconds on a sick device;
  // a report that took longer than the caller allowed counts as a time-out.
  if (!unlimited && std::chrono::duration_cast<std::chrono::milliseconds>(Now() - start) >
                        std::chrono::milliseconds(timeoutMs)) {
    return HidIoResult::Timeout;
  }
  return HidIoResult::Ok;
}

HidIoResult HidrawPort::Read(uint8_t* buf, size_t capacity, size_t* transferred,
                             uint32_t timeoutMs) {
  if (transferred != nullptr) *transferred = 0;
  if (fd_ < 0 || buf == nullptr || capacity == 0) return HidIoResult::Error;
  const bool unlimited = timeoutMs == kInfinite;
  const auto deadline = Now() + std::chrono::milliseconds(timeoutMs);

  for (;;) {
    bool capped = false;
    const int budget = PollBudget(unlimited, deadline, &capped);
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, budget);
    if (r < 0) {
      if (errno != EINTR) return HidIoResult::Error;
      if (budget == 0) return HidIoResult::Timeout;
      continue;  // a signal: wait again for what is left
    }
    if (r == 0) {
      if (capped) continue;
      return HidIoResult::Timeout;
    }
    if (p.revents & POLLNVAL) return HidIoResult::Error;
    if (p.revents & POLLIN) {
      // Reports that arrived before a removal are still delivered.
      const ssize_t n = ::read(fd_, buf, capacity);
      if (n > 0) {
        if (transferred != nullptr) *transferred = static_cast<size_t>(n);
        return HidIoResult::Ok;
      }
      if (n == 0) return HidIoResult::Removed;  // end of stream: the other side is gone
      if (errno == EAGAIN || errno == EINTR) {
        if (budget == 0) return HidIoResult::Timeout;
        continue;
      }
      return ResultFromErrno(errno, true);
    }
    if (p.revents & (POLLHUP | POLLERR)) return HidIoResult::Removed;
  }
}

void HidrawPort::DiscardInput() {
  if (fd_ < 0) return;
  uint8_t scratch[kHidReportSize];
  for (size_t i = 0; i < kMaxDiscardedReports; ++i) {
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, kDiscardQuietMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || !(p.revents & POLLIN)) return;
    const ssize_t n = ::read(fd_, scratch, sizeof(scratch));
    if (n == 0) return;
    if (n < 0 && errno != EAGAIN && errno != EINTR) return;
  }
}

}  // namespace platform
