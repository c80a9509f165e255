#include "sim/SimTrace.h"

#include <algorithm>
#include <cstring>

namespace sim {

void SimTrace::Record(TraceDir dir, const uint8_t* bytes, size_t length, int64_t timeUs) {
  std::lock_guard lock(mutex_);
  if (!enabled_) return;
  TraceEntry entry;
  entry.dir = dir;
  entry.length = std::min(length, entry.bytes.size());
  if (bytes != nullptr) std::memcpy(entry.bytes.data(), bytes, entry.length);
  entry.timeUs = timeUs;
  entries_.push_back(entry);
}

std::vector<TraceEntry> SimTrace::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::vector<std::array<uint8_t, platform::kHidReportSize>> SimTrace::OutputReports() const {
  std::lock_guard lock(mutex_);
  std::vector<std::array<uint8_t, platform::kHidReportSize>> out;
  for (const auto& e : entries_) {
    if (e.dir == TraceDir::Out) out.push_back(e.bytes);
  }
  return out;
}

size_t SimTrace::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void SimTrace::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

void SimTrace::SetEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  enabled_ = enabled;
}

}  // namespace sim
