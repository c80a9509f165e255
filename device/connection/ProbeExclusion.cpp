#include "device/connection/ProbeExclusion.h"

bool ProbeExclusion::TryBeginProbe() {
  std::lock_guard lock(mutex_);
  if (holds_ > 0) return false;
  probing_ = true;
  return true;
}

void ProbeExclusion::EndProbe() {
  bool held = false;
  {
    std::lock_guard lock(mutex_);
    probing_ = false;
    held = holds_ > 0;
  }
  probeEndedCv_.notify_all();
  // Only a holder waits for the end.
  if (held && probeEnded_) probeEnded_();
}

void ProbeExclusion::HoldLocked() {
  if (holds_++ == 0) released_.Reset();
}

void ProbeExclusion::Hold() {
  std::lock_guard lock(mutex_);
  HoldLocked();
}

bool ProbeExclusion::HoldAndWaitForProbe(std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  HoldLocked();
  return probeEndedCv_.wait_for(lock, bound, [this] { return !probing_; });
}

int ProbeExclusion::Release() {
  std::lock_guard lock(mutex_);
  if (holds_ == 0) return 0;
  if (--holds_ == 0) released_.Set();
  return holds_;
}

bool ProbeExclusion::Held() const {
  std::lock_guard lock(mutex_);
  return holds_ > 0;
}

bool ProbeExclusion::ProbeRunning() const {
  std::lock_guard lock(mutex_);
  return probing_;
}
