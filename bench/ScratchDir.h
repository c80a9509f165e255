#pragma once
// A scratch folder of one benchmark run's own (mkdtemp), removed with
// everything in it when the object goes: two runs at the same time never
// remove or overwrite each other's files.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace bench {

class ScratchDir {
 public:
  ScratchDir() {
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    if (ec) return;
    std::string name = (temp / "kestrana-bench-XXXXXX").string();
    if (::mkdtemp(name.data()) != nullptr) path_ = name;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  bool Made() const { return !path_.empty(); }
  // Empty when the folder could not be made.
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace bench
