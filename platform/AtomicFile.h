#pragma once
// Whole-file reads and writes. Every file the program writes goes through
// WriteFileAtomic so that a crash or a full disk never leaves a half-written
// file behind; parsers of outside files read through ReadFileBytes so that a
// huge or odd file is refused before it is held in memory.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Replaces target with bytes: a uniquely named temporary file in the same
// folder is written completely, flushed to disk and renamed over target, then
// the folder is flushed. An existing target keeps its permission bits. On
// failure the temporary file is removed, target is left as it was and false
// is returned with a message (including the system's error text) in *error.
bool WriteFileAtomic(const std::filesystem::path& target, std::string_view bytes,
                     std::string* error = nullptr);

// Flushes a folder's entries to disk, so that a file created, renamed or
// removed in it stays so after a power failure. false with the reason in
// *error.
bool SyncFolder(const std::filesystem::path& folder, std::string* error = nullptr);

// Reads the whole regular file at path into *out. Fails, with *out cleared,
// when the file is missing, is not a regular file, cannot be read, or holds
// more than maxBytes bytes. *missing (optional) tells a caller that the
// failure was only "no such file", which most callers treat as "empty".
bool ReadFileBytes(const std::filesystem::path& path, std::string* out, size_t maxBytes,
                   std::string* error = nullptr, bool* missing = nullptr);

}  // namespace platform
