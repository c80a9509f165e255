#include "views/ContactTracker.h"

#include <algorithm>

void CoordinateScale::Apply(int32_t& x, int32_t& y) const {
  if (resolutionX == 0 || resolutionY == 0) return;
  x = static_cast<int32_t>(int64_t{width} * x / resolutionX) + left;
  y = static_cast<int32_t>(int64_t{height} * y / resolutionY) + top;
}

void ContactTracker::Update(const TouchReport& report, const CoordinateScale& scale) {
  std::move_backward(history_.begin(), history_.end() - 1, history_.end());
  std::move_backward(scales_.begin(), scales_.end() - 1, scales_.end());
  scales_[0] = scale;
  const SlotTable& previous = history_[1];
  SlotTable& current = history_[0];
  current = previous;
  for (size_t s = 0; s < current.size(); ++s) {
    current[s].size = 0;
    chip_[s].size = 0;
  }

  std::array<bool, kMaxTouchPoints> taken{};
  auto findSlot = [&](int32_t id) -> int {
    for (size_t s = 0; s < previous.size(); ++s) {
      if (!taken[s] && previous[s].size != 0 && previous[s].id == id) return static_cast<int>(s);
    }
    for (size_t s = 0; s < previous.size(); ++s) {
      if (!taken[s] && previous[s].size == 0) return static_cast<int>(s);
    }
    return -1;
  };

  const int count = std::clamp(report.count, 0, kMaxTouchPoints);
  for (int i = 0; i < count; ++i) {
    const ReportedPoint& point = report.points[static_cast<size_t>(i)];
    const int slot = findSlot(point.id);
    if (slot < 0) continue;
    const auto s = static_cast<size_t>(slot);
    taken[s] = true;
    chip_[s] = {point.id, point.x, point.y, point.size};
    TouchSlot shown = chip_[s];
    scale.Apply(shown.x, shown.y);
    current[s] = shown;
  }
  keyBits_ = report.keyBits;
}

void ContactTracker::ClearSizes() {
  for (size_t s = 0; s < chip_.size(); ++s) {
    history_[0][s].size = 0;
    chip_[s].size = 0;
  }
}
