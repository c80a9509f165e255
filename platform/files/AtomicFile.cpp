#include "platform/files/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <system_error>

namespace platform {
namespace {

constexpr std::string_view kTempPrefix = ".kst";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr size_t kTempHexDigits = 24;

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
// O_EXCL open below catches the rest. Of one short length whatever the
// target's name: a target whose name fills a folder entry can be written.
std::string TempFileName() {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 rng{std::random_device{}()};
  char name[40];
  std::snprintf(name, sizeof name, "%s%08x%08x%08x%s", kTempPrefix.data(),
                static_cast<unsigned>(::getpid()), counter.fetch_add(1),
                static_cast<unsigned>(rng()), kTempSuffix.data());
  return name;
}

// The file a write to path replaces: path itself, or for a symbolic link the
// file at the end of its chain (which need not exist yet). false with the
// error number when the chain cannot be followed.
bool FollowLinks(const std::filesystem::path& path, std::filesystem::path* out, int* err) {
  std::filesystem::path p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *out = p;
      return true;
    }
    std::error_code ec;
    const std::filesystem::path link = std::filesystem::read_symlink(p, ec);
    if (ec) {
      *err = ec.value();
      return false;
    }
    p = link.is_absolute() ? link : p.parent_path() / link;
  }
  *err = ELOOP;
  return false;
}

std::mutex g_faultMutex;
AtomicWriteFault g_fault;

int InjectedFault(const std::filesystem::path& target) {
  AtomicWriteFault fault;
  {
    std::lock_guard lock(g_faultMutex);
    fault = g_fault;
  }
  return fault ? fault(target) : 0;
}

bool IsHex(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool IsDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

PendingFile::~PendingFile() { Discard(); }

PendingFile::PendingFile(PendingFile&& other) noexcept
    : target_(std::move(other.target_)),
      resolved_(std::move(other.resolved_)),
      temp_(std::move(other.temp_)) {
  other.temp_.clear();
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
  if (this != &other) {
    Discard();
    target_ = std::move(other.target_);
    resolved_ = std::move(other.resolved_);
    temp_ = std::move(other.temp_);
    other.temp_.clear();
  }
  return *this;
}

void PendingFile::Discard() {
  if (temp_.empty()) return;
  ::unlink(temp_.c_str());
  temp_.clear();
}

bool PendingFile::Prepare(const std::filesystem::path& target, std::string_view bytes,
                          std::string* error) {
  Discard();
  if (target.empty() || !target.has_filename()) {
    if (error) *error = "cannot write '" + target.string() + "': not a file name";
    return false;
  }
  std::filesystem::path resolved;
  int err = 0;
  if (!FollowLinks(target, &resolved, &err)) {
    SetError(error, "cannot follow the link", target, err);
    return false;
  }
  const std::filesystem::path folder =
      resolved.parent_path().empty() ? std::filesystem::path(".") : resolved.parent_path();

  // Keep the permission bits of the file being replaced; a new file gets the
  // usual 0666 less the umask, as a plain create would. Anything but a
  // regular file in the way is not ours to replace.
  mode_t mode = 0666;
  bool keepMode = false;
  struct stat st {};
  const bool exists = ::stat(resolved.c_str(), &st) == 0;
  if (!exists && resolved != target) {
    // A link to nothing (a share that is not mounted, say): creating its
    // target would put the file where nobody looks for it.
    if (error) {
      *error = "cannot write '" + target.string() + "': it links to '" + resolved.string() +
               "', which does not exist";
    }
    return false;
  }
  if (exists) {
    if (S_ISDIR(st.st_mode)) {
      SetError(error, "cannot replace", target, EISDIR);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      if (error) *error = "cannot replace '" + target.string() + "': not a regular file";
      return false;
    }
    mode = st.st_mode & 07777;
    keepMode = true;
  }

  std::filesystem::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder / TempFileName();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST && errno != EINTR) break;
  }
  if (fd < 0) {
    SetError(error, "cannot create a temporary file in", folder, errno);
    return false;
  }
  Fd file(fd);

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
  target_ = target;
  resolved_ = std::move(resolved);
  temp_ = std::move(temp);
  return true;
}

bool PendingFile::Commit(std::string* error) {
  if (temp_.empty()) {
    if (error) *error = "cannot replace '" + target_.string() + "': nothing prepared";
    return false;
  }
  int err = InjectedFault(resolved_);
  if (err == 0 && ::rename(temp_.c_str(), resolved_.c_str()) != 0) err = errno;
  if (err != 0) {
    SetError(error, "cannot replace", target_, err);
    Discard();
    return false;
  }
  temp_.clear();
  // The rename is only durable once the folder entry is on disk.
  const std::filesystem::path folder =
      resolved_.parent_path().empty() ? std::filesystem::path(".") : resolved_.parent_path();
  if (!SyncFolder(folder, error)) {
    if (error) *error = "file replaced but " + *error;
    return false;
  }
  return true;
}

bool WriteFileAtomic(const std::filesystem::path& target, std::string_view bytes,
                     std::string* error) {
  PendingFile file;
  return file.Prepare(target, bytes, error) && file.Commit(error);
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

bool IsAtomicTempName(std::string_view name) {
  if (name.size() == kTempPrefix.size() + kTempHexDigits + kTempSuffix.size() &&
      name.starts_with(kTempPrefix) && name.ends_with(kTempSuffix) &&
      IsHex(name.substr(kTempPrefix.size(), kTempHexDigits))) {
    return true;
  }
  // Earlier versions: "." + target name + ".tmp-" + decimal numbers joined
  // by "-" (process, counter, random).
  const size_t mark = name.rfind(".tmp-");
  if (name.empty() || name.front() != '.' || mark == std::string_view::npos || mark < 2) {
    return false;
  }
  std::string_view rest = name.substr(mark + 5);
  for (;;) {
    const size_t dash = rest.find('-');
    if (!IsDigits(rest.substr(0, dash))) return false;
    if (dash == std::string_view::npos) return true;
    rest.remove_prefix(dash + 1);
  }
}

size_t RemoveLeftoverTempFiles(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  size_t removed = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator
           it(folder, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    std::error_code entryEc;
    if (!it->is_regular_file(entryEc) || it->is_symlink(entryEc)) continue;
    if (!IsAtomicTempName(it->path().filename().string())) continue;
    if (fs::remove(it->path(), entryEc)) ++removed;
  }
  return removed;
}

void SetAtomicWriteFaultForTesting(AtomicWriteFault fault) {
  std::lock_guard lock(g_faultMutex);
  g_fault = std::move(fault);
}

bool ReadFileBytes(const std::filesystem::path& path, std::string* out, size_t maxBytes,
                   std::string* error, bool* missing) {
  out->clear();
  if (missing) *missing = false;
  // Opened without blocking and looked at before anything is read: opening
  // a FIFO for reading would otherwise wait for a writer that never comes.
  Fd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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
  const int flags = ::fcntl(file.get(), F_GETFL);
  if (flags >= 0) ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK);
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
