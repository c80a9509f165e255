#include "programming/touchfw/ZE73da/C73xxUpdate.h"

#include <algorithm>
#include <cstdio>

#include "programming/touchfw/ZE73da/Ze73Layout.h"

namespace {

constexpr uint16_t kHold = 0x4180;  // 1 request, 0x0C held, 0 start the ISP, 1 restart
constexpr uint16_t kWatchdog = 0x40B0;
constexpr uint16_t kClock0 = 0x50C0;
constexpr uint16_t kClock1 = 0x50C4;
constexpr uint16_t kLoaderStatus = 0x4195;  // 0xFF ready / chunk taken, 0xAA chunk arrived
constexpr uint16_t kHostFlag = 0x4196;      // 0x55 chunk sent, 0xAA acknowledged
constexpr uint16_t kFlashDone = 0x4197;     // 0xDD chunk in flash
constexpr uint16_t kIspSetup = 0x434C;
constexpr uint16_t kStartWord1 = 0xF7CC;
constexpr uint16_t kStartWord2 = 0xF7EC;
constexpr uint16_t kChunkHeader = 0xFFF0;
constexpr uint16_t kSram = 0x8000;
constexpr uint16_t kCommand = 0x8040;
constexpr uint16_t kCommandParam = 0x8041;

constexpr uint8_t kHeld = 0x0C;
constexpr int kHoldAttempts = 29;
constexpr uint8_t kStartBytes1[] = {0xD4, 0xC2, 0x61, 0x3A};  // 0x3A61C2D4
constexpr uint8_t kStartBytes2[] = {0x5F, 0xB0, 0x29, 0x7E};  // 0x7E29B05F
constexpr uint32_t kIspReadTimeoutMs = 100;
constexpr uint32_t kIspStartPauseMs = 50;
constexpr uint32_t kIspReadyReads = 500;
constexpr uint32_t kChunkPollReads = 50;
constexpr uint32_t kRestartPauseMs = 800;
constexpr uint16_t kRestartParam = 0x0056;
constexpr uint8_t kRestartCommand = 0xAA;

}  // namespace

C73xxUpdate::C73xxUpdate(IRegisterAccess& access, ILogSink* log)
    : CFwUpdate(FwFamily::ZE73da, access, log) {}

bool C73xxUpdate::ValidateLayout(std::string& why) { return ze73::CheckLayout(Image(), why); }

std::string C73xxUpdate::GetFileChipVersion() const {
  const auto image = Image();
  if (image.size() <= ze73::kVersionOffset + 1) return {};
  char version[8];
  std::snprintf(version, sizeof version, "%02X.%02X", image[ze73::kVersionOffset],
                image[ze73::kVersionOffset + 1]);
  return FwHeaderName(image.subspan(ze73::kNameOffset, ze73::kNameBytes)) + "_" + version;
}

bool C73xxUpdate::IsChipMatch() {
  // The versions are always compared: a listed chip with other firmware
  // must not pass as up to date.
  return MatchChipIdBlock(ChipIdFamily::DE7);
}

bool C73xxUpdate::HoldChip() {
  if (!io_.StartStream(1) || !io_.Write8(kHold, 1)) return false;
  bool held = false;
  for (int round = 0; round < 2 && !held; ++round) {
    // A chip that did not hold is reset once and asked again.
    if (round == 1) io_.ResetChip();
    for (int attempt = 0; attempt < kHoldAttempts && !held; ++attempt) {
      if (!io_.Write8(kHold, kHeld)) return false;
      held = io_.Read8(kHold) == kHeld;
    }
  }
  return held && io_.Write8(kWatchdog, 0) && io_.Write8(kClock0, 6) && io_.Write8(kClock0, 6) &&
         io_.Write8(kClock1, 2);
}

bool C73xxUpdate::LoadIsp() {
  const auto isp = Image().subspan(ze73::kIsp.offset, ze73::kIsp.length);
  if (!io_.WriteRegs(kSram, isp) || !io_.ReadRegs(kSram, m_IspReadBack, kIspReadTimeoutMs)) {
    return false;
  }
  // Starting a loader that did not arrive intact would let it write flash.
  if (!std::equal(isp.begin(), isp.end(), m_IspReadBack.begin())) return false;
  if (!(io_.Write8(kLoaderStatus, 0) && io_.Write8(kHostFlag, 0) && io_.Write8(kIspSetup, 0) &&
        io_.WriteRegs(kStartWord1, kStartBytes1) && io_.WriteRegs(kStartWord2, kStartBytes2) &&
        io_.Write8(kClock0, 0) && io_.Write8(kClock1, 0) && io_.Write8(kHold, 0))) {
    return false;
  }
  io_.Clock().SleepMs(kIspStartPauseMs);
  return io_.Poll8(kLoaderStatus, 0xFF, kIspReadyReads);
}

bool C73xxUpdate::DownloadBlocks(uint32_t source, uint32_t flashAddress, int32_t length) {
  const auto image = Image();
  auto remaining = static_cast<uint32_t>(std::max<int32_t>(length, 0));
  while (remaining > 0) {
    const uint32_t chunk = std::min(ze73::kChunkBytes, remaining);
    // The block for 0x28000 sits apart in the file; the run's own data go on
    // at the next flash address.
    const bool substituted = flashAddress == ze73::kBlockFlash;
    const uint32_t from = substituted ? ze73::kBlock28000.offset : source;
    const auto data = image.subspan(from, chunk);
    const auto header = ze73::ChunkHeader(data, flashAddress);
    if (!(io_.WriteRegs(kChunkHeader, header) && io_.Write8(kHostFlag, 0x55) &&
          io_.WriteRegs(kSram, data) && io_.Poll8(kLoaderStatus, 0xAA, kChunkPollReads) &&
          io_.Write8(kHostFlag, 0xAA) && io_.Poll8(kLoaderStatus, 0xFF, kChunkPollReads) &&
          io_.Poll8(kFlashDone, 0xDD, kChunkPollReads))) {
      return false;
    }
    if (!substituted) {
      source += chunk;
      remaining -= chunk;
    }
    flashAddress += chunk;
  }
  return true;
}

bool C73xxUpdate::Restart() {
  if (!io_.Write8(kHold, 1)) return false;
  io_.Clock().SleepMs(kRestartPauseMs);
  // The chip expects this read; its value means nothing. Writes to a bridge
  // that went silent still report success, so the read is the only sign
  // that the chip is still there to take the restart.
  uint8_t ignored = 0;
  if (!io_.TryRead8(kSram, ignored)) return false;
  return io_.Write16(kCommandParam, kRestartParam) && io_.Write8(kCommand, kRestartCommand);
}

bool C73xxUpdate::Update() {
  if (!CheckImage(true)) return false;
  // A chip left in its loader by an interrupted burn may refuse the hold,
  // yet take the loader again: go on, and let the loader's check decide.
  if (!HoldChip()) Log("芯片暂停失败，继续下载", LOG_INFO);
  const bool burnt =
      RunStep("下载ISP", "ISP下载失败", [this] { return LoadIsp(); }) &&
      RunStep("下载Bootcode", "Bootcode下载失败",
              [this] {
                return DownloadBlocks(ze73::kBootcode.offset, ze73::kBootcodeFlash,
                                      ze73::kBootcode.length);
              }) &&
      RunStep("下载 Gm11 code", "Gm11 code download failed",
              [this] {
                return DownloadBlocks(ze73::kGm11.offset, ze73::kGm11Flash, ze73::kGm11.length);
              }) &&
      RunStep("下载 G1 code", "G1 code 下载失败", [this] {
        return DownloadBlocks(ze73::kG1.offset, ze73::kG1Flash, ze73::kG1.length);
      });
  if (!burnt) return false;
  if (!Restart()) {
    Log("复位失败", LOG_ERROR);
    return false;
  }
  return true;
}
