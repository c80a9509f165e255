#pragma once
// What every item parser guarantees about the items it returns, whatever
// bytes it was given; a broken promise aborts so the fuzzer keeps the input.

#include <cstddef>
#include <cstdlib>
#include <vector>

#include "device/config/CfgItem.h"

namespace fuzz {

// A combo box stores its index in at most 8 bits.
inline constexpr size_t kMaxComboOptions = 256;

inline void CheckItemBounds(const std::vector<CfgItem>& items) {
  for (const CfgItem& item : items) {
    if (item.bitWidth < 1 || item.bitWidth > 16) std::abort();
    if (item.controlKind == kCfgComboBox &&
        (item.options.empty() || item.options.size() > kMaxComboOptions)) {
      std::abort();
    }
    if (item.bitAddress < 0) std::abort();
  }
}

}  // namespace fuzz
