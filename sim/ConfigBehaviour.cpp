#include "sim/ConfigBehaviour.h"

#include <memory>
#include <numeric>

namespace sim {

namespace {

constexpr size_t kDe7HeadSumEnd = 3;     // bytes 0-2
constexpr size_t kDe7FirstSumEnd = 213;  // bytes 0-212
constexpr size_t kDe7MinLength = 214;

uint8_t SumOf(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  return static_cast<uint8_t>(std::accumulate(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                              bytes.begin() + static_cast<std::ptrdiff_t>(to), 0u));
}

}  // namespace

ConfigPersonality ConfigPersonality::For(ChipFamily family) {
  ConfigPersonality p;
  if (family == ChipFamily::DE7) {
    p.base = 0x8050;
    p.length = 340;
  }
  return p;
}

bool ConfigSumsValid(ChipFamily family, const std::vector<uint8_t>& block) {
  const size_t n = block.size();
  if (family == ChipFamily::DE7) {
    return n >= kDe7MinLength && SumOf(block, 0, kDe7HeadSumEnd) == 0 &&
           SumOf(block, 0, kDe7FirstSumEnd) == 0 && SumOf(block, kDe7FirstSumEnd, n) == 0;
  }
  return n >= 2 && SumOf(block, 0, n - 1) == 0 && block[n - 1] == 1;
}

void SealStoredConfig(ChipFamily family, std::vector<uint8_t>& block) {
  const size_t n = block.size();
  const auto complement = [&block](size_t from, size_t to) {
    return static_cast<uint8_t>(0x100 - SumOf(block, from, to));
  };
  if (family == ChipFamily::DE7) {
    if (n < kDe7MinLength) return;
    block[2] = complement(0, 2);
    block[kDe7FirstSumEnd - 1] = complement(0, kDe7FirstSumEnd - 1);
    block[n - 1] = complement(kDe7FirstSumEnd, n - 1);
  } else if (n >= 2) {
    block[n - 2] = complement(0, n - 2);
    block[n - 1] = 0;
  }
}

ConfigBehaviour::ConfigBehaviour(ChipFamily family, ConfigPersonality personality)
    : family_(family),
      personality_(personality),
      fault_(personality.fault),
      readsUntilAnswer_(personality.readsUntilAnswer == 0 ? 1 : personality.readsUntilAnswer) {}

uint16_t ConfigBehaviour::LastAddress() const {
  return static_cast<uint16_t>(personality_.base + personality_.length - 1);
}

void ConfigBehaviour::Attach(SimChip& chip) {
  chip_ = &chip;
  {
    std::lock_guard lock(mutex_);
    stored_ = chip.PeekRange(personality_.base, personality_.length);
  }
  if (personality_.length == 0) return;
  if (family_ == ChipFamily::DE7) {
    earlierCommandWrite_ = chip.SetWriteHook(
        kCommandRegister, [this](SimChip& c, const ByteAccess& a) { OnCommandWrite(c, a); });
    chip.SetReadHook(kCommandRegister,
                     [this](SimChip& c, const ByteAccess&) { return OnCommandRead(c); });
  } else {
    chip.SetWriteHook(LastAddress(),
                      [this](SimChip& c, const ByteAccess& a) { OnFreshFlagWrite(c, a.value); });
    chip.SetReadHook(LastAddress(),
                     [this](SimChip& c, const ByteAccess&) { return OnFreshFlagRead(c); });
  }
}

void ConfigBehaviour::OnReset(SimChip& chip) {
  (void)chip;
  std::lock_guard lock(mutex_);
  freshArmed_ = false;
  de7State_ = De7State::Idle;
  reads_ = 0;
}

void ConfigBehaviour::SetFault(ConfigFault fault) {
  std::lock_guard lock(mutex_);
  fault_ = fault;
}

void ConfigBehaviour::SetReadsUntilAnswer(unsigned reads) {
  std::lock_guard lock(mutex_);
  readsUntilAnswer_ = reads == 0 ? 1 : reads;
}

unsigned ConfigBehaviour::TakenCount() const {
  std::lock_guard lock(mutex_);
  return taken_;
}

unsigned ConfigBehaviour::RefusedCount() const {
  std::lock_guard lock(mutex_);
  return refused_;
}

std::vector<uint8_t> ConfigBehaviour::StoredConfig() const {
  std::lock_guard lock(mutex_);
  return stored_;
}

std::vector<ChipAccess> ConfigBehaviour::WriteTrace() const {
  std::vector<ChipAccess> writes;
  if (chip_ == nullptr) return writes;
  for (ChipAccess& access : chip_->AccessLog()) {
    if (access.op != AccessOp::Write) continue;
    // The bridge cuts a long write into reports; they continue each other.
    if (!writes.empty() && access.address == static_cast<uint16_t>(writes.back().address +
                                                                   writes.back().bytes.size())) {
      auto& bytes = writes.back().bytes;
      bytes.insert(bytes.end(), access.bytes.begin(), access.bytes.end());
      continue;
    }
    writes.push_back(std::move(access));
  }
  return writes;
}

// Runs under the chip's lock and the behaviour's lock.
void ConfigBehaviour::Take(SimChip& chip) {
  if (fault_ == ConfigFault::KeepsFirstOnly && taken_ > 0) {
    ++taken_;
    return;
  }
  stored_ = chip.PeekRange(personality_.base, personality_.length);
  chip.SetPowerOnBytes(personality_.base, stored_);
  ++taken_;
}

void ConfigBehaviour::OnFreshFlagWrite(SimChip& chip, uint8_t value) {
  chip.Poke(LastAddress(), value);
  std::lock_guard lock(mutex_);
  reads_ = 0;
  freshArmed_ = false;
  if (value != 1) return;
  if (ConfigSumsValid(family_, chip.PeekRange(personality_.base, personality_.length))) {
    if (fault_ == ConfigFault::FirstNeverTaken && !firstIgnored_) {
      firstIgnored_ = true;
      return;
    }
    freshArmed_ = true;
  } else {
    ++refused_;
  }
}

uint8_t ConfigBehaviour::OnFreshFlagRead(SimChip& chip) {
  std::lock_guard lock(mutex_);
  if (freshArmed_ && fault_ != ConfigFault::NeverTakes && ++reads_ >= readsUntilAnswer_) {
    freshArmed_ = false;
    chip.Poke(LastAddress(), 0);
    Take(chip);
  }
  return chip.Peek(LastAddress());
}

void ConfigBehaviour::OnCommandWrite(SimChip& chip, const ByteAccess& access) {
  // The streaming commands keep working through the same register.
  if (earlierCommandWrite_) {
    earlierCommandWrite_(chip, access);
  } else {
    chip.Poke(kCommandRegister, access.value);
  }
  const uint8_t value = access.value;
  const uint16_t param =
      static_cast<uint16_t>(chip.Peek(kDe7StreamParam0) << 8 | chip.Peek(kDe7StreamParam1));
  std::lock_guard lock(mutex_);
  reads_ = 0;
  if (value == kDe7ConfigRequest && param == kDe7ConfigRequestParam) {
    de7State_ = De7State::Requested;
  } else if (value == kDe7ConfigCommit && param == kDe7ConfigCommitParam &&
             de7State_ == De7State::Acknowledged) {
    de7State_ = De7State::Committing;
  } else {
    de7State_ = De7State::Idle;
  }
}

uint8_t ConfigBehaviour::OnCommandRead(SimChip& chip) {
  std::lock_guard lock(mutex_);
  if (de7State_ == De7State::Requested && fault_ != ConfigFault::NeverAcknowledges &&
      ++reads_ >= readsUntilAnswer_) {
    chip.Poke(kCommandRegister, kDe7ConfigAcknowledge);
    de7State_ = De7State::Acknowledged;
  } else if (de7State_ == De7State::Committing && fault_ != ConfigFault::NeverTakes &&
             ++reads_ >= readsUntilAnswer_) {
    if (ConfigSumsValid(family_, chip.PeekRange(personality_.base, personality_.length))) {
      Take(chip);
    } else {
      ++refused_;
    }
    chip.Poke(kCommandRegister, kDe7ConfigIdle);
    de7State_ = De7State::Idle;
  }
  return chip.Peek(kCommandRegister);
}

ConfigBehaviour& AddConfigPersonality(SimChip& chip, ConfigPersonality personality) {
  auto behaviour = std::make_unique<ConfigBehaviour>(chip.Family(), personality);
  ConfigBehaviour& ref = *behaviour;
  chip.AddBehaviour(std::move(behaviour));
  return ref;
}

ConfigBehaviour& AddConfigPersonality(SimChip& chip) {
  return AddConfigPersonality(chip, ConfigPersonality::For(chip.Family()));
}

}  // namespace sim
