#pragma once
// What a frame read hands to a view's render thread: its own copy of the
// frame bytes and the format they were read with, so a ring slot that is
// refilled meanwhile, or a format changed after the request, cannot change
// what gets drawn.

#include <cstdint>
#include <vector>

#include "views/DataFormat.h"

struct FramePayload {
  std::vector<uint8_t> bytes;
  DataFormat format;
  // The read chain the frame came from (FrameChain's generation; 0 for a
  // frame from no stream). Every start or restart of a stream is a new chain.
  uint32_t chain = 0;
};
