#include "programming/touchfw/DE9vur/C9xxxUpdate.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Registers of the burn.
constexpr uint16_t kHold = 0x4180;  // 0x0C: SS51 and DSP held; 0x04: DSP released
constexpr uint16_t kWatchdog = 0x40B0;
constexpr uint16_t kWatchdogPair = 0x4010;
constexpr uint16_t kCache = 0x404B;
constexpr uint16_t kBurn = 0x5094;  // command; the chip sets 0 when done; 0x99 finished
constexpr uint16_t kBootSource = 0x4190;
constexpr uint16_t kReboot = 0x4184;
constexpr uint16_t kBank = 0x4048;
constexpr uint16_t kCodeAccess = 0x4049;
constexpr uint16_t kScramble = 0x4218;
constexpr uint16_t kWindow9000 = 0x9000;
constexpr uint16_t kWindowC000 = 0xC000;
constexpr uint16_t kWindowE000 = 0xE000;

constexpr uint8_t kHoldBoth = 0x0C;
constexpr uint8_t kReleaseDsp = 0x04;
constexpr uint8_t kBank3 = 3;
constexpr uint8_t kFinishedMark = 0x99;
constexpr int kHoldWrites = 30;
// Reads of 0x5094 a burn command is given (at least 4 s, see Poll8).
constexpr uint32_t kBurnPollReads = 1000;
constexpr uint32_t kRecallTimeoutMs = 100;
constexpr uint32_t kSectionPauseMs = 10;
constexpr uint32_t kCommandPauseMs = 1;
constexpr uint32_t kResetPauseMs = 200;

constexpr uint8_t kCmdDsp = 5;
constexpr uint8_t kCmdBootloader = 6;
constexpr uint8_t kCmdBootIsp = 7;
constexpr uint8_t kCodeSs51[4] = {0x01, 0x02, 0x13, 0x14};
constexpr uint16_t kWindowSs51[4] = {kWindowC000, kWindowE000, kWindowC000, kWindowE000};
constexpr uint8_t kCodeLink1 = 0x38;
constexpr uint8_t kCodeLink2 = 0x39;
constexpr size_t kBootloaderBytes = 0x800;

}  // namespace

C9xxxUpdate::C9xxxUpdate(IRegisterAccess& access, ILogSink* log)
    : CFwUpdate(FwFamily::DE9vur, access, log) {}

bool C9xxxUpdate::ValidateLayout(std::string& why) {
  return de9::CheckLayout(Image(), why).has_value();
}

de9::Layout C9xxxUpdate::Layout() const { return de9::LayoutFor(Image().size()); }

std::span<const uint8_t> C9xxxUpdate::SectionData(const de9::Section& section) const {
  const auto image = Image();
  // A section the image does not hold is no data: the step using it fails.
  if (section.offset > image.size() || section.length > image.size() - section.offset) return {};
  return image.subspan(section.offset, section.length);
}

bool C9xxxUpdate::Sleep(uint32_t ms) {
  io_.Clock().SleepMs(ms);
  return true;
}

bool C9xxxUpdate::IsChipMatch() { return MatchChipIdBlock(ChipIdFamily::RU9); }

bool C9xxxUpdate::HoldChip() {
  if (!io_.ResetChip()) return false;
  // The hold takes only once the chip is ready for it: written again and
  // again without looking, then checked once.
  for (int i = 0; i < kHoldWrites; ++i) {
    io_.Write8(kHold, kHoldBoth);
    io_.Write8(kWatchdog, 0);
    io_.Write8(kWatchdogPair, 0);
  }
  return io_.Read8(kHold) == kHoldBoth && io_.Read8(kWatchdog) == 0 && io_.Write8(kCache, 0) &&
         io_.Write8(kBurn, 0);
}

bool C9xxxUpdate::Update() {
  if (!CheckImage(true)) return false;
  Log("[VAzezu]烧录初始化", LOG_BUSY);
  if (!HoldChip()) {
    Log("[VAzezu]I2C通信失败", LOG_ERROR);
    return false;
  }
  const bool burnt =
      RunStep("[VAzezu]下载ISP", "[VAzezu]下载ISP失败", [this] { return DownloadIsp(); }) &&
      RunStep("[VAzezu]擦除Bootloader", "[VAzezu]擦除Bootloader失败",
              [this] { return EraseBootloader(); }) &&
      RunStep("[VAzezu]下载SS51固件", "[VAzezu]下载SS51固件失败", [this] { return BurnSs51(); }) &&
      RunStep("[VAzezu]下载DSP固件", "[VAzezu]下载DSP固件失败", [this] { return BurnDsp(); }) &&
      RunStep("[VAzezu]下载glink固件", "[VAzezu]下载glink固件", [this] { return BurnLink(); }) &&
      RunStep("[VAzezu]下载Bootlaoder固件", "[VAzezu]下载Bootlaoder固件失败",
              [this] { return BurnBootloader(); }) &&
      RunStep("[VAzezu]下载Bootisp固件", "[VAzezu]下载Bootisp固件失败",
              [this] { return BurnBootIsp(); });
  if (!burnt) return false;
  // Without the finished mark and the restart the chip does not run the new
  // firmware: that is no success.
  if (!FinishAndReset()) {
    Log("[VAzezu]烧录结束复位失败", LOG_ERROR);
    return false;
  }
  return true;
}

bool C9xxxUpdate::DownloadIsp() {
  const std::span<const uint8_t> loader = SectionData(Layout().dspIsp);
  return !loader.empty() && io_.Write8(kBootSource, 2) && io_.Write8(kReboot, 1) &&
         io_.Write8(kBank, 2) && io_.Write8(kCodeAccess, 1) && io_.WriteRegs(kWindowC000, loader) &&
         RecallCheck(loader, kWindowC000) && io_.Write8(kScramble, 0) && io_.Write8(kBank, kBank3);
}

bool C9xxxUpdate::EraseBootloader() {
  std::array<uint8_t, kBootloaderBytes> blank;
  blank.fill(0xFF);
  return io_.Write8(kHold, kHoldBoth) && io_.Write8(kScramble, 0) && io_.Write8(kBank, kBank3) &&
         io_.Write8(kHold, kReleaseDsp) && io_.WriteRegs(kWindow9000, blank) &&
         Sleep(kCommandPauseMs) && io_.Write8(kBurn, kCmdBootloader) &&
         io_.Poll8(kBurn, 0, kBurnPollReads);
}

bool C9xxxUpdate::BurnFwSection8k(std::span<const uint8_t> source, uint16_t window, uint8_t code) {
  const auto bank = static_cast<uint8_t>(code >> 4);
  const auto command = static_cast<uint8_t>(code & 0x0F);
  return !source.empty() && io_.Write8(kHold, kHoldBoth) && io_.Write8(kScramble, 0) &&
         io_.Write8(kBank, bank) && io_.Write8(kCodeAccess, 1) && io_.WriteRegs(window, source) &&
         io_.Write8(kHold, kReleaseDsp) && Sleep(kSectionPauseMs) && io_.Write8(kBurn, command) &&
         io_.Poll8(kBurn, 0, kBurnPollReads) && io_.Write8(kBank, bank) &&
         io_.Write8(kCodeAccess, 1) && RecallCheck(source, window) && io_.Write8(kCodeAccess, 0);
}

bool C9xxxUpdate::BurnFwSection(std::span<const uint8_t> source, uint8_t code) {
  const auto bank = static_cast<uint8_t>(code >> 4);
  const auto command = static_cast<uint8_t>(code & 0x0F);
  return !source.empty() && io_.Write8(kHold, kHoldBoth) && io_.Write8(kScramble, 0) &&
         io_.Write8(kHold, kReleaseDsp) && Sleep(kSectionPauseMs) && io_.Write8(kBank, bank) &&
         io_.WriteRegs(kWindow9000, source) && io_.Write8(kBurn, command) &&
         io_.Poll8(kBurn, 0, kBurnPollReads) && RecallCheck(source, kWindow9000);
}

bool C9xxxUpdate::BurnSection9000(const de9::Section& section, uint8_t command) {
  const std::span<const uint8_t> data = SectionData(section);
  // Every command is waited for, boot_isp's too: the finish mark and the
  // reset must not cut a burn short.
  return !data.empty() && io_.Write8(kHold, kHoldBoth) && io_.Write8(kScramble, 0) &&
         io_.Write8(kHold, kReleaseDsp) && io_.Write8(kBank, kBank3) &&
         io_.WriteRegs(kWindow9000, data) && Sleep(kCommandPauseMs) && io_.Write8(kBurn, command) &&
         io_.Poll8(kBurn, 0, kBurnPollReads) && RecallCheck(data, kWindow9000);
}

bool C9xxxUpdate::BurnSs51() {
  if (!io_.Write8(kBurn, 0)) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (!BurnFwSection8k(SectionData(de9::kSs51[i]), kWindowSs51[i], kCodeSs51[i])) return false;
  }
  return true;
}

bool C9xxxUpdate::BurnDsp() { return BurnSection9000(de9::kDsp, kCmdDsp); }

bool C9xxxUpdate::BurnBootloader() { return BurnSection9000(de9::kBootloader, kCmdBootloader); }

bool C9xxxUpdate::BurnBootIsp() {
  if (!Layout().hasBootIsp) return true;
  return BurnSection9000(de9::kBootIsp, kCmdBootIsp);
}

bool C9xxxUpdate::BurnLink() {
  if (!Layout().hasLink) return true;
  return io_.Write8(kBurn, 0) && BurnFwSection(SectionData(de9::kLink1), kCodeLink1) &&
         BurnFwSection(SectionData(de9::kLink2), kCodeLink2);
}

bool C9xxxUpdate::FinishAndReset() {
  return io_.Write8(kBurn, kFinishedMark) && io_.ResetChip() && Sleep(kResetPauseMs);
}

bool C9xxxUpdate::RecallCheck(std::span<const uint8_t> source, uint16_t address) {
  std::vector<uint8_t> copy(source.size());
  // A second read decides: a one-off glitch on the link does not fail a good
  // burn, and data unequal to the source fail either way.
  for (int read = 0; read < 2; ++read) {
    if (!io_.ReadRegs(address, copy, kRecallTimeoutMs)) return false;
    if (std::equal(copy.begin(), copy.end(), source.begin(), source.end())) return true;
  }
  return false;
}
