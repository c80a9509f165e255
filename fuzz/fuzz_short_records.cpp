// The open/short results are the chip's bytes: any record, supply data or
// finding must turn into lines without a crash, with only short resistances
// reported.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "moduletest/engine/ShortTestA.h"
#include "moduletest/engine/ShortTestB.h"

namespace {

// Every line ends with a resistance of 0..800 kOhm.
void CheckLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const size_t end = line.rfind("K");
    if (end == std::string::npos) std::abort();
    size_t start = end;
    while (start > 0 && line[start - 1] >= '0' && line[start - 1] <= '9') --start;
    if (start == end) std::abort();
    const long kohm = std::strtol(line.substr(start, end - start).c_str(), nullptr, 10);
    if (kohm < 0 || kohm > kShortReportLimitKOhm) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(kTxRecordBytes + kShortBlockABytes, 0);
  std::memcpy(bytes.data(), data, std::min(size, bytes.size()));
  ShortMapsA maps;
  // The maps come from the chip's configuration too.
  std::memcpy(maps.drive.data(), bytes.data() + kTxRecordBytes - ShortMapsA::kDrive,
              ShortMapsA::kDrive);
  CheckLines(TxRecordLines(bytes.data(), maps));
  CheckLines(RxRecordLines(bytes.data(), maps));
  CheckLines(SupplyLines(bytes.data(), maps));
  ShortTablesB tables;
  tables.sense = {bytes[0], bytes[1]};
  const uint8_t entry[4] = {bytes[0], bytes[1], bytes[2], bytes[3]};
  if (ShortEntryLine(entry, tables).empty()) std::abort();
  return 0;
}
