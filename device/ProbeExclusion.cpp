#include "device/ProbeExclusion.h"

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
  // Only a holder waits for the end.
  if (held && probeEnded_) probeEnded_();
}

void ProbeExclusion::Hold() {
  std::lock_guard lock(mutex_);
  if (holds_++ == 0) released_.Reset();
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
