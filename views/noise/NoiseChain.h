#pragma once
// The noise view's read chain: back-to-back reads of the chip's 70-byte
// noise area (bridge command 11, no ready-flag poll) into a 16-slot ring of
// its own. Each completion queues the next read before handing a copy of the
// bytes on, so the chain runs as fast as the link carries the reports.
//
// Every request carries the chain's generation in its tag: Start begins a
// new generation and Stop retires the current one, so a read in flight from
// before a stop+start ends its chain instead of running a second one.
// Completions reach the chain only through a weak reference.
//
// A failed read ends the chain and marks it dead (Start revives it). While
// the pause predicate holds (the main window is busy with a burn or a test)
// the chain queues no further read; ResumeIfPaused picks it up again.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "device/LogSink.h"
#include "views/noise/NoiseFrame.h"

class CHidRequest;

class NoiseChain : public std::enable_shared_from_this<NoiseChain> {
 public:
  static constexpr uint32_t kReadTimeoutMs = 100;
  static constexpr unsigned kRingSlots = 16;

  // Runs on the request dispatcher with a copy of each frame read; must not
  // wait (a busy drawing drops the frame).
  using Sink = std::function<void(std::vector<uint8_t>&&)>;
  using PausePredicate = std::function<bool()>;

  static std::shared_ptr<NoiseChain> Create(Sink sink, ILogSink* log = nullptr);

  void SetPausePredicate(PausePredicate paused);

  // A new chain reading at address (ending any older one at its next
  // completion).
  void Start(uint16_t address);
  void Stop();
  // Starts again when paused and the pause no longer holds.
  void ResumeIfPaused();

  bool IsStopped() const { return stopped_.load(); }
  // A read failed and ended the chain (until the next Start).
  bool IsDead() const { return dead_.load(); }
  bool IsPaused() const { return paused_.load(); }
  // Reads queued so far (all generations).
  uint64_t RequestCount() const { return requests_.load(); }

 private:
  struct Ring {
    std::array<std::array<uint8_t, kNoiseFrameBytes>, kRingSlots> frames{};
  };

  NoiseChain(Sink sink, ILogSink* log);
  void Push(uint32_t generation);
  void OnCompleted(CHidRequest& request, unsigned slot);
  bool Current(uint32_t generation) const { return generation_.load() == generation; }

  const Sink sink_;
  ILogSink* const log_;
  const std::shared_ptr<Ring> ring_ = std::make_shared<Ring>();
  std::mutex pauseMutex_;
  PausePredicate pausePredicate_;
  std::atomic<bool> stopped_{true};
  std::atomic<bool> dead_{false};
  std::atomic<bool> paused_{false};
  std::atomic<uint16_t> address_{0};
  std::atomic<uint32_t> generation_{0};
  std::atomic<unsigned> slot_{0};
  std::atomic<uint64_t> requests_{0};
};
