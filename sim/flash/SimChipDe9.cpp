#include "sim/flash/SimChipDe9.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "sim/flash/FirmwareImages.h"
#include "sim/flash/FlashPersonality.h"

namespace sim {

namespace {

constexpr uint16_t kHold = 0x4180;
constexpr uint16_t kWatchdog = 0x40B0;
constexpr uint16_t kBurn = 0x5094;
constexpr uint16_t kBootSource = 0x4190;
constexpr uint16_t kReboot = 0x4184;
constexpr uint16_t kBank = 0x4048;
constexpr uint16_t kCodeAccess = 0x4049;
constexpr uint16_t kHighBase = 0xC000;
constexpr uint16_t kLowBase = 0x9000;
constexpr size_t kHalf = 0x2000;
constexpr uint8_t kHoldBoth = 0x0C;
constexpr uint8_t kReleaseDsp = 0x04;
// The processor runs the code in its SRAM (a test program): no longer held.
constexpr uint8_t kRunSram = 0x08;
constexpr uint8_t kFinishedMark = 0x99;
constexpr size_t kLoaderBytes = 0x1000;
// In the SS51 code.
constexpr FlashIdBlock kIdBlock{kDe9IdOffsetInSs51, 6, 0x8140};

uint8_t BankOf(uint8_t command) { return command <= 2 ? 0 : command <= 4 ? 1 : 3; }

}  // namespace

class SimChipDe9::Window : public MappedMemory {
 public:
  using Reader = std::function<void(size_t, uint8_t*, size_t)>;
  using Writer = std::function<void(size_t, const uint8_t*, size_t)>;
  Window(Reader reader, Writer writer) : reader_(std::move(reader)), writer_(std::move(writer)) {}
  void ReadMemory(size_t offset, uint8_t* out, size_t count) override {
    reader_(offset, out, count);
  }
  void WriteMemory(size_t offset, const uint8_t* data, size_t count) override {
    writer_(offset, data, count);
  }

 private:
  Reader reader_;
  Writer writer_;
};

void SimChipDe9::Attach(SimChip& chip) {
  chip_ = &chip;
  high_ = std::make_unique<Window>(
      [this](size_t o, uint8_t* out, size_t n) { ReadHigh(*chip_, o, out, n); },
      [this](size_t o, const uint8_t* d, size_t n) { WriteHigh(*chip_, o, d, n); });
  low_ = std::make_unique<Window>(
      [this](size_t o, uint8_t* out, size_t n) {
        std::lock_guard lock(mutex_);
        std::memcpy(out, window9000_.data() + o, n);
      },
      [this](size_t o, const uint8_t* d, size_t n) {
        std::lock_guard lock(mutex_);
        std::memcpy(window9000_.data() + o, d, n);
      });
  chip.SetWriteHook(kHold, [this](SimChip& c, const ByteAccess& a) { OnHoldWrite(c, a.value); });
  chip.SetWriteHook(kWatchdog, [this](SimChip& c, const ByteAccess& a) {
    std::lock_guard lock(mutex_);
    if ((held_ && !watchdogStuck_) || a.value != 0) c.Poke(kWatchdog, a.value);
  });
  chip.SetWriteHook(kBurn, [this](SimChip& c, const ByteAccess& a) { OnBurnWrite(c, a.value); });
  chip.SetReadHook(kBurn, [this](SimChip& c, const ByteAccess&) { return OnBurnRead(c); });
  OnReset(chip);
}

void SimChipDe9::OnReset(SimChip& chip) {
  {
    std::lock_guard lock(mutex_);
    holdWrites_ = 0;
    loaderRunning_ = false;
    loaderBytes_.reset();
    for (auto& bank : sram_) std::fill(bank.begin(), bank.end(), 0);
    std::fill(window9000_.begin(), window9000_.end(), 0);
    pending_ = 0;
    chip.Poke(kHold, 0);
    chip.Poke(kWatchdog, 1);
    chip.Poke(kBank, 0);
    chip.Poke(kCodeAccess, 0);
    chip.Poke(kBurn, 0);
    kIdBlock.ShowIfProgrammed(chip, flash_.ss51);
  }
  SetHeld(chip, false);
}

void SimChipDe9::SetHeld(SimChip& chip, bool held) {
  {
    std::lock_guard lock(mutex_);
    if (held_ == held) return;
    held_ = held;
  }
  // The windows exist only while the processors are held; a running chip
  // shows its ordinary registers there.
  chip.MapMemory(kHighBase, 2 * kHalf, held ? high_.get() : nullptr);
  chip.MapMemory(kLowBase, kHalf, held ? low_.get() : nullptr);
}

void SimChipDe9::OnHoldWrite(SimChip& chip, uint8_t value) {
  bool hold = false;
  {
    std::lock_guard lock(mutex_);
    if (value == kHoldBoth) {
      ++holdWrites_;
      hold = held_ || holdWrites_ >= holdDifficulty_;
      chip.Poke(kHold, hold ? kHoldBoth : 0);
    } else {
      chip.Poke(kHold, value);
      hold = held_ && value != kRunSram;
      if (value == kReleaseDsp && held_ && chip.Peek(kBootSource) == 2 && chip.Peek(kReboot) == 1 &&
          loaderBytes_.all()) {
        loaderRunning_ = true;
        loader_.assign(sram_[2].begin(), sram_[2].begin() + kLoaderBytes);
      }
    }
  }
  SetHeld(chip, hold);
}

std::vector<uint8_t>* SimChipDe9::WindowOf(SimChip& chip, size_t offset, bool& allowed) {
  const uint8_t bank = chip.Peek(kBank);
  allowed = chip.Peek(kCodeAccess) == 1 && bank < sram_.size();
  (void)offset;
  return allowed ? &sram_[bank] : nullptr;
}

void SimChipDe9::ReadHigh(SimChip& chip, size_t offset, uint8_t* out, size_t count) {
  std::lock_guard lock(mutex_);
  bool allowed = false;
  std::vector<uint8_t>* bank = WindowOf(chip, offset, allowed);
  if (!allowed) {
    ++violations_;
    std::memset(out, 0xFF, count);
    return;
  }
  std::memcpy(out, bank->data() + offset, count);
}

void SimChipDe9::WriteHigh(SimChip& chip, size_t offset, const uint8_t* data, size_t count) {
  std::lock_guard lock(mutex_);
  bool allowed = false;
  std::vector<uint8_t>* bank = WindowOf(chip, offset, allowed);
  if (!allowed) {
    ++violations_;
    return;
  }
  std::memcpy(bank->data() + offset, data, count);
  // The loader goes into bank 2 at 0xC000 after the boot source is set to
  // SRAM and the software reboot asked for.
  if (bank == &sram_[2] && chip.Peek(kBootSource) == 2 && chip.Peek(kReboot) == 1) {
    for (size_t i = offset; i < offset + count && i < kLoaderBytes; ++i) loaderBytes_.set(i);
  }
}

void SimChipDe9::OnBurnWrite(SimChip& chip, uint8_t value) {
  std::lock_guard lock(mutex_);
  chip.Poke(kBurn, value);
  pending_ = 0;
  if (value == kFinishedMark) {
    finished_ = true;
    return;
  }
  if (value < 1 || value > 9) return;
  // A command the loader cannot take stays in the register: the host's
  // completion poll never sees 0.
  if (!loaderRunning_ || chip.Peek(kHold) != kReleaseDsp || chip.Peek(kBank) != BankOf(value)) {
    return;
  }
  pending_ = value;
  pendingReads_ = completionDelay_;
}

uint8_t SimChipDe9::OnBurnRead(SimChip& chip) {
  std::lock_guard lock(mutex_);
  if (pending_ != 0 && pending_ != neverDone_) {
    if (pendingReads_ > 0) {
      --pendingReads_;
    } else {
      Execute(chip, pending_);
      pending_ = 0;
      chip.Poke(kBurn, 0);
    }
  }
  return chip.Peek(kBurn);
}

void SimChipDe9::Execute(SimChip& chip, uint8_t command) {
  (void)chip;
  std::vector<uint8_t>* window = nullptr;
  size_t windowOffset = 0;
  std::vector<uint8_t>* flash = nullptr;
  size_t flashOffset = 0;
  size_t length = 0;
  switch (command) {
    case 1:
    case 2:
    case 3:
    case 4:
      window = &sram_[BankOf(command)];
      windowOffset = (command % 2 == 1) ? 0 : kHalf;
      flash = &flash_.ss51;
      flashOffset = (command - 1) * kHalf;
      length = kHalf;
      break;
    case 5:
      window = &window9000_;
      flash = &flash_.dsp;
      length = 0x1000;
      break;
    case 6:
      window = &window9000_;
      flash = &flash_.boot;
      length = 0x800;
      break;
    case 7:
      window = &window9000_;
      flash = &flash_.bootIsp;
      length = 0x800;
      break;
    case 8:
      window = &window9000_;
      flash = &flash_.link;
      length = 0x2000;
      break;
    case 9:
      window = &window9000_;
      flash = &flash_.link;
      flashOffset = 0x2000;
      length = 0x1000;
      break;
    default:
      return;
  }
  const auto from = window->begin() + static_cast<std::ptrdiff_t>(windowOffset);
  burns_.push_back(
      De9Burn{command, std::vector<uint8_t>(from, from + static_cast<std::ptrdiff_t>(length))});
  std::copy(from, from + static_cast<std::ptrdiff_t>(length),
            flash->begin() + static_cast<std::ptrdiff_t>(flashOffset));
  if (corruptNext_ == command) {
    corruptNext_ = 0;
    (*flash)[flashOffset + length / 2] ^= 0x5A;
  }
  // The loader leaves the flash contents in the window, so the host's
  // read-back compares what flash holds.
  std::copy(flash->begin() + static_cast<std::ptrdiff_t>(flashOffset),
            flash->begin() + static_cast<std::ptrdiff_t>(flashOffset + length), from);
}

void SimChipDe9::SetHoldDifficulty(unsigned writes) {
  std::lock_guard lock(mutex_);
  holdDifficulty_ = std::max(1u, writes);
}

void SimChipDe9::SetCompletionDelay(unsigned reads) {
  std::lock_guard lock(mutex_);
  completionDelay_ = reads;
}

void SimChipDe9::SetWatchdogStuck(bool stuck) {
  std::lock_guard lock(mutex_);
  watchdogStuck_ = stuck;
}

void SimChipDe9::SetCommandNeverDone(uint8_t command) {
  std::lock_guard lock(mutex_);
  neverDone_ = command;
}

void SimChipDe9::CorruptNextFlashWrite(uint8_t command) {
  std::lock_guard lock(mutex_);
  corruptNext_ = command;
}

void SimChipDe9::InstallFirmware(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> id;
  {
    std::lock_guard lock(mutex_);
    CopyFileSection(file, 0x000E, flash_.ss51, 0, 0x8000);
    CopyFileSection(file, 0x800E, flash_.dsp, 0, 0x1000);
    CopyFileSection(file, 0x900E, flash_.boot, 0, 0x800);
    if (file.size() >= kDe9LengthBootIsp) CopyFileSection(file, 0x980E, flash_.bootIsp, 0, 0x800);
    if (file.size() >= kDe9LengthFull) CopyFileSection(file, 0xA00E, flash_.link, 0, 0x3000);
    id = kIdBlock.From(flash_.ss51);
  }
  chip_->PokeRange(kIdBlock.address, id);
}

De9Flash SimChipDe9::Flash() const {
  std::lock_guard lock(mutex_);
  return flash_;
}

std::vector<De9Burn> SimChipDe9::Burns() const {
  std::lock_guard lock(mutex_);
  return burns_;
}

std::vector<uint8_t> SimChipDe9::LoaderImage() const {
  std::lock_guard lock(mutex_);
  return loader_;
}

bool SimChipDe9::Finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

unsigned SimChipDe9::Violations() const {
  std::lock_guard lock(mutex_);
  return violations_;
}

SimChipDe9& AddDe9Personality(SimChip& chip) { return AddFlashPersonality<SimChipDe9>(chip); }

}  // namespace sim
