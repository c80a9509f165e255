#include "views/FrameRing.h"

FrameRing& GetFrameRing() {
  static FrameRing ring;
  return ring;
}
