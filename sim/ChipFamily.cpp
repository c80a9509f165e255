#include "sim/ChipFamily.h"

namespace sim {

const FamilyLayout& LayoutOf(ChipFamily family) {
  static constexpr FamilyLayout kRu9{0x8140, 6, 0x814A, 0x814E, 0x00};
  static constexpr FamilyLayout kDe7{0x8240, 8, 0x824A, 0x824E, 0xFF};
  return family == ChipFamily::DE7 ? kDe7 : kRu9;
}

}  // namespace sim
