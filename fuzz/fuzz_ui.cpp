// ".ui" item descriptions are opened by the operator from anywhere: any bytes
// must parse without a crash, either into items whose fields stay in bounds
// or into a message and no items.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "device/config/UiFile.h"
#include "fuzz/ItemBounds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const UiDescription d = ParseUiFile(bytes, "fuzz.ui");
  if (!d.ok) {
    if (d.error.empty() || !d.items.empty()) std::abort();
    return 0;
  }
  fuzz::CheckItemBounds(d.items);
  return 0;
}
