#pragma once
// The touch demo's read chain: a flag-polled read of the coordinate report
// (and, with the active pen on, a read of the stylus report after it), then
// the ready flag is cleared, the next read is queued and the bytes are
// handed on. Each completion queues the next read, so one chain keeps
// running until a failed read or Stop ends it.
//
// Every request carries the chain's generation and whether it is the pen
// read in its tag. Start begins a new generation, so a read still in flight
// from before a stop+start ends its chain instead of running a second one.
// Completions reach the stream only through a weak reference, and the read
// buffers live as long as any request into them.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "device/LogSink.h"
#include "views/DataFormatStore.h"
#include "views/TouchReport.h"

class CHidRequest;

// What one turn of the chain delivers: copies of the bytes read and the
// formats they were read with.
struct TouchFrame {
  std::array<uint8_t, kTouchReportBytes> report{};
  bool hasStylus = false;
  std::vector<uint8_t> stylus;  // the stylus report as read
  DataFormatSet formats;
  size_t stylusRowOffset = 84;  // where the stylus row profile starts
};

class TouchStream : public std::enable_shared_from_this<TouchStream> {
 public:
  // Read time-out of every request of the chain, ms.
  static constexpr uint32_t kReadTimeoutMs = 100;
  static constexpr unsigned kRingSlots = 16;

  // Runs on the request dispatcher thread with each delivered frame; may
  // wait (the hand-off to a busy renderer), which holds up the next read.
  using HandOff = std::function<void(TouchFrame&&)>;

  static std::shared_ptr<TouchStream> Create(HandOff handOff);

  // Where a failed read is reported (may be null; must outlive the chain).
  void SetLog(ILogSink* log) { log_ = log; }

  // Begins a new chain (ending any older one at its next completion).
  void Start();
  // The chain ends at its next completion, which hands nothing on.
  void Stop();
  bool IsStopped() const { return stopped_; }

  void SetActivePen(bool on) { activePen_ = on; }
  bool ActivePen() const { return activePen_; }

  // Tags carry generation << 1 | pen-read.
  static uint32_t TagOf(uint32_t generation, bool penRead) {
    return generation << 1 | (penRead ? 1 : 0);
  }

 private:
  struct Buffers {
    std::array<std::array<uint8_t, kTouchReportBytes>, kRingSlots> reports{};
    std::array<std::array<uint8_t, kStylusSlotBytes>, kRingSlots> stylus{};
  };

  explicit TouchStream(HandOff handOff);
  void RequestReport(uint32_t generation);
  void RequestStylus(uint32_t generation, unsigned slot);
  void OnCompleted(CHidRequest& request, unsigned slot);
  static void OnCompletedWeak(const std::weak_ptr<TouchStream>& weak, CHidRequest& request,
                              unsigned slot);
  bool Current(uint32_t generation) const;

  const HandOff handOff_;
  const std::shared_ptr<Buffers> buffers_ = std::make_shared<Buffers>();
  std::atomic<bool> stopped_{true};
  std::atomic<bool> activePen_{false};
  std::atomic<uint32_t> generation_{0};
  std::atomic<ILogSink*> log_{nullptr};
  std::atomic<unsigned> slot_{0};
  // The coordinate report waiting for its stylus read; dispatcher thread only.
  TouchFrame held_;
};
