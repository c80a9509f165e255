// Test packages come from other machines: any bytes must be refused or
// taken whole without a crash, no name taken may leave the test folder, and
// what was taken must pack back to the very same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "moduletest/package/PackageCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<PackageRecord> records;
  std::string error;
  if (!DecodePackage(bytes, &records, &error)) {
    if (!records.empty() || error.empty()) std::abort();
    return 0;
  }
  int iniCount = 0;
  for (const PackageRecord& r : records) {
    if (!IsSafePackageName(r.name) || !IsSafePackageName(UnpackedName(r.name))) std::abort();
    if (UnpackedName(r.name) == "test.ini") ++iniCount;
  }
  if (iniCount > 1) std::abort();
  std::string again;
  if (!EncodePackage(records, &again, nullptr) || again != bytes) std::abort();
  return 0;
}
