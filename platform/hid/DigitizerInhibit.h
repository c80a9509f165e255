#pragma once
// Keeps the bridge's own touch digitizer from moving the desktop pointer while
// the tool talks to the panel: the input devices of the first digitizer
// interface get inhibited (kernel 5.11 and later). Best effort: without the
// attribute or the permission nothing happens, and nothing is thrown.

#include <filesystem>

namespace platform {

// Writes "1" to the "inhibited" attribute of every input device of the first
// (lowest hidraw minor) interface 0 of a digitizer vendor. Returns how many
// input devices were inhibited; 0 when there is no such interface or every
// write failed.
int InhibitDigitizerInputs(const std::filesystem::path& sysfsRoot = "/");

}  // namespace platform
