// ".cfg" files are edited by hand and passed around: any bytes must parse
// without a crash, stay inside the block, and what the parser took must
// survive being written and read again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "device/config/CfgText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const CfgParseResult parsed = ParseCfgText(bytes);
  if (!parsed.ok) {
    if (size <= kCfgFileMaxBytes || !parsed.bytes.empty()) std::abort();
    return 0;
  }
  if (parsed.bytes.size() > kCfgBlockMaxBytes) std::abort();
  // Every byte taken is a value; values past the block are only counted.
  if (parsed.values < parsed.bytes.size()) std::abort();
  if (parsed.values > parsed.bytes.size() && parsed.bytes.size() != kCfgBlockMaxBytes) std::abort();
  for (CfgTextEnding ending : {CfgTextEnding::kComma, CfgTextEnding::kCommaAndZero}) {
    const CfgParseResult again = ParseCfgText(FormatCfgText(parsed.bytes, ending));
    if (!again.ok || again.bytes != parsed.bytes) std::abort();
  }
  return 0;
}
