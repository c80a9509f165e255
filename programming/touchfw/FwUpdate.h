#pragma once
// A touch chip's firmware update: the engine of one chip family with the
// firmware file it burns.
//
// Callers (the update sequence, the module test's upgrade step) use only:
//   auto engine = CreateFwUpdateForConnectedChip(log);   // or CreateFwUpdate(family, ...)
//   engine->LoadFirmwareFile(path);   // false: the reason is logged, no image is kept
//   engine->IsChipMatch();            // optional: the chip runs the file's firmware
//   engine->Update();                 // the whole burn, true only when every check passed
// Update blocks for seconds: run it on a worker thread, never on the UI
// thread. An engine is used by one thread at a time and may be loaded again
// for the next run. Only LoadFirmwareFile and Update write log lines.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/chip/ChipIdentify.h"
#include "device/LogSink.h"
#include "programming/touchfw/RegisterAccess.h"

enum class FwFamily {
  ZE73da,  // DE7 family (RO7388 / RO7387Z): C73xxUpdate
  DE9vur,  // RO9110V, RO9110R, RO6108D, VE6572, ...: C9xxxUpdate
};

// Files larger than this are no firmware of either family.
inline constexpr uintmax_t kMaxFirmwareFileBytes = 16u << 20;

class CFwUpdate {
 public:
  virtual ~CFwUpdate() = default;
  CFwUpdate(const CFwUpdate&) = delete;
  CFwUpdate& operator=(const CFwUpdate&) = delete;

  FwFamily Family() const { return family_; }

  // Reads the whole file. On failure one LOG_ERROR line says why (path +
  // "打开失败", "[FW update]Read File err", ...) and the engine holds no image.
  bool LoadFirmwareFile(const std::filesystem::path& path);
  bool IsLoaded() const { return !image_.empty(); }
  const std::filesystem::path& FwPath() const { return path_; }
  // Last-write time of the loaded file (callers reload when it changed).
  std::filesystem::file_time_type LastWriteTime() const { return lastWrite_; }
  std::span<const uint8_t> Image() const { return image_; }

  // Whether the chip runs the firmware of the file: the chip's name and
  // version (which also become the chip globals) equal the file's. false
  // without touching the chip when no valid image is loaded.
  virtual bool IsChipMatch();
  // Halts the chip's processors for the burn.
  virtual bool HoldChip() = 0;
  // Burns the loaded file. A file whose layout the family does not allow is
  // refused with a LOG_ERROR line before any register access.
  virtual bool Update() = 0;
  // "<name>_<version>" of the file, in the chip globals' form; "" when the
  // image is too short to hold it.
  virtual std::string GetFileChipVersion() const;

 protected:
  CFwUpdate(FwFamily family, IRegisterAccess& access, ILogSink* log);

  // Whether the loaded image has a layout this engine can burn; otherwise
  // `why` is the LOG_ERROR line to give.
  virtual bool ValidateLayout(std::string& why) = 0;
  // The engines' chip check: the family's id block read through the access
  // (5 tries, 200 ms each) names the chip, then file and chip are compared.
  bool MatchChipIdBlock(ChipIdFamily family);
  // An image is loaded and its layout valid; logs why not when asked.
  bool CheckImage(bool log);
  void Log(const std::string& text, LogLevel level) const;
  // Runs a step's start line, the step, and its failure line.
  bool RunStep(const char* start, const char* failure, const std::function<bool()>& step) const;

  IRegisterAccess& io_;

 private:
  const FwFamily family_;
  ILogSink* const log_;
  std::vector<uint8_t> image_;
  std::filesystem::path path_;
  std::filesystem::file_time_type lastWrite_{};
};

// "RO" + the header's name characters (ending at the first NUL, each byte one
// character) under the chip's sales name (the chip identification's table).
std::string FwHeaderName(std::span<const uint8_t> nameBytes);
// The name characters are printable ASCII up to the first NUL, at least one.
bool IsPrintableFwName(std::span<const uint8_t> nameBytes);

// The engine of a family. access defaults to the register operations on the
// bridge device of the moment; log may be null (nothing is logged).
std::unique_ptr<CFwUpdate> CreateFwUpdate(FwFamily family, ILogSink* log,
                                          IRegisterAccess& access = QueueRegisterAccess());
// The family of the chip behind the bridge (DE7 family bridge: ZE73da).
FwFamily FwFamilyOfConnectedChip();
std::unique_ptr<CFwUpdate> CreateFwUpdateForConnectedChip(ILogSink* log);
