#pragma once
// The streaming part every chip has: the command register (1 starts frames,
// 0 or a stop command ends them), the ready flag that rises after a number of
// polls while streaming and is cleared by the host writing 0, and the default
// frame generators behind the raw, difference and observe addresses.
// Its state is guarded by the chip's lock (it is reached only through SimChip).

#include <cstddef>
#include <cstdint>
#include <functional>

#include "sim/ChipBehaviour.h"

namespace sim {

class StreamBehaviour : public ChipBehaviour {
 public:
  StreamBehaviour(uint16_t flagAddress, unsigned readsUntilReady, size_t frameBytes,
                  size_t observeBytes);

  void Attach(SimChip& chip) override;
  void OnReset(SimChip& chip) override;

  bool IsStreaming() const { return streaming_; }
  uint16_t FlagAddress() const { return flagAddress_; }
  void MoveFlag(SimChip& chip, uint16_t address);
  void SetReadsUntilReady(unsigned reads) { readsUntilReady_ = reads == 0 ? 1 : reads; }
  void SetNeverReady(bool never) { neverReady_ = never; }
  uint64_t FrameCounter() const { return frameCounter_; }
  // With a report source the flag also rises outside frame streaming (the
  // chip then reports touches), and each time it rises it takes the value the
  // source gives for the new frame number (bit 7 is always set). Empty: the
  // flag rises only while streaming, to kFlagReady.
  using ReportSource = std::function<uint8_t(uint64_t frame)>;
  void SetReportSource(ReportSource source) { reportSource_ = std::move(source); }

 private:
  void InstallFlagHooks(SimChip& chip);
  void InstallFrameSource(SimChip& chip, uint16_t base, size_t length);
  void OnCommandWrite(SimChip& chip, uint8_t cmd, uint8_t value);
  uint8_t OnFlagRead(SimChip& chip);
  void OnFlagWrite(SimChip& chip, uint8_t value);

  uint16_t flagAddress_;
  unsigned readsUntilReady_;
  size_t frameBytes_;
  size_t observeBytes_;
  bool streaming_ = false;
  bool neverReady_ = false;
  unsigned readsSinceClear_ = 0;
  uint64_t frameCounter_ = 0;
  ReportSource reportSource_;
};

}  // namespace sim
