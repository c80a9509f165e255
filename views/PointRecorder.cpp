#include "views/PointRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

void SetError(std::string* error, const std::string& what, const std::filesystem::path& path,
              int err) {
  if (error) *error = what + " " + path.string() + ": " + std::strerror(err);
}

}  // namespace

PointRecorder::~PointRecorder() { Close(); }

bool PointRecorder::Open(const std::filesystem::path& path, std::string* error) {
  std::lock_guard lock(mutex_);
  CloseLocked(nullptr);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetError(error, "cannot create", path, errno);
    return false;
  }
  fd_ = fd;
  path_ = path;
  whole_ = 0;
  return WriteAll(kHeader, error);
}

bool PointRecorder::IsOpen() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

bool PointRecorder::Record(const SlotTable& chipPoints, std::string* error) {
  std::string lines;
  for (size_t slot = 0; slot < chipPoints.size(); ++slot) {
    const TouchSlot& p = chipPoints[slot];
    if (p.size == 0) continue;
    lines += std::to_string(slot) + ',' + std::to_string(p.id) + ',' + std::to_string(p.x) + ',' +
             std::to_string(p.y) + ',' + std::to_string(p.size) + '\n';
  }
  std::lock_guard lock(mutex_);
  if (fd_ < 0 || lines.empty()) return true;
  return WriteAll(lines, error);
}

bool PointRecorder::Close(std::string* error) {
  std::lock_guard lock(mutex_);
  return CloseLocked(error);
}

bool PointRecorder::WriteAll(const std::string& bytes, std::string* error) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SetError(error, "cannot write", path_, n < 0 ? errno : ENOSPC);
      // The part of these lines that did get written goes: the file ends
      // with the last whole line, as a reader cutting it into lines expects.
      if (::ftruncate(fd_, whole_) != 0 && error) *error += " (the part written stays)";
      CloseLocked(nullptr);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  whole_ += static_cast<off_t>(bytes.size());
  return true;
}

bool PointRecorder::CloseLocked(std::string* error) {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) {
    SetError(error, "cannot close", path_, errno);
    return false;
  }
  return true;
}
