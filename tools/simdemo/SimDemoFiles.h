#pragma once
// The demonstration files of the program's simulated bridge: what the update
// panel and the module test's update modes need, made from the simulator's
// own chip, flash and bridge so that every check of the program accepts
// them there:
// - the touch firmware one version above the one the chip runs, named as
//   the chip will report itself after the burn ("RO9110V_1061.bin");
// - a bridge image as Intel HEX for the update panel ("K64_v0111.hex"),
//   whose version is the release the bridge comes back with after a burn,
//   and the same image as the ".bin" with its ".ect" that the test page
//   loads, named as a burn of the HEX file names the pair it leaves beside
//   it ("K64_v0111_0111_<sum>.bin"), so that burning the HEX adds nothing;
// - the chip's configuration block under the next version, as the editor
//   saves it, and the same block with frequency hopping off as the module
//   test's test configuration.
// Patterns only: burnt into a real bridge or chip they would leave it without
// working firmware, so they are never installed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace simdemo {

enum class DemoRole {
  BridgeHex,
  BridgeBin,
  BridgeHeader,  // the ".ect" beside the ".bin"
  TouchFirmware,
  ProductionConfig,
  TestConfig,
};

struct DemoFile {
  DemoRole role;
  std::string name;
  std::string bytes;
};

struct DemoSet {
  std::vector<DemoFile> files;  // one per role
  uint16_t bridgeRelease = 0;   // what the bridge reports after burning the image
  std::string chipNameVersion;  // what the chip reports after burning the firmware
  uint8_t configVersion = 0;    // version byte of both configurations

  const DemoFile& Of(DemoRole role) const;
};

// The files for the program's simulated bridge as it starts.
DemoSet MakeDemoSet();

// Writes every file of the set into folder (created when missing), each
// replaced whole. false with the reason in *error.
bool WriteDemoSet(const DemoSet& set, const std::filesystem::path& folder, std::string* error);

}  // namespace simdemo
