#pragma once
// Follows the fingers of the coordinate reports across reports: each contact
// keeps the slot it was first given (and so its colour on the screen) for as
// long as it stays down, and a slot whose contact lifted off is free for the
// next new one. Keeps the last 10 slot tables for drawing trails.
//
// Not thread-safe: the demo's render thread owns it.

#include <array>
#include <cstdint>

#include "views/TouchReport.h"

struct TouchSlot {
  int32_t id = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t size = 0;  // 0: no contact in this slot
  bool operator==(const TouchSlot&) const = default;
};

using SlotTable = std::array<TouchSlot, kMaxTouchPoints>;

inline constexpr int kTouchHistoryDepth = 10;

// Maps chip coordinates (0..resolution) into a drawing area. With either
// resolution 0 the coordinates are kept as they are.
struct CoordinateScale {
  uint32_t resolutionX = 0;
  uint32_t resolutionY = 0;
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;

  void Apply(int32_t& x, int32_t& y) const;
  bool operator==(const CoordinateScale&) const = default;
};

class ContactTracker {
 public:
  // Takes the next report: the history moves on by one, every slot's size
  // is cleared, and each point goes to the slot its contact held in the
  // previous report, else to the first slot that was free then and is not
  // yet given away in this report. A point for which no slot is left is
  // dropped.
  void Update(const TouchReport& report, const CoordinateScale& scale);

  // Lifts every contact without moving the history (a stream (re)start).
  void ClearSizes();

  // The newest table, positions in drawing coordinates (= History(0)).
  const SlotTable& Current() const { return history_[0]; }
  // age 0 is the newest table, kTouchHistoryDepth - 1 the oldest kept.
  const SlotTable& History(int age) const { return history_[static_cast<size_t>(age)]; }
  // Whether the tables of ages age and age - 1 were placed at one scale: a
  // trail joins only those (the drawing area or the panel resolution may
  // change between reports, as on a switch to full screen).
  bool SameScale(int age) const {
    return scales_[static_cast<size_t>(age)] == scales_[static_cast<size_t>(age - 1)];
  }
  // The newest table in chip coordinates.
  const SlotTable& ChipPoints() const { return chip_; }
  int KeyBits() const { return keyBits_; }

 private:
  std::array<SlotTable, kTouchHistoryDepth> history_{};
  std::array<CoordinateScale, kTouchHistoryDepth> scales_{};
  SlotTable chip_{};
  int keyBits_ = 0;
};
