#include "fuzz/seeds/Seeds.h"

#include "platform/ByteOrder.h"

namespace fuzzseeds {

std::vector<TargetSeeds> AllGeneratedSeeds() {
  return {FirmwareSeeds(),    NoiseSeeds(),        RemoteLinkSeeds(),
          ShortRecordSeeds(), TcpLinkReplySeeds(), PackageSeeds()};
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[4];
  platform::PutLe32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

}  // namespace fuzzseeds
