#pragma once
// A view's chain of frame reads through the device link: each read polls the
// chip's ready flag (bridge command 13) into the next FrameRing slot; its
// completion queues the clear of the flag and the next read before handing
// the frame on, so the link never idles between frames.
//
// Every chain carries a generation in its requests' tag. RequestFrame starts
// a new generation and SetStopped(true) retires the current one, so a read
// still in flight from an earlier start ends its chain when it completes:
// whatever the order of stops and starts, one chain runs at a time.
// Completions reach the chain only through a weak reference, so a chain that
// is gone is never touched.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "device/LogSink.h"
#include "views/DataFormat.h"
#include "views/widgets/FramePayload.h"

class CHidRequest;
class DataFormatStore;

class FrameChain : public std::enable_shared_from_this<FrameChain> {
 public:
  // Receives each frame on the dispatcher thread (the view's hand-off).
  using Sink = std::function<void(FramePayload&&)>;

  static constexpr uint32_t kReadTimeoutMs = 100;

  // Stopped until the first RequestFrame after SetStopped(false). log may be
  // null; store and log must outlive every request of the chain.
  static std::shared_ptr<FrameChain> Create(DataKind kind, DataFormatStore& store, ILogSink* log,
                                            Sink sink);

  // true retires the chain in flight; false lets the next RequestFrame start.
  void SetStopped(bool stopped);
  bool IsStopped() const { return stopped_.load(); }

  // Starts a new chain with the kind's current format; nothing while
  // stopped. Without a bridge device the chain stops and says so.
  void RequestFrame();

 private:
  FrameChain(DataKind kind, DataFormatStore& store, ILogSink* log, Sink sink);

  void Push(uint32_t generation);
  void OnCompleted(CHidRequest& request, const DataFormat& format);
  // Stops the chain of `generation` when it is still the current one.
  void StopGeneration(uint32_t generation, const char* why);

  const DataKind kind_;
  DataFormatStore& store_;
  ILogSink* const log_;
  const Sink sink_;

  std::mutex stateMutex_;  // stopped_ and generation_ change together
  std::atomic<bool> stopped_{true};
  std::atomic<uint32_t> generation_{0};
  std::atomic<unsigned> slot_{0};
};
