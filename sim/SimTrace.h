#pragma once
// Thread-safe record of every report that crossed the simulated bridge's USB
// side: the simulator records from the host's I/O thread, tests read it from
// their own thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/hid/HidPort.h"

namespace sim {

enum class TraceDir {
  Out,          // output report delivered to the bridge
  OutFailed,    // output report whose write failed (injected); not applied
  In,           // input report handed to the host by Read
  InDiscarded,  // input report thrown away by DiscardInput
};

struct TraceEntry {
  TraceDir dir;
  std::array<uint8_t, platform::kHidReportSize> bytes{};  // zero-filled beyond length
  size_t length = 0;                                      // bytes transferred
  int64_t timeUs = 0;                                     // simulator clock
};

class SimTrace {
 public:
  void Record(TraceDir dir, const uint8_t* bytes, size_t length, int64_t timeUs);
  std::vector<TraceEntry> Entries() const;
  // Only the delivered output reports (TraceDir::Out), in order.
  std::vector<std::array<uint8_t, platform::kHidReportSize>> OutputReports() const;
  size_t Size() const;
  void Clear();
  // Long benchmark runs switch recording off.
  void SetEnabled(bool enabled);

 private:
  mutable std::mutex mutex_;
  std::vector<TraceEntry> entries_;
  bool enabled_ = true;
};

}  // namespace sim
