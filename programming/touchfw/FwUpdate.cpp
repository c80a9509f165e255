#include "programming/touchfw/FwUpdate.h"

#include <cstdio>
#include <fstream>
#include <new>
#include <system_error>

#include "device/ChipGlobals.h"
#include "device/chip/ChipIdentify.h"
#include "device/Latin1Text.h"

namespace {

constexpr const char* kOpenFailedText = "打开失败";
constexpr const char* kAllocFailedText = "[FW update]malloc buf that fw needed is failed";
constexpr const char* kReadErrorText = "[FW update]Read File err";
constexpr const char* kNoImageText = "[FW update]未加载有效的固件文件";

// FwFileHeader of a DE9vur file: name characters at 4..8, version at 12..13
// (high byte first).
constexpr size_t kHeaderNameOffset = 4;
constexpr size_t kHeaderNameBytes = 5;
constexpr size_t kHeaderVersionOffset = 12;
constexpr size_t kHeaderBytes = 14;

constexpr uint32_t kIdReadTimeoutMs = 200;
constexpr int kIdTries = 5;

}  // namespace

std::string FwHeaderName(std::span<const uint8_t> nameBytes) {
  return MapChipName("RO" + Latin1ToUtf8(nameBytes.data(), nameBytes.size()));
}

bool IsPrintableFwName(std::span<const uint8_t> nameBytes) {
  size_t n = 0;
  while (n < nameBytes.size() && nameBytes[n] != 0) {
    if (nameBytes[n] < 0x21 || nameBytes[n] > 0x7E) return false;
    ++n;
  }
  return n > 0;
}

CFwUpdate::CFwUpdate(FwFamily family, IRegisterAccess& access, ILogSink* log)
    : io_(access), family_(family), log_(log) {}

void CFwUpdate::Log(const std::string& text, LogLevel level) const {
  if (log_ != nullptr) log_->AddLog(text, level);
}

bool CFwUpdate::RunStep(const char* start, const char* failure,
                        const std::function<bool()>& step) const {
  Log(start, LOG_BUSY);
  if (step()) return true;
  Log(failure, LOG_ERROR);
  return false;
}

bool CFwUpdate::LoadFirmwareFile(const std::filesystem::path& path) {
  // Whatever happens below, a failed load leaves nothing that could be burnt.
  image_.clear();
  image_.shrink_to_fit();
  path_.clear();
  std::error_code ec;
  // A directory opens on Linux; only its read would fail.
  std::ifstream in;
  if (std::filesystem::is_regular_file(path, ec)) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    Log(path.string() + kOpenFailedText, LOG_ERROR);
    return false;
  }
  const uintmax_t size = std::filesystem::file_size(path, ec);
  // An empty, unreadable or oversized file, or one that changed size while
  // being read, is no image: a short read would burn what was never read.
  if (ec || size == 0 || size > kMaxFirmwareFileBytes) {
    Log(kReadErrorText, LOG_ERROR);
    return false;
  }
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    Log(kAllocFailedText, LOG_ERROR);
    return false;
  }
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<uintmax_t>(in.gcount()) != size ||
      in.peek() != std::ifstream::traits_type::eof()) {
    Log(kReadErrorText, LOG_ERROR);
    return false;
  }
  image_ = std::move(bytes);
  path_ = path;
  const auto written = std::filesystem::last_write_time(path, ec);
  if (!ec) lastWrite_ = written;
  return true;
}

bool CFwUpdate::CheckImage(bool log) {
  if (image_.empty()) {
    if (log) Log(kNoImageText, LOG_ERROR);
    return false;
  }
  std::string why;
  if (!ValidateLayout(why)) {
    if (log) Log(why, LOG_ERROR);
    return false;
  }
  return true;
}

std::string CFwUpdate::GetFileChipVersion() const {
  if (image_.size() < kHeaderBytes) return {};
  char version[8];
  std::snprintf(
      version, sizeof version, "%4X",
      static_cast<unsigned>(image_[kHeaderVersionOffset] << 8 | image_[kHeaderVersionOffset + 1]));
  return FwHeaderName(std::span(image_).subspan(kHeaderNameOffset, kHeaderNameBytes)) + "_" +
         version;
}

bool CFwUpdate::IsChipMatch() {
  if (!CheckImage(false)) return false;
  if (IdentifyChip() == 0) return false;
  return GetFileChipVersion() == GetChipNameVersion();
}

bool CFwUpdate::MatchChipIdBlock(ChipIdFamily family) {
  if (!CheckImage(false)) return false;
  IdentifyChipForUpdate(
      family,
      [this](uint16_t address, uint8_t* out, uint32_t length) {
        return io_.ReadRegs(address, std::span(out, length), kIdReadTimeoutMs);
      },
      kIdTries);
  // Compared also when no listed chip answered: with the names of the last
  // answer, or those known before when none came.
  return GetFileChipVersion() == GetChipNameVersion();
}
