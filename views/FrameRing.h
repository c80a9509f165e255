#pragma once
// The buffers frame reads land in: 16 slots of the largest frame. A view
// keeps its own slot counter and reads the next frame into NextSlot(n), so
// the frame it hands on is not the one being filled. Consumers copy a frame
// out of its slot before the counter comes round again.

#include <array>
#include <cstddef>
#include <cstdint>

#include "views/DataFormat.h"

class FrameRing {
 public:
  static constexpr size_t kSlots = 16;
  static constexpr size_t kSlotBytes = kMaxFrameBytes;

  static constexpr unsigned NextSlot(unsigned slot) { return (slot + 1) & (kSlots - 1); }

  // The slot's bytes; the slot number wraps into 0..15.
  uint8_t* Slot(unsigned slot) { return slots_[slot & (kSlots - 1)].data(); }
  const uint8_t* Slot(unsigned slot) const { return slots_[slot & (kSlots - 1)].data(); }

 private:
  std::array<std::array<uint8_t, kSlotBytes>, kSlots> slots_{};
};

// The program's one ring, shared by the data views and the module test (one
// of them streams at a time).
FrameRing& GetFrameRing();
