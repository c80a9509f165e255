// Settings files come from users and older tools: any bytes must read without
// a crash or a hang, and a write must leave a file that reads back the value.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/IniFile.h"

namespace {

// One folder for the whole run, removed when the process ends normally.
class Scratch {
 public:
  Scratch() {
    // A memory file system keeps the write's flushes cheap.
    std::error_code ec;
    const auto base = std::filesystem::is_directory("/dev/shm", ec)
                          ? std::filesystem::path("/dev/shm")
                          : std::filesystem::temp_directory_path();
    std::string tmpl = (base / "kestrana-fuzz-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    dir_ = tmpl;
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path File() const { return dir_ / "fuzz.ini"; }

 private:
  std::filesystem::path dir_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  const std::filesystem::path file = scratch.File();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  using platform::IniGetInt;
  using platform::IniGetString;
  IniGetString("General", "Name", "d", file);
  IniGetString("a", "b", "", file, 3);
  IniGetInt("Numbers", "Value", 7, file);

  // Key and section names taken from the input itself reach the odd lines too.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string section = text.substr(0, std::min<size_t>(size, 8));
  IniGetString(section, "k", "", file);

  std::string error;
  if (platform::IniWriteString("Fuzz", "Key", "value", file, &error)) {
    if (IniGetString("Fuzz", "Key", "", file) != "value") std::abort();
  }
  return 0;
}
