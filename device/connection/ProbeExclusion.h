#pragma once
// Keeps the connection monitor's probes and the configuration sends apart.
// A send holds the device: no probe starts while it is held, and the holder
// waits for a probe already in progress to end before it sends, so the
// probe's register reads never fall between the send's requests. Any thread.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/sync/Event.h"

class ProbeExclusion {
 public:
  // Prober's side: starts a probe unless the device is held (false: leave
  // the device alone). Every true is followed by EndProbe.
  bool TryBeginProbe();
  // Ends the probe; while the device is held it runs the probe-ended hook on
  // the calling thread.
  void EndProbe();
  // Set while nothing holds the device: the prober waits on it for a probe
  // that must not be skipped.
  platform::Event& Released() { return released_; }

  // Holder's side; pairs nest. Release returns the holds left.
  void Hold();
  // Hold, then blocks until a probe in progress has ended, at most bound: for
  // a holder off the UI thread, which leaves that thread free to serve the
  // probe. false when the bound ran out first.
  bool HoldAndWaitForProbe(std::chrono::milliseconds bound);
  int Release();
  bool Held() const;
  bool ProbeRunning() const;
  // Runs on the prober's thread as a probe ends under a hold (the holder's
  // wait wakes on it). Set before probing starts.
  void SetProbeEndedHook(std::function<void()> hook) { probeEnded_ = std::move(hook); }

 private:
  void HoldLocked();

  mutable std::mutex mutex_;
  int holds_ = 0;
  bool probing_ = false;
  std::condition_variable probeEndedCv_;
  platform::Event released_{true, true};
  std::function<void()> probeEnded_;
};
