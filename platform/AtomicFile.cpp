#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace platform {
namespace {

void SetError(std::string* error, const std::string& what, const std::filesystem::path& path,
              int err) {
  if (error) *error = what + " '" + path.string() + "': " + std::strerror(err);
}

// Closes a descriptor on every path out of a function.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the result: close() may be the first to see a
  // delayed write error.
  int Close() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes, int* err) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      *err = errno;
      return false;
    }
    if (n == 0) {
      *err = EIO;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// A name no other writer (thread or process) picks at the same moment; the
// O_EXCL open below catches the rest.
std::filesystem::path TempNameFor(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 rng{std::random_device{}()};
  std::string name = "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                     std::to_string(counter.fetch_add(1)) + "-" + std::to_string(rng());
  return target.parent_path() / name;
}

}  // namespace

bool WriteFileAtomic(const std::filesystem::path& target, std::string_view bytes,
                     std::string* error) {
  if (target.empty() || !target.has_filename()) {
    if (error) *error = "cannot write '" + target.string() + "': not a file name";
    return false;
  }
  const std::filesystem::path folder =
      target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();

  // Keep the permission bits of the file being replaced; a new file gets the
  // usual 0666 less the umask, as a plain create would.
  mode_t mode = 0666;
  bool keepMode = false;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    keepMode = true;
  }

  std::filesystem::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TempNameFor(target);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST && errno != EINTR) break;
  }
  if (fd < 0) {
    SetError(error, "cannot create a temporary file in", folder, errno);
    return false;
  }
  Fd file(fd);

  int err = 0;
  auto fail = [&](const char* what, int code) {
    SetError(error, what, target, code);
    if (file.get() >= 0) file.Close();
    ::unlink(temp.c_str());
    return false;
  };
  if (keepMode && ::fchmod(file.get(), mode) != 0) return fail("cannot set permissions for", errno);
  if (!WriteAll(file.get(), bytes, &err)) return fail("cannot write", err);
  if (::fsync(file.get()) != 0) return fail("cannot flush", errno);
  if (file.Close() != 0) return fail("cannot close", errno);
  if (::rename(temp.c_str(), target.c_str()) != 0) return fail("cannot replace", errno);

  // The rename is only durable once the folder entry is on disk.
  if (!SyncFolder(folder, error)) {
    if (error) *error = "file replaced but " + *error;
    return false;
  }
  return true;
}

bool SyncFolder(const std::filesystem::path& folder, std::string* error) {
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) {
    SetError(error, "cannot open its folder to flush it", folder, errno);
    return false;
  }
  // Some file systems cannot sync a folder (EINVAL); that is not a failure
  // of ours.
  if (::fsync(dir.get()) != 0 && errno != EINVAL) {
    SetError(error, "cannot flush its folder", folder, errno);
    return false;
  }
  return true;
}

bool ReadFileBytes(const std::filesystem::path& path, std::string* out, size_t maxBytes,
                   std::string* error, bool* missing) {
  out->clear();
  if (missing) *missing = false;
  Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    if (missing) *missing = (errno == ENOENT || errno == ENOTDIR);
    SetError(error, "cannot open", path, errno);
    return false;
  }
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) {
    SetError(error, "cannot inspect", path, errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    if (error) *error = "cannot read '" + path.string() + "': not a regular file";
    return false;
  }
  auto tooLarge = [&] {
    out->clear();
    if (error) {
      *error =
          "cannot read '" + path.string() + "': larger than " + std::to_string(maxBytes) + " bytes";
    }
    return false;
  };
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) return tooLarge();

  auto readFailed = [&](int err) {
    out->clear();
    SetError(error, "cannot read", path, err);
    return false;
  };
  out->resize(static_cast<size_t>(st.st_size));
  size_t have = 0;
  while (have < out->size()) {
    const ssize_t n = ::read(file.get(), out->data() + have, out->size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      return readFailed(errno);
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  out->resize(have);
  // The size is only a hint: the file may have grown while it was read. The
  // rest comes through a small buffer, so that reading a file to its end
  // costs no more than the file itself (growing the string to find the end
  // zero-filled 64 KiB for every small settings file read), and stops one
  // chunk past the limit.
  char more[4096];
  for (;;) {
    const ssize_t n = ::read(file.get(), more, sizeof more);
    if (n < 0) {
      if (errno == EINTR) continue;
      return readFailed(errno);
    }
    if (n == 0) break;
    if (out->size() + static_cast<size_t>(n) > maxBytes) return tooLarge();
    out->append(more, static_cast<size_t>(n));
  }
  return true;
}

}  // namespace platform
