#pragma once
// Seed inputs of the fuzz targets whose inputs are binary and come from our
// own encoders and the simulator (firmware images, chip areas, network
// frames, test packages). kestrana_fuzz_seeds writes them to
// fuzz/corpus/<target>/ and checks that the committed files still match.

#include <cstdint>
#include <string>
#include <vector>

namespace fuzzseeds {

struct Seed {
  std::string name;  // file name inside the target's folder
  std::vector<uint8_t> bytes;
};

struct TargetSeeds {
  std::string target;  // fuzz_<name>, as the target's source file is called
  std::vector<Seed> seeds;
};

// One function per target; each builds the same bytes on every run.
TargetSeeds FirmwareSeeds();
TargetSeeds NoiseSeeds();
TargetSeeds RemoteLinkSeeds();
TargetSeeds ShortRecordSeeds();
TargetSeeds TcpLinkReplySeeds();
TargetSeeds PackageSeeds();
TargetSeeds SampleFileSeeds();
TargetSeeds NodeThresholdSeeds();
TargetSeeds FrameDecodeSeeds();
TargetSeeds TouchReportSeeds();
TargetSeeds ChipIdentifySeeds();
TargetSeeds BootloaderAnswerSeeds();

std::vector<TargetSeeds> AllGeneratedSeeds();

// Little-endian appends shared by the builders.
void AppendLe32(std::vector<uint8_t>& out, uint32_t value);

// A file of the source tree (a test fixture, a shipped settings file), by its
// path from the tree's root; throws when it cannot be read.
std::string ReadSourceFile(const std::string& relativePath);

}  // namespace fuzzseeds
