#pragma once
// A folder of the harness's own for the files a target writes before its
// reader reads them: made once per process, on a memory file system where
// there is one (the writes' flushes stay cheap), and removed when the
// process ends normally.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace fuzz {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    const auto base = std::filesystem::is_directory("/dev/shm", ec)
                          ? std::filesystem::path("/dev/shm")
                          : std::filesystem::temp_directory_path();
    std::string tmpl = (base / "kestrana-fuzz-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    dir_ = tmpl;
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

// Replaces `file` with exactly `size` bytes; aborts when that fails, as the
// reader would otherwise be fed something else than the input.
inline void WriteWhole(const std::filesystem::path& file, const void* data, size_t size) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) std::abort();
}

}  // namespace fuzz
