#include "sim/flash/SimChipDe7.h"

#include <algorithm>
#include <cstring>

#include "sim/ChipFamily.h"
#include "sim/flash/FirmwareImages.h"
#include "sim/flash/FlashPersonality.h"

namespace sim {

namespace {

constexpr uint16_t kHold = 0x4180;
constexpr uint16_t kStatus = 0x4195;
constexpr uint16_t kHostFlag = 0x4196;
constexpr uint16_t kDone = 0x4197;
constexpr uint16_t kRam = 0x8000;
constexpr uint16_t kHeader = 0xFFF0;
constexpr uint8_t kHeld = 0x0C;
constexpr uint8_t kStartWord1[] = {0xD4, 0xC2, 0x61, 0x3A};
constexpr uint8_t kStartWord2[] = {0x5F, 0xB0, 0x29, 0x7E};
constexpr FlashIdBlock kIdBlock{kDe7IdFlashAddress, 8, 0x8240};

uint32_t LittleEndian32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

uint32_t WordSum(const uint8_t* data, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i < length; i += 4) {
    uint32_t word = 0;
    for (size_t b = 0; b < 4 && i + b < length; ++b)
      word |= static_cast<uint32_t>(data[i + b]) << (8 * b);
    sum += word;
  }
  return sum;
}

}  // namespace

class SimChipDe7::Memory : public MappedMemory {
 public:
  explicit Memory(SimChipDe7& owner) : owner_(owner) {}
  void ReadMemory(size_t offset, uint8_t* out, size_t count) override {
    owner_.ReadMem(offset, out, count);
  }
  void WriteMemory(size_t offset, const uint8_t* data, size_t count) override {
    owner_.WriteMem(offset, data, count);
  }

 private:
  SimChipDe7& owner_;
};

void SimChipDe7::Attach(SimChip& chip) {
  chip_ = &chip;
  memory_ = std::make_unique<Memory>(*this);
  chip.SetWriteHook(kHold, [this](SimChip& c, const ByteAccess& a) { OnHoldWrite(c, a.value); });
  chip.SetWriteHook(kHostFlag,
                    [this](SimChip& c, const ByteAccess& a) { OnHostFlagWrite(c, a.value); });
  chip.SetReadHook(kStatus,
                   [this](SimChip& c, const ByteAccess&) { return OnStatusRead(c, kStatus); });
  chip.SetReadHook(kDone, [this](SimChip& c, const ByteAccess&) { return OnStatusRead(c, kDone); });
  earlierCommandWrite_ = chip.SetWriteHook(
      kCommandRegister, [this](SimChip& c, const ByteAccess& a) { OnCommandWrite(c, a); });
  std::lock_guard lock(mutex_);
  EnterLocked(chip, State::Running);
}

void SimChipDe7::OnReset(SimChip& chip) {
  std::lock_guard lock(mutex_);
  resetSeen_ = true;
  holdWrites_ = 0;
  chunkOpen_ = false;
  status_ = {};
  done_ = {};
  EnterLocked(chip, State::Running);
}

void SimChipDe7::EnterLocked(SimChip& chip, State state) {
  state_ = state;
  switch (state) {
    case State::Held:
      ispWritten_.reset();
      chip.MapMemory(kRam, isp_.size(), memory_.get());
      break;
    case State::IspRunning:
      chip.MapMemory(kRam, chunk_.size(), memory_.get());
      break;
    case State::Running:
      chip.MapMemory(kRam, 0, nullptr);
      kIdBlock.ShowIfProgrammed(chip, flash_);
      break;
    case State::RestartPending:
      chip.MapMemory(kRam, 0, nullptr);
      break;
  }
}

void SimChipDe7::OnHoldWrite(SimChip& chip, uint8_t value) {
  std::lock_guard lock(mutex_);
  if (value == kHeld) {
    ++holdWrites_;
    const bool may = !holdNeedsReset_ || resetSeen_;
    if (state_ == State::Held || (may && holdWrites_ >= holdDifficulty_)) {
      chip.Poke(kHold, kHeld);
      if (state_ != State::Held) EnterLocked(chip, State::Held);
    } else {
      chip.Poke(kHold, 1);
    }
    return;
  }
  chip.Poke(kHold, value);
  if (value == 1 && state_ == State::IspRunning) {
    EnterLocked(chip, State::RestartPending);
  } else if (value == 0 && state_ == State::Held) {
    const bool words = chip.PeekRange(0xF7CC, 4) ==
                           std::vector<uint8_t>(std::begin(kStartWord1), std::end(kStartWord1)) &&
                       chip.PeekRange(0xF7EC, 4) ==
                           std::vector<uint8_t>(std::begin(kStartWord2), std::end(kStartWord2));
    if (words && chip.Peek(0x50C0) == 0 && chip.Peek(0x50C4) == 0 && ispWritten_.all()) {
      EnterLocked(chip, State::IspRunning);
      SetLater(kStatus, 0xFF);
    }
  }
}

void SimChipDe7::SetLater(uint16_t address, uint8_t value) {
  Delayed& d = address == kStatus ? status_ : done_;
  d = Delayed{true, value, delay_};
}

uint8_t SimChipDe7::OnStatusRead(SimChip& chip, uint16_t address) {
  std::lock_guard lock(mutex_);
  Delayed& d = address == kStatus ? status_ : done_;
  if (d.active && neverAnswers_ != address) {
    if (d.reads > 0) {
      --d.reads;
    } else {
      chip.Poke(address, d.value);
      d.active = false;
    }
  }
  return chip.Peek(address);
}

void SimChipDe7::OnHostFlagWrite(SimChip& chip, uint8_t value) {
  std::lock_guard lock(mutex_);
  chip.Poke(kHostFlag, value);
  if (state_ != State::IspRunning) return;
  if (value == 0x55) {
    const std::vector<uint8_t> header = chip.PeekRange(kHeader, 12);
    header_ =
        De7Chunk{LittleEndian32(header, 0), LittleEndian32(header, 4), LittleEndian32(header, 8)};
    chunkOpen_ = true;
    received_ = 0;
    done_ = {};
    chip.Poke(kDone, 0);
  } else if (value == 0xAA && chunkOpen_) {
    chunkOpen_ = false;
    SetLater(kStatus, 0xFF);
    const bool fits = header_.length <= chunk_.size() && header_.address <= kDe7FlashBytes &&
                      header_.length <= kDe7FlashBytes - header_.address;
    if (!fits || received_ < header_.length ||
        WordSum(chunk_.data(), header_.length) != header_.checksum) {
      return;  // 0x4197 stays 0: the host's poll runs out
    }
    std::copy(chunk_.begin(), chunk_.begin() + header_.length, flash_.begin() + header_.address);
    chunks_.push_back(header_);
    SetLater(kDone, 0xDD);
  }
}

void SimChipDe7::OnCommandWrite(SimChip& chip, const ByteAccess& access) {
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::RestartPending) {
      chip.Poke(kCommandRegister, access.value);
      if (access.value == 0xAA && chip.Peek(kDe7StreamParam0) == 0x00 &&
          chip.Peek(kDe7StreamParam1) == 0x56) {
        ++restarts_;
        EnterLocked(chip, State::Running);
      }
      return;
    }
  }
  if (earlierCommandWrite_) {
    earlierCommandWrite_(chip, access);
  } else {
    chip.Poke(kCommandRegister, access.value);
  }
}

void SimChipDe7::ReadMem(size_t offset, uint8_t* out, size_t count) {
  std::lock_guard lock(mutex_);
  const std::vector<uint8_t>& from = state_ == State::Held ? isp_ : chunk_;
  std::memcpy(out, from.data() + offset, count);
}

void SimChipDe7::WriteMem(size_t offset, const uint8_t* data, size_t count) {
  std::lock_guard lock(mutex_);
  if (state_ == State::Held) {
    std::memcpy(isp_.data() + offset, data, count);
    for (size_t i = 0; i < count; ++i) ispWritten_.set(offset + i);
    return;
  }
  std::memcpy(chunk_.data() + offset, data, count);
  if (!chunkOpen_) return;
  if (corruptChunk_ == static_cast<int>(chunkIndex_) && count > 0) {
    chunk_[offset] ^= 0x01;
    corruptChunk_ = -1;
  }
  const bool before = received_ >= header_.length;
  received_ += count;
  if (!before && received_ >= header_.length) {
    ++chunkIndex_;
    SetLater(kStatus, 0xAA);
  }
}

void SimChipDe7::SetHoldDifficulty(unsigned writes) {
  std::lock_guard lock(mutex_);
  holdDifficulty_ = std::max(1u, writes);
}

void SimChipDe7::SetHoldNeedsReset(bool needs) {
  std::lock_guard lock(mutex_);
  holdNeedsReset_ = needs;
  resetSeen_ = false;
}

void SimChipDe7::SetAnswerDelay(unsigned reads) {
  std::lock_guard lock(mutex_);
  delay_ = reads;
}

void SimChipDe7::SetNeverAnswers(uint16_t address) {
  std::lock_guard lock(mutex_);
  neverAnswers_ = address;
}

void SimChipDe7::CorruptChunk(unsigned index) {
  std::lock_guard lock(mutex_);
  corruptChunk_ = static_cast<int>(index);
}

void SimChipDe7::InstallFirmware(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> id;
  {
    std::lock_guard lock(mutex_);
    CopyFileSection(file, 0x1100, flash_, 0x3D000, 0x800);
    CopyFileSection(file, 0x1900, flash_, 0x00000, 0x1F000);
    CopyFileSection(file, 0x22900, flash_, 0x20000, 0x8000);
    CopyFileSection(file, 0x20900, flash_, 0x28000, 0x2000);
    CopyFileSection(file, 0x2A900, flash_, 0x2A000, 0x4000);
    id = kIdBlock.From(flash_);
  }
  chip_->PokeRange(kIdBlock.address, id);
}

SimChipDe7::State SimChipDe7::CurrentState() const {
  std::lock_guard lock(mutex_);
  return state_;
}

std::vector<uint8_t> SimChipDe7::Flash() const {
  std::lock_guard lock(mutex_);
  return flash_;
}

std::vector<uint8_t> SimChipDe7::IspSram() const {
  std::lock_guard lock(mutex_);
  return isp_;
}

std::vector<De7Chunk> SimChipDe7::Chunks() const {
  std::lock_guard lock(mutex_);
  return chunks_;
}

unsigned SimChipDe7::Restarts() const {
  std::lock_guard lock(mutex_);
  return restarts_;
}

SimChipDe7& AddDe7Personality(SimChip& chip) { return AddFlashPersonality<SimChipDe7>(chip); }

}  // namespace sim
