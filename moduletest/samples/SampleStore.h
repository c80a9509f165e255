#pragma once
// The one keeper of the sample files (".sd"): raw frames of good panels, back
// to back with no header, each the chip's byte image of one raw frame. The
// store holds the list being browsed, the one open file, the number of the
// next recording and the lock every user of the open file takes: frames are
// appended on the device I/O thread while the user-interface thread browses,
// stops the recording or deletes a file.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

class ILogSink;

class SampleStore {
 public:
  // The store of "..\test\test_sample" below the base directory, made on
  // first use.
  static SampleStore& GetInstance();
  // g_csSampleStore: recursive, so a holder may call the store's own locked
  // operations. Always initialised (a function-local static).
  static std::recursive_mutex& Lock();

  // A store over `folder`: creates it when missing and scans its "*.sd" for
  // the next number.
  explicit SampleStore(std::filesystem::path folder);
  ~SampleStore();
  SampleStore(const SampleStore&) = delete;
  SampleStore& operator=(const SampleStore&) = delete;

  // The number in a sample file name: the leading decimal digits of the text
  // after the first "_" (the whole name when there is none); 0 without digits.
  static int64_t SampleNumberOf(const std::string& fileName);

  // Where warnings about sample files go (may be null).
  void SetLog(ILogSink* log);

  const std::filesystem::path& Folder() const { return folder_; }
  int32_t NextNumber() const;

  // --- recording ---
  // Creates "sample_<next>.sd" (never replacing a file: a taken name moves to
  // the next number), closes any open file and starts appending. false with
  // the path tried in *path and the reason in *error.
  bool BeginRecording(std::filesystem::path* path, std::string* error);
  // Appends one frame while recording; frames arriving in any other state
  // (late frames after a stop, a browsed file) are dropped. Returns whether
  // the frame was written. A write that fails (a full disk) is cut back to
  // the last whole frame and ends the storing with one line: a later frame
  // written after a cut one would shift every frame after it.
  bool AppendFrame(const uint8_t* bytes, size_t length);
  bool IsRecording() const;
  // A recording whose file stopped taking frames after a failed write.
  bool RecordingBroken() const;
  // Flushes and closes the recording (and flushes the folder that holds its
  // new name); the list becomes just that file, with no entry open. false
  // with one line when the flush failed (the reason also in *error).
  bool StopRecording(std::string* error);
  std::filesystem::path RecordingPath() const;

  // --- browsing ---
  // Replaces the list (an import); closes the file; no entry open.
  void SetNames(std::vector<std::filesystem::path> names);
  std::vector<std::filesystem::path> Names() const;
  int32_t CurrentIndex() const;
  // The current entry, or the recording path when no entry is open.
  std::filesystem::path CurrentName() const;
  bool IsLast() const;
  // Moves to the next entry and opens it for reading; false (nothing changed)
  // at the last entry.
  bool OpenNext();
  // Moves to the previous entry; false at the first.
  bool OpenPrevious();
  // Opens entry `index` (0 based) for reading; false when out of the list.
  // A file that cannot be opened leaves no file open.
  bool OpenAt(int32_t index);
  // Reads the next `length` bytes: true with the frame counter one up; false
  // at the end, on a partial frame, or with no file open. The first read of a
  // file whose length is not a whole number of frames logs one warning.
  bool ReadFrame(uint8_t* buffer, int32_t length);
  // Reads the frame before the last one read (the position moves back two
  // frames, then one forward); false without moving when there is none.
  bool StepBack(uint8_t* buffer);
  void CloseFile();
  bool HasOpenFile() const;

  // Deletes the current entry's file and drops it from the list. The index
  // moves back one (two when it was the last entry) but never below -1.
  // Returns whether entries are left to show; false also when nothing was
  // open. *error holds the reason a file could not be deleted.
  bool DeleteCurrent(std::string* error);

  // The open file's position and length in bytes (0 with none), the length
  // of the last frame read, and the frames written or read since it opened.
  int64_t Position() const;
  int64_t FileLength() const;
  int32_t FrameLength() const;
  int32_t FrameCounter() const;
  void ResetFrameCounter();

 private:
  bool OpenForReading(const std::filesystem::path& path);
  void WarnIfPartial(int32_t frameLength);
  void LogWriteFailure(const std::string& error);

  std::filesystem::path folder_;
  ILogSink* log_ = nullptr;
  std::vector<std::filesystem::path> names_;
  int32_t nextNumber_ = 0;
  int32_t index_ = -1;
  int fd_ = -1;
  bool recording_ = false;
  bool recordingBroken_ = false;
  int64_t recordedBytes_ = 0;  // whole frames in the recording's file
  bool checkedLength_ = false;
  int32_t frameLength_ = 0;
  int32_t frameCounter_ = 0;
  std::filesystem::path recordingPath_;
  std::filesystem::path openPath_;
};
