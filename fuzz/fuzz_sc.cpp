// ".sc" item descriptions come with chip packages from outside: any bytes,
// stored or already decoded, must parse without a crash into items whose
// fields stay in bounds.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "device/config/ScFile.h"
#include "fuzz/ItemBounds.h"

namespace {

void CheckItems(const ScDescription& d, size_t inputSize) {
  if (!d.ok) {
    if (inputSize <= kItemFileMaxBytes || !d.items.empty()) std::abort();
    return;
  }
  fuzz::CheckItemBounds(d.items);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The decoded text directly, so the fuzzer need not learn the stored form.
  CheckItems(ParseScText(bytes, 186), 0);
  CheckItems(ParseScFile(bytes, 1024), size);
  return 0;
}
