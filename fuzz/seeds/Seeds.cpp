#include "fuzz/seeds/Seeds.h"

#include <stdexcept>

#include "platform/files/AtomicFile.h"
#include "platform/ByteOrder.h"

namespace fuzzseeds {

std::vector<TargetSeeds> AllGeneratedSeeds() {
  return {FirmwareSeeds(),     NoiseSeeds(),       RemoteLinkSeeds(),   ShortRecordSeeds(),
          TcpLinkReplySeeds(), PackageSeeds(),     SampleFileSeeds(),   NodeThresholdSeeds(),
          FrameDecodeSeeds(),  TouchReportSeeds(), ChipIdentifySeeds(), BootloaderAnswerSeeds()};
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[4];
  platform::PutLe32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

namespace {
// Fixtures and shipped settings files are small.
constexpr size_t kMaxSourceFileBytes = 64 * 1024;
}  // namespace

std::string ReadSourceFile(const std::string& relativePath) {
  const std::string path = std::string(KESTRANA_SOURCE_DIR) + "/" + relativePath;
  std::string bytes;
  std::string error;
  if (!platform::ReadFileBytes(path, &bytes, kMaxSourceFileBytes, &error)) {
    throw std::runtime_error(error);
  }
  return bytes;
}

}  // namespace fuzzseeds
