#include "sim/module/ShortEngineB.h"

#include "sim/ChipFamily.h"
#include "sim/ConfigBehaviour.h"

namespace sim {

namespace {

constexpr uint16_t kState = 0x804A;
constexpr uint16_t kBlock = 0x8118;
constexpr size_t kBlockBytes = 232;
constexpr uint16_t kResult = 0x8AC0;

bool BlockValid(const std::vector<uint8_t>& block) {
  uint16_t sum = 0;
  for (size_t i = 0; i + 1 < block.size(); i += 2) {
    sum = static_cast<uint16_t>(sum + (block[i] | block[i + 1] << 8));
  }
  return sum == 0;
}

}  // namespace

void ShortEngineB::Attach(SimChip& chip) {
  earlierCommand_ = chip.SetWriteHook(kCommandRegister,
                                      [this](SimChip& c, const ByteAccess& a) { OnCommand(c, a); });
  chip.SetReadHook(kState, [this](SimChip& c, const ByteAccess& a) { return OnStateRead(c, a); });
}

void ShortEngineB::OnReset(SimChip& chip) {
  (void)chip;
  state_ = State::Idle;
  reads_ = 0;
}

void ShortEngineB::OnCommand(SimChip& chip, const ByteAccess& access) {
  const uint8_t param = chip.Peek(kDe7StreamParam1);
  if (access.value == 0x40 && param == 0xC0) {
    state_ = State::Entered;
    chip.Poke(kState, 0x01);
    chip.Poke(access.address, access.value);
    return;
  }
  if (access.value == 0x41 && param == 0xBF && state_ == State::Entered) {
    if (BlockValid(chip.PeekRange(kBlock, kBlockBytes))) {
      state_ = State::Running;
      reads_ = 0;
      chip.Poke(kState, 0x40);
    }
    chip.Poke(access.address, access.value);
    return;
  }
  if (access.value == 0xAA && state_ != State::Idle) {
    state_ = State::Idle;
    chip.Poke(kState, 0);
    if (config_ != nullptr) chip.PokeRange(config_->Personality().base, config_->StoredConfig());
    chip.Poke(access.address, access.value);
    return;
  }
  if (earlierCommand_) {
    earlierCommand_(chip, access);
  } else {
    chip.Poke(access.address, access.value);
  }
}

uint8_t ShortEngineB::OnStateRead(SimChip& chip, const ByteAccess& access) {
  if (state_ == State::Running && !neverFinishes_ && ++reads_ >= kReadsUntilFinished) Finish(chip);
  return chip.Peek(access.address);
}

void ShortEngineB::Finish(SimChip& chip) {
  state_ = State::Finished;
  std::vector<uint8_t> result(4 + 4 * findings_.size());
  result[0] = findings_.empty() ? 0 : 1;
  result[2] = static_cast<uint8_t>(findings_.size());
  for (size_t i = 0; i < findings_.size(); ++i) {
    const ShortFindingB& f = findings_[i];
    result[4 + 4 * i] = f.b0;
    result[5 + 4 * i] = f.b1;
    result[6 + 4 * i] = static_cast<uint8_t>(f.kOhm >> 8);
    result[7 + 4 * i] = static_cast<uint8_t>(f.kOhm & 0xFF);
  }
  chip.PokeRange(kResult, result);
  chip.Poke(kState, 0x43);
}

}  // namespace sim
