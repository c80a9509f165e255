#include "moduletest/samples/SampleStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "device/LogSink.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// Numbers beyond this are not followed: the next number must stay an int.
constexpr int64_t kLargestNumber = 0x7FFFFFFE;

// "*.sd" as the stored files' system matched it: without regard to case.
bool IsSampleFile(const std::filesystem::path& p) {
  const std::string ext = p.extension().string();
  return ext.size() == 3 && ext[0] == '.' && (ext[1] | 0x20) == 's' && (ext[2] | 0x20) == 'd';
}

std::string ErrnoText() { return std::strerror(errno); }

bool ReadFully(int fd, uint8_t* buffer, size_t length) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::read(fd, buffer + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteFully(int fd, const uint8_t* bytes, size_t length) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(fd, bytes + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::recursive_mutex& SampleStore::Lock() {
  static std::recursive_mutex lock;
  return lock;
}

SampleStore& SampleStore::GetInstance() {
  static SampleStore store(platform::AppPaths::Resolve("..\\test\\test_sample"));
  return store;
}

int64_t SampleStore::SampleNumberOf(const std::string& fileName) {
  const size_t underscore = fileName.find('_');
  const size_t start = underscore == std::string::npos ? 0 : underscore + 1;
  int64_t n = 0;
  for (size_t i = start; i < fileName.size() && fileName[i] >= '0' && fileName[i] <= '9'; ++i) {
    n = n * 10 + (fileName[i] - '0');
    if (n > kLargestNumber) return kLargestNumber + 1;
  }
  return n;
}

SampleStore::SampleStore(std::filesystem::path folder) : folder_(std::move(folder)) {
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::filesystem::path& p = it->path();
    if (!IsSampleFile(p) || !it->is_regular_file(ec)) continue;
    const int64_t n = SampleNumberOf(p.filename().string());
    if (n <= kLargestNumber && n >= nextNumber_) nextNumber_ = static_cast<int32_t>(n + 1);
  }
}

SampleStore::~SampleStore() { CloseFile(); }

void SampleStore::SetLog(ILogSink* log) {
  Guard g(Lock());
  log_ = log;
}

int32_t SampleStore::NextNumber() const {
  Guard g(Lock());
  return nextNumber_;
}

bool SampleStore::BeginRecording(std::filesystem::path* path, std::string* error) {
  Guard g(Lock());
  CloseFile();
  frameCounter_ = 0;
  recordedBytes_ = 0;
  // The folder may have been removed since the store was made.
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  for (;;) {
    const std::filesystem::path candidate =
        folder_ / ("sample_" + std::to_string(nextNumber_) + ".sd");
    recordingPath_ = candidate;
    if (path) *path = candidate;
    const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST && nextNumber_ < kLargestNumber) {
      ++nextNumber_;
      continue;
    }
    if (fd < 0) {
      if (error) *error = ErrnoText();
      return false;
    }
    ++nextNumber_;
    fd_ = fd;
    openPath_ = candidate;
    recording_ = true;
    return true;
  }
}

bool SampleStore::AppendFrame(const uint8_t* bytes, size_t length) {
  Guard g(Lock());
  if (!recording_ || recordingBroken_ || fd_ < 0) return false;
  if (!WriteFully(fd_, bytes, length)) {
    const std::string error = ErrnoText();
    recordingBroken_ = true;
    // Readers cut the file into frames from its start: the part of this
    // frame that did get written goes, the whole frames before it stay.
    // Should the cut fail too, the reader still skips a cut last frame.
    if (::ftruncate(fd_, static_cast<off_t>(recordedBytes_)) == 0) {
      ::lseek(fd_, static_cast<off_t>(recordedBytes_), SEEK_SET);
    }
    LogWriteFailure(error);
    return false;
  }
  recordedBytes_ += static_cast<int64_t>(length);
  ++frameCounter_;
  return true;
}

bool SampleStore::IsRecording() const {
  Guard g(Lock());
  return recording_;
}

bool SampleStore::RecordingBroken() const {
  Guard g(Lock());
  return recording_ && recordingBroken_;
}

void SampleStore::LogWriteFailure(const std::string& error) {
  if (log_) log_->AddLog("样本文件写入失败：" + recordingPath_.string() + "：" + error, LOG_ERROR);
}

bool SampleStore::StopRecording(std::string* error) {
  Guard g(Lock());
  bool ok = true;
  if (recording_ && fd_ >= 0) {
    std::string failure;
    if (::fsync(fd_) != 0) {
      failure = ErrnoText();
    } else {
      // The file's name is as new as the recording: flush the folder too.
      platform::SyncFolder(folder_, &failure);
    }
    if (!failure.empty()) {
      ok = false;
      LogWriteFailure(failure);
      if (error) *error = failure;
    }
  }
  CloseFile();
  names_.clear();
  if (!recordingPath_.empty()) names_.push_back(recordingPath_);
  index_ = -1;
  return ok;
}

std::filesystem::path SampleStore::RecordingPath() const {
  Guard g(Lock());
  return recordingPath_;
}

void SampleStore::SetNames(std::vector<std::filesystem::path> names) {
  Guard g(Lock());
  CloseFile();
  names_ = std::move(names);
  index_ = -1;
}

std::vector<std::filesystem::path> SampleStore::Names() const {
  Guard g(Lock());
  return names_;
}

int32_t SampleStore::CurrentIndex() const {
  Guard g(Lock());
  return index_;
}

std::filesystem::path SampleStore::CurrentName() const {
  Guard g(Lock());
  if (index_ >= 0 && static_cast<size_t>(index_) < names_.size()) {
    return names_[static_cast<size_t>(index_)];
  }
  return recordingPath_;
}

bool SampleStore::IsLast() const {
  Guard g(Lock());
  return names_.empty() || static_cast<size_t>(index_ + 1) >= names_.size();
}

bool SampleStore::OpenNext() {
  Guard g(Lock());
  if (IsLast()) return false;
  return OpenAt(index_ + 1);
}

bool SampleStore::OpenPrevious() {
  Guard g(Lock());
  if (index_ <= 0) return false;
  return OpenAt(index_ - 1);
}

bool SampleStore::OpenAt(int32_t index) {
  Guard g(Lock());
  if (index < 0 || static_cast<size_t>(index) >= names_.size()) return false;
  index_ = index;
  return OpenForReading(names_[static_cast<size_t>(index)]);
}

bool SampleStore::OpenForReading(const std::filesystem::path& path) {
  CloseFile();
  frameCounter_ = 0;
  // Opened without blocking and looked at first: a FIFO would otherwise hold
  // this thread, and with it the store's lock the recording needs, until
  // something writes into it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (log_) log_->AddLog("样本文件不是普通文件，不读取：" + path.string(), LOG_ERROR);
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  fd_ = fd;
  openPath_ = path;
  return true;
}

void SampleStore::WarnIfPartial(int32_t frameLength) {
  if (checkedLength_ || frameLength <= 0) return;
  checkedLength_ = true;
  const int64_t length = FileLength();
  if (length % frameLength == 0 || !log_) return;
  log_->AddLog("样本文件长度" + std::to_string(length) + "字节不是帧长" +
                   std::to_string(frameLength) + "字节的整数倍（含" +
                   std::to_string(length / frameLength) +
                   "个完整帧），帧格式可能已改变，不完整的末帧不读取：" + openPath_.string(),
               LOG_ERROR);
}

bool SampleStore::ReadFrame(uint8_t* buffer, int32_t length) {
  Guard g(Lock());
  if (fd_ < 0) return false;
  frameLength_ = length;
  if (length <= 0) {
    ++frameCounter_;
    return true;
  }
  WarnIfPartial(length);
  const off_t start = ::lseek(fd_, 0, SEEK_CUR);
  if (!ReadFully(fd_, buffer, static_cast<size_t>(length))) {
    // A partial frame is not consumed: the position stays at its start.
    if (start >= 0) ::lseek(fd_, start, SEEK_SET);
    return false;
  }
  ++frameCounter_;
  return true;
}

bool SampleStore::StepBack(uint8_t* buffer) {
  Guard g(Lock());
  if (fd_ < 0 || frameLength_ <= 0) return false;
  const off_t position = ::lseek(fd_, 0, SEEK_CUR);
  const off_t back = static_cast<off_t>(2) * frameLength_;
  if (position < back) return false;
  if (::lseek(fd_, position - back, SEEK_SET) < 0) return false;
  if (!ReadFully(fd_, buffer, static_cast<size_t>(frameLength_))) {
    ::lseek(fd_, position, SEEK_SET);
    return false;
  }
  --frameCounter_;
  return true;
}

void SampleStore::CloseFile() {
  Guard g(Lock());
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  recording_ = false;
  recordingBroken_ = false;
  checkedLength_ = false;
  openPath_.clear();
}

bool SampleStore::HasOpenFile() const {
  Guard g(Lock());
  return fd_ >= 0;
}

bool SampleStore::DeleteCurrent(std::string* error) {
  Guard g(Lock());
  CloseFile();
  if (index_ < 0 || static_cast<size_t>(index_) >= names_.size()) return false;
  const size_t at = static_cast<size_t>(index_);
  const bool wasLast = at + 1 == names_.size();
  std::error_code ec;
  std::filesystem::remove(names_[at], ec);
  if (ec) {
    if (error) *error = ec.message();
    return false;
  }
  names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(at));
  index_ -= wasLast ? 2 : 1;
  if (index_ < -1) index_ = -1;
  return !names_.empty();
}

int64_t SampleStore::Position() const {
  Guard g(Lock());
  if (fd_ < 0) return 0;
  const off_t p = ::lseek(fd_, 0, SEEK_CUR);
  return p < 0 ? 0 : static_cast<int64_t>(p);
}

int64_t SampleStore::FileLength() const {
  Guard g(Lock());
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return static_cast<int64_t>(st.st_size);
}

int32_t SampleStore::FrameLength() const {
  Guard g(Lock());
  return frameLength_;
}

int32_t SampleStore::FrameCounter() const {
  Guard g(Lock());
  return frameCounter_;
}

void SampleStore::ResetFrameCounter() {
  Guard g(Lock());
  frameCounter_ = 0;
}
