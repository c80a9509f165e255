// Settings files come from users and older tools: any bytes must read without
// a crash or a hang, and a write must leave a file that reads back the value.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/ScratchFolder.h"
#include "platform/files/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFolder scratch;
  const std::filesystem::path file = scratch.Path() / "fuzz.ini";
  fuzz::WriteWhole(file, data, size);
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
