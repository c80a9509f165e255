#pragma once
// Whole-file reads and writes. Every file the program writes goes through
// WriteFileAtomic (or a PendingFile) so that a crash or a full disk never
// leaves a half-written file behind; parsers of outside files read through
// ReadFileBytes so that a huge or odd file is refused before it is held in
// memory, and a path that is no regular file (a FIFO) never blocks a reader.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// One replacement of a file, in two steps: Prepare writes the new bytes to a
// temporary file beside the target and flushes it to disk; Commit renames it
// over the target and flushes the folder. Until Commit the target is
// untouched; a PendingFile destroyed or discarded uncommitted removes its
// temporary file. Lets a caller put a file in place only once other steps
// have succeeded.
//
// A target that is a symbolic link is written through: the temporary file
// goes beside the link's final target and replaces that, so the link stays
// and whatever else uses the target sees the new bytes; a link to nothing is
// refused. An existing target keeps its permission bits. A target that
// exists but is not a regular file (a folder, a FIFO, a device) is never
// replaced.
class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile();
  PendingFile(PendingFile&& other) noexcept;
  PendingFile& operator=(PendingFile&& other) noexcept;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // false with a message (including the system's error text) in *error;
  // nothing is left behind then. A PendingFile already prepared is
  // discarded first.
  bool Prepare(const std::filesystem::path& target, std::string_view bytes,
               std::string* error = nullptr);
  // Puts the prepared file in place. false with a message when the rename
  // failed (the target is then as it was and the temporary file gone) or
  // when the folder could not be flushed afterwards (the file is in place).
  bool Commit(std::string* error = nullptr);
  // Removes the temporary file of a prepared, uncommitted replacement.
  void Discard();
  bool IsPrepared() const { return !temp_.empty(); }

 private:
  std::filesystem::path target_;    // as the caller named it, for messages
  std::filesystem::path resolved_;  // what the rename replaces
  std::filesystem::path temp_;
};

// Replaces target with bytes: Prepare and Commit in one. On failure target
// is left as it was and false is returned with a message in *error.
bool WriteFileAtomic(const std::filesystem::path& target, std::string_view bytes,
                     std::string* error = nullptr);

// Flushes a folder's entries to disk, so that a file created, renamed or
// removed in it stays so after a power failure. false with the reason in
// *error.
bool SyncFolder(const std::filesystem::path& folder, std::string* error = nullptr);

// Whether a file name is one the atomic writer gives its temporary files:
// ".kst" + 24 hexadecimal digits + ".tmp" (short and of one length whatever
// the target's name, so any name that fits a folder can be written), or the
// ".<target>.tmp-<pid>-<n>-<r>" of earlier versions.
bool IsAtomicTempName(std::string_view fileName);

// Removes the temporary files an interrupted atomic write left in folder and
// its subfolders (links to folders are not followed); nothing else is
// touched. Returns how many were removed.
size_t RemoveLeftoverTempFiles(const std::filesystem::path& folder);

// Reads the whole regular file at path into *out. Fails, with *out cleared,
// when the file is missing, is not a regular file, cannot be read, or holds
// more than maxBytes bytes. A path that is not a regular file is refused
// without waiting on it. *missing (optional) tells a caller that the failure
// was only "no such file", which most callers treat as "empty".
bool ReadFileBytes(const std::filesystem::path& path, std::string* out, size_t maxBytes,
                   std::string* error = nullptr, bool* missing = nullptr);

// Test seam: called by every Commit just before its rename, with the path
// about to be replaced. A non-zero errno value makes that write fail with it
// (as a full disk or a failing rename would); a test may also end a forked
// writer here to leave what a killed program leaves. An empty function (the
// default) lets every write through.
using AtomicWriteFault = std::function<int(const std::filesystem::path& target)>;
void SetAtomicWriteFaultForTesting(AtomicWriteFault fault);

}  // namespace platform
