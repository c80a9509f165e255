#pragma once
// The touch demo's recording: "PointFile.csv" gets a header line and, for
// every report while recording, one line per slot with a contact:
//   slot,id,x,y,size       (chip coordinates)
// The lines of a report are collected and written out completely before
// Record returns, so whatever happens to the program afterwards, every line
// that was recorded is in the file; a write that fails or stops short (a
// full disk) is cut back to the last whole line.
//
// Thread-safe: the UI thread opens and closes, the render thread records.

#include <sys/types.h>

#include <filesystem>
#include <mutex>
#include <string>

#include "views/ContactTracker.h"

class PointRecorder {
 public:
  static constexpr const char* kHeader = "slot,id,x,y,size\n";

  PointRecorder() = default;
  ~PointRecorder();
  PointRecorder(const PointRecorder&) = delete;
  PointRecorder& operator=(const PointRecorder&) = delete;

  // Creates or empties the file and writes the header. A recording that was
  // open is closed first. false with *error when the file cannot be made.
  bool Open(const std::filesystem::path& path, std::string* error = nullptr);
  bool IsOpen() const;

  // Writes the lines of one report. Nothing to do (true) when not open. On a
  // failed write the recording is closed and false returned with *error.
  bool Record(const SlotTable& chipPoints, std::string* error = nullptr);

  // false with *error when closing showed a lost write.
  bool Close(std::string* error = nullptr);

 private:
  bool WriteAll(const std::string& bytes, std::string* error);
  bool CloseLocked(std::string* error);

  mutable std::mutex mutex_;
  int fd_ = -1;
  // Bytes of whole lines in the file: where a failed write is cut back to.
  off_t whole_ = 0;
  std::filesystem::path path_;
};
