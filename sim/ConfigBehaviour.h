#pragma once
// How a touch chip takes a configuration block from the host.
//
// RU9 family: the host writes the block with its last byte (the fresh flag)
// set to 1. When bytes 0..L-2 sum to 0 (mod 256) the chip takes the block and
// clears the flag; the host sees it cleared on the K-th read of that byte.
// With a wrong sum the flag never clears.
//
// DE7 family: the command register 0x8040 idles at 0xFF. The host writes
// 0x8041/0x8042 := 00 80 and 0x8040 := 0x80; the K-th read of 0x8040 then
// answers 0x82. The host writes the block, then 0x8041/0x8042 := 00 7D and
// 0x8040 := 0x83; the chip checks the block's three sums (bytes 0-2, 0-212 and
// 213..L-1) and the K-th read of 0x8040 answers 0xFF again. A block with a
// wrong sum is refused (0x8040 still returns to 0xFF).
//
// A taken block becomes the chip's stored configuration: a chip reset brings
// it back, whatever the host wrote since. The state is guarded by the chip's
// lock (hooks) and by the behaviour's own lock (test accessors).

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/ChipBehaviour.h"
#include "sim/ChipFamily.h"
#include "sim/SimChip.h"

namespace sim {

enum class ConfigFault {
  None,
  // The chip never takes a block: the RU9 fresh flag stays 1, the DE7
  // command register stays at 0x83.
  NeverTakes,
  // DE7: 0x8040 never answers 0x82 to the host's request.
  NeverAcknowledges,
  // The chip stores the first block it takes; later ones complete the
  // hand-shake but are lost at the next reset (a restore that does not hold).
  KeepsFirstOnly,
  // RU9: the chip never takes the first block sent (its fresh flag stays 1);
  // later ones are taken (a send that fails after the block was written).
  FirstNeverTaken,
};

struct ConfigPersonality {
  uint16_t base = 0x8047;
  size_t length = 186;
  // Reads of the watched register until the chip answers (K).
  unsigned readsUntilAnswer = 3;
  ConfigFault fault = ConfigFault::None;

  // RU9: block at 0x8047, 186 bytes. DE7: block at 0x8050, 340 bytes (the
  // drive map at 0x8171 holds 42 entries inside it).
  static ConfigPersonality For(ChipFamily family);
};

// DE7 hand-shake values of the command register and its parameter.
inline constexpr uint8_t kDe7ConfigRequest = 0x80;
inline constexpr uint8_t kDe7ConfigAcknowledge = 0x82;
inline constexpr uint8_t kDe7ConfigCommit = 0x83;
inline constexpr uint8_t kDe7ConfigIdle = 0xFF;
inline constexpr uint16_t kDe7ConfigRequestParam = 0x0080;
inline constexpr uint16_t kDe7ConfigCommitParam = 0x007D;

// Whether bytes form a block the chip of this family takes (RU9: including
// the fresh flag set to 1).
bool ConfigSumsValid(ChipFamily family, const std::vector<uint8_t>& block);
// Sets the sums of a block as the chip stores a taken one (RU9: the fresh
// flag already cleared).
void SealStoredConfig(ChipFamily family, std::vector<uint8_t>& block);

class ConfigBehaviour : public ChipBehaviour {
 public:
  ConfigBehaviour(ChipFamily family, ConfigPersonality personality);

  void Attach(SimChip& chip) override;
  void OnReset(SimChip& chip) override;

  const ConfigPersonality& Personality() const { return personality_; }
  void SetFault(ConfigFault fault);
  void SetReadsUntilAnswer(unsigned reads);

  // Blocks taken and refused (wrong sum) so far.
  unsigned TakenCount() const;
  unsigned RefusedCount() const;
  // The block a reset restores: the registers' contents when the behaviour
  // was added, then each taken block.
  std::vector<uint8_t> StoredConfig() const;
  // Every host write to the chip, in order; a write that continues the one
  // before it (a long write cut into reports) is joined to it.
  std::vector<ChipAccess> WriteTrace() const;

 private:
  enum class De7State { Idle, Requested, Acknowledged, Committing };

  void OnFreshFlagWrite(SimChip& chip, uint8_t value);
  uint8_t OnFreshFlagRead(SimChip& chip);
  void OnCommandWrite(SimChip& chip, const ByteAccess& access);
  uint8_t OnCommandRead(SimChip& chip);
  void Take(SimChip& chip);
  uint16_t LastAddress() const;

  const ChipFamily family_;
  const ConfigPersonality personality_;
  SimChip* chip_ = nullptr;
  SimChip::WriteHook earlierCommandWrite_;

  mutable std::mutex mutex_;
  ConfigFault fault_;
  unsigned readsUntilAnswer_;
  bool freshArmed_ = false;
  bool firstIgnored_ = false;  // FirstNeverTaken: the first block was let go
  De7State de7State_ = De7State::Idle;
  unsigned reads_ = 0;
  unsigned taken_ = 0;
  unsigned refused_ = 0;
  std::vector<uint8_t> stored_;
};

// Adds the configuration personality to the chip (which owns it) and returns
// it for inspection.
ConfigBehaviour& AddConfigPersonality(SimChip& chip, ConfigPersonality personality);
ConfigBehaviour& AddConfigPersonality(SimChip& chip);

}  // namespace sim
